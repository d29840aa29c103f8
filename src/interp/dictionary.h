// Language dictionaries: the words users write for every internal name, the messages,
// and the current language with the words derived from it.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace qm {

class Dictionary {
public:
    Dictionary() = default;
    Dictionary(Dictionary&&) noexcept = default;
    Dictionary& operator=(Dictionary&&) noexcept = default;
    Dictionary(const Dictionary&) = delete;
    Dictionary& operator=(const Dictionary&) = delete;

    // Reads the dictionary text format: "[group]" lines and "key=value" lines; replaces what the
    // dictionary held. Groups and keys are found whatever the case of their letters A-Z.
    void parse(std::string text);
    // The value of a key, or nil; it lives as long as the dictionary.
    const std::string_view* find(std::string_view group, std::string_view key) const;
    bool empty() const { return m_groups.empty(); }
    bool firstGroupEmpty() const { return m_firstGroupEmpty; }

private:
    struct Entry {
        std::string_view key, value;
    };
    struct Group {
        std::string_view name;
        std::vector<Entry> entries;  // by key
    };
    const Group* group(std::string_view name) const;

    // The text every name and value is a part of (names and keys in lower case); held apart,
    // so that moving the dictionary leaves the parts where they are.
    std::unique_ptr<std::string> m_text;
    std::vector<Group> m_groups;
    bool m_firstGroupEmpty = true;
};

// Decoding and encoding of the coded stream in its whole-buffer form: the first byte
// seeds a running sum that every following byte is taken against.
std::string decodeCoded(std::string_view coded);
std::string encodeCoded(std::string_view plain, unsigned char seed);

// Resources built into the engine ("LDI" language dictionaries, "laf" interface
// dictionaries, "TXT" built-in texts), already decoded. Empty when missing.
bool builtinResource(std::string_view type, std::string_view name, std::string& out);

// Where messages for the user go (a message box in a window, stderr for scripts).
void setMessageReporter(std::function<void(const std::string&)> fn);
void reportToUser(const std::string& text);

// The folder whose "<language>.ldx" overrides the built-in dictionary.
void setStartFolder(const std::string& folder);
const std::string& startFolder();

// Chooses the language; false when no dictionary for it can be read. With checkOnly
// the dictionary is only tried.
bool setLanguage(std::string name, bool checkOnly = false);
const std::string& currentLanguage();
const Dictionary& languageDictionary();
const Dictionary& interfaceDictionary();

// Lookups of the current language.
std::string dictGet(std::string_view group, std::string_view key, bool report = false);
std::string dictionaryWord(std::string_view key);  // group "dict", reported when missing
std::string firstWord(std::string_view group, std::string_view key);  // "@key@" when missing
std::vector<std::string> synonyms(std::string_view group, std::string_view key);
std::string message(std::string_view key, const std::string& a = {}, const std::string& b = {});
std::string uiString(std::string_view group, std::string_view key);

// The setter of a word: the language's setter prefix, the word and its suffix.
std::string setterOf(const std::string& word);
// Every code a registered internal name answers to: "set*name", "*name" or "name".
std::vector<int32_t> codesOf(std::string_view internalName);
// An internal name (marker, then name) in the current language.
std::string translateInternalName(const std::string& text);
// Replaces every internal name inside a longer text.
std::string translateText(const std::string& text);
bool isClipboardWord(std::string_view word);

// Special codes fixed at start-up.
struct SpecialCodes {
    int32_t lowRangeLimit = 0;
    int32_t eventLimit = 0;
    int32_t output = 0, stop = 0, minus = 0, plus = 0, askObj = 0, childDestination = 0;
    int32_t unaryMinus = 0, unaryPlus = 0, mainClass = 0, defaultAction = 0, error = 0;
    std::vector<int32_t> events;  // the 46 event codes in their fixed order
    std::vector<int32_t> creationNames;  // every spelling of create, destroy, addBehaviour, removeBehaviour
    std::vector<int32_t> nameNames;      // every spelling of name
};
void buildPropertyRows();
void buildClassSynonyms();
const SpecialCodes& specialCodes();
// Builds the code tables for the current language; the first step of start-up.
void initNameTables();

} // namespace qm
