// Fonts through fontconfig and FreeType; drawing and measuring code page 1250 text.
#include "graphics/text/text.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_SYNTHESIS_H
#include FT_TRUETYPE_TABLES_H
#include <fontconfig/fontconfig.h>
#include <strings.h>
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <map>
#include <mutex>
#include <numbers>
#include <vector>

#include "language.h"

#ifdef QM_SANITIZED
// fontconfig drops pieces of the system configuration it parses (the patterns of its rejectfont
// rules) once per process; LeakSanitizer is told so here, where fontconfig enters every program.
// Only one such hook may exist in a program: add further libraries to this list.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }
#endif

namespace qm {

namespace {

// FreeType faces and the fontconfig configuration are not safe to share between threads; every
// use goes through this lock (text is drawn far less often than lines, so one lock is enough).
std::mutex g_mutex;
FT_Library g_library = nullptr;
FcConfig* g_config = nullptr;
std::map<std::string, std::shared_ptr<const Font>> g_cache;

// Folders of fonts that projects name but that the system's fontconfig does not index: Wine's
// fonts (Tahoma, MS Sans Serif, System, Fixedsys, Small Fonts) are installed outside its search path.
constexpr const char* kExtraFontDirs[] = {"/usr/share/wine/fonts"};
// Some of those faces hold bitmaps only, which the system's configuration usually rejects. Projects
// name them (System is the default face of labels), and drawing them unturned is the rule for bitmap
// faces anyway, so they are listed here by family and found before fontconfig is asked.
struct BitmapFace {
    std::string family;
    std::string file;
    bool bold;
};
std::vector<BitmapFace> g_bitmapFaces;

constexpr const char* kFallbackFamily = "DejaVu Sans";
constexpr int kDefaultCellHeight = 16;

bool initLocked() {
    if (g_library) return true;
    if (FT_Init_FreeType(&g_library) != 0) {
        g_library = nullptr;
        return false;
    }
    g_config = FcInitLoadConfigAndFonts();
    for (const char* dir : kExtraFontDirs) {
        struct stat st;
        if (stat(dir, &st) != 0 || !S_ISDIR(st.st_mode)) continue;
        if (g_config) FcConfigAppFontAddDir(g_config, reinterpret_cast<const FcChar8*>(dir));
        // In name order, so that of two files with one family the same one wins on every machine.
        std::vector<std::filesystem::path> files;
        std::error_code ec;
        for (const auto& entry : std::filesystem::directory_iterator(dir, ec))
            if (entry.path().extension() == ".ttf") files.push_back(entry.path());
        std::sort(files.begin(), files.end());
        for (const auto& path : files) {
            FT_Face face = nullptr;
            if (FT_New_Face(g_library, path.c_str(), 0, &face) != 0) continue;
            if (!FT_IS_SCALABLE(face) && face->family_name)
                g_bitmapFaces.push_back({face->family_name, path.string(), (face->style_flags & FT_STYLE_FLAG_BOLD) != 0});
            FT_Done_Face(face);
        }
    }
    return true;
}

std::string cp1250ToUtf8Text(std::string_view text) {
    std::string out;
    for (unsigned char b : text) {
        const std::uint32_t cp = kCp1250Unicode[b];
        if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else if (cp < 0x800) {
            out += static_cast<char>(0xC0 | (cp >> 6));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            out += static_cast<char>(0xE0 | (cp >> 12));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        }
    }
    return out;
}

struct Glyph {
    FT_UInt index;
    FT_Pos advance;  // 26.6, along the unturned baseline
};

// Pixels on the cell's line through the glyphs (u along the text, v down from the baseline) to the
// bitmap: the turned text space the cell, underline and strike-out are described in.
struct TextSpace {
    double originX, originY;  // the baseline's start, in bitmap pixels
    double c, s;              // cosine and sine of the angle
};

struct Target {
    Bitmap& bitmap;
    Rect clip;
    Rect touched;  // grows to hold every pixel written

