// The Xlib backend: real windows (top-level, or children of a foreign window in embedded mode),
// frames put through XPutImage, input translated into platform events, and a poll()-based UI loop
// that also wakes for posted tasks and timers.
#pragma once

#include <memory>
#include <string>

#include "platform/platform.h"

namespace qm::platform {

// Opens the display named by DISPLAY; empty with `error` set when that fails or the display has no
// 24-bit true-colour visual.
std::unique_ptr<Backend> createX11Backend(std::string& error);

} // namespace qm::platform
