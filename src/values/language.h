// What values need to know of the current language: the comparison of names, the
// true, false and "any" words, and hooks into the interpreter that owns the dictionary.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qm {

struct ElementBlock;
class tlogoobject;

struct LanguageState {
    // With "ansi", names compare with accents folded away (a learner's "pis" finds "piš").
    bool ansiCompare = false;
    bool optionAnsi = false;  // the option "ansi": booleans print with accents removed
    std::vector<std::string> trueWords{"true"};
    std::vector<std::string> falseWords{"false"};
    std::vector<std::string> anyWords{"any"};
    std::string anInstanceOf = "an instance of %s";

    // Hooks the interpreter installs at start-up.
    int32_t (*intern)(const std::string& text) = nullptr;
    std::string (*translateInternal)(const std::string& text) = nullptr;
    ElementBlock* (*compile)(tlogoobject* value, int kind) = nullptr;
    void (*freeBlock)(ElementBlock* block) = nullptr;
    uint32_t (*colourOf)(tlogoobject* value) = nullptr;
};

LanguageState& language();

// Folding tables of code page 1250.
// Every letter to the upper-case unaccented ASCII letter it is based on.
extern const unsigned char kFoldAnsi[256];
// Upper case of code page 1250 (accents kept).
extern const unsigned char kUpperCp1250[256];
// Bytes 128..255 to their unaccented letters, case kept (index b - 128).
extern const unsigned char kUnaccent[128];
// The Unicode code point of every byte (U+FFFD where the code page defines none).
extern const uint16_t kCp1250Unicode[256];

// The key under which a name is compared: two texts compare equal exactly when their
// keys are equal.
std::string foldName(std::string_view text);
// Language comparison: <0, 0, >0.
int compareNames(std::string_view a, std::string_view b);
bool sameName(std::string_view a, std::string_view b);
bool isTrueWord(std::string_view t);
bool isFalseWord(std::string_view t);
bool isAnyWord(std::string_view t);
std::string upperCp1250(std::string_view t);

// Code page 1250 <-> UTF-8 at the edges of the engine.
std::string cp1250ToUtf8(std::string_view s);
std::string utf8ToCp1250(std::string_view s);

// Uniform random numbers for the whole engine.
uint32_t randomBelow(uint32_t n);  // 0..n-1 (0 when n is 0)
double randomUnit();                // [0, 1)
void seedRandom(uint64_t seed);

} // namespace qm