    void touch(std::int64_t x, std::int64_t y) {
        if (touched.empty()) {
            touched = {x, y, x + 1, y + 1};
        } else {
            touched.left = std::min(touched.left, x);
            touched.top = std::min(touched.top, y);
            touched.right = std::max(touched.right, x + 1);
            touched.bottom = std::max(touched.bottom, y + 1);
        }
    }
};

// Fills the text-space rectangle u in [u0, u1), v in [v0, v1): a pixel belongs to it when its
// centre does, so an unturned rectangle covers exactly the whole pixels between its edges.
void fillTextRect(Target& t, const TextSpace& sp, double u0, double u1, double v0, double v1, Rgb colour) {
    if (u1 <= u0 || v1 <= v0) return;
    double minX = 1e300, minY = 1e300, maxX = -1e300, maxY = -1e300;
    for (double u : {u0, u1}) {
        for (double v : {v0, v1}) {
            const double x = sp.originX + u * sp.c + v * sp.s;
            const double y = sp.originY - u * sp.s + v * sp.c;
            minX = std::min(minX, x);
            maxX = std::max(maxX, x);
            minY = std::min(minY, y);
            maxY = std::max(maxY, y);
        }
    }
    const Rect box = Rect{static_cast<std::int64_t>(std::floor(minX)) - 1, static_cast<std::int64_t>(std::floor(minY)) - 1,
                          static_cast<std::int64_t>(std::ceil(maxX)) + 1, static_cast<std::int64_t>(std::ceil(maxY)) + 1}
                         .intersected(t.clip);
    // Centres exactly on an edge of an unturned rectangle are decided by exact comparison; the small
    // bias keeps turned edges from flickering with rounding noise.
    constexpr double eps = 1e-9;
    for (std::int64_t y = box.top; y < box.bottom; ++y) {
        for (std::int64_t x = box.left; x < box.right; ++x) {
            const double dx = x + 0.5 - sp.originX;
            const double dy = y + 0.5 - sp.originY;
            const double u = dx * sp.c - dy * sp.s;
            const double v = dx * sp.s + dy * sp.c;
            if (u >= u0 - eps && u < u1 - eps && v >= v0 - eps && v < v1 - eps) {
                t.bitmap.setPixel(x, y, colour);
                t.touch(x, y);
            }
        }
    }
}

void blitGlyph(Target& t, const FT_Bitmap& bm, std::int64_t left, std::int64_t top, Rgb colour) {
    const bool mono = bm.pixel_mode == FT_PIXEL_MODE_MONO;
    if (!mono && bm.pixel_mode != FT_PIXEL_MODE_GRAY) return;
    const int grays = mono ? 2 : std::max<int>(bm.num_grays, 2);
    for (unsigned row = 0; row < bm.rows; ++row) {
        const std::int64_t y = top + row;
        if (y < t.clip.top || y >= t.clip.bottom) continue;
        const unsigned char* src = bm.buffer + static_cast<std::ptrdiff_t>(row) * bm.pitch;
        for (unsigned col = 0; col < bm.width; ++col) {
            const std::int64_t x = left + col;
            if (x < t.clip.left || x >= t.clip.right) continue;
            if (mono) {
                if (!((src[col >> 3] >> (7 - (col & 7))) & 1)) continue;
                t.bitmap.setPixel(x, y, colour);
            } else {
                const unsigned a = src[col] * 255u / (grays - 1);
                if (a == 0) continue;
                const Rgb under = t.bitmap.pixel(x, y);
                auto mix = [a](unsigned fg, unsigned bg) { return (fg * a + bg * (255 - a) + 127) / 255; };
                t.bitmap.setPixel(x, y, rgb(mix(redOf(colour), redOf(under)), mix(greenOf(colour), greenOf(under)),
                                            mix(blueOf(colour), blueOf(under))));
            }
            t.touch(x, y);
        }
    }
}

} // namespace

struct Font::Face {
    FT_Face face = nullptr;
    ~Face() {
        if (face) FT_Done_Face(face);
    }
};

Font::~Font() {
    std::lock_guard lock(g_mutex);
    m_face.reset();
}

std::shared_ptr<const Font> Font::open(const FontRequest& request) {
    std::lock_guard lock(g_mutex);
    const std::string key = request.family + '\n' + std::to_string(request.height) + (request.bold ? "b" : "") +
                            (request.italic ? "i" : "") + (request.underline ? "u" : "") +
                            (request.strikeOut ? "s" : "");
    if (auto it = g_cache.find(key); it != g_cache.end()) return it->second;
    if (!initLocked()) return nullptr;
    const std::string family = cp1250ToUtf8Text(request.family);
    std::shared_ptr<Font> font(new Font());
    int index = 0;
    for (const BitmapFace& b : g_bitmapFaces) {
        if (strcasecmp(b.family.c_str(), family.c_str()) == 0 && (font->m_file.empty() || b.bold == request.bold)) {
            font->m_file = b.file;
            font->m_family = b.family;
            font->m_embolden = request.bold && !b.bold;
        }
    }
    if (font->m_file.empty() && !matchFontconfig(request, family, *font, index)) return nullptr;
    return finishOpen(request, key, std::move(font), index);
}

bool Font::matchFontconfig(const FontRequest& request, const std::string& family, Font& font, int& index) {
    if (!g_config) return false;
    FcPattern* pattern = FcPatternCreate();
    if (!family.empty()) FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    // A weak second choice after the requested family (and the aliases fontconfig puts right behind
    // it, such as Liberation Sans behind Arial), so that unknown names all land on the same face.
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(kFallbackFamily));
    FcPatternAddInteger(pattern, FC_WEIGHT, request.bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pattern, FC_SLANT, request.italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcConfigSubstitute(g_config, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(g_config, pattern, &result);
    FcPatternDestroy(pattern);
    if (!match) return false;

    FcChar8* file = nullptr;
    FcChar8* matchedFamily = nullptr;
    int weight = FC_WEIGHT_REGULAR, slant = FC_SLANT_ROMAN;
    FcPatternGetString(match, FC_FILE, 0, &file);
    FcPatternGetString(match, FC_FAMILY, 0, &matchedFamily);
    FcPatternGetInteger(match, FC_INDEX, 0, &index);
    FcPatternGetInteger(match, FC_WEIGHT, 0, &weight);
    FcPatternGetInteger(match, FC_SLANT, 0, &slant);
    // fontconfig's own synthesis rule (embolden a face lighter than asked) when the configuration
    // has one; the weight comparison below otherwise.
    FcBool emboldenByConfig = FcFalse;
    const bool configSaysEmbolden = FcPatternGetBool(match, FC_EMBOLDEN, 0, &emboldenByConfig) == FcResultMatch;
    // Likewise a slant: fontconfig shears an upright face through its matrix.
    FcMatrix* shear = nullptr;
    const bool configSaysShear = FcPatternGetMatrix(match, FC_MATRIX, 0, &shear) == FcResultMatch && shear;
    const bool sheared = configSaysShear && shear->xy != 0;
    font.m_file = file ? reinterpret_cast<const char*>(file) : "";
    font.m_family = matchedFamily ? reinterpret_cast<const char*>(matchedFamily) : "";
    FcPatternDestroy(match);
    // Styles the face lacks are made up, as a bold or italic request for a one-style family must
    // still look bold or slanted.
    font.m_embolden = request.bold && (configSaysEmbolden ? emboldenByConfig : weight < FC_WEIGHT_DEMIBOLD);
    font.m_oblique = request.italic && (configSaysShear ? sheared : slant == FC_SLANT_ROMAN);
    return !font.m_file.empty();
}

std::shared_ptr<const Font> Font::finishOpen(const FontRequest& request, const std::string& key,
                                             std::shared_ptr<Font> font, int index) {
    font->m_face = std::make_unique<Face>();
    if (font->m_file.empty() || FT_New_Face(g_library, font->m_file.c_str(), index, &font->m_face->face) != 0) {
        font->m_face->face = nullptr;
        return nullptr;
    }
    FT_Face face = font->m_face->face;
    FT_Select_Charmap(face, FT_ENCODING_UNICODE);
    font->m_scalable = FT_IS_SCALABLE(face);
    font->m_oblique = font->m_oblique && font->m_scalable;
    font->m_underline = request.underline;
    font->m_strikeOut = request.strikeOut;

    const int height = request.height == 0 ? kDefaultCellHeight : request.height;
    if (font->m_scalable) {
        if (height < 0) {
            FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(std::min(-height, 16384)));
        } else {
            FT_Size_RequestRec req{FT_SIZE_REQUEST_TYPE_REAL_DIM, 0, std::min(height, 16384) * 64, 0, 0};
            FT_Request_Size(face, &req);
        }
    } else if (face->num_fixed_sizes > 0) {
        // A bitmap face comes in fixed sizes: the one nearest the request.
        int best = 0;
        for (int i = 1; i < face->num_fixed_sizes; ++i)
            if (std::abs(face->available_sizes[i].height - std::abs(height)) <
                std::abs(face->available_sizes[best].height - std::abs(height)))
                best = i;
        FT_Select_Size(face, best);
    }
    const FT_Size_Metrics& sm = face->size->metrics;
    TextMetrics& m = font->m_metrics;
    m.ascent = static_cast<int>((sm.ascender + 63) >> 6);
    m.descent = static_cast<int>((-sm.descender + 63) >> 6);
    m.height = m.ascent + m.descent;
    m.leading = std::max(0, static_cast<int>((sm.height + 32) >> 6) - m.height);
    if (font->m_scalable) {
        const double yScale = sm.y_scale / 65536.0 / 64.0;  // font units to pixels
        font->m_lineThickness = std::max(1, static_cast<int>(std::lround(face->underline_thickness * yScale)));
        font->m_underlinePos = std::max(1, static_cast<int>(std::lround(-face->underline_position * yScale)) -
                                               font->m_lineThickness / 2);
        const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
        font->m_strikePos = os2 && os2->yStrikeoutPosition > 0
                                ? static_cast<int>(std::lround(os2->yStrikeoutPosition * yScale))
                                : m.ascent / 3;
    } else {
        font->m_underlinePos = 1;
        font->m_strikePos = m.ascent / 3;
    }
    g_cache.emplace(key, font);
    return font;
}

namespace {

FT_Int32 loadFlags(bool scalable, bool antialiased) {
    // Outlines only: a face's embedded bitmaps could not follow a turned baseline, and text must have
    // the same shapes at every angle.
    FT_Int32 flags = antialiased ? FT_LOAD_TARGET_NORMAL : FT_LOAD_TARGET_MONO;
    if (scalable) flags |= FT_LOAD_NO_BITMAP;
    return flags;
}

} // namespace

TextMetrics Font::measure(std::string_view text) const {
    TextMetrics m = m_metrics;
    if (!m_face || !m_face->face) return m;
    std::lock_guard lock(g_mutex);
    FT_Face face = m_face->face;
    FT_Set_Transform(face, nullptr, nullptr);
    FT_Pos width = 0;
    for (unsigned char b : text) {
        if (FT_Load_Glyph(face, FT_Get_Char_Index(face, kCp1250Unicode[b]), loadFlags(m_scalable, false)) != 0)
            continue;
        if (m_embolden) FT_GlyphSlot_Embolden(face->glyph);
        width += face->glyph->advance.x;
    }
    m.width = static_cast<int>((width + 32) >> 6);
    return m;
}

Rect Font::draw(Bitmap& target, Point at, std::string_view text, const TextStyle& style) const {
    if (!m_face || !m_face->face) return {};
    Target t{target, target.bounds(), {}};
    if (style.clip) t.clip = t.clip.intersected(style.clip->normalised());
    if (t.clip.empty()) return {};
    std::lock_guard lock(g_mutex);
    FT_Face face = m_face->face;
    const FT_Int32 flags = loadFlags(m_scalable, style.antialiased);

    // Advances come from unturned glyphs, so a turned line is exactly as long as it measures.
    std::vector<Glyph> glyphs;
    glyphs.reserve(text.size());
    FT_Set_Transform(face, nullptr, nullptr);
    FT_Pos width = 0;
    for (unsigned char b : text) {
        const FT_UInt index = FT_Get_Char_Index(face, kCp1250Unicode[b]);
        FT_Pos advance = 0;
        if (FT_Load_Glyph(face, index, loadFlags(m_scalable, false)) == 0) {
            if (m_embolden) FT_GlyphSlot_Embolden(face->glyph);
            advance = face->glyph->advance.x;
        }
        glyphs.push_back({index, advance});
        width += advance;
    }

    double angle = m_scalable ? std::fmod(style.angle, 360.0) : 0.0;
    if (angle < 0) angle += 360.0;
    double c = std::cos(angle * std::numbers::pi / 180.0);
    double s = std::sin(angle * std::numbers::pi / 180.0);
    // Quarter turns exactly, so that turned text lands on whole pixels like unturned text.
    if (angle == 0 || angle == 90 || angle == 180 || angle == 270) {
        c = std::round(c);
        s = std::round(s);
    }
    const double ascent = m_metrics.ascent;
    TextSpace sp{static_cast<double>(at.x), static_cast<double>(at.y), c, s};
    if (style.anchor == TextAnchor::Top) {
        // The baseline lies `ascent` below the reference point, along the text's down direction.
        sp.originX += ascent * s;
        sp.originY += ascent * c;
    }
    const double cellWidth = std::round(width / 64.0);

    if (style.opaque)
        fillTextRect(t, sp, 0, cellWidth, -ascent, m_metrics.descent, style.background & kRgbMask);

    // Glyphs are placed relative to a whole-pixel origin; the rest of the baseline's start goes into
    // each glyph's offset (FreeType's y axis points up).
    const double baseX = std::floor(sp.originX);
    const double baseY = std::floor(sp.originY);
    const double fracX = sp.originX - baseX;
    const double fracY = sp.originY - baseY;
    const bool turned = c != 1.0 || m_oblique;
    FT_Matrix matrix{};
    if (turned) {
        // Turn after the oblique slant (x += 0.2 y), so slanted letters lean along the baseline.
        const double k = m_oblique ? 0.2 : 0.0;
        matrix.xx = static_cast<FT_Fixed>(std::lround(c * 65536));
        matrix.xy = static_cast<FT_Fixed>(std::lround((c * k - s) * 65536));
        matrix.yx = static_cast<FT_Fixed>(std::lround(s * 65536));
        matrix.yy = static_cast<FT_Fixed>(std::lround((s * k + c) * 65536));
    }
    const Rgb colour = style.colour & kRgbMask;
    FT_Pos pen = 0;
    for (const Glyph& g : glyphs) {
        FT_Vector delta{static_cast<FT_Pos>(std::lround(fracX * 64 + pen * c)),
                        static_cast<FT_Pos>(std::lround(-fracY * 64 + pen * s))};
        pen += g.advance;
        FT_Set_Transform(face, turned ? &matrix : nullptr, &delta);
        if (FT_Load_Glyph(face, g.index, flags) != 0) continue;
        if (m_embolden) FT_GlyphSlot_Embolden(face->glyph);
        if (FT_Render_Glyph(face->glyph, style.antialiased ? FT_RENDER_MODE_NORMAL : FT_RENDER_MODE_MONO) != 0)
            continue;
        blitGlyph(t, face->glyph->bitmap, static_cast<std::int64_t>(baseX) + face->glyph->bitmap_left,
                  static_cast<std::int64_t>(baseY) - face->glyph->bitmap_top, colour);
    }
    FT_Set_Transform(face, nullptr, nullptr);

    if (m_underline)
        fillTextRect(t, sp, 0, cellWidth, m_underlinePos, m_underlinePos + m_lineThickness, colour);
    if (m_strikeOut)
        fillTextRect(t, sp, 0, cellWidth, -m_strikePos, -m_strikePos + m_lineThickness, colour);
    return t.touched;
}

} // namespace qm
