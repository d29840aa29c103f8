// The primitive families of the main object, registered in the start-up order.
#pragma once

#include "main_object.h"

namespace qm {

void registerTextPrimitives(tMainLogoObject& main);

} // namespace qm
