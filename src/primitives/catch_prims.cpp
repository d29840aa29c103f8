// Catching and raising: catch, throw, error and throwerror.
#include "control_support.h"
#include "dictionary.h"
#include "error_text.h"
#include "evaluator.h"
#include "language.h"
#include "name_codes.h"
#include "primitives.h"
#include "registry.h"

namespace qm {

namespace {

constexpr char kLineBreakMark = '\xB6';

// Tags compare as names do: case folded the language's way.
std::string tagKey(tlogoobject* tag) {
    if (!tag->IsWord()) throw eLogoException(erExpectWord, tag);
    return foldName(tag->GetText());
}

bool isKeyOf(const std::string& key, const char* group, const char* internal) {
    for (const std::string& w : synonyms(group, internal))
        if (foldName(w) == key) return true;
    return false;
}

// The tag stays on catchTags exactly as long as its catch runs.
struct CatchTag {
    ProcessContext& cx;
    CatchTag(ProcessContext& c, std::string key) : cx(c) { cx.catchTags.push_back(std::move(key)); }
    ~CatchTag() { cx.catchTags.pop_back(); }
};

std::string withMarks(std::string text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') {
            out.push_back(kLineBreakMark);
            if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else if (text[i] == '\n') {
            out.push_back(kLineBreakMark);
        } else {
            out.push_back(text[i]);
        }
    }
    return out;
}

void recordPending(ProcessContext& cx, const eLogoException& e) {
    PendingError& p = cx.pendingError;
    p.set = true;
    p.code = e.code;
    p.message = withMarks(errorMessage(e));
    p.name = e.name;
    p.value = e.value;
    p.nameCode = e.nameCode;
}

void recordPending(ProcessContext& cx, const std::exception& e) {
    PendingError& p = cx.pendingError;
    p.set = true;
    p.code = 0;
    p.message = withMarks(e.what());
    p.name.clear();
    p.value = nullptr;
    p.nameCode = 0;
}

void primCatch(ProcessContext& cx, int32_t n) {
    const std::string key = tagKey(input(cx, n, 0));
    tlogoobject* body = input(cx, n, 1);
    const bool catchesErrors = isKeyOf(key, "other", "error");
    const bool catchesTopLevel = isKeyOf(key, "dict", "toplevel");
    const int32_t depth = cx.valueStack.count();
    CatchTag tag(cx, key);
    try {
        runInstructionList(cx, body);
    } catch (ethrow& t) {
        if (catchesErrors || catchesTopLevel || foldName(t.tagText) != key) throw;
        cx.valueStack.truncate(depth);
    } catch (eLogoException& e) {
        if (!catchesErrors) throw;
        recordPending(cx, e);
        cx.valueStack.truncate(depth);
    } catch (eSelfTerminate&) {
        if (!catchesTopLevel) throw;
        cx.valueStack.truncate(depth);
    } catch (eTerminateException&) {
        throw;
    } catch (eOutputException&) {
        throw;
    } catch (std::bad_alloc&) {
        throw;
    } catch (std::exception& e) {
        if (!catchesErrors) throw;
        recordPending(cx, e);
        cx.valueStack.truncate(depth);
    }
    finish(cx, n, nullptr);
}

void primThrow(ProcessContext& cx, int32_t n) {
    tlogoobject* tag = input(cx, n, 0);
    const std::string key = tagKey(tag);
    if (isKeyOf(key, "dict", "toplevel")) throw eSelfTerminate();
    bool waiting = false;
    for (const std::string& t : cx.catchTags)
        if (t == key) waiting = true;
    if (!waiting) throw eLogoException(erNoCatch, tag);
    throw ethrow(tag);
}

// [code message [] 0 name value], once per caught error.
void primError(ProcessContext& cx, int32_t n) {
    PendingError& p = cx.pendingError;
    if (!p.set) {
        finish(cx, n, makeEmptyList());
        return;
    }
    p.set = false;
    std::string message = p.message;
    for (char& c : message)
        if (c == kLineBreakMark) c = '\r';
    Ref<tlogoobject> code = makeInt(p.code);
    Ref<tlogoobject> text = makeRawWord(message);
    Ref<tlogoobject> empty = makeEmptyList();
    Ref<tlogoobject> zero = makeInt(0);
    Ref<tlogoobject> name = p.name.empty() ? static_cast<tlogoobject*>(makeEmptyList()) : makeRawWord(p.name);
    Ref<tlogoobject> value = p.value;
    if (!value) {
        if (p.nameCode) value = makeRawWord(nameCodes().textOf(p.nameCode));
        else value = makeEmptyList();
    }
    ListBuilder b;
    for (tlogoobject* v : {code.get(), text.get(), empty.get(), zero.get(), name.get(), value.get()}) b.append(v);
    p.value = nullptr;
    Ref<tLogoList> result = b.finish();
    finish(cx, n, result.get());
}

void primThrowerror(ProcessContext& cx, int32_t n) {
    tlogoobject* message = input(cx, n, 0);
    std::string text = message->IsList() ? message->PrintText(false) : message->GetText();
    throw eLogoException::withMessage(erUser, text, input(cx, n, 1));
}

const PrimitiveRow kCatchPrimitives[] = {
    {"catch", DescKind::Main, 2, false, etFun, primCatch},
    {"throw", DescKind::Main, 1, false, etFun, primThrow},
    {"error", DescKind::Main, 0, false, etFun, primError},
    {"throwerror", DescKind::Main, 2, false, etFun, primThrowerror},
};

} // namespace

void registerCatchPrimitives(tMainLogoObject& main) { addPrimitives(main.procedures, kCatchPrimitives); }

} // namespace qm
