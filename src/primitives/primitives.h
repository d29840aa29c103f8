// The primitive families of the main object, registered in the start-up order.
#pragma once

#include "main_object.h"

namespace qm {

void registerTextPrimitives(tMainLogoObject& main);
void registerDataPrimitives(tMainLogoObject& main);
void registerOptionPrimitives(tMainLogoObject& main);
void registerControlPrimitives(tMainLogoObject& main);
void registerPlistPrimitives(tMainLogoObject& main);
void registerObjectPrimitives(tMainLogoObject& main);
void registerProcessPrimitives(tMainLogoObject& main);
void registerEventPrimitives(tMainLogoObject& main);

} // namespace qm
