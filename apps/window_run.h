// A run of the player with its page on screen: the current page shown in a window while the
// processes run and after they have ended, the window's mouse handed to the page's objects, and
// the end of the run when the window is closed or the time is up.
#pragma once

#include <chrono>
#include <optional>
#include <string>

#include "engine.h"

namespace qm {

struct WindowRunOptions {
    std::string title = "Quelmar";  // UTF-8
    // When the run ends although the window is still open; none: only closing the window ends it.
    std::optional<std::chrono::steady_clock::time_point> deadline;
};

// Call on the thread that started the engine, without the global lock, after the processes of
// the run have been started. Shows the current page until the user closes the window or the
// deadline passes, then stops every process and returns true. Answers false with `why` when no
// window can be shown (no display, or the page or window cannot be had); nothing has waited or
// been stopped then, so the caller may run on without a window.
bool runInPageWindow(Engine& engine, const WindowRunOptions& options, std::string& why);

} // namespace qm
