// Name codes: every name is interned once to an integer and compared as one from then on.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace qm {

// Codes written "#n" live in a range of their own above every interned code, so that
// no table array ever has to span it.
constexpr int32_t kDirectCodeBase = 0x7FFF0000;
inline bool isDirectCode(int32_t code) { return code >= kDirectCodeBase; }

class NameCodeTable {
public:
    // The code of a text, created when new. Texts that compare equal share one code.
    int32_t intern(std::string_view text);
    // The code of a known text, or 0.
    int32_t codeOf(std::string_view text) const;
    // The text of a code, or "<Unknown name>".
    std::string textOf(int32_t code) const;
    int32_t size() const { return static_cast<int32_t>(m_texts.size()); }
    // Rebuilds the keys after the comparison mode changed; codes stay as they are.
    void refold();
    void clear();

private:
    std::vector<std::string> m_texts;  // code c at c - 1
    std::unordered_map<std::string, int32_t> m_byKey;
};

NameCodeTable& nameCodes();

// "#" and a decimal number: its direct code; 0 when the text is not of that form.
int32_t directCode(std::string_view text);

} // namespace qm
