// The context of a running Logo process: its value stack, local scope, current object
// and the evaluator's own fields.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "tables.h"
#include "value_stack.h"

namespace qm {

struct Element;

// Dynamic scope with shallow binding: the current binding of every name lives in one
// array indexed by name code; frames save and restore the bindings they replace.
class tLogoLocaltab {
public:
    tLogoLocaltab();
    ~tLogoLocaltab();
    tLogoLocaltab(const tLogoLocaltab&) = delete;

    // The binding of a name: nullptr when no frame binds it; otherwise the slot.
    tlogoobject** binding(int32_t code) {
        uint32_t i = static_cast<uint32_t>(code);
        if (i < m_values.size() && m_values[i] != unbound()) return &m_values[i];
        return nullptr;
    }
    // Pops count values (the last input first) and binds names to them in a new frame.
    // When the context asks for it (see ProcessContext::dropCallerBindings), the values that
    // the calling frame gave the same names are let go: nothing can read them any more.
    void openFrame(ProcessContext& cx, const int32_t* names, int32_t count);
    // The same into the current frame (a tail call reuses its caller's frame).
    void rebind(ProcessContext& cx, const int32_t* names, int32_t count);
    void closeFrame();
    // Binds a name in the current frame; only sets its value when already bound there.
    void declareLocal(int32_t code, tlogoobject* value);
    // Binds, in the current frame, every name that `from` binds now, to the same values:
    // a launched process starts with its launcher's locals as they were.
    void copyBindingsFrom(const tLogoLocaltab& from);
    int32_t frameDepth() const { return m_frames; }
    int32_t frameSize() const { return m_frameSize; }

private:
    struct Saved {
        int32_t code;       // -1: a frame marker (previous frame size in value slot)
        bool wasBound;
        tlogoobject* value; // the value it had before (held), or the marker's size
        int32_t markerSize;
    };
    // The value slot of a name that no frame binds (a bound name without a value holds
    // nullptr).
    static tlogoobject* unbound() { return reinterpret_cast<tlogoobject*>(&s_unboundMark); }
    static char s_unboundMark;
    void ensure(int32_t code) {
        if (static_cast<uint32_t>(code) >= m_values.size()) grow(code);
    }
    void grow(int32_t code);
    void bindOne(int32_t code, tlogoobject* v);  // v's hold is handed over

    std::vector<tlogoobject*> m_values;  // unbound() where no frame binds the name
    std::vector<Saved> m_saved;
    int32_t m_frameSize = 0;
    int32_t m_frames = 0;
};

// Where printed text goes.
class TextOutput {
public:
    virtual ~TextOutput() = default;
    virtual void write(const std::string& cp1250Text) = 0;
};

struct PendingTail {
    tProcDesc* desc = nullptr;
    tlogoobject* target = nullptr;
    int32_t level = 0;
    int32_t n = 0;
};

// The error that `catch "error` caught, until `error` reads it.
struct PendingError {
    bool set = false;
    int32_t code = 0;
    std::string message;  // line breaks as the line-break mark (byte 0xB6)
    std::string name;
    Ref<tlogoobject> value;
    int32_t nameCode = 0;
};

// What ask and its relatives save and restore: the current object, the ask table and
// the who list. The objects are held, so that an object erased meanwhile stays a valid
// record until the frame is popped.
struct AskFrame {
    Ref<tlogoobject> me;
    tLogoTab* askTable = nullptr;
    std::shared_ptr<tLogoTab> askTableOwner;
    std::vector<Ref<tlogoobject>> whoList;
    bool hasWhoList = false;
    Ref<tlogoobject> current;  // the object the frame made current, kept alive meanwhile
};

struct ProcessContext {
    ProcessContext();
    ~ProcessContext();
    ProcessContext(const ProcessContext&) = delete;

    tLogoStack valueStack;
    tLogoLocaltab localScopeTable;
    tLogoLocaltab* localScope = &localScopeTable;
    tlogoobject* me = nullptr;           // the current object
    tlogoobject* outputValue = nullptr;  // held
    int32_t stopPending = 0;
    bool testResult = false;
    bool testSet = false;
    int32_t repCount = 0;
    int32_t evalDepth = 0;
    int32_t procLevel = 0;
    int32_t foundLevel = 0;
    int32_t tailDepth = 0;
    PendingTail pendingTail;
    // `output` in a procedure body whose whole input is one call of a user procedure: once
    // that call's inputs are taken, the caller only waits to output its value, and the names
    // the callee binds hide the caller's bindings of them until then. The callee's frame
    // therefore lets those values go (a procedure that recurses through output with a list
    // it copies at every step would otherwise keep every copy). outputOperand marks where
    // such an input begins while output collects it; dropCallerBindings is set just before
    // the callee binds its inputs.
    const Element* outputOperand = nullptr;
    bool dropCallerBindings = false;
    bool savedTest = false;
    tLogoTab* askTable = nullptr;
    std::vector<std::string> catchTags;  // active catch tags, lower case, innermost last
    PendingError pendingError;
    std::vector<tlogoobject*> objectStack;  // me of the callers of qualified calls
    TextOutput* output = nullptr;
    // Called at every yield point (the start of every instruction-list run).
    void (*yieldPoint)(ProcessContext&) = nullptr;
    void* process = nullptr;  // the process record, for the process system
    // The who list of tell and ask (objects held), the table that dispatches calls to
    // it, and the frames of ask and its relatives.
    std::vector<Ref<tlogoobject>> whoList;
    bool hasWhoList = false;
    std::shared_ptr<tLogoTab> askTableOwner;
    std::vector<AskFrame> askFrames;
    Ref<tlogoobject> lastCreated;  // the object this process created last

    void pushMe(tlogoobject* obj) {
        objectStack.push_back(me);
        me = obj;
    }
    void popMe() {
        me = objectStack.back();
        objectStack.pop_back();
    }
};

// The main object's global variables and the object every lookup ends in.
struct Globals {
    tLogoVarTab* variables = nullptr;
    tlogoobject* mainObject = nullptr;
};
Globals& globals();

// Variables as code reads them: the current binding, else the global one.
tlogoobject* readVariable(ProcessContext& cx, int32_t code);
void assignVariable(ProcessContext& cx, int32_t code, tlogoobject* v);

} // namespace qm
