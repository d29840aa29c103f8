// User procedures: defining, calling (with tail-call continuations), regenerating their
// text, and finding the line of an error in that text.
#include "procedures.h"

#include "context.h"
#include "dictionary.h"
#include "evaluator.h"
#include "language.h"
#include "name_codes.h"
#include "reader.h"

namespace qm {

namespace {

// Text of a value's words as a name: the word's text without a leading colon.
std::string inputNameText(tlogoobject* v) {
    std::string t = v->GetText();
    if (!t.empty() && t[0] == ':') t.erase(0, 1);
    return t;
}

bool validProcedureName(const std::string& t) {
    if (t.empty() || t[0] == '"' || t[0] == ':') return false;
    for (char c : t)
        if (static_cast<unsigned char>(c) <= 32) return false;
    Ref<tlogoobject> probe = makeRawWord(t);
    return !probe->IsNumber();
}

// Tokens the reader saw for an element: a constant list is its "[" and everything
// inside; an object prefix shares its token with the name that follows it.
int32_t tokensOfValue(tlogoobject* v) {
    if (!v->IsList()) return 1;
    int32_t n = 1;
    auto* l = static_cast<tLogoList*>(v);
    for (tLogoList* c = l->IsEmpty() ? nullptr : l; c; c = c->rest) n += tokensOfValue(c->element);
    return n;
}

int32_t tokensOfElements(const ElementBlock* b, int32_t count) {
    int32_t n = 0;
    for (int32_t i = 0; i < count && i < static_cast<int32_t>(b->elements.size()); ++i) {
        const Element& e = b->elements[static_cast<size_t>(i)];
        if (e.kind == etEnd || e.kind == etObjectPrefixFun) continue;
        n += e.kind == etConst ? tokensOfValue(e.value) : 1;
    }
    return n;
}

} // namespace

std::string trimmed(std::string_view s) {
    size_t b = 0, e = s.size();
    while (b < e && static_cast<unsigned char>(s[b]) <= 32) ++b;
    while (e > b && static_cast<unsigned char>(s[e - 1]) <= 32) --e;
    return std::string(s.substr(b, e - b));
}

bool isCommentLine(std::string_view line) {
    std::string t = trimmed(line);
    return !t.empty() && t[0] == ';';
}

// The first word of a line, as the reader would see it up to a blank.
std::string firstWordOf(const std::string& line) {
    std::string t = trimmed(line);
    size_t sp = 0;
    while (sp < t.size() && static_cast<unsigned char>(t[sp]) > 32) ++sp;
    return t.substr(0, sp);
}

namespace {

// Lines of a text ending in CR LF, CR, LF or the line-break mark.
std::vector<std::string> splitLines(std::string_view text) {
    std::vector<std::string> lines;
    std::string cur;
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '\r' || c == '\n' || static_cast<unsigned char>(c) == 0xB6) {
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
            lines.push_back(cur);
            cur.clear();
        } else {
            cur.push_back(c);
        }
    }
    if (!cur.empty()) lines.push_back(cur);
    return lines;
}

bool matchesKeyword(std::string_view word, const char* key) {
    static const std::string kMarker = "\xB7other\xB7";
    if (word.size() > kMarker.size() && word.substr(0, kMarker.size()) == kMarker &&
        sameName(word.substr(kMarker.size()), key))
        return true;
    for (const std::string& w : synonyms("other", key))
        if (sameName(word, w)) return true;
    return false;
}

struct ActiveCall {
    tProcDesc* d;
    explicit ActiveCall(tProcDesc* d) : d(d) { ++d->activeCalls; }
    ~ActiveCall() { --d->activeCalls; }
};

} // namespace

// ---- descriptors ----

tLogoProcDesc::tLogoProcDesc(int32_t code, int32_t defpar, bool varpar) : tProcDesc(code, defpar, varpar, etFun) {
    userProcedure = true;
    userDefined = true;
}

tLogoProcDesc::~tLogoProcDesc() { release(body); }

tLogoProcDescF::tLogoProcDescF(int32_t code, std::vector<int32_t> names)
    : tLogoProcDesc(code, static_cast<int32_t>(names.size()), false) {
    inputNames = std::move(names);
    inputCount = static_cast<int32_t>(inputNames.size());
}

void tLogoProcDescF::bindInputs(ProcessContext& cx, int32_t n, bool rebind) {
    if (n < inputCount) throw eLogoException::withName(erNotEnoughInputs, NameText());
    if (n > inputCount) throw eLogoException::withName(erTooManyInputs, NameText());
    if (rebind) cx.localScope->rebind(cx, inputNames.data(), inputCount);
    else cx.localScope->openFrame(cx, inputNames.data(), inputCount);
}

