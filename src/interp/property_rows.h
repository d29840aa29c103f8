// The property rows of the internal code table, built at start-up for the current language.
#pragma once

#include <cstdint>
#include <vector>

namespace qm {

constexpr int kPropertyRowCount = 195;
extern const char* const kPropertyRowNames[kPropertyRowCount];

struct PropertyRow {
    int32_t code = 0;                 // the first spelling
    int32_t setter = 0;               // the setter of the first spelling
    std::vector<int32_t> extraSetters;
    std::vector<int32_t> extraGetters;
    std::vector<int32_t> synonyms;
};

// Row r (0..194); an empty row has code 0.
const PropertyRow& propertyRow(int row);
// The row of a property code (any spelling), or -1.
int propertyRowOf(int32_t code);

// Class names: a synonym maps to the code of the class's first word.
int32_t classNameCode(int32_t code);

} // namespace qm
