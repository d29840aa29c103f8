// Text of numbers and words: reading a text as a number, writing reals, and the
// show form that escapes a word so the reader gives the same word back.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "value.h"

namespace qm {

struct NumberReading {
    enum Kind { None, Integer, Real } kind = None;
    int32_t intValue = 0;
    LReal realValue = 0;
};

// A whole text as a number: a 32-bit integer (decimal, or "$" and hexadecimal digits),
// else an extended real with "." as the decimal point, else not a number.
NumberReading readNumberText(std::string_view text);
// The same for reader tokens, which are always decimal.
NumberReading readNumberToken(std::string_view text);

// Six significant digits; fixed notation from 0.00001 up to six digits before the point.
std::string formatReal(LReal v);

// Rounded half away from zero; error 26 with the 32-bit bounds when it does not fit.
int32_t roundRealToInt(LReal v, tlogoobject* offending);

std::string showWordText(const std::string& text);

} // namespace qm