tLogoProcDescV::tLogoProcDescV(int32_t code, int32_t name, int32_t defaultCount)
    : tLogoProcDesc(code, defaultCount, true) {
    inputNames.push_back(name);
    inputCount = 1;
}

void tLogoProcDescV::bindInputs(ProcessContext& cx, int32_t n, bool rebind) {
    ListBuilder b;
    for (int32_t i = n - 1; i >= 0; --i) b.append(cx.valueStack.at(i));
    tLogoList* all = b.finish();
    cx.valueStack.discard(n);
    cx.valueStack.push(all);
    if (rebind) cx.localScope->rebind(cx, inputNames.data(), 1);
    else cx.localScope->openFrame(cx, inputNames.data(), 1);
}

void tLogoProcDesc::callTemplateCommand(ProcessContext& cx, int32_t n) {
    templateCall = 1;
    Execute(cx, n);
}

void tLogoProcDesc::callTemplateReporter(ProcessContext& cx, int32_t n) {
    templateCall = 1;
    Execute(cx, n);
}

// One activation. A tail continuation (tail) rebinds into the frame that its chain
// keeps open and never closes it: the trampoline does that when the chain is over.
void tLogoProcDesc::call(ProcessContext& cx, int32_t n, bool tail) {
    const uint8_t startDepth = templateCall;
    templateCall = 0;
    bindInputs(cx, n, tail);

    const bool savedTest = cx.testResult;
    const bool savedTestSet = cx.testSet;
    const int32_t savedLevel = cx.procLevel;
    const int32_t savedTailDepth = cx.tailDepth;
    // A chain that runs inside this continuation keeps its own test to restore in the
    // one field; the test of the chain this continuation belongs to must survive it.
    const bool chainSavedTest = cx.savedTest;
    cx.procLevel = cx.foundLevel;
    cx.tailDepth = startDepth;
    bool keepFrame = tail;
    const int32_t height = cx.valueStack.count();
    auto restore = [&] {
        cx.procLevel = savedLevel;
        cx.tailDepth = savedTailDepth;
        if (tail) cx.savedTest = chainSavedTest;
        if (!keepFrame) {
            cx.localScope->closeFrame();
            cx.testResult = savedTest;
            cx.testSet = savedTestSet;
        }
    };
    try {
        ActiveCall active(this);
        try {
            runBlock(cx, body->Compile(kCompileBody));
        } catch (eOutputException&) {
            // output or stop reached through a descriptor: the value travels in outputValue.
            cx.stopPending = 1;
        } catch (eLogoException& e) {
            if (table && !e.located) {
                int32_t line = -1;
                try {
                    line = lineOfError(e);
                } catch (...) {
                    line = -1;
                }
                e.recordProcedure(NameText(), table->owner, line, ipProc);
            }
            throw;
        }
        if (!cx.stopPending) {
            cx.valueStack.push(nullptr);
        } else if (cx.pendingTail.desc) {
            // The chain goes on in the trampoline, in this frame.
            if (!tail) cx.savedTest = savedTest;
            keepFrame = true;
        } else {
            cx.valueStack.truncate(height);
            cx.valueStack.pushHeld(cx.outputValue);
            cx.outputValue = nullptr;
            cx.stopPending = 0;
        }
    } catch (...) {
        restore();
        throw;
    }
    restore();
}

// ---- text and definition list ----

std::string tLogoProcDesc::DefinitionText() {
    if (!sourceText.empty()) return sourceText;
    std::string t = firstWord("other", "to") + " " + NameText();
    if (varpar) {
        t += " :" + nameCodes().textOf(inputNames[0]) + " [" + std::to_string(defpar) + "]";
    } else {
        for (int32_t c : inputNames) t += " :" + nameCodes().textOf(c);
    }
    t += "\r\n";
    if (body && !body->IsList()) {
        t += body->ShowText(true) + "\r\n";
    } else if (body && !body->IsEmpty()) {
        for (tLogoList* c = static_cast<tLogoList*>(body); c; c = c->rest)
            t += " " + c->element->ShowText(false) + "\r\n";
    }
    t += firstWord("other", "end");
    return t;
}

