// Turtle drawing speed with the page shown: `fd 10 rt 91` on a default page, drawn by a thread of its
// own as a Logo process would, while the UI thread repaints the page window and presents it. The same
// run without a window comes first, so both figures are taken under the same load of the machine.
//   bench_turtle_window [STEPS] [--shown] [--interval MS]
// The backend is chosen as the player chooses it (QUELMAR_BACKEND, else x11 when DISPLAY is set).
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "graphics/surface/turtle.h"
#include "host/page_window.h"

namespace {

using Clock = std::chrono::steady_clock;

double drawSegments(qm::Turtle& turtle, long steps) {
    const auto start = Clock::now();
    for (long i = 0; i < steps; ++i) {
        turtle.forward(10);
        turtle.right(91);
    }
    return std::chrono::duration<double>(Clock::now() - start).count();
}

void warmUp(qm::Turtle& turtle) {
    for (int i = 0; i < 1000; ++i) {
        turtle.forward(10);
        turtle.right(91);
    }
}

} // namespace

int main(int argc, char** argv) {
    long steps = 1000000;
    bool shown = false;
    long intervalMs = -1;  // the window's own default
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--shown")) shown = true;
        else if (!std::strcmp(argv[i], "--interval") && i + 1 < argc) intervalMs = std::atol(argv[++i]);
        else steps = std::atol(argv[i]);
    }
    if (steps <= 0) {
        std::fprintf(stderr, "usage: bench_turtle_window [STEPS] [--shown] [--interval MS]\n");
        return 2;
    }

    double rawSeconds = 0;
    {
        qm::Surface page(qm::Surface::kPageWidth, qm::Surface::kPageHeight);
        qm::Turtle turtle(page);
        turtle.setShown(shown);
        warmUp(turtle);
        rawSeconds = drawSegments(turtle, steps);
    }

    std::string error;
    auto backend = qm::platform::chooseBackend(error);
    if (!backend) {
        std::fprintf(stderr, "bench_turtle_window: %s\n", error.c_str());
        return 1;
    }
    qm::Surface page(qm::Surface::kPageWidth, qm::Surface::kPageHeight);
    qm::MouseCallbacks mouse;
    qm::PageRunOptions options;
    options.window.title = "Quelmar - turtle speed";
    if (intervalMs >= 0) options.window.minRepaintInterval = std::chrono::milliseconds(intervalMs);
    std::uint64_t repaints = 0;
    qm::PageWindow* window = nullptr;
    options.onReady = [&](qm::PageWindow& w) { window = &w; };
    std::atomic<bool> done{false};
    double windowSeconds = 0;
    std::thread process([&] {
        qm::Turtle turtle(page);
        turtle.setShown(shown);
        warmUp(turtle);
        windowSeconds = drawSegments(turtle, steps);
        done = true;
        backend->post([] {});
    });
    const auto end = qm::runWithPageWindow(*backend, page, mouse, [&] {
        if (done && window) repaints = window->repaintCount();
        return done.load();
    }, options, &error);
    process.join();
    if (end == qm::PageRunEnd::NoWindow) {
        std::fprintf(stderr, "bench_turtle_window: %s\n", error.c_str());
        return 1;
    }
    std::printf("backend: %s\nsteps: %ld\nturtle: %s\n", std::string(backend->name()).c_str(), steps,
                shown ? "shown" : "hidden");
    std::printf("no window: %.4f s, %.0f segments per second\n", rawSeconds, steps / rawSeconds);
    std::printf("with window: %.4f s, %.0f segments per second, %llu repaints\n", windowSeconds,
                steps / windowSeconds, static_cast<unsigned long long>(repaints));
    return 0;
}
