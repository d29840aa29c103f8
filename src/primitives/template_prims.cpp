// Procedures given as inputs: apply, map, filter and generate, with the temporary
// procedures they make from definitions and templates.
#include "control_support.h"
#include "dictionary.h"
#include "evaluator.h"
#include "name_codes.h"
#include "primitives.h"
#include "procedures.h"
#include "registry.h"

namespace qm {

namespace {

enum TemplateUser { kApply, kMap, kFilter, kGenerate };
const char* const kTemplateUserNames[] = {"apply", "map", "filter", "generate"};
// Numbers the temporary procedures of each primitive; shared by all processes.
int32_t g_templateCounter[4] = {0, 0, 0, 0};

// A procedure input made into a descriptor. A temporary procedure lives as long as
// this record: it is erased when the primitive ends, however it ends.
class ResolvedProc {
public:
    ResolvedProc() = default;
    ResolvedProc(const ResolvedProc&) = delete;
    ~ResolvedProc() {
        if (m_counter >= 0) --g_templateCounter[m_counter];
        if (m_tempCode && m_table) m_table->removeIfPresent(m_tempCode);
    }

    // proc is a name, a definition [[inputs] [line] ...] or a template [...] that will
    // get `inputs` inputs; wantValue puts `output` in front of a template.
    void resolve(ProcessContext& cx, tlogoobject* proc, TemplateUser user, int32_t inputs, bool wantValue,
                 errorConst notAProcedure) {
        m_input = proc;
        if (proc->IsWord()) {
            d = lookupProcedure(cx, proc->NameCode(), level);
            if (!d) {
                auto e = eLogoException::withNameCode(erDoNotKnowHowTo, proc->NameCode());
                e.name = proc->GetText();
                throw e;
            }
            return;
        }
        if (!proc->IsList() || proc->IsEmpty()) throw eLogoException(notAProcedure, proc);
        auto* l = static_cast<tLogoList*>(proc);
        m_counter = user;
        const int32_t number = ++g_templateCounter[user];
        std::string name = kTemplateUserNames[user];
        Ref<tlogoobject> definition;
        if (l->element->IsList()) {
            name += ".define" + std::to_string(number);
            definition = proc;
        } else {
            name += ".template" + std::to_string(number);
            ListBuilder names;
            for (int32_t i = 1; i <= inputs; ++i) {
                Ref<tlogoobject> w = makeRawWord(inputs == 1 ? std::string("%") : "%" + std::to_string(i));
                names.append(w.get());
            }
            Ref<tLogoList> inputsPart = names.finish();
            Ref<tLogoList> line = l;
            if (wantValue) {
                Ref<tlogoobject> out = makeRawWord(firstWord("dict", "output"));
                line = makeCell(out.get(), l);
            }
            ListBuilder def;
            def.append(inputsPart.get());
            def.append(line.get());
            definition = def.finish();
        }
        m_table = &ownProcedureTable(cx);
        Ref<tlogoobject> nameWord = makeRawWord(name);
        tLogoProcDesc* made = defineProcedure(*m_table, nameWord.get(), definition.get());
        m_tempCode = made->nameCode;
        d = made;
        level = 0;
    }

    // apply and map: the procedure must take k inputs (unless it collects any number).
    void checkInputs(int32_t k) const {
        if (d->varpar) return;
        if (k < d->defpar) throw eLogoException::withName(erNotEnoughInputs, inputText());
        if (k > d->defpar) throw eLogoException::withName(erTooManyInputs, inputText());
    }
    // filter and generate: exactly one input.
    void checkOneInput() const {
        if (d->varpar || d->defpar == 1) return;
        auto e = eLogoException(erExpectBadProc, m_input);
        e.name = inputText();
        throw e;
    }

    // Calls with k inputs already pushed; one item is left on the stack.
    void call(ProcessContext& cx, int32_t k, bool wantValue) const {
        cx.foundLevel = level;
        try {
            if (wantValue) d->callTemplateReporter(cx, k);
            else d->callTemplateCommand(cx, k);
        } catch (eLogoException& e) {
            e.recordCalledProcedure(d->NameText());
            throw;
        }
    }
    // Calls with one input and takes the value it must output.
    Ref<tlogoobject> value(ProcessContext& cx, tlogoobject* arg) const {
        cx.valueStack.push(arg);
        call(cx, 1, true);
        return takeValue(cx);
    }
    Ref<tlogoobject> takeValue(ProcessContext& cx) const {
        Ref<tlogoobject> v;
        {
            tlogoobject* p = cx.valueStack.popTransfer();
            v = p;
            release(p);
        }
        if (!v) throw eLogoException::withName(erDidNotReport, inputText());
        return v;
    }

    std::string inputText() const { return m_input->PrintText(false); }

