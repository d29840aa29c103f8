// A run of the player with its page on screen: the current page shown in a window while the
// processes run and after they have ended, the window's mouse handed to the page's objects, the
// real pointer for Logo's mouse commands, and the end of the run when the window is closed or the
// time is up.
#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>

#include "engine.h"

namespace qm {

struct WindowRunOptions {
    std::string title = "Quelmar";  // UTF-8
    // When the run ends although the window is still open; none: only closing the window ends it.
    std::optional<std::chrono::steady_clock::time_point> deadline;
    // Starts the processes of the run once the window is up (without the global lock, on a thread
    // that is not the user-interface thread), so that nothing they do with the pointer or the
    // window comes before the window. Not called when no window can be shown.
    std::function<void()> start;
};

// Call on the thread that started the engine, without the global lock. Shows the current page,
// and whichever page becomes current later, until the user closes the window or the deadline
// passes, then stops every process and returns true. Meanwhile Logo's mouse pointer is the real
// one and pages show where the window shows them. Answers false with `why` when no window can be
// shown (no display, or the page or window cannot be had); nothing has started, waited or been
// stopped then, so the caller may start and run on without a window.
bool runInPageWindow(Engine& engine, const WindowRunOptions& options, std::string& why);

} // namespace qm
