// Text on bitmaps: faces found by family name through fontconfig, code page 1250 text drawn with
// FreeType at any angle, and measured. Aliased by default, so text is as pixel-exact as the lines.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "graphics/raster/bitmap.h"

namespace qm {

struct FontRequest {
    std::string family;  // code page 1250, as the engine holds it; unknown families get DejaVu Sans
    // Pixels, read as a font height always is: negative gives the character (em) size, positive the
    // whole cell (ascent + descent); 0 picks the default of 16-pixel cells.
    int height = -12;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strikeOut = false;
};

struct TextMetrics {
    int width = 0;    // the sum of the advances
    int height = 0;   // the cell: ascent + descent
    int ascent = 0;   // the baseline lies this far below the cell's top
    int descent = 0;
    int leading = 0;  // extra space the font asks for between lines (external leading)
};

enum class TextAnchor : std::uint8_t { Top, Baseline };

struct TextStyle {
    Rgb colour = kBlack;
    bool opaque = false;  // fill the cell with `background` first
    Rgb background = kWhite;
    // Counter-clockwise in degrees; the text turns about its reference point.
    double angle = 0;
    // Top: the reference point is the cell's top-left corner; Baseline: the start of the baseline.
    TextAnchor anchor = TextAnchor::Top;
    // Anti-aliased glyphs blended with what lies beneath; off by default, as everything else drawn
    // is aliased and must match pixel for pixel.
    bool antialiased = false;
    // Drawing stays inside this rectangle (and the bitmap) when set.
    const Rect* clip = nullptr;
};

class Font {
public:
    // The closest face fontconfig has, at the requested size. Empty only when no font at all is
    // installed. Fonts are shared: asking again for the same face and size gives the same object.
    static std::shared_ptr<const Font> open(const FontRequest& request);

    ~Font();
    Font(const Font&) = delete;
    Font& operator=(const Font&) = delete;

    const std::string& family() const { return m_family; }  // of the face used (UTF-8)
    const std::string& file() const { return m_file; }
    // Only scalable (outline) faces can be turned; bitmap faces draw at angle 0.
    bool scalable() const { return m_scalable; }

    TextMetrics metrics() const { return m_metrics; }  // of the font (width 0)
    TextMetrics measure(std::string_view text) const;  // code page 1250 text on one line

    // Draws code page 1250 text at `at`. Returns a rectangle holding every pixel changed (the turned
    // cell and any ink overhanging it), clipped to the bitmap and the clip.
    Rect draw(Bitmap& target, Point at, std::string_view text, const TextStyle& style) const;

private:
    struct Face;
    Font() = default;
    // The steps of open(), with the font lock held.
    static bool matchFontconfig(const FontRequest& request, const std::string& family, Font& font, int& index);
    static std::shared_ptr<const Font> finishOpen(const FontRequest& request, const std::string& key,
                                                  std::shared_ptr<Font> font, int index);

    std::unique_ptr<Face> m_face;
    std::string m_family;
    std::string m_file;
    bool m_scalable = true;
    bool m_embolden = false;
    bool m_oblique = false;
    bool m_underline = false;
    bool m_strikeOut = false;
    TextMetrics m_metrics;
    int m_underlinePos = 0;  // below the baseline, pixels (top of the line)
    int m_lineThickness = 1;
    int m_strikePos = 0;     // above the baseline, pixels (top of the line)
};

} // namespace qm
