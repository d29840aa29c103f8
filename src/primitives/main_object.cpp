// The main object.
#include "main_object.h"

#include "dictionary.h"

namespace qm {

tMainLogoObject::tMainLogoObject() : tcontainerobject(false), variables(this) {
    procedures.shared = true;
    variables.shared = true;
    referenceCount = 1;  // lives for the whole run
    name = firstWord("class", "main");
}

tMainLogoObject::~tMainLogoObject() {
    eraseChildren();
    detach();
}

// Nothing comes before or after the main object's own table in its chains.
tProcDesc* tMainLogoObject::FindProc(int32_t code, int32_t afterLevel, int32_t& level) {
    if (afterLevel >= 0) return nullptr;
    level = 0;
    return static_cast<tProcDesc*>(procedures.FindEntry(code));
}

std::string tMainLogoObject::ClassName() { return firstWord("class", "main"); }

} // namespace qm
