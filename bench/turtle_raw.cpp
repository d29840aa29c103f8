// Turtle drawing speed without the interpreter: segments per second for `fd 10 rt 91` on a hidden
// turtle on a default page, headless, straight through the surface and turtle classes.
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "graphics/surface/turtle.h"

int main(int argc, char** argv) {
    const long steps = argc > 1 ? std::atol(argv[1]) : 1000000;
    qm::Surface page(qm::Surface::kPageWidth, qm::Surface::kPageHeight);
    qm::Turtle turtle(page);
    // One warm-up lap so fonts, pages and caches are in place before timing.
    for (int i = 0; i < 1000; ++i) {
        turtle.forward(10);
        turtle.right(91);
    }
    const auto start = std::chrono::steady_clock::now();
    for (long i = 0; i < steps; ++i) {
        turtle.forward(10);
        turtle.right(91);
    }
    const auto stop = std::chrono::steady_clock::now();
    // A frame as a person would see it, composed once at the end.
    const qm::Bitmap frame = page.frame();
    const double seconds = std::chrono::duration<double>(stop - start).count();
    std::printf("steps: %ld\nseconds: %.4f\nsegments per second: %.0f\nframe: %dx%d\n", steps, seconds,
                static_cast<double>(steps) / seconds, frame.width(), frame.height());
    return 0;
}
