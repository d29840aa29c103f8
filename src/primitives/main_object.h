// The main object: the root of every lookup chain and of the object tree, holding the
// built-in primitives, the global variables and the top-level objects.
#pragma once

#include <memory>

#include "multiobject.h"

namespace qm {

class tMainLogoObject : public tcontainerobject {
public:
    tMainLogoObject();
    ~tMainLogoObject() override;

    // The global variables: what no active procedure binds is read and assigned here.
    tLogoVarTab variables;

    tProcDesc* FindProc(int32_t code, int32_t afterLevel, int32_t& level) override;
    bool HasDefaultAction() override { return false; }
    std::string ClassName() override;
    std::string PrintText(bool brackets) override { return ClassName(); }
};

} // namespace qm
