// Compiling a list or word of code into a flat element block, cached on the value.
#include <cctype>

#include "dictionary.h"
#include "element.h"
#include "language.h"
#include "name_codes.h"
#include "reader.h"

namespace qm {

ElementBlock::~ElementBlock() {
    for (Element& e : elements)
        if (e.kind == etConst) release(e.value);
}

void freeBlock(ElementBlock* block) {
    if (block->runs > 0) block->orphaned = true;
    else delete block;
}

namespace {

std::string lowerAscii(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

void appendElement(std::vector<Element>& out, ElementTypes kind, int32_t code = 0, tlogoobject* value = nullptr) {
    Element e{kind, false, code, nullptr};
    if (kind == etConst) e.value = hold(value);
    if (!out.empty()) {
        const Element& prev = out.back();
        e.afterParen = prev.kind == etLpar ||
                       ((prev.kind == etObjectPrefixFun || prev.kind == etUsualPrefix) && prev.afterParen);
    }
    out.push_back(e);
}

void compileItem(std::vector<Element>& out, tlogoobject* v) {
    if (!v->IsWord() || v->IsNumber()) {
        appendElement(out, etConst, 0, v);
        return;
    }
    const std::string& t = v->GetText();
    if (t.empty()) return;  // an empty word inside code vanishes
    if (t[0] == '"') {
        Ref<tlogoobject> w = makeRawWord(t.substr(1));
        appendElement(out, etConst, 0, w.get());
        return;
    }
    if (t[0] == ':') {
        appendElement(out, etVariable, nameCodes().intern(std::string_view(t).substr(1)));
        return;
    }
    if (t.size() == 1) {
        switch (t[0]) {
        case '(': appendElement(out, etLpar); return;
        case ')': appendElement(out, etRpar); return;
        case '*':
        case '/': appendElement(out, etMulOp, nameCodes().intern(t)); return;
        case '+':
        case '-': appendElement(out, etAddOp, nameCodes().intern(t)); return;
        case '<':
        case '=':
        case '>': appendElement(out, etRelOp, nameCodes().intern(t)); return;
        default: appendElement(out, etUnknownOp, v->NameCode()); return;
        }
    }
    if (t.size() == 2) {
        if (t == "<=" || t == ">=" || t == "<>") appendElement(out, etRelOp, nameCodes().intern(t));
        else appendElement(out, etUnknownOp, v->NameCode());
        return;
    }
    std::string rest = t;
    std::string lowered = lowerAscii(t);
    std::string usual = lowerAscii(synonyms("param", "usual").empty() ? std::string("usual")
                                                                      : synonyms("param", "usual").front()) + "'";
    static const std::string kInternalUsual = "\xB7param\xB7usual'";
    if (lowered.rfind(usual, 0) == 0 || t.rfind(kInternalUsual, 0) == 0) {
        size_t cut = lowered.rfind(usual, 0) == 0 ? usual.size() : kInternalUsual.size();
        appendElement(out, etUsualPrefix, nameCodes().intern(t.substr(cut)));
        return;
    }
    bool prefixed = false;
    for (auto p = rest.find('\''); p != std::string::npos; p = rest.find('\'')) {
        int32_t code = p == 0 ? specialCodes().mainClass : nameCodes().intern(rest.substr(0, p));
        appendElement(out, etObjectPrefixFun, code);
        rest = rest.substr(p + 1);
        prefixed = true;
    }
    appendElement(out, etUnknownOp, prefixed ? nameCodes().intern(rest) : v->NameCode());
}

void compileList(std::vector<Element>& out, tLogoList* l) {
    if (l->IsEmpty()) return;
    for (tLogoList* c = l; c; c = c->rest) compileItem(out, c->element);
}

// Case clauses: runs of values joined with the list that follows them.
tLogoList* caseClauses(tLogoList* l) {
    ListBuilder clauses;
    ListBuilder pending;
    bool havePending = false;
    for (tLogoList* c = l->IsEmpty() ? nullptr : l; c; c = c->rest) {
        tlogoobject* v = c->element;
        if (!v->IsList()) {
            pending.append(v);
            havePending = true;
            continue;
        }
        if (havePending) {
            pending.append(v);
            Ref<tLogoList> clause = pending.finish();
            clauses.append(clause.get());
            havePending = false;
            continue;
        }
        ListBuilder one;
        one.append(v);
        if (c->rest) {
            one.append(c->rest->element);
            c = c->rest;
        }
        Ref<tLogoList> clause = one.finish();
        clauses.append(clause.get());
    }
    if (havePending) throw eLogoException(erBadStructure, l);
    return clauses.finish();
}

} // namespace

ElementBlock* compileValue(tlogoobject* value, int kind) {
    ElementBlock** cache = nullptr;
    uint8_t* cacheKind = nullptr;
    if (value->IsList()) {
        auto* l = static_cast<tLogoList*>(value);
        cache = &l->codeCache;
        cacheKind = &l->codeCacheKind;
    } else if (value->IsWord()) {
        auto* w = static_cast<tLogoWord*>(value);
        cache = &w->codeCache;
        cacheKind = &w->codeCacheKind;
    } else {
        throw eLogoException(erExpectList, value);
    }
    if (*cache && *cacheKind == kind) return *cache;

    Ref<tLogoList> source;
    if (value->IsList()) source = static_cast<tLogoList*>(value);
    else source = parse(value->GetText());

    auto* block = new ElementBlock();
    try {
        block->elements.reserve(16);
        if (kind == kCompileCase) {
            Ref<tLogoList> clauses = caseClauses(source.get());
            appendElement(block->elements, etConst, 0, clauses.get());
            block->literal = true;
        } else if (kind == kCompileBody) {
            for (tLogoList* line = source->IsEmpty() ? nullptr : source.get(); line; line = line->rest) {
                if (line->element->IsList()) compileList(block->elements, static_cast<tLogoList*>(line->element));
                else compileItem(block->elements, line->element);
            }
        } else {
            compileList(block->elements, source.get());
        }
        appendElement(block->elements, etEnd);
    } catch (...) {
        delete block;
        throw;
    }
    if (*cache) freeBlock(*cache);
    *cache = block;
    *cacheKind = static_cast<uint8_t>(kind);
    return block;
}

} // namespace qm