tlogoobject* tLogoProcDesc::DefinitionList() {
    ListBuilder inputs;
    if (varpar) {
        Ref<tlogoobject> name = makeRawWord(nameCodes().textOf(inputNames[0]));
        inputs.append(name.get());
        ListBuilder count;
        Ref<tlogoobject> n = makeInt(defpar);
        count.append(n.get());
        Ref<tLogoList> countList = count.finish();
        inputs.append(countList.get());
    } else {
        for (int32_t c : inputNames) {
            Ref<tlogoobject> name = makeRawWord(nameCodes().textOf(c));
            inputs.append(name.get());
        }
    }
    Ref<tLogoList> inputsPart = inputs.finish();
    ListBuilder all;
    all.append(inputsPart.get());
    if (body && body->IsList()) {
        if (!body->IsEmpty()) all.appendShared(static_cast<tLogoList*>(body));
    } else if (body) {
        all.append(body);
    }
    return all.finish();
}

// The position path lists, innermost first, where the error left each block. From the
// body outwards in: where the element before the position is a constant list (the
// instructions of if, repeat, ...) the error came out of that list, so we count the
// tokens up to its "[" and go on inside it; the innermost block counts what ran.
int32_t tLogoProcDesc::lineOfError(const eLogoException& e) {
    const std::vector<int32_t>& path = e.positionPath;
    if (!body || path.size() < 2) return 0;
    ElementBlock* block = body->Compile(kCompileBody);
    int32_t count = 0;
    for (size_t i = path.size() - 1; i >= 1; --i) {
        int32_t p = path[i];
        int32_t size = static_cast<int32_t>(block->elements.size());
        if (p < 1 || p > size) break;
        if (i > 1 && p >= 2) {
            const Element& before = block->elements[static_cast<size_t>(p - 2)];
            if (before.kind == etConst && before.value->IsList()) {
                count += tokensOfElements(block, p - 2) + 1;
                Ref<tlogoobject> inner = before.value;
                block = inner->Compile(kCompileInstructions);
                continue;
            }
        }
        // Where the error left, the block stands after the inputs of the call that failed;
        // only a name that could not be found (or a variable without a value) stops it on
        // the failing element itself.
        int32_t consumed = p - 1;
        if (consumed < size) {
            const Element& at = block->elements[static_cast<size_t>(consumed)];
            bool failedHere = (e.code == erDoNotKnowHowTo && (at.kind == etUnknownOp || at.kind == etFun)) ||
                              (e.code == erNoVal && at.kind == etVariable);
            if (failedHere && at.code && sameName(nameCodes().textOf(at.code), e.name)) ++consumed;
        }
        count += tokensOfElements(block, consumed);
        break;
    }
    if (count == 0) return 0;

    // The lines of the body as written: no header, no end line, no comment lines.
    std::vector<std::string> lines = splitLines(DefinitionText());
    if (!lines.empty() && isEndWord(trimmed(lines.back()))) lines.pop_back();
    if (!lines.empty()) lines.erase(lines.begin());
    std::string text;
    for (const std::string& l : lines) {
        if (isCommentLine(l)) continue;
        text += l;
        text += "\r\n";
    }
    return lineOfToken(text, count);
}

// ---- defining ----

tLogoProcDesc* defineProcedure(tLogoTab& table, tlogoobject* name, tlogoobject* definition,
                               const std::string& sourceText) {
    if (!name || !name->IsWord()) throw eLogoException(erExpectWord, name);
    const std::string nameText = name->GetText();
    const int32_t code = nameCodes().intern(nameText);
    uint8_t keptFlags = 0;
    if (auto* old = static_cast<tProcDesc*>(table.FindEntry(code))) {
        if (!old->MayChange(true)) {
            auto e = eLogoException::withName(old->activeCalls > 0 ? erRedefineUsedProc : erRedefinePrimitiveProc,
                                              nameText);
            e.setValue(name);
            throw e;
        }
        keptFlags = old->flags & (tfDoNotSavePerm | tfHidden | tfBuried);
    }
    if (!definition || !definition->IsList()) throw eLogoException(erExpectList, definition);
    auto* def = static_cast<tLogoList*>(definition);
    if (def->IsEmpty()) throw eLogoException(erEmptyList, definition);
    for (tLogoList* c = def; c; c = c->rest)
        if (!c->element->IsList()) throw eLogoException(erBadStructure, c->element);
    if (!validProcedureName(nameText)) {
        auto e = eLogoException::withName(erBadProcName, nameText);
        e.setValue(name);
        throw e;
    }

    auto* inputs = static_cast<tLogoList*>(def->element);
    tLogoProcDesc* d = nullptr;
    bool collecting = false;
    if (!inputs->IsEmpty() && inputs->rest && !inputs->rest->rest) {
        tlogoobject* first = inputs->element;
        tlogoobject* second = inputs->rest->element;
        collecting = first->IsWord() && !inputNameText(first).empty() && second->IsList() && !second->IsEmpty() &&
                     static_cast<tLogoList*>(second)->element->IsNumber();
    }
    if (collecting) {
        tlogoobject* countValue = static_cast<tLogoList*>(inputs->rest->element)->element;
        int32_t n = countValue->ToIntRange(0, 255);
        d = new tLogoProcDescV(code, nameCodes().intern(inputNameText(inputs->element)), n);
    } else {
        std::vector<int32_t> names;
        for (tLogoList* c = inputs->IsEmpty() ? nullptr : inputs; c; c = c->rest) {
            if (!c->element->IsWord()) throw eLogoException(erExpectWord, c->element);
            std::string t = inputNameText(c->element);
            if (t.empty()) throw eLogoException(erEmptyWord, c->element);
            names.push_back(nameCodes().intern(t));
        }
        d = new tLogoProcDescF(code, std::move(names));
    }
    if (def->rest) d->body = hold(static_cast<tlogoobject*>(def->rest));
    else d->body = hold(static_cast<tlogoobject*>(makeEmptyList()));
    d->sourceText = sourceText;
    d->flags = keptFlags;
    table.add(d);
    return d;
}

