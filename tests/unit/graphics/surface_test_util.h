// Helpers for the surface and turtle tests: Logo values from text, and pictures compared with the
// reference PNGs kept beside the tests.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>

#include "graphics/image/png.h"
#include "graphics/raster/bitmap.h"
#include "logo_error.h"
#include "reader.h"
#include "value.h"

namespace qm::test {

// The code of the Logo error `f` raises; -1 when it raises none.
inline int errorCode(const std::function<void()>& f) {
    try {
        f();
    } catch (const eLogoException& e) {
        return e.code;
    }
    return -1;
}

// All items of the text as one list: value("1 2") is [1 2], value("[1 2] 3") is [[1 2] 3].
inline Ref<tLogoList> list(const char* text) { return Ref<tLogoList>(parse(text)); }
// The single item of the text: item("any") is the word any.
inline Ref<tlogoobject> item(const char* text) {
    Ref<tLogoList> l(parse(text));
    return Ref<tlogoobject>(l->element);
}

// Compares with reference/<name>.png pixel for pixel. With QM_UPDATE_REFERENCE set, writes the
// picture there instead (look at it before keeping it).
inline void expectReference(const Bitmap& picture, const std::string& name) {
    const std::string path = std::string(QM_REFERENCE_DIR) + "/" + name + ".png";
    std::string error;
    if (std::getenv("QM_UPDATE_REFERENCE")) {
        ASSERT_TRUE(writePng(picture, path, error)) << error;
        return;
    }
    auto expected = readPng(path, error);
    ASSERT_TRUE(expected) << "no reference picture " << path << ": " << error;
    ASSERT_EQ(expected->width(), picture.width()) << name;
    ASSERT_EQ(expected->height(), picture.height()) << name;
    int differing = 0;
    std::int64_t fx = -1, fy = -1;
    for (std::int64_t y = 0; y < picture.height(); ++y)
        for (std::int64_t x = 0; x < picture.width(); ++x)
            if (expected->pixel(x, y) != picture.pixel(x, y)) {
                if (differing++ == 0) fx = x, fy = y;
            }
    if (differing) {
        const std::string actual = ::testing::TempDir() + name + "-actual.png";
        writePng(picture, actual, error);
        ADD_FAILURE() << name << ": " << differing << " pixels differ, first at (" << fx << ", " << fy
                      << "); this run's picture: " << actual;
    }
}

} // namespace qm::test
