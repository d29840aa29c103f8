// The Logo value classes: lists, words (strings, integers, reals, booleans) and the
// virtual operations every value and object offers.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "heap.h"
#include "logo_error.h"

namespace qm {

using LReal = long double;  // the extended real of the language

struct ElementBlock;
class tLogoTab;
class tProcDesc;

enum class ValueKind : uint8_t { List, String, Int, Real, Bool, Object, Image, Other };

class tlogoobject : public TheapObject {
public:
    explicit tlogoobject(ValueKind k) : vkind(k) {}

    ValueKind vkind;

    bool IsList() const { return vkind == ValueKind::List; }
    bool IsWord() const { return vkind >= ValueKind::String && vkind <= ValueKind::Bool; }
    bool IsImage() const { return vkind == ValueKind::Image; }

    virtual tlogoobject* Clone();
    virtual bool IsAnyWord() { return false; }
    virtual bool IsNumber() { return false; }
    virtual bool IsBool() { return false; }
    virtual bool IsInteger() { return false; }
    virtual int32_t ToIntRange(int32_t lo, int32_t hi);
    virtual int32_t ToInt();
    virtual LReal ToReal();
    virtual uint32_t ToColour();
    virtual std::string PrintText(bool brackets);
    virtual std::string ShowText(bool brackets) { return PrintText(brackets); }
    virtual const std::string& GetText();
    // The text of a word without making a string of it. Valid until this value is released or
    // its GetText() is asked for (which may move a shared text into a string of its own).
    virtual std::string_view TextView() { return GetText(); }
    virtual int32_t NameCode();
    virtual ElementBlock* Compile(int kind);
    virtual bool ToBool();
    virtual bool IsEmpty() { return false; }
    virtual bool Equal(tlogoobject* other) { return other == this; }
    virtual bool EqualExact(tlogoobject* other) { return Equal(other); }
    virtual bool NotEqual(tlogoobject* other) { return !Equal(other); }
    virtual tLogoTab* MethodTable() { return nullptr; }
    virtual bool AssignInPlace(tlogoobject* other) { return other == this; }
    // The class name shown in "an instance of" texts.
    virtual std::string ClassName() { return "object"; }

    // Procedures reachable from this object: the first definition of code at a lookup
    // level after afterLevel (-1: from the first level), and the level it was found at.
    virtual tProcDesc* FindProc(int32_t code, int32_t afterLevel, int32_t& level) { return nullptr; }
    // A named object reachable from this one (a child, or one of the main object).
    virtual tlogoobject* FindNamedObject(int32_t code) { return nullptr; }
    // Calls of this object's name run its default action.
    virtual bool HasDefaultAction() { return false; }
};

// One list cell; a list is a chain of cells. The empty list is a single cell whose
// element and rest are both nil, and no other list contains such a cell.
class tLogoList final : public tlogoobject {
public:
    tLogoList() : tlogoobject(ValueKind::List) {}
    ~tLogoList() override;
    static void* operator new(size_t sz);
    static void operator delete(void* p);

    // Programs hold millions of cells, so a cell is kept to 40 bytes: the compile kind
    // sits in the padding after the base's fields, and no other field is kept.
    uint8_t codeCacheKind = 0;
    tlogoobject* element = nullptr;  // held
    tLogoList* rest = nullptr;       // held
    ElementBlock* codeCache = nullptr;

    void Dispose() override;
    tlogoobject* Clone() override;
    std::string PrintText(bool brackets) override;
    std::string ShowText(bool brackets) override;
    ElementBlock* Compile(int kind) override;
    bool IsEmpty() override { return element == nullptr; }
    bool Equal(tlogoobject* other) override;
    bool EqualExact(tlogoobject* other) override;
    tLogoTab* MethodTable() override;
    std::string ClassName() override { return "list"; }

    int32_t count() const;
};

class tLogoWord : public tlogoobject {
public:
    using tlogoobject::tlogoobject;
    ~tLogoWord() override;
    int32_t nameCodeCache = 0;
    ElementBlock* codeCache = nullptr;
    uint8_t codeCacheKind = 0;

    int32_t NameCode() override;
    ElementBlock* Compile(int kind) override;
    void clearCaches();
};

// Characters that several words share: a word made by adding to the end of another, or a
// part of a long one, refers to the characters already there instead of copying them, so
// that building a word a character at a time, or taking it apart with butfirst, costs neither
// quadratic time nor quadratic memory while every step is still held. Characters once
// written never change and the buffer never moves; a word whose text ends where the written
// part ends may write more after it while there is room. Counts are not atomic: like every
// value, shared texts are handled under the global interpreter lock.
class SharedText {
public:
    // Room for `capacity` characters, none written.
    static SharedText* make(size_t capacity);
    static void operator delete(void* p) { ::operator delete(p); }
    int32_t refs = 0;
    uint32_t used = 0;
    uint32_t capacity = 0;
    char* chars() { return reinterpret_cast<char*>(this + 1); }

private:
    SharedText() = default;
};

class tLogoString final : public tLogoWord {
public:
    tLogoString() : tLogoWord(ValueKind::String) {}
    explicit tLogoString(std::string t) : tLogoWord(ValueKind::String), m_text(std::move(t)) {}
    // `length` characters of `shared` from `begin`, which must already be written.
    tLogoString(SharedText* shared, uint32_t begin, uint32_t length);
    ~tLogoString() override;
    static void* operator new(size_t sz);
    static void operator delete(void* p);

    bool numberParsed = false, isNumber = false, isInteger = false;
    bool truthParsed = false, isTruth = false, truthValue = false;
    LReal realValue = 0;
    int32_t intValue = 0;

