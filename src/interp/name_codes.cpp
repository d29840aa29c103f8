// The name-code table.
#include "name_codes.h"

#include "language.h"

namespace qm {

NameCodeTable& nameCodes() {
    static NameCodeTable table;
    return table;
}

int32_t directCode(std::string_view text) {
    if (text.size() < 2 || text[0] != '#') return 0;
    size_t i = 1;
    bool neg = false;
    if (text[i] == '-' || text[i] == '+') neg = text[i++] == '-';
    if (i >= text.size()) return 0;
    int64_t v = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') return 0;
        v = (v * 10 + (text[i] - '0')) % 65536;  // only the remainder matters
    }
    if (neg) v = (65536 - v) % 65536;
    return kDirectCodeBase + static_cast<int32_t>(v);
}

int32_t NameCodeTable::intern(std::string_view text) {
    if (int32_t d = directCode(text)) return d;
    std::string key = foldName(text);
    auto it = m_byKey.find(key);
    if (it != m_byKey.end()) return it->second;
    m_texts.emplace_back(text);
    int32_t code = static_cast<int32_t>(m_texts.size());
    m_byKey.emplace(std::move(key), code);
    return code;
}

int32_t NameCodeTable::codeOf(std::string_view text) const {
    if (int32_t d = directCode(text)) return d;
    auto it = m_byKey.find(foldName(text));
    return it == m_byKey.end() ? 0 : it->second;
}

std::string NameCodeTable::textOf(int32_t code) const {
    if (code >= 1 && code <= static_cast<int32_t>(m_texts.size())) return m_texts[code - 1];
    if (isDirectCode(code)) return "#" + std::to_string(code - kDirectCodeBase);
    return "<Unknown name>";
}

void NameCodeTable::refold() {
    m_byKey.clear();
    for (size_t i = 0; i < m_texts.size(); ++i) m_byKey.emplace(foldName(m_texts[i]), static_cast<int32_t>(i + 1));
}

void NameCodeTable::clear() {
    m_texts.clear();
    m_byKey.clear();
}

} // namespace qm
