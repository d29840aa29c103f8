// Reading and writing the text of numbers, and the show form of words.
#include "number_text.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <algorithm>

namespace qm {

static bool isDigit(char c) { return c >= '0' && c <= '9'; }

static bool parseDecimalInt(std::string_view t, int32_t& out) {
    size_t i = 0;
    bool neg = false;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) neg = t[i++] == '-';
    if (i >= t.size()) return false;
    int64_t v = 0;
    for (; i < t.size(); ++i) {
        if (!isDigit(t[i])) return false;
        v = v * 10 + (t[i] - '0');
        if (v > 2147483648LL) return false;
    }
    if (neg) v = -v;
    if (v < INT32_MIN || v > INT32_MAX) return false;
    out = static_cast<int32_t>(v);
    return true;
}

static bool parseHexInt(std::string_view t, int32_t& out) {
    size_t i = 0;
    bool neg = false;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) neg = t[i++] == '-';
    if (i >= t.size() || t[i] != '$') return false;
    ++i;
    if (i >= t.size()) return false;
    uint64_t v = 0;
    for (; i < t.size(); ++i) {
        char c = t[i];
        int d = isDigit(c) ? c - '0' : (c >= 'a' && c <= 'f') ? c - 'a' + 10 : (c >= 'A' && c <= 'F') ? c - 'A' + 10 : -1;
        if (d < 0) return false;
        v = v * 16 + d;
        if (v > 0xFFFFFFFFULL) return false;
    }
    // Eight hexadecimal digits wrap into the negative range, as a 32-bit register does.
    int32_t r = static_cast<int32_t>(static_cast<uint32_t>(v));
    out = neg ? static_cast<int32_t>(0u - static_cast<uint32_t>(r)) : r;
    return true;
}

static bool parseReal(std::string_view t, LReal& out) {
    size_t i = 0;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
    size_t digits = 0;
    while (i < t.size() && isDigit(t[i])) ++i, ++digits;
    if (i < t.size() && t[i] == '.') {
        ++i;
        while (i < t.size() && isDigit(t[i])) ++i, ++digits;
    }
    if (digits == 0) return false;
    if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
        ++i;
        if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
        size_t ed = 0;
        while (i < t.size() && isDigit(t[i])) ++i, ++ed;
        if (ed == 0) return false;
    }
    if (i != t.size()) return false;
    std::string s(t);
    out = std::strtold(s.c_str(), nullptr);
    return true;
}

NumberReading readNumberText(std::string_view text) {
    NumberReading r;
    if (text.empty()) return r;
    if (parseDecimalInt(text, r.intValue) || parseHexInt(text, r.intValue)) {
        r.kind = NumberReading::Integer;
        r.realValue = r.intValue;
        return r;
    }
    if (parseReal(text, r.realValue)) r.kind = NumberReading::Real;
    return r;
}

NumberReading readNumberToken(std::string_view text) {
    NumberReading r;
    if (parseDecimalInt(text, r.intValue)) {
        r.kind = NumberReading::Integer;
        r.realValue = r.intValue;
        return r;
    }
    if (parseReal(text, r.realValue)) r.kind = NumberReading::Real;
    return r;
}

static void trimFraction(std::string& s) {
    auto dot = s.find('.');
    if (dot == std::string::npos) return;
    size_t end = s.size();
    while (end > dot + 1 && s[end - 1] == '0') --end;
    if (end == dot + 1) --end;
    s.resize(end);
}

// The six significant digits of |v| rounded half away from zero, and the decimal
// exponent of the first: 2147483648 gives "214748" and 9.
static void sixDigits(LReal v, std::string& digits, int& exp) {
    char buf[96];
    std::snprintf(buf, sizeof buf, "%.24Le", v < 0 ? -v : v);  // d.ddd...e+XX, exact enough to see ties
    char* e = std::strchr(buf, 'e');
    exp = std::atoi(e + 1);
    std::string all;
    for (char* p = buf; p < e; ++p)
        if (*p != '.') all.push_back(*p);
    digits = all.substr(0, 6);
    if (all.size() > 6 && all[6] >= '5') {
        int i = 5;
        while (i >= 0 && digits[i] == '9') digits[i--] = '0';
        if (i >= 0) {
            ++digits[i];
        } else {
            digits.insert(digits.begin(), '1');
            digits.pop_back();
            ++exp;
        }
    }
}

