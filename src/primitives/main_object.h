// The main object: the end of every lookup chain, holding the built-in primitives and
// the global variables.
#pragma once

#include <memory>

#include "tables.h"

namespace qm {

class tMainLogoObject : public tlogoobject {
public:
    tMainLogoObject();
    ~tMainLogoObject() override;

    tLogoTab procedures;
    tLogoVarTab variables;

    tProcDesc* FindProc(int32_t code, int32_t afterLevel, int32_t& level) override;
    std::string ClassName() override;
    std::string PrintText(bool brackets) override { return ClassName(); }
};

} // namespace qm
