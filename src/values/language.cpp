// Language comparison of names, the true/false/any words, encodings at the edges and
// the engine's random numbers.
#include "language.h"

#include <random>

namespace qm {


LanguageState& language() {
    static LanguageState state;
    return state;
}

std::string foldName(std::string_view text) {
    const unsigned char* table = language().ansiCompare ? kFoldAnsi : kUpperCp1250;
    std::string key(text);
    for (char& c : key) c = static_cast<char>(table[static_cast<unsigned char>(c)]);
    return key;
}

int compareNames(std::string_view a, std::string_view b) {
    const unsigned char* table = language().ansiCompare ? kFoldAnsi : kUpperCp1250;
    size_t n = a.size() < b.size() ? a.size() : b.size();
    for (size_t i = 0; i < n; ++i) {
        unsigned char x = table[static_cast<unsigned char>(a[i])];
        unsigned char y = table[static_cast<unsigned char>(b[i])];
        if (x != y) return x < y ? -1 : 1;
    }
    if (a.size() == b.size()) return 0;
    return a.size() < b.size() ? -1 : 1;
}

bool sameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && compareNames(a, b) == 0;
}

static bool inWords(const std::vector<std::string>& words, std::string_view t) {
    for (const auto& w : words)
        if (sameName(w, t)) return true;
    return false;
}

bool isTrueWord(std::string_view t) { return inWords(language().trueWords, t); }
bool isFalseWord(std::string_view t) { return inWords(language().falseWords, t); }
bool isAnyWord(std::string_view t) { return inWords(language().anyWords, t); }

std::string upperCp1250(std::string_view t) {
    std::string s(t);
    for (char& c : s) c = static_cast<char>(kUpperCp1250[static_cast<unsigned char>(c)]);
    return s;
}

std::string cp1250ToUtf8(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (unsigned char c : s) {
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
            continue;
        }
        uint32_t u = kCp1250Unicode[c];
        if (u < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (u >> 6)));
            out.push_back(static_cast<char>(0x80 | (u & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xE0 | (u >> 12)));
            out.push_back(static_cast<char>(0x80 | ((u >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (u & 0x3F)));
        }
    }
    return out;
}

std::string utf8ToCp1250(std::string_view s) {
    static const auto reverse = [] {
        std::vector<std::pair<uint32_t, unsigned char>> r;
        for (int b = 0x80; b < 256; ++b)
            if (kCp1250Unicode[b] != 0xFFFD) r.emplace_back(kCp1250Unicode[b], static_cast<unsigned char>(b));
        return r;
    }();
    std::string out;
    out.reserve(s.size());
    size_t i = 0;
    while (i < s.size()) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
            ++i;
            continue;
        }
        int len = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
        uint32_t u = len == 4 ? c & 0x07 : len == 3 ? c & 0x0F : c & 0x1F;
        bool ok = len > 1 && i + len <= s.size();
        for (int k = 1; ok && k < len; ++k) {
            unsigned char cc = static_cast<unsigned char>(s[i + k]);
            if ((cc & 0xC0) != 0x80) ok = false;
            u = (u << 6) | (cc & 0x3F);
        }
        if (!ok) {
            out.push_back('?');  // a stray byte that is not UTF-8
            ++i;
            continue;
        }
        i += len;
        char mapped = '?';
        for (const auto& [uni, byte] : reverse)
            if (uni == u) {
                mapped = static_cast<char>(byte);
                break;
            }
        out.push_back(mapped);
    }
    return out;
}

static std::mt19937_64& rng() {
    static std::mt19937_64 gen{std::random_device{}()};
    return gen;
}

uint32_t randomBelow(uint32_t n) {
    if (n == 0) return 0;
    return static_cast<uint32_t>(std::uniform_int_distribution<uint64_t>(0, n - 1)(rng()));
}

double randomUnit() { return std::uniform_real_distribution<double>(0.0, 1.0)(rng()); }

void seedRandom(uint64_t seed) { rng().seed(seed); }

} // namespace qm
