// Name tables indexed by name code, their entries, and procedure descriptors: the one
// point through which the evaluator calls anything.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "element.h"
#include "value.h"

namespace qm {

struct ProcessContext;
class tLogoTab;

enum TabFlags : uint8_t {
    tfDoNotSavePerm = 1 << 0,
    tfDoNotSaveNow = 1 << 2,
    tfSystem = 1 << 3,
    tfHidden = 1 << 4,
    tfBuried = 1 << 5,
};

// Set while start-up defines the system: entries made meanwhile survive erasing all.
extern bool g_systemDefinitions;

// Changes whenever something that finding a procedure by name depends on changes: an
// entry added to or removed from any table, a table destroyed, an object's lookup
// chains rebuilt. Call sites remember what they found together with this number.
extern std::atomic<uint64_t> g_lookupGeneration;
inline uint64_t lookupGeneration() { return g_lookupGeneration.load(std::memory_order_relaxed); }
inline void bumpLookupGeneration() { g_lookupGeneration.fetch_add(1, std::memory_order_relaxed); }

class tTabDesc {
public:
    explicit tTabDesc(int32_t code) : nameCode(code) {}
    virtual ~tTabDesc() = default;
    tTabDesc(const tTabDesc&) = delete;

    int32_t nameCode;
    uint8_t flags = 0;
    tTabDesc* chainNext = nullptr;
    tTabDesc* chainPrev = nullptr;
    tLogoTab* table = nullptr;
    bool userDefined = false;

    virtual std::string DefinitionText() { return {}; }
    virtual tlogoobject* Value() { return nullptr; }
    std::string NameText() const;
    virtual bool MayChange(bool running) { return false; }
};

class tLogoTab {
public:
    explicit tLogoTab(tlogoobject* owner = nullptr) : owner(owner) {}
    virtual ~tLogoTab();
    tLogoTab(const tLogoTab&) = delete;

    tTabDesc* FindEntry(int32_t code) const {
        uint32_t i = static_cast<uint32_t>(code - m_low);
        if (i < m_entries.size()) return m_entries[i];
        if (code >= kHighCodes) return findHigh(code);
        return nullptr;
    }
    tTabDesc* GetEntry(int32_t code) const;
    bool contains(int32_t code) const { return FindEntry(code) != nullptr; }
    // Stores the entry, replacing (and destroying) one of the same code.
    void add(tTabDesc* entry);
    void remove(int32_t code);
    bool removeIfPresent(int32_t code);
    void EraseAll(int32_t exceptCode = 0);
    tTabDesc* chainHead() const { return m_head; }
    int32_t low() const { return m_low; }
    int32_t high() const { return m_high; }

    bool shared = false;
    tlogoobject* owner;
    std::string label;

protected:
    virtual eLogoException missing(int32_t code) const;

private:
    static constexpr int32_t kHighCodes = 0x7FFF0000;
    tTabDesc* findHigh(int32_t code) const;
    void cover(int32_t code);
    void unlink(tTabDesc* e);

    std::vector<tTabDesc*> m_entries;
    int32_t m_low = 1, m_high = 0;
    std::unordered_map<int32_t, tTabDesc*> m_highEntries;  // direct "#n" codes
    tTabDesc* m_head = nullptr;
    tTabDesc* m_tail = nullptr;
};

// ---- variables ----
class tLogoVarDesc : public tTabDesc {
public:
    using tTabDesc::tTabDesc;
    ~tLogoVarDesc() override { release(value); }
    tlogoobject* value = nullptr;  // held
    uint8_t kind = 1;              // 1: made by a plain assignment
    void setValue(tlogoobject* v);
    tlogoobject* Value() override { return value; }
    std::string DefinitionText() override;
};

class tLogoVarTab : public tLogoTab {
public:
    using tLogoTab::tLogoTab;
    void SetWithFlags(int32_t code, tlogoobject* v, uint8_t flags);
    void Set(int32_t code, tlogoobject* v);
    tlogoobject* Get(int32_t code) const;
    tlogoobject* GetOrNil(int32_t code) const;

protected:
    eLogoException missing(int32_t code) const override;
    virtual tLogoVarDesc* newEntry(int32_t code) { return new tLogoVarDesc(code); }
};

// ---- procedures ----
class tProcDesc : public tTabDesc {
public:
    tProcDesc(int32_t code, int32_t defpar, bool varpar, ElementTypes funtype)
        : tTabDesc(code), defpar(defpar), varpar(varpar), funtype(funtype) {}