bool isToWord(std::string_view word) { return matchesKeyword(word, "to"); }
bool isEndWord(std::string_view word) { return matchesKeyword(word, "end"); }

tLogoProcDesc* defineFromText(tLogoTab& table, const std::string& text) {
    std::vector<std::string> lines = splitLines(text);
    size_t first = 0;
    while (first < lines.size() && trimmed(lines[first]).empty()) ++first;
    if (first == lines.size() || !isToWord(firstWordOf(lines[first])))
        throw eLogoException(erMissingTO, makeRawWord(trimmed(text.substr(0, text.find_first_of("\r\n")))));

    // The header: the keyword, the name and the inputs.
    std::string header = trimmed(lines[first]);
    Ref<tLogoList> words = parse(std::string_view(header).substr(firstWordOf(header).size()));
    if (words->IsEmpty()) throw eLogoException(erMissingToName);
    Ref<tlogoobject> name = words->element;
    ListBuilder inputs;
    tLogoList* rest = words->rest;
    // "[:args 2]": a collecting input written as one list.
    if (rest && !rest->rest && rest->element->IsList()) {
        auto* l = static_cast<tLogoList*>(rest->element);
        if (!l->IsEmpty() && l->element->IsWord() && l->rest && !l->rest->rest && l->rest->element->IsNumber()) {
            Ref<tlogoobject> n = makeRawWord(inputNameText(l->element));
            inputs.append(n.get());
            ListBuilder count;
            count.append(l->rest->element);
            Ref<tLogoList> countList = count.finish();
            inputs.append(countList.get());
            rest = nullptr;
        }
    }
    for (tLogoList* c = rest; c; c = c->rest) {
        if (c->element->IsWord()) {
            Ref<tlogoobject> n = makeRawWord(inputNameText(c->element));
            inputs.append(n.get());
        } else {
            inputs.append(c->element);
        }
    }
    Ref<tLogoList> inputsPart = inputs.finish();

    // The body: every line up to the end line, a list left open going on into the next.
    size_t last = lines.size();
    for (size_t i = lines.size(); i > first + 1; --i) {
        std::string t = trimmed(lines[i - 1]);
        if (t.empty()) continue;
        if (isEndWord(t)) last = i - 1;
        break;
    }
    ListBuilder def;
    def.append(inputsPart.get());
    std::string pending;
    for (size_t i = first + 1; i < last; ++i) {
        const std::string& line = lines[i];
        if (pending.empty() && (isCommentLine(line) || trimmed(line).empty())) continue;
        pending = pending.empty() ? line : pending + "\r" + line;
        try {
            Ref<tLogoList> parsed = parse(pending);
            def.append(parsed.get());
            pending.clear();
        } catch (eLogoException& e) {
            if (e.code != erMissingRBracket) throw;
        }
    }
    if (!pending.empty()) throw eLogoException(erMissingRBracket);

    std::string source;
    for (size_t i = first; i < lines.size(); ++i) {
        if (!source.empty()) source += "\r\n";
        source += lines[i];
    }
    Ref<tLogoList> definition = def.finish();
    return defineProcedure(table, name.get(), definition.get(), source);
}

} // namespace qm
