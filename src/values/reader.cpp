// The reader: a byte-at-a-time tokenizer with the escape, bar and number states, and
// the list builder on top of it.
#include "reader.h"

#include <cstring>
#include <vector>

#include "language.h"
#include "number_text.h"

namespace qm {

namespace {

constexpr int kEnd = -1;

struct Token {
    enum Kind { End, LineBreak, Open, Close, Word, Number } kind = End;
    std::string text;
};

bool isDelimiter(int c) {
    return c == kEnd || c == '\r' || c == ' ' || (c >= 0 && std::strchr("\"()*+-/;<=>[]", c) && c != 0);
}
bool isDigit(int c) { return c >= '0' && c <= '9'; }

class Lexer {
public:
    explicit Lexer(std::string_view text) {
        // Line feeds vanish except as the very last byte, where one reads as a space;
        // other control bytes read as spaces; a NUL ends the text.
        m_buf.reserve(text.size());
        for (size_t i = 0; i < text.size(); ++i) {
            unsigned char b = static_cast<unsigned char>(text[i]);
            if (b == 0) break;
            if (b == '\n') {
                if (i + 1 == text.size()) m_buf.push_back(' ');
                continue;
            }
            if (b < 32 && b != '\r') b = ' ';
            m_buf.push_back(static_cast<char>(b));
        }
    }

    Token next() {
        bool separated = m_sepNext;
        m_sepNext = false;
        if (cur() == ' ') separated = true;
        while (cur() == ' ') ++m_pos;
        Token t;
        int c = cur();
        if (c == kEnd) return t;
        if (c == '\r') {
            ++m_pos;
            m_sepNext = true;
            t.kind = Token::LineBreak;
            return t;
        }
        if (c == '[') {
            ++m_pos;
            m_sepNext = true;
            t.kind = Token::Open;
            return t;
        }
        if (c == ']') {
            ++m_pos;
            t.kind = Token::Close;
            return t;
        }
        t.kind = Token::Word;
        if (std::strchr("()*/;=", c)) {
            ++m_pos;
            t.text.push_back(static_cast<char>(c));
            return t;
        }
        if (c == '+' || c == '-') {
            if (separated && isDigit(at(m_pos + 1))) {
                t.text.push_back(static_cast<char>(c));
                ++m_pos;
                return scan(t, N1);
            }
            ++m_pos;
            t.text.push_back(static_cast<char>(c));
            return t;
        }
        if (c == '<') {
            ++m_pos;
            t.text = "<";
            if (cur() == '=' || cur() == '>') t.text.push_back(static_cast<char>(at(m_pos++)));
            return t;
        }
        if (c == '>') {
            ++m_pos;
            t.text = ">";
            if (cur() == '=') t.text.push_back(static_cast<char>(at(m_pos++)));
            return t;
        }
        ++m_pos;
        if (c == '\\') return scan(t, E);
        if (c == '|') return scan(t, B);
        t.text.push_back(static_cast<char>(c));
        if (c == '"') return scan(t, Q);
        if (isDigit(c)) return scan(t, N1);
        return scan(t, W);
    }

private:
    enum State { W, E, C, Q, B, N1, N2, N3, N4, N5 };

    int at(size_t i) const { return i < m_buf.size() ? static_cast<unsigned char>(m_buf[i]) : kEnd; }
    int cur() const { return at(m_pos); }

    Token& finish(Token& t, bool number) {
        t.kind = number ? Token::Number : Token::Word;
        return t;
    }