    void Dispose() override;
    tlogoobject* Clone() override;
    bool IsAnyWord() override;
    bool IsNumber() override;
    bool IsBool() override;
    bool IsInteger() override;
    int32_t ToIntRange(int32_t lo, int32_t hi) override;
    int32_t ToInt() override;
    LReal ToReal() override;
    std::string PrintText(bool brackets) override;
    std::string ShowText(bool brackets) override;
    // A shared text is first copied into a string of this word's own.
    const std::string& GetText() override;
    std::string_view TextView() override {
        if (m_shared) return {m_shared->chars() + m_begin, m_length};
        return m_text;
    }
    bool ToBool() override;
    bool IsEmpty() override { return m_shared ? m_length == 0 : m_text.empty(); }
    bool Equal(tlogoobject* other) override;
    bool EqualExact(tlogoobject* other) override;
    tLogoTab* MethodTable() override;
    bool AssignInPlace(tlogoobject* other) override;
    std::string ClassName() override { return "word"; }

    void parseNumber();
    void resetCaches();

    // The shared text of this word, or nil; where its text begins in it.
    SharedText* sharedText() const { return m_shared; }
    uint32_t sharedBegin() const { return m_begin; }

private:
    std::string m_text;               // the text, unless it is shared
    SharedText* m_shared = nullptr;   // held
    uint32_t m_begin = 0, m_length = 0;
};

class tlogonumber : public tLogoWord {
public:
    using tLogoWord::tLogoWord;
    bool textCached = false;
    std::string numberText;

    bool IsNumber() override { return true; }
    int32_t ToIntRange(int32_t lo, int32_t hi) override;
    std::string PrintText(bool brackets) override { return GetText(); }
    bool Equal(tlogoobject* other) override;
    bool NotEqual(tlogoobject* other) override { return !Equal(other); }
    std::string ClassName() override { return "number"; }
};

class tLogoInt final : public tlogonumber {
public:
    explicit tLogoInt(int32_t v = 0) : tlogonumber(ValueKind::Int), value(v) {}
    static void* operator new(size_t sz);
    static void operator delete(void* p);
    int32_t value;

    void Dispose() override;
    tlogoobject* Clone() override;
    bool IsInteger() override { return true; }
    int32_t ToInt() override { return value; }
    LReal ToReal() override { return value; }
    const std::string& GetText() override;
    bool ToBool() override { return value > 0; }
    tLogoTab* MethodTable() override;
};

class tLogoReal final : public tlogonumber {
public:
    explicit tLogoReal(LReal v = 0) : tlogonumber(ValueKind::Real), value(v) {}
    static void* operator new(size_t sz);
    static void operator delete(void* p);
    LReal value;

    void Dispose() override;
    tlogoobject* Clone() override;
    bool IsInteger() override;
    int32_t ToInt() override;
    LReal ToReal() override { return value; }
    const std::string& GetText() override;
    bool ToBool() override;
    tLogoTab* MethodTable() override;
};

class tLogoBool final : public tlogonumber {
public:
    explicit tLogoBool(bool v = false) : tlogonumber(ValueKind::Bool), value(v) {}
    static void* operator new(size_t sz);
    static void operator delete(void* p);
    bool value;

    void Dispose() override;
    tlogoobject* Clone() override;
    bool IsNumber() override { return false; }
    bool IsBool() override { return true; }
    int32_t ToInt() override;
    LReal ToReal() override;
    const std::string& GetText() override;
    bool ToBool() override { return value; }
    bool Equal(tlogoobject* other) override;
    bool NotEqual(tlogoobject* other) override { return !Equal(other); }
    tLogoTab* MethodTable() override;
    std::string ClassName() override { return "boolean"; }
};

// ---- factories (pooled on Logo process threads) ----
tLogoInt* makeInt(int32_t v);
tLogoReal* makeReal(LReal v);
tLogoBool* makeBool(bool v);
// A word from text; a text that starts with the internal-name marker is translated first.
tLogoString* makeWord(std::string text);
// A word stored exactly as given (no translation).
tLogoString* makeRawWord(std::string text);
// `word`: the texts of the parts one after the other, as makeWord makes it. When the first part
// is a word whose characters may be written on, the others are added after them in place and
// the new word shares them; a long result otherwise gets a shared text with room to grow.
tlogoobject* joinWords(tlogoobject* const* parts, size_t count);
// The characters from..from+length of a word (within its text), as makeWord makes them; a
// long part shares the characters of the word.
tlogoobject* partOfWord(tlogoobject* word, size_t from, size_t length);
tLogoList* makeEmptyList();
// A cell holding element in front of rest (rest may be the empty list or nil).
tLogoList* makeCell(tlogoobject* element, tLogoList* rest);
// An integer when it fits in 32 bits, else a real: how integer arithmetic overflows.
tlogoobject* makeNumber(int64_t v);

// Builds a list front to back without copying.
class ListBuilder {
public:
    ListBuilder() = default;
    ListBuilder(const ListBuilder&) = delete;
    ~ListBuilder();
    void append(tlogoobject* v);
    // Appends the remaining chain as the shared tail of the list.
    void appendShared(tLogoList* tail);
    tLogoList* finish();  // fresh (count 0) list; the empty list when nothing was appended
    bool empty() const { return m_head == nullptr; }

private:
    tLogoList* m_head = nullptr;
    tLogoList* m_tail = nullptr;
};

// ---- pools ----
// Marks the calling thread as one that runs Logo code, so it may use the value pools.
void setLogoThread(bool on);
bool isLogoThread();

struct MemoryCounters {
    int64_t cellsAllocated, cellsReleased, cellsInUse;
    int32_t freeInts, freeReals, freeStrings, freeBools, freeCells;
    int64_t liveWords;
};
MemoryCounters memoryCounters();
void preallocatePools();

} // namespace qm
