// The primitive families of the main object, registered in the start-up order.
#pragma once

#include <vector>

#include "main_object.h"
#include "multiobject.h"

namespace qm {

void registerTextPrimitives(tMainLogoObject& main);
void registerDataPrimitives(tMainLogoObject& main);
void registerOptionPrimitives(tMainLogoObject& main);
void registerControlPrimitives(tMainLogoObject& main);
void registerPlistPrimitives(tMainLogoObject& main);
void registerObjectPrimitives(tMainLogoObject& main);
void registerProcessPrimitives(tMainLogoObject& main);
void registerEventPrimitives(tMainLogoObject& main);
void registerGraphicsPrimitives(tMainLogoObject& main);

// Makes the objects the process's who list, as `tell` does.
void tellObjects(ProcessContext& cx, const std::vector<Ref<tmultiobject>>& objects);
// Creates an instance of the class as `new` does, with an initialisation list taken as it stands.
tmultiobject* createObject(ProcessContext& cx, tmultiobject* cls, tlogoobject* init);

} // namespace qm