    int32_t defpar;
    bool varpar;
    ElementTypes funtype;
    uint8_t specialKind = 0;  // 1 output, 2 stop
    // Which operator of the number types this descriptor sends to its first input
    // (the evaluator computes numbers itself for it); -1 until the evaluator has asked.
    int8_t numberOperator = -1;
    int32_t activeCalls = 0;
    bool userProcedure = false;

    // Pops n inputs, does the work, pushes exactly one item (a value or nil).
    virtual void Execute(ProcessContext& cx, int32_t n) = 0;
    virtual void callCommand(ProcessContext& cx, int32_t n) { Execute(cx, n); }   // entry 0
    virtual void callReporter(ProcessContext& cx, int32_t n) { Execute(cx, n); }  // entry 1
    virtual void callTail(ProcessContext& cx, int32_t n) { Execute(cx, n); }      // entry 2
    virtual void callTemplateCommand(ProcessContext& cx, int32_t n) { Execute(cx, n); }   // entry 3
    virtual void callTemplateReporter(ProcessContext& cx, int32_t n) { Execute(cx, n); }  // entry 4
    // Entries 5 and 6: an operation sent to a value's type.
    virtual void sendCommand(ProcessContext& cx, int32_t n, tlogoobject* target);
    virtual void sendReporter(ProcessContext& cx, int32_t n, tlogoobject* target);
    virtual tlogoobject* DefinitionList() { return nullptr; }
    bool MayChange(bool running) override { return false; }
};

// A handler that pops its own inputs and pushes its own result.
using RawHandler = void (*)(ProcessContext& cx, int32_t n);

class tMainPasProcDesc : public tProcDesc {
public:
    tMainPasProcDesc(int32_t code, int32_t defpar, bool varpar, ElementTypes ft, RawHandler h)
        : tProcDesc(code, defpar, varpar, ft), handler(h) {}
    RawHandler handler;
    void Execute(ProcessContext& cx, int32_t n) override { handler(cx, n); }
};

// output and stop: the evaluator handles them itself; reached any other way they raise
// the output signal.
class tOutput : public tProcDesc {
public:
    explicit tOutput(int32_t code) : tProcDesc(code, 1, false, etIfFun) { specialKind = 1; }
    void Execute(ProcessContext& cx, int32_t n) override;
};
class tStop : public tProcDesc {
public:
    explicit tStop(int32_t code) : tProcDesc(code, 0, false, etIfFun) { specialKind = 2; }
    void Execute(ProcessContext& cx, int32_t n) override;
};

// Operations sent to the type of one input.
class tObjectProc1Desc : public tProcDesc {  // the first input
public:
    using tProcDesc::tProcDesc;
    void Execute(ProcessContext& cx, int32_t n) override;
};
class tObjectProcEndDesc : public tProcDesc {  // the last input
public:
    using tProcDesc::tProcDesc;
    void Execute(ProcessContext& cx, int32_t n) override;
};
class tObjectProcNDesc : public tProcDesc {  // the input at a fixed depth below the top
public:
    tObjectProcNDesc(int32_t code, int32_t defpar, bool varpar, ElementTypes ft, int32_t depth)
        : tProcDesc(code, defpar, varpar, ft), depth(depth) {}
    int32_t depth;
    void Execute(ProcessContext& cx, int32_t n) override;
};

// Value-type methods: called only with a target.
using MethodHandler = tlogoobject* (*)(ProcessContext& cx, tlogoobject* self, tlogoobject** args, int32_t n);

class tPasProcRoot : public tProcDesc {
public:
    tPasProcRoot(int32_t code, int32_t defpar, ElementTypes ft, MethodHandler h)
        : tProcDesc(code, defpar, false, ft), handler(h) {}
    MethodHandler handler;
    void Execute(ProcessContext& cx, int32_t n) override;
    void sendCommand(ProcessContext& cx, int32_t n, tlogoobject* target) override { CallWithTarget(cx, n, target); }
    void sendReporter(ProcessContext& cx, int32_t n, tlogoobject* target) override { CallWithTarget(cx, n, target); }
    // Pops the further inputs, calls the handler with the target first, pushes the result.
    void CallWithTarget(ProcessContext& cx, int32_t n, tlogoobject* target);
};

// The descriptor of a user procedure comes with the procedure machinery; the evaluator
// only needs to know that tail calls may rebind its frame.

} // namespace qm
