// The object text form: writing objects as instruction lines, the saved forms of a state
// list, and reading loaded text back instruction by instruction.
//
// A definition as written with names (entry lines begin with a tab; the list of the
// creating line is closed by the reader at the end of the instruction):
//
//   .new. "dog [.name rex
//   	legs 4
//   	define'bark |to bark¶print "woof¶end|
//   	event'onClick [bark]
//   	[[1 1]]                      (only when values held images)
//   (empty line)
#include "object_text.h"

#include <algorithm>

#include "dictionary.h"
#include "evaluator.h"
#include "events.h"
#include "language.h"
#include "list_ops.h"
#include "logo_error.h"
#include "name_codes.h"
#include "procedures.h"
#include "property_rows.h"
#include "reader.h"

namespace qm {

namespace {

std::string showWord(const std::string& text) {
    Ref<tlogoobject> w = makeRawWord(text);
    return w->ShowText(false);
}

std::string dictWord(const char* internalName) { return firstWord("dict", internalName); }
std::string mainWord() { return firstWord("class", "main"); }
// A kind prefix of an entry name: the first spelling of the word and an apostrophe.
std::string kindPrefix(const char* kind) { return firstWord("param", kind) + "'"; }

bool isMainName(const std::string& name) {
    for (const std::string& w : synonyms("class", "main"))
        if (sameName(w, name)) return true;
    return false;
}

bool skipped(const tTabDesc* e) {
    if (e->flags & (tfDoNotSavePerm | tfDoNotSaveNow)) return true;
    const std::string name = nameCodes().textOf(e->nameCode);
    return !name.empty() && name[0] == '@';
}

// The entries of a table in the order of their codes.
std::vector<tTabDesc*> byCode(const tLogoTab& table) {
    std::vector<tTabDesc*> out;
    for (tTabDesc* e = table.chainHead(); e; e = e->chainNext) out.push_back(e);
    std::sort(out.begin(), out.end(), [](tTabDesc* a, tTabDesc* b) { return a->nameCode < b->nameCode; });
    return out;
}

bool holdsImage(tlogoobject* v) {
    if (!v) return false;
    if (v->IsImage()) return true;
    if (!v->IsList()) return false;
    for (auto* c = static_cast<tLogoList*>(v); c && !c->IsEmpty(); c = c->rest)
        if (holdsImage(c->element)) return true;
    return false;
}

// A copy of the list with every image replaced by the empty list; found(image, path) is
// told of each image with its positions, outermost first, in the order met.
template <class F>
Ref<tlogoobject> withoutImages(tlogoobject* v, std::vector<int32_t>& path, F& found) {
    if (v->IsImage()) {
        found(v, path);
        return Ref<tlogoobject>(makeEmptyList());
    }
    if (!v->IsList() || !holdsImage(v)) return Ref<tlogoobject>(v);
    ListBuilder b;
    int32_t i = 0;
    for (auto* c = static_cast<tLogoList*>(v); c && !c->IsEmpty(); c = c->rest) {
        path.push_back(++i);
        Ref<tlogoobject> e = withoutImages(c->element, path, found);
        path.pop_back();
        b.append(e.get());
    }
    return Ref<tlogoobject>(b.finish());
}

bool isEvaluatedWord(const std::string& text) { return text == "(" || (!text.empty() && text[0] == ':'); }

std::string pathText(const std::vector<int32_t>& path) {
    std::string s = "[";
    for (size_t i = 0; i < path.size(); ++i) s += (i ? " " : "") + std::to_string(path[i]);
    return s + "]";
}

thread_local LoadedImages* t_images = nullptr;
thread_local ObjectTextReading* t_reading = nullptr;

} // namespace

// ---- writing ----

// With names: the object's name preceded by those of its owners up to the main object
// ("page1'pane2't1"), so that it is found from the main object. With ids: "#" and the
// save id of an object that has one. The main object is the main word.
std::string ObjectTextWriter::reference(tmultiobject* obj) {
    auto s = m_substitutes.find(obj);
    if (s != m_substitutes.end()) obj = s->second;
    if (obj == mainObjectRecord()) return mainWord();
    if (m_mode == ObjectTextMode::Ids && obj->saveId > 0) return "#" + std::to_string(obj->saveId);
    std::string path = showWord(obj->name);
    for (tmultiobject* w = obj->owner; w && w != mainObjectRecord() && w->IsControlObject(); w = w->owner)
        path = showWord(w->name) + "'" + path;
    return path;
}

int32_t ObjectTextWriter::imageNumber(tlogoobject* image) {
    for (size_t i = 0; i < m_images.size(); ++i)
        if (m_images[i].get() == image) return static_cast<int32_t>(i) + 1;
    m_images.emplace_back(image);
    return static_cast<int32_t>(m_images.size());
}

// One entry line. Images in the value are written as the empty list and recorded in
// the image-reference table under the pair's index.
std::string ObjectTextWriter::entryLine(const std::string& name, tlogoobject* value, int32_t pair) {
    std::string text;
    if (holdsImage(value)) {
        std::vector<int32_t> path;
        auto found = [&](tlogoobject* image, const std::vector<int32_t>& at) {
            std::string entry = "[" + std::to_string(imageNumber(image)) + " " + std::to_string(pair);
            for (int32_t p : at) entry += " " + std::to_string(p);
            m_imageTable.push_back(entry + "]");
        };
        Ref<tlogoobject> plain = withoutImages(value, path, found);
        text = plain->ShowText(true);
    } else if (m_evaluated && value->IsWord() && !value->IsNumber() && isEvaluatedWord(value->GetText())) {
        // newclass evaluates its list as let does: a word that would be read as a
        // variable or an expression is written as an expression giving the word.
        text = value->GetText() == "(" ? "( \"|(| )" : "( \"" + value->ShowText(false) + " )";
    } else {
        text = value->ShowText(true);
    }
    return "\t" + showWord(name) + " " + text;
}

void ObjectTextWriter::writeDefinition(tmultiobject* obj) {
    tmultiobject* main = mainObjectRecord();
    tmultiobject* cls = obj->firstClass();
    if (!cls && (obj == main || isMainName(obj->name))) return;  // the main object writes nothing

    // The creating line, and the index of the first entry's pair in the state list.
    std::string head;
    int32_t pair = 0;
    if (!cls) {
        head = reference(obj) + "'" + dictWord(".setstate.") + " [";
    } else {
        const std::string classRef = cls == main ? mainWord() : reference(cls);
        if (obj->isInstance) {
            const std::string nameParam = m_mode == ObjectTextMode::Ids ? "132" : dictWord(".name");
            head = dictWord(".new.") + " \"" + classRef + " [" + nameParam + " " + showWord(obj->name);
            pair = 1;
        } else {
            head = dictWord("newclass") + " \"" + classRef + " \"" + showWord(obj->name) + " [";
        }
        // The place the object sits in (for a class without one, the container that
        // holds it); none is written for the main object, where reading creates objects.
        tmultiobject* where = obj->place ? obj->place : (obj->isInstance ? nullptr : obj->owner);
        if (where && where != main && (m_mode == ObjectTextMode::Names || where->saveId > 0))
            head = reference(where) + "'" + head;
        else if (where == main && m_mode == ObjectTextMode::Ids)
            head = mainWord() + "'" + head;
    }
    line(head);

    m_imageTable.clear();
    m_evaluated = cls && !obj->isInstance;
    for (tTabDesc* e : byCode(obj->varTable)) {
        auto* d = static_cast<tLogoVarDesc*>(e);
        if (skipped(d)) continue;
        tlogoobject* value = d->Value();
        if (!value) continue;
        std::string name = nameCodes().textOf(d->nameCode);
        if (auto* p = dynamic_cast<tPseudoVarDesc*>(d); p && m_mode == ObjectTextMode::Ids) name = std::to_string(p->row);
        if (d->kind == kCommonVariable) {
            if (!cls) continue;  // an object without class keeps no common variables
            name = kindPrefix("common") + name;
        }
        line(entryLine(name, value, pair++));
    }
    for (tTabDesc* e : byCode(obj->procedures)) {
        // Accessors and native procedures are made again by what declares them.
        auto* d = dynamic_cast<tLogoProcDesc*>(e);
        if (!d || skipped(d)) continue;
        const std::string name = kindPrefix("define") + nameCodes().textOf(d->nameCode);
        std::string definition;
        if (!d->sourceText.empty()) {
            definition = showWord(d->sourceText);
        } else {
            // The show form (not the print form) keeps words with blanks or brackets whole.
            Ref<tlogoobject> list = d->DefinitionList();
            if (!list) continue;
            definition = list->ShowText(true);
        }
        line("\t" + showWord(name) + " " + definition);
        ++pair;  // every entry line is a pair of the state list that reads it back
    }
    for (tTabDesc* e : byCode(obj->events)) {
        if (skipped(e)) continue;
        tlogoobject* handler = e->Value();
        if (!handler) continue;
        line(entryLine(kindPrefix("event") + nameCodes().textOf(e->nameCode), handler, pair++));
    }
    if (!m_imageTable.empty()) {
        std::string table = "\t[";
        for (size_t i = 0; i < m_imageTable.size(); ++i) table += (i ? " " : "") + m_imageTable[i];
        line(table + "]");
    }
    line("");
}

void ObjectTextWriter::writeLinks(tmultiobject* obj) {
    for (size_t i = 1; i < obj->ancestors.size(); ++i)
        line(reference(obj) + "'" + dictWord(".addbehaviour") + " \"" + reference(obj->ancestors[i]));
}

// make "name value: a word that is not a number gets its quote; images come back through
// .loadimage, those inside a list through nested deepreplace calls.
void ObjectTextWriter::writeGlobalVariable(int32_t code, tlogoobject* value) {
    if (!value) return;
    auto loadImage = [&](tlogoobject* image) {
        return "( " + mainWord() + "'" + dictWord(".loadimage") + " " + std::to_string(imageNumber(image)) + " )";
    };
    std::string text;
    if (value->IsImage()) {
        text = loadImage(value);
    } else if (value->IsList() && holdsImage(value)) {
        std::vector<std::pair<tlogoobject*, std::vector<int32_t>>> images;
        std::vector<int32_t> path;
        auto found = [&](tlogoobject* image, const std::vector<int32_t>& at) { images.emplace_back(image, at); };
        Ref<tlogoobject> plain = withoutImages(value, path, found);
        for (auto it = images.rbegin(); it != images.rend(); ++it) text += dictWord("deepreplace") + " " + pathText(it->second) + " ";
        text += plain->ShowText(true);
        for (auto& im : images) text += " " + loadImage(im.first);
    } else if (value->IsWord() && !value->IsNumber()) {
        text = showWord("\"" + value->GetText());
    } else {
        text = value->ShowText(true);
    }
    line(dictWord("make") + " " + showWord("\"" + nameCodes().textOf(code)) + " " + text);
}

// ---- saved forms ----

Ref<tlogoobject> stateNameOfCode(tlogoobject* name) {
    if (!name || !name->IsNumber() || !name->IsInteger()) return Ref<tlogoobject>(name);
    const int32_t row = name->ToInt();
    if (row < 0 || row >= kPropertyRowCount) return Ref<tlogoobject>(name);
    const int32_t code = propertyRow(row).code;
    if (!code) return Ref<tlogoobject>(name);
    return Ref<tlogoobject>(makeRawWord(nameCodes().textOf(code)));
}

Ref<tLogoList> stateListCodesForm(tLogoList* list) {
    ListBuilder b;
    bool isName = true;
    for (tLogoList* c = list; c && !c->IsEmpty(); c = c->rest, isName = !isName) {
        Ref<tlogoobject> e = isName ? stateNameOfCode(c->element) : Ref<tlogoobject>(c->element);
        b.append(e.get());
    }
    return Ref<tLogoList>(b.finish());
}

void applyImageTable(NamedValues& pairs, tlogoobject* table) {
    if (!table || !table->IsList()) return;
    for (auto* c = static_cast<tLogoList*>(table); c && !c->IsEmpty(); c = c->rest) {
        tlogoobject* entry = c->element;
        if (!entry->IsList() || entry->IsEmpty()) continue;
        auto* cell = static_cast<tLogoList*>(entry);
        if (!cell->rest || cell->rest->IsEmpty() || !cell->rest->element->IsNumber()) continue;
        const int32_t j = cell->rest->element->IsInteger() ? cell->rest->element->ToInt() : -1;
        if (j < 0 || static_cast<size_t>(j) >= pairs.size()) continue;
        int32_t n = cell->element->IsNumber() && cell->element->IsInteger() ? cell->element->ToInt() : 0;
        // FIXME: out of range (or image 0) gives the default turtle shape once turtles have one.
        tlogoobject* image = LoadedImages::image(n);
        if (!image) continue;
        Ref<tlogoobject>& value = pairs[static_cast<size_t>(j)].second;
        tLogoList* path = cell->rest->rest;
        if (!path || path->IsEmpty()) {
            value = image;
            continue;
        }
        if (!value || !value->IsList()) continue;  // a value that is not a list stays as it is
        try {
            value = Ref<tlogoobject>(listDeepreplace(value.get(), path, image));
        } catch (eLogoException&) {
            // A path that leads nowhere leaves the value as it was.
        }
    }
}

Ref<tLogoList> stateListSavedForm(tLogoList* list) {
    const int32_t count = list && !list->IsEmpty() ? list->count() : 0;
    tlogoobject* table = nullptr;
    NamedValues pairs;
    int32_t i = 0;
    for (tLogoList* c = list; c && !c->IsEmpty(); c = c->rest, ++i) {
        if (count % 2 == 1 && i == count - 1) {
            table = c->element;
            break;
        }
        if (i % 2 == 0) pairs.emplace_back(stateNameOfCode(c->element), nullptr);
        else pairs.back().second = c->element;
    }
    applyImageTable(pairs, table);
    ListBuilder b;
    for (auto& p : pairs) {
        b.append(p.first.get());
        b.append(p.second.get());
    }
    return Ref<tLogoList>(b.finish());
}

LoadedImages::LoadedImages(std::vector<Ref<tlogoobject>> images) : m_images(std::move(images)), m_previous(t_images) {
    t_images = this;
}

LoadedImages::~LoadedImages() { t_images = m_previous; }

tlogoobject* LoadedImages::image(int32_t n) {
    if (!t_images || n < 1 || static_cast<size_t>(n) > t_images->m_images.size()) return nullptr;
    return t_images->m_images[static_cast<size_t>(n) - 1].get();
}

// ---- splitting loaded text ----

namespace {

bool isBlankLine(const std::string& l) { return l.find_first_not_of(' ') == std::string::npos; }

// Whether the line starts a definition: its first word is the procedure keyword, alone
// or after an object path ("rex'to bark").
bool startsDefinition(const std::string& line) {
    std::string first = firstWordOf(trimmed(line));
    size_t q = first.rfind('\'');
    if (q != std::string::npos) first.erase(0, q + 1);
    return isToWord(first);
}

bool endsWithTilde(const std::string& l) { return !l.empty() && l.back() == '~'; }

} // namespace

std::vector<LoadedInstruction> splitLoadedText(const std::string& text) {
    size_t start = text.find_first_not_of("\r\n");
    if (start == std::string::npos) return {};
    bool lineMode = text.compare(start, 2, ";!") == 0;

    // Physical lines: CR LF, a lone CR or LF, or a zero byte ends one. The text's length
    // ends the last one: no byte inside the text cuts it short.
    std::vector<std::string> lines;
    std::string cur;
    for (size_t i = start; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == '\r' || c == '\n' || c == 0) {
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
            lines.push_back(std::move(cur));
            cur.clear();
        } else if (c == '\t') {
            cur.push_back(' ');
        } else if (c < 32) {
            throw eLogoException(erQuelmarProject, Ref<tlogoobject>(makeRawWord(cur)).get());
        } else {
            cur.push_back(static_cast<char>(c));
        }
    }
    if (!cur.empty()) lines.push_back(std::move(cur));
    if (!lines.empty() && endsWithTilde(lines[0])) lineMode = true;

