// Reading a window's pixels back from the X server, in the engine's 0x00BBGGRR form.
#pragma once

#include "graphics/raster/bitmap.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace qm::test {

// The top-left width x height pixels of `window` as the server holds them, after every request
// sent on `display` has been handled. Black where the server gives no image.
inline Bitmap readWindowPixels(Display* display, ::Window window, int width, int height) {
    XSync(display, False);
    Bitmap b = *Bitmap::create(width, height, kBlack);
    XImage* image = XGetImage(display, window, 0, 0, width, height, AllPlanes, ZPixmap);
    if (!image) return b;
    auto shiftOf = [](unsigned long mask) {
        int s = 0;
        while (mask && !(mask & 1)) {
            mask >>= 1;
            ++s;
        }
        return s;
    };
    const int rs = shiftOf(image->red_mask), gs = shiftOf(image->green_mask), bs = shiftOf(image->blue_mask);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const unsigned long p = XGetPixel(image, x, y);
            b.setPixel(x, y, rgb((p >> rs) & 0xFF, (p >> gs) & 0xFF, (p >> bs) & 0xFF));
        }
    XDestroyImage(image);
    return b;
}

} // namespace qm::test
