// PNG writing and reading through libpng's simplified API, which handles every colour type and
// reports errors as return values instead of longjmp.
#include "graphics/image/png.h"

#include <png.h>

#include <cstring>
#include <vector>

namespace qm {

bool writePng(const Bitmap& bitmap, const std::string& path, std::string& error) {
    if (bitmap.empty()) {
        error = "an empty picture cannot be saved as PNG";
        return false;
    }
    // Our words are 0x00BBGGRR: the bytes R, G, B, 0 in memory order on a little-endian machine, but
    // the rows are repacked anyway so that the byte order of the machine does not matter.
    std::vector<png_byte> rgb(static_cast<size_t>(bitmap.width()) * bitmap.height() * 3);
    png_byte* out = rgb.data();
    for (std::int32_t y = 0; y < bitmap.height(); ++y) {
        const std::uint32_t* row = bitmap.row(y);
        for (std::int32_t x = 0; x < bitmap.width(); ++x) {
            *out++ = redOf(row[x]);
            *out++ = greenOf(row[x]);
            *out++ = blueOf(row[x]);
        }
    }
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(bitmap.width());
    image.height = static_cast<png_uint_32>(bitmap.height());
    image.format = PNG_FORMAT_RGB;
    if (!png_image_write_to_file(&image, path.c_str(), 0, rgb.data(), 0, nullptr)) {
        error = "cannot write " + path + ": " + image.message;
        png_image_free(&image);
        return false;
    }
    return true;
}

std::optional<Bitmap> readPng(const std::string& path, std::string& error) {
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) {
        error = "cannot read " + path + ": " + image.message;
        png_image_free(&image);
        return std::nullopt;
    }
    // The size comes from the file: check it before allocating anything for it.
    if (!Bitmap::sizeAllowed(image.width, image.height)) {
        error = path + ": the picture is too large";
        png_image_free(&image);
        return std::nullopt;
    }
    image.format = PNG_FORMAT_RGB;
    std::vector<png_byte> rgb(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr)) {
        error = "cannot read " + path + ": " + image.message;
        png_image_free(&image);
        return std::nullopt;
    }
    auto bitmap = Bitmap::create(image.width, image.height, kBlack);
    if (!bitmap) {
        error = path + ": out of memory";
        return std::nullopt;
    }
    const png_byte* in = rgb.data();
    for (std::int32_t y = 0; y < bitmap->height(); ++y) {
        std::uint32_t* row = bitmap->row(y);
        for (std::int32_t x = 0; x < bitmap->width(); ++x, in += 3) row[x] = qm::rgb(in[0], in[1], in[2]);
    }
    return bitmap;
}

} // namespace qm