    std::vector<LoadedInstruction> out;
    size_t k = 0;
    while (k < lines.size()) {
        if (isBlankLine(lines[k])) {
            ++k;
            continue;
        }
        LoadedInstruction in;
        if (startsDefinition(lines[k])) {
            // Every line but the end line is followed by the line-break mark.
            in.definition = true;
            for (; k < lines.size(); ++k) {
                std::string l = lines[k];
                if (endsWithTilde(l)) l.pop_back();
                if (isEndWord(trimmed(l))) {
                    in.text += trimmed(l);
                    ++k;
                    break;
                }
                in.text += l + "\xB6";
            }
        } else {
            for (;;) {
                std::string l = lines[k++];
                const bool goesOn = endsWithTilde(l);
                if (goesOn) l.pop_back();
                in.text += in.text.empty() ? l : " " + l;
                if (k >= lines.size()) break;
                if (goesOn) continue;
                if (lineMode || isBlankLine(lines[k])) break;
            }
        }
        in.text = trimmed(in.text);
        if (!in.text.empty()) out.push_back(std::move(in));
    }
    return out;
}

// ---- reading ----

ObjectTextReading::ObjectTextReading(ProcessContext& cx, const NamedValues& pairs)
    : m_cx(cx), m_startSerial(nextObjectSerial()), m_previous(t_reading) {
    m_outermost = true;
    for (ObjectTextReading* r = m_previous; r; r = r->m_previous)
        if (&r->m_cx == &cx) m_outermost = false;
    // The pairs by name: a later pair of the same name replaces an earlier one, and
    // "verbose" is no setting but asks for every instruction to be shown.
    const std::vector<std::string> verbose = synonyms("param", "verbose");
    for (const auto& p : pairs) {
        if (!p.first || !p.first->IsWord()) {
            ListBuilder b;
            for (const auto& q : pairs) {
                b.append(q.first.get());
                b.append(q.second.get());
            }
            Ref<tLogoList> all = b.finish();
            throw eLogoException(erBadStructure, all.get());
        }
        const std::string name = p.first->GetText();
        if (std::any_of(verbose.begin(), verbose.end(), [&](const std::string& v) { return sameName(v, name); })) {
            m_echo = p.second && p.second->IsWord() && p.second->ToBool();
            continue;
        }
        auto same = std::find_if(m_pairs.begin(), m_pairs.end(),
                                 [&](const auto& q) { return sameName(q.first->GetText(), name); });
        if (same != m_pairs.end()) same->second = p.second;
        else m_pairs.push_back(p);
    }
    t_reading = this;
}

