// Colours: palette, families and shades, names in the current language, the random
// colour, and the colour primitives of the main object.
#include "colours.h"

#include <string>
#include <unordered_map>
#include <vector>

#include "context.h"
#include "dictionary.h"
#include "language.h"
#include "name_codes.h"
#include "registry.h"

namespace qm {

namespace {

constexpr uint32_t rgbOf(uint32_t hex) {  // #RRGGBB as written to 0x00BBGGRR
    return ((hex >> 16) & 0xFF) | (hex & 0xFF00) | ((hex & 0xFF) << 16);
}

constexpr uint32_t kPalette[kPaletteSize] = {
    rgbOf(0x000000), rgbOf(0x000080), rgbOf(0x008000), rgbOf(0x008080), rgbOf(0x800000), rgbOf(0x800080),
    rgbOf(0x808000), rgbOf(0xC0C0C0), rgbOf(0x808080), rgbOf(0x0000FF), rgbOf(0x00FF00), rgbOf(0x00FFFF),
    rgbOf(0xFF0000), rgbOf(0xFF00FF), rgbOf(0xFFFF00), rgbOf(0xFFFFFF),
};

struct Family {
    const char* name;  // internal name, dictionary group "colors"
    uint32_t shades[kShadeCount];  // #RRGGBB, darkest first; shade 6 is the plain colour
};

const Family kFamilies[kFamilyCount] = {
    {"magenta", {0x280010, 0x480820, 0x700838, 0x981048, 0xD01860, 0xF81878, 0xF85098, 0xF880B0, 0xF8A0C8, 0xFFB8D0, 0xFFD0E0, 0xFFE0F0}},
    {"pink", {0x280028, 0x500050, 0x800080, 0xA800A8, 0xD800D8, 0xFF00FF, 0xFF48FF, 0xFF70FF, 0xFF90FF, 0xFFB0FF, 0xFFC8FF, 0xFFE0FF}},
    {"purple", {0x180028, 0x300048, 0x480070, 0x680098, 0x8800D0, 0xA800F8, 0xC040F8, 0xD068F8, 0xD898F8, 0xE0B0FF, 0xE8C8FF, 0xF8E0FF}},
    {"darkBlue", {0x000020, 0x100838, 0x200860, 0x300888, 0x3808B8, 0x4810E8, 0x7848E8, 0x9870F0, 0xB098F8, 0xC8B0F8, 0xD8C8F8, 0xE8E0FF}},
    {"blue", {0x000028, 0x000050, 0x000080, 0x0000A8, 0x0000D8, 0x0000FF, 0x4040FF, 0x6868FF, 0x9090FF, 0xB0B0FF, 0xC8C8FF, 0xE0E0FF}},
    {"paleBlue", {0x001828, 0x003040, 0x005068, 0x007098, 0x0090D0, 0x00B0F8, 0x40C0F8, 0x68D0F8, 0x90E0F8, 0xB0E8FF, 0xD0F0F8, 0xE0F8FF}},
    {"cyan", {0x002828, 0x005050, 0x008080, 0x00A8A8, 0x00D8D8, 0x00FFFF, 0x40FFFF, 0x68FFFF, 0x90FFFF, 0xB0FFFF, 0xD0FFF8, 0xE0FFFF}},
    {"darkGreen", {0x002818, 0x004030, 0x006848, 0x009068, 0x00C890, 0x00F0B0, 0x40F0C0, 0x70F8D0, 0x90F8E0, 0xB0F8E0, 0xD0F8F0, 0xE0FFF8}},
    {"green", {0x002800, 0x005000, 0x008000, 0x00A800, 0x00D000, 0x00FF00, 0x40FF40, 0x70FF70, 0x90FF90, 0xB0FFB0, 0xC8FFC8, 0xE0FFE0}},
    {"olive", {0x182800, 0x284800, 0x407000, 0x609800, 0x80D000, 0x98F800, 0xB0F848, 0xC0F870, 0xD0FF98, 0xE0FFB0, 0xE8FFC8, 0xF0FFE0}},
    {"yellow", {0x282800, 0x505000, 0x808000, 0xA8A800, 0xD8D800, 0xFFFF00, 0xFFFF40, 0xFFFF70, 0xFFFF98, 0xFFFFB0, 0xFFFFC8, 0xFFFFE0}},
    {"orange", {0x281800, 0x482800, 0x704800, 0x986000, 0xD08010, 0xF8A010, 0xF8B850, 0xF8C878, 0xFFD898, 0xFFE0B0, 0xFFE8C8, 0xFFF8E8}},
    {"taupe", {0x200800, 0x382018, 0x583820, 0x785030, 0xA86840, 0xC88048, 0xD8A078, 0xE0B898, 0xE8C8B0, 0xF0D8C8, 0xF8E8D8, 0xF8F0F0}},
    {"paleRed", {0x280800, 0x401800, 0x682000, 0x983000, 0xC84010, 0xF04810, 0xF07850, 0xF89878, 0xF8B898, 0xF8C8B0, 0xFFD8D0, 0xFFE8E0}},
    {"red", {0x280000, 0x500000, 0x800000, 0xA80000, 0xD80000, 0xFF0000, 0xFF4040, 0xFF6868, 0xFF9090, 0xFFB0B0, 0xFFC8C8, 0xFFE8E8}},
    {"grey", {0x000000, 0x202020, 0x383838, 0x505050, 0x686868, 0x808080, 0x989898, 0xB0B0B0, 0xC0C0C0, 0xD8D8D8, 0xF0F0F0, 0xFFFFFF}},
};

struct Special {
    const char* name;
    uint32_t hex;
};
const Special kSpecials[] = {{"white", 0xFFFFFF}, {"black", 0x000000}, {"lightGrey", 0xC0C0C0}};
constexpr int32_t kSpecialCount = 3;

// What a colour name stands for: a special colour (0..2) or a family (0..15).
struct NamedColour {
    bool special;
    int32_t index;
};

struct NameTables {
    std::unordered_map<std::string, NamedColour> byKey;  // folded spelling -> colour
    std::string specialNames[kSpecialCount];             // first spellings, for giving back
    std::string familyNames[kFamilyCount];
    std::vector<int32_t> styleCodes, anyCodes;           // the settings' variable names
};
NameTables g_names;

// The family and shade (1..12) holding an RGB value, searched family by family.
bool findInFamilies(uint32_t rgb, int32_t& family, int32_t& shade) {
    for (int32_t f = 0; f < kFamilyCount; ++f)
        for (int32_t s = 0; s < kShadeCount; ++s)
            if (rgbOf(kFamilies[f].shades[s]) == rgb) {
                family = f;
                shade = s + 1;
                return true;
            }
    return false;
}

// A project setting: the main object's global variable under any spelling of its name.
tlogoobject* setting(const std::vector<int32_t>& codes) {
    tLogoVarTab* vars = globals().variables;
    if (!vars) return nullptr;
    for (int32_t code : codes)
        if (tlogoobject* v = vars->GetOrNil(code)) return v;
    return nullptr;
}

uint32_t randomFamilyColour() {
    return familyColour(static_cast<int32_t>(randomBelow(kFamilyCount)), static_cast<int32_t>(randomBelow(kShadeCount)) + 1);
}

// "[r g b]" with single spaces; anything else gives black.
uint32_t colourOfBracketText(std::string_view t) {
    int32_t parts[3];
    size_t i = 1;
    for (int k = 0; k < 3; ++k) {
        int64_t v = 0;
        size_t digits = 0;
        while (i < t.size() && t[i] >= '0' && t[i] <= '9' && digits < 4) v = v * 10 + (t[i++] - '0'), ++digits;
        if (digits == 0 || v > 255) return 0;
        parts[k] = static_cast<int32_t>(v);
        const char expected = k < 2 ? ' ' : ']';
        if (i >= t.size() || t[i] != expected) return 0;
        ++i;
    }
    if (i != t.size()) return 0;
    return static_cast<uint32_t>(parts[0]) | (static_cast<uint32_t>(parts[1]) << 8) | (static_cast<uint32_t>(parts[2]) << 16);
}

tLogoList* rgbList(uint32_t rgb) {
    ListBuilder b;
    b.append(makeInt(rgb & 0xFF));
    b.append(makeInt((rgb >> 8) & 0xFF));
    b.append(makeInt((rgb >> 16) & 0xFF));
    return b.finish();
}

uint32_t toColourHook(tlogoobject* v) { return colourOfValue(v); }

void primTorgb(ProcessContext& cx, int32_t n) { finish(cx, n, rgbList(colourOfValue(input(cx, n, 0)))); }

void primQuelmarColours(ProcessContext& cx, int32_t n) {
    ListBuilder b;
    b.append(makeWord(g_names.specialNames[0]));
    b.append(makeWord(g_names.specialNames[1]));
    for (const std::string& name : g_names.familyNames) b.append(makeWord(name));
    finish(cx, n, b.finish());
}

void primAny(ProcessContext& cx, int32_t n) { finish(cx, n, makeWord(firstWord("dict", "any"))); }

const PrimitiveRow kColourPrimitives[] = {
    {"quelmarcolours", DescKind::Main, 0, false, etFun, primQuelmarColours},
    {"torgb", DescKind::Main, 1, false, etFun, primTorgb},
    {"any", DescKind::Main, 0, false, etFun, primAny},
};

} // namespace

int32_t paletteColour(int32_t index) {
    if (index < 0) return index;
    if (index < kPaletteSize) return static_cast<int32_t>(kPalette[index]);
    return 0;
}

uint32_t familyColour(int32_t family, int32_t shade) { return rgbOf(kFamilies[family].shades[shade - 1]); }

uint32_t colourOfValue(tlogoobject* v) {
    try {
        if (v->IsNumber()) return static_cast<uint32_t>(paletteColour(v->ToIntRange(0, kPaletteSize - 1)));
        if (v->IsList()) {
            auto* l = static_cast<tLogoList*>(v);
            if (l->count() < 3) throw eLogoException(erExpectColors, v);
            uint32_t r = static_cast<uint32_t>(l->element->ToIntRange(0, 255));
            uint32_t g = static_cast<uint32_t>(l->rest->element->ToIntRange(0, 255));
            uint32_t b = static_cast<uint32_t>(l->rest->rest->element->ToIntRange(0, 255));
            return r | (g << 8) | (b << 16);
        }
    } catch (eLogoException&) {
        throw eLogoException(erExpectColors, v);
    }
    if (v->vkind == ValueKind::String) {
        const std::string& t = v->GetText();
        if (!t.empty() && t[0] == '[') return colourOfBracketText(t);
        return colourOfName(t, v);
    }
    throw eLogoException(erExpectColors, v);
}

uint32_t colourOfName(std::string_view text, tlogoobject* offending) {
    std::string t(text);
    if (!t.empty() && t[0] == '"') t.erase(0, 1);
    if (isAnyWord(t)) return anyColour();
    // A trailing number is the shade.
    size_t k = t.size();
    while (k > 0 && t[k - 1] >= '0' && t[k - 1] <= '9') --k;
    int32_t shade = 0;
    if (k < t.size()) {
        if (t.size() - k > 9) throw eLogoException(erExpectNumber, offending);
        shade = std::stoi(t.substr(k));
        if (shade < 1 || shade > kShadeCount) throw eLogoException(erMinMax, 1, kShadeCount, offending);
    }
    auto it = g_names.byKey.find(foldName(std::string_view(t).substr(0, k)));
    if (it == g_names.byKey.end()) {
        if (offending) throw eLogoException(erColorWrongName, offending);
        Ref<tlogoobject> w = makeWord(std::string(text));
        throw eLogoException(erColorWrongName, w.get());
    }
    const NamedColour c = it->second;
    if (c.special) {
        const uint32_t rgb = rgbOf(kSpecials[c.index].hex);
        if (shade == 0) return rgb;
        // A shade of a special colour is taken from the family that holds it.
        int32_t family, found;
        if (!findInFamilies(rgb, family, found)) return rgb;
        return familyColour(family, shade);
    }
    return familyColour(c.index, shade == 0 ? 6 : shade);
}

uint32_t anyColour() {
    tlogoobject* allowed = setting(g_names.anyCodes);
    if (!allowed) return randomFamilyColour();
    if (allowed->IsList()) {
        auto* l = static_cast<tLogoList*>(allowed);
        if (l->IsEmpty()) return randomFamilyColour();
        tLogoList* c = l;
        for (uint32_t i = randomBelow(static_cast<uint32_t>(l->count())); i > 0; --i) c = c->rest;
        // "any" inside the list stands for every colour there is.
        if (c->element->IsWord() && !c->element->IsNumber() && isAnyWord(c->element->GetText()))
            return randomBelow(0x1000000);
        return colourOfValue(c->element);
    }
    if (allowed->IsNumber()) {
        int32_t n;
        try {
            n = allowed->ToInt();
        } catch (eLogoException&) {
            return randomFamilyColour();
        }
        if (n <= 1) return randomBelow(2) ? rgbOf(0xFFFFFF) : 0;
        if (n <= kPaletteSize) return kPalette[randomBelow(static_cast<uint32_t>(n))];
        return randomFamilyColour();
    }
    return randomFamilyColour();
}

tlogoobject* colourValue(int32_t colour) {
    if (colour < 0) return makeInt(colour);  // a system colour stays what it is
    const uint32_t rgb = static_cast<uint32_t>(colour) & 0xFFFFFF;
    int32_t style = 0;
    if (tlogoobject* s = setting(g_names.styleCodes)) {
        try {
            style = s->ToInt();
        } catch (eLogoException&) {
            style = 0;
        }
    }
    if (style == 1) {
        for (int32_t i = 0; i < kSpecialCount; ++i)
            if (rgbOf(kSpecials[i].hex) == rgb) return makeWord(g_names.specialNames[i]);
        int32_t family, shade;
        if (findInFamilies(rgb, family, shade))
            return makeWord(shade == 6 ? g_names.familyNames[family] : g_names.familyNames[family] + std::to_string(shade));
    }
    if (style != 2)
        for (int32_t i = 0; i < kPaletteSize; ++i)
            if (kPalette[i] == rgb) return makeInt(i);
    return rgbList(rgb);
}

void reloadColourNames() {
    NameTables t;
    auto addNames = [&](const char* internal, NamedColour c, std::string& first) {
        std::vector<std::string> words = synonyms("colors", internal);
        if (words.empty()) words.push_back(internal);
        first = words.front();
        for (const std::string& w : words) t.byKey.emplace(foldName(w), c);
    };
    for (int32_t i = 0; i < kSpecialCount; ++i) addNames(kSpecials[i].name, {true, i}, t.specialNames[i]);
    for (int32_t i = 0; i < kFamilyCount; ++i) addNames(kFamilies[i].name, {false, i}, t.familyNames[i]);
    for (const std::string& w : synonyms("name", "colourstyle")) t.styleCodes.push_back(nameCodes().intern(w));
    for (const std::string& w : synonyms("name", "anycolour")) t.anyCodes.push_back(nameCodes().intern(w));
    g_names = std::move(t);
}

void registerColourPrimitives(tMainLogoObject& main) {
    language().colourOf = toColourHook;
    reloadColourNames();
    addPrimitives(main.procedures, kColourPrimitives);
}

} // namespace qm