    tProcDesc* d = nullptr;
    int32_t level = 0;

private:
    tlogoobject* m_input = nullptr;
    tLogoTab* m_table = nullptr;
    int32_t m_tempCode = 0;
    int m_counter = -1;
};

void primApply(ProcessContext& cx, int32_t n, bool wantValue) {
    if (n < 2) throw eLogoException::withName(erNotEnoughInputs, firstWord("dict", "apply"));
    if (n > 2) throw eLogoException::withName(erTooManyInputs, firstWord("dict", "apply"));
    tlogoobject* proc = input(cx, n, 0);
    tlogoobject* args = input(cx, n, 1);
    if (!args->IsList()) throw eLogoException(erExpectList, args);
    auto* l = static_cast<tLogoList*>(args);
    const int32_t k = l->count();
    ResolvedProc r;
    r.resolve(cx, proc, kApply, k, wantValue, erExpectWord);
    r.checkInputs(k);
    for (tLogoList* c = l->IsEmpty() ? nullptr : l; c; c = c->rest) cx.valueStack.push(c->element);
    r.call(cx, k, wantValue);
    Ref<tlogoobject> result;
    {
        tlogoobject* p = cx.valueStack.popTransfer();
        result = p;
        release(p);
    }
    finish(cx, n, wantValue ? result.get() : nullptr);
}

// The items of a map input: the elements of a list or the characters of a word.
struct MapSource {
    tLogoList* cell = nullptr;
    std::string text;
    bool isList = false;
    int32_t length = 0;
    int32_t pos = 0;
};

void primMap(ProcessContext& cx, int32_t n, bool wantValue) {
    if (n < 2) throw eLogoException::withName(erNotEnoughInputs, firstWord("dict", "map"));
    const int32_t k = n - 1;
    std::vector<MapSource> sources(static_cast<size_t>(k));
    int32_t length = -1;
    for (int32_t i = 0; i < k; ++i) {
        tlogoobject* v = input(cx, n, i + 1);
        MapSource& s = sources[static_cast<size_t>(i)];
        if (v->IsList()) {
            auto* l = static_cast<tLogoList*>(v);
            s.isList = true;
            s.cell = l->IsEmpty() ? nullptr : l;
            s.length = l->count();
        } else if (v->IsWord()) {
            s.text = v->GetText();
            s.length = static_cast<int32_t>(s.text.size());
        } else {
            throw eLogoException(erExpectList, v);
        }
        if (length < 0) length = s.length;
        else if (s.length != length) throw eLogoException(erBadStructure, input(cx, n, 1));
    }
    ResolvedProc r;
    r.resolve(cx, input(cx, n, 0), kMap, k, wantValue, erExpectWord);
    r.checkInputs(k);
    ListBuilder out;
    for (int32_t pos = 0; pos < length; ++pos) {
        for (MapSource& s : sources) {
            if (s.isList) {
                cx.valueStack.push(s.cell->element);
                s.cell = s.cell->rest;
            } else {
                Ref<tlogoobject> ch = makeRawWord(std::string(1, s.text[static_cast<size_t>(pos)]));
                cx.valueStack.push(ch.get());
            }
        }
        r.call(cx, k, wantValue);
        if (wantValue) {
            Ref<tlogoobject> v = r.takeValue(cx);
            out.append(v.get());
        } else {
            cx.valueStack.popAndRelease();
        }
    }
    Ref<tLogoList> result = out.finish();
    finish(cx, n, wantValue ? result.get() : nullptr);
}

void primFilter(ProcessContext& cx, int32_t n) {
    tlogoobject* list = input(cx, n, 1);
    if (!list->IsList()) throw eLogoException(erBadStructure, list);
    ResolvedProc r;
    r.resolve(cx, input(cx, n, 0), kFilter, 1, true, erExpectWord);
    r.checkOneInput();
    ListBuilder out;
    auto* l = static_cast<tLogoList*>(list);
    for (tLogoList* c = l->IsEmpty() ? nullptr : l; c; c = c->rest) {
        Ref<tlogoobject> keep = r.value(cx, c->element);
        if (truthOf(keep.get())) out.append(c->element);
    }
    Ref<tLogoList> result = out.finish();
    finish(cx, n, result.get());
}

// At most this many rounds: a predicate that never fails still ends.
constexpr int32_t kGenerateLimit = 10000;

void primGenerate(ProcessContext& cx, int32_t n) {
    tlogoobject* limit = input(cx, n, 0);
    tlogoobject* step = input(cx, n, 1);
    int32_t count = -1;
    ResolvedProc predicate;
    if (limit->IsNumber()) {
        count = limit->ToInt();
        if (count < 0) count = 0;
    } else if ((limit->IsList() && !limit->IsEmpty()) || limit->IsWord()) {
        predicate.resolve(cx, limit, kGenerate, 1, true, erExpectNumber);
        predicate.checkOneInput();
    } else {
        throw eLogoException(erExpectNumber, limit);
    }
    ResolvedProc stepper;
    const bool steps = !(step->IsList() && step->IsEmpty());
    if (steps) {
        stepper.resolve(cx, step, kGenerate, 1, true, erExpectWord);
        stepper.checkOneInput();
    }
    Ref<tlogoobject> current = input(cx, n, 2);
    ListBuilder out;
    for (int32_t round = 0; round < kGenerateLimit; ++round) {
        if (count >= 0) {
            if (round >= count) break;
        } else if (!truthOf(predicate.value(cx, current.get()).get())) {
            break;
        }
        out.append(current.get());
        if (steps) current = stepper.value(cx, current.get());
    }
    Ref<tLogoList> result = out.finish();
    finish(cx, n, result.get());
}

const FlagRow kTemplateFlagPrimitives[] = {
    {"apply", 2, true, etFun, primApply},
    {"map", 2, true, etFun, primMap},
};

const PrimitiveRow kTemplatePrimitives[] = {
    {"filter", DescKind::Main, 2, false, etFun, primFilter},
    {"generate", DescKind::Main, 3, false, etFun, primGenerate},
};

} // namespace

void registerTemplatePrimitives(tMainLogoObject& main) {
    addFlagPrimitives(main.procedures, kTemplateFlagPrimitives);
    addPrimitives(main.procedures, kTemplatePrimitives);
}

} // namespace qm