ObjectTextReading::~ObjectTextReading() { t_reading = m_previous; }

bool takeCreationOverrides(ProcessContext& cx, NamedValues& out) {
    ObjectTextReading* r = t_reading;
    if (!r || &r->m_cx != &cx || r->m_pairsTaken) return false;
    r->m_pairsTaken = true;
    out = std::move(r->m_pairs);
    r->m_pairs.clear();
    return !out.empty();
}

tmultiobject* ObjectTextReading::run(const std::string& text, const std::vector<Ref<tlogoobject>>& images) {
    LoadedImages loaded(images);
    const uint64_t mark = nextObjectSerial();
    for (const LoadedInstruction& in : splitLoadedText(text)) runOne(in);
    for (tmultiobject* o = firstObject(); o; o = o->next)
        if (o->serial >= mark && !o->erased) return o;
    return nullptr;
}

void ObjectTextReading::runOne(const LoadedInstruction& in) {
    if (m_echo && m_cx.output)
        m_cx.output->write((in.text.size() > 160 ? in.text.substr(0, 160) + "..." : in.text) + "\r\n");
    if (in.text.empty() || in.text[0] == ';') return;
    static const std::string kStartup = "'launch [startup]";
    const size_t at = in.text.find(kStartup);
    if (at != std::string::npos && in.text.size() - (at + kStartup.size()) <= 1) return;

    // Instructions run with the main object as the current object, at the top level.
    struct TopLevel {
        ProcessContext& cx;
        tlogoobject* me;
        tLogoTab* askTable;
        int32_t tailDepth;
        explicit TopLevel(ProcessContext& c) : cx(c), me(c.me), askTable(c.askTable), tailDepth(c.tailDepth) {
            cx.me = mainObjectRecord();
            cx.askTable = nullptr;
            cx.tailDepth = 1;
        }
        ~TopLevel() {
            cx.me = me;
            cx.askTable = askTable;
            cx.tailDepth = tailDepth;
        }
    } top(m_cx);

    if (in.definition) {
        // "obj'to name ..." defines in that object, plain "to" in the main object.
        tmultiobject* target = mainObjectRecord();
        std::string text = in.text;
        const std::string first = firstWordOf(text);
        const size_t q = first.rfind('\'');
        if (q != std::string::npos) {
            Ref<tlogoobject> path = makeRawWord(first.substr(0, q));
            target = findObject(mainObjectRecord(), path.get());
            text.erase(0, q + 1);
        }
        defineFromText(target->procedures, text);
        return;
    }
    ReadOptions opts;
    opts.loadingFile = true;
    Ref<tLogoList> code = parse(in.text, opts);
    const int32_t height = m_cx.valueStack.count();
    m_cx.stopPending = 0;
    try {
        runList(m_cx, code.get());
    } catch (...) {
        m_cx.valueStack.truncate(height);
        throw;
    }
    m_cx.valueStack.truncate(height);
    if (m_cx.stopPending && m_cx.outputValue) {
        // output has nobody to give its value to at the top of a loaded text.
        release(m_cx.outputValue);
        m_cx.outputValue = nullptr;
        m_cx.stopPending = 0;
        throw eLogoException::withName(erWrongPlace, dictWord("output"));
    }
    m_cx.stopPending = 0;
}

void ObjectTextReading::finish() {
    if (!m_outermost) return;
    const int32_t onLoad = nameCodes().intern(dictWord("onLoad"));
    std::vector<Ref<tmultiobject>> created;
    for (tmultiobject* o = firstObject(); o; o = o->next)
        if (o->serial >= m_startSerial && !o->erased) created.emplace_back(o);
    for (auto& o : created) raiseEvent(o.get(), onLoad);
}

} // namespace qm
