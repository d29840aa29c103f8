// PNG snapshots: exact round trip, and clear errors for files that are not pictures.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "graphics/image/png.h"

namespace qm {
namespace {

std::string tempPath(const char* name) {
    return ::testing::TempDir() + "/qm_png_" + std::to_string(::getpid()) + "_" + name;
}

TEST(Png, RoundTripKeepsEveryPixel) {
    // Distinct values in every channel catch swapped channels and wrong row order.
    auto b = Bitmap::create(37, 11, kBlack);
    for (int y = 0; y < 11; ++y)
        for (int x = 0; x < 37; ++x) b->setPixel(x, y, rgb(x * 7, y * 23, (x + y) * 5 + 1));
    const std::string path = tempPath("round.png");
    std::string error;
    ASSERT_TRUE(writePng(*b, path, error)) << error;
    auto back = readPng(path, error);
    ASSERT_TRUE(back) << error;
    EXPECT_EQ(*back, *b);
    std::remove(path.c_str());
}

TEST(Png, BadFilesGiveErrors) {
    std::string error;
    EXPECT_FALSE(readPng(tempPath("missing.png"), error));
    EXPECT_FALSE(error.empty());

    const std::string junk = tempPath("junk.png");
    std::ofstream(junk) << "not a picture at all";
    error.clear();
    EXPECT_FALSE(readPng(junk, error));
    EXPECT_FALSE(error.empty());

    // A real header whose data is cut off.
    auto b = Bitmap::create(50, 50, rgb(1, 2, 3));
    const std::string cut = tempPath("cut.png");
    ASSERT_TRUE(writePng(*b, cut, error));
    std::string bytes;
    {
        std::ifstream in(cut, std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(in), {});
    }
    std::ofstream(cut, std::ios::binary | std::ios::trunc) << bytes.substr(0, bytes.size() / 2);
    error.clear();
    EXPECT_FALSE(readPng(cut, error));
    EXPECT_FALSE(error.empty());
    std::remove(junk.c_str());
    std::remove(cut.c_str());

    EXPECT_FALSE(writePng(*b, "/nonexistent-folder/x.png", error));
    EXPECT_FALSE(writePng(Bitmap{}, tempPath("empty.png"), error));
}

} // namespace
} // namespace qm