std::string formatReal(LReal v) {
    if (std::isnan(v)) return "NAN";
    if (std::isinf(v)) return v < 0 ? "-INF" : "INF";
    if (v == 0) return "0";
    std::string digits;
    int exp;
    sixDigits(v, digits, exp);
    while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
    std::string out = v < 0 ? "-" : "";
    if (exp <= 5 && exp >= -5) {
        if (exp < 0) {
            out += "0.";
            out.append(static_cast<size_t>(-exp - 1), '0');
            out += digits;
        } else {
            std::string whole = digits.substr(0, std::min<size_t>(digits.size(), static_cast<size_t>(exp) + 1));
            whole.append(static_cast<size_t>(exp) + 1 - whole.size(), '0');
            out += whole;
            if (digits.size() > static_cast<size_t>(exp) + 1) out += "." + digits.substr(static_cast<size_t>(exp) + 1);
        }
        return out;
    }
    out += digits.substr(0, 1);
    if (digits.size() > 1) out += "." + digits.substr(1);
    out += "E" + std::to_string(exp);
    return out;
}

int32_t roundRealToInt(LReal v, tlogoobject* offending) {
    LReal r = std::round(v);  // half away from zero
    if (!(r >= -2147483648.0L && r <= 2147483647.0L)) throw eLogoException(erMinMax, INT32_MIN, INT32_MAX, offending);
    return static_cast<int32_t>(r);
}

std::string showWordText(const std::string& t) {
    std::string S, P;
    bool barPossible = true, needsEscape = false;
    const size_t n = t.size();
    for (size_t i = 0; i < n; ++i) {
        unsigned char c = static_cast<unsigned char>(t[i]);
        const size_t pos = S.size() + 1;  // where this character lands in S, from 1
        const bool afterLeadingQuote = pos == 2 && !S.empty() && S[0] == '"';
        if (c == '\n' || c == '\r') {
            S.push_back('\xB6');
            if (barPossible) P.push_back('\xB6');
            if (c == '\r' && i + 1 < n && t[i + 1] == '\n') ++i;
            continue;
        }
        if (barPossible) P.push_back(static_cast<char>(c));
        if (c == ' ' || c == '[' || c == ']' || c == '\\') {
            S.push_back('\\');
            S.push_back(static_cast<char>(c));
            needsEscape = true;
        } else if (c == 0xB6 || c == '|') {
            S.push_back('\\');
            S.push_back(static_cast<char>(c));
            barPossible = false;
        } else if (c == '"') {
            if (pos >= 2 && !afterLeadingQuote) {
                S.push_back('\\');
                needsEscape = true;
            }
            S.push_back('"');
        } else if (std::strchr("*+-/()<>=;", c) && n > 1 && !afterLeadingQuote) {
            S.push_back('\\');
            S.push_back(static_cast<char>(c));
            needsEscape = true;
        } else if (c < 32) {
            std::string digits = std::to_string(c);
            if (barPossible && i + 1 == n) {
                if (needsEscape) return "|" + P.substr(0, P.size() - 1) + "|\\" + digits;
                S += "\\" + digits;
            } else {
                S += "\\" + digits + ".";
                barPossible = false;
            }
        } else {
            S.push_back(static_cast<char>(c));
        }
    }
    if (S == "\\<\\>") return "<>";
    if (S == "\\<\\=") return "<=";
    if (S == "\\>\\=") return ">=";
    if (S.empty()) return "||";
    if (barPossible && needsEscape) {
        if (!P.empty() && P[0] == '"') return "\"|" + P.substr(1) + "|";
        return "|" + P + "|";
    }
    return S;
}

} // namespace qm
