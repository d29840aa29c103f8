// The reader: Logo text into words, numbers and lists.
#pragma once

#include <string>
#include <string_view>

#include "value.h"

namespace qm {

struct ReadOptions {
    // While a file is loaded, a list left open at the end of the text is closed there.
    bool loadingFile = false;
};

// All items of the text as one list.
tLogoList* parse(std::string_view text, ReadOptions opts = {});
// One list per line of the text.
tLogoList* parseLines(std::string_view text, ReadOptions opts = {});
// The line (from 1) of the n-th word, number or open bracket of the text; -1 when
// the text has fewer.
int32_t lineOfToken(std::string_view text, int32_t n);

} // namespace qm