    Token scan(Token& t, State s) {
        int acc = 0;
        for (;;) {
            int c = cur();
            switch (s) {
            case W:
                if (isDelimiter(c)) return finish(t, false);
                ++m_pos;
                if (c == '\\') s = E;
                else if (c == '|') s = B;
                else if (c == 0xB6) t.text.push_back('\r');
                else t.text.push_back(static_cast<char>(c));
                break;
            case E:
                if (c == kEnd) return finish(t, false);
                ++m_pos;
                if (isDigit(c)) {
                    acc = c - '0';
                    s = C;
                } else {
                    t.text.push_back(static_cast<char>(c));
                    s = W;
                }
                break;
            case C:
                if (isDigit(c)) {
                    ++m_pos;
                    if (acc * 10 + (c - '0') <= 255) acc = acc * 10 + (c - '0');
                    break;
                }
                t.text.push_back(static_cast<char>(acc));
                if (c == kEnd) return finish(t, false);
                if (c == '.') ++m_pos;
                s = W;
                break;
            case Q:
                if (c == kEnd || c == '\r' || c == ' ' || c == '[' || c == ']') return finish(t, false);
                ++m_pos;
                if (c == '|') s = B;
                else if (c == '\\') s = E;
                else if (c == 0xB6) {
                    t.text.push_back('\r');
                    s = W;
                } else {
                    t.text.push_back(static_cast<char>(c));
                    s = W;
                }
                break;
            case B:
                if (c == kEnd) return finish(t, false);
                ++m_pos;
                if (c == '|') s = W;
                else if (c == 0xB6) t.text.push_back('\r');
                else t.text.push_back(static_cast<char>(c));
                break;
            case N1:
            case N2:
            case N5:
                if (isDigit(c)) {
                    ++m_pos;
                    t.text.push_back(static_cast<char>(c));
                    if (s == N5) break;
                    break;
                }
                if (s == N1 && c == '.') {
                    ++m_pos;
                    t.text.push_back('.');
                    s = N2;
                    break;
                }
                if (s != N5 && (c == 'e' || c == 'E')) {
                    ++m_pos;
                    t.text.push_back(static_cast<char>(c));
                    s = N3;
                    break;
                }
                if (isDelimiter(c)) return finish(t, true);
                s = W;
                break;
            case N3:
                if (c == '+' || c == '-') {
                    ++m_pos;
                    t.text.push_back(static_cast<char>(c));
                    s = N4;
                } else if (isDigit(c)) {
                    ++m_pos;
                    t.text.push_back(static_cast<char>(c));
                    s = N5;
                } else {
                    s = W;
                }
                break;
            case N4:
                if (isDigit(c)) {
                    ++m_pos;
                    t.text.push_back(static_cast<char>(c));
                    s = N5;
                } else {
                    s = W;
                }
                break;
            }
        }
    }

    std::string m_buf;
    size_t m_pos = 0;
    bool m_sepNext = true;
};

tlogoobject* tokenValue(Token& t) {
    if (t.kind == Token::Number) {
        NumberReading r = readNumberToken(t.text);
        tlogonumber* n = nullptr;
        if (r.kind == NumberReading::Integer) n = makeInt(r.intValue);
        else if (r.kind == NumberReading::Real) n = makeReal(r.realValue);
        if (n) {
            // A number keeps the text it was read with: 007 prints as 007, 1.50 as 1.50.
            n->numberText = std::move(t.text);
            n->textCached = true;
            return n;
        }
        return makeWord(std::move(t.text));
    }
    if (isTrueWord(t.text) || isFalseWord(t.text)) {
        tLogoBool* b = makeBool(isTrueWord(t.text));
        b->numberText = std::move(t.text);
        b->textCached = true;
        return b;
    }
    return makeWord(std::move(t.text));
}

// Reads items up to the matching "]" (nested) or the end (top level).
tLogoList* readList(Lexer& lx, bool nested, const ReadOptions& opts, int32_t& line) {
    ListBuilder b;
    for (;;) {
        Token t = lx.next();
        switch (t.kind) {
        case Token::End:
            if (nested && !opts.loadingFile) throw eLogoException(erMissingRBracket);
            return b.finish();
        case Token::LineBreak:
            ++line;
            break;
        case Token::Open: {
            Ref<tLogoList> sub = readList(lx, true, opts, line);
            b.append(sub.get());
            break;
        }
        case Token::Close:
            if (nested) return b.finish();
            throw eLogoException(erExtraRBracket);
        default: {
            Ref<tlogoobject> v = tokenValue(t);
            b.append(v.get());
            break;
        }
        }
    }
}

} // namespace

tLogoList* parse(std::string_view text, ReadOptions opts) {
    Lexer lx(text);
    int32_t line = 1;
    return readList(lx, false, opts, line);
}

tLogoList* parseLines(std::string_view text, ReadOptions opts) {
    size_t b = 0, e = text.size();
    auto blank = [](char c) { return static_cast<unsigned char>(c) <= 32; };
    while (b < e && blank(text[b])) ++b;
    while (e > b && blank(text[e - 1])) --e;
    std::string_view body = text.substr(b, e - b);
    ListBuilder lines;
    size_t start = 0;
    for (;;) {
        size_t cr = body.find('\r', start);
        std::string_view one = body.substr(start, cr == std::string_view::npos ? std::string_view::npos : cr - start);
        Ref<tLogoList> l = parse(one, opts);
        lines.append(l.get());
        if (cr == std::string_view::npos) break;
        start = cr + 1;
    }
    return lines.finish();
}

int32_t lineOfToken(std::string_view text, int32_t n) {
    Lexer lx(text);
    int32_t line = 1, seen = 0;
    for (;;) {
        Token t = lx.next();
        if (t.kind == Token::End) return -1;
        if (t.kind == Token::LineBreak) {
            ++line;
            continue;
        }
        if (t.kind == Token::Open || t.kind == Token::Word || t.kind == Token::Number) {
            if (++seen == n) return line;
        }
    }
}

} // namespace qm
