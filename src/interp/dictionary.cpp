// Dictionaries, the current language and the start-up of the name-code tables.
#include "dictionary.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <iterator>
#include <unordered_map>

#include "language.h"
#include "name_codes.h"
#include "property_rows.h"

namespace qm {

namespace {

std::string lower(std::string_view s) {
    std::string r(s);
    for (char& c : r)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return r;
}

// What separates the words of an entry: space, tab, line ends, form feeds.
bool blank(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// The next word of an entry from `pos` on (empty at the end); `pos` moves past it.
std::string_view nextWord(std::string_view s, size_t& pos) {
    while (pos < s.size() && blank(s[pos])) ++pos;
    const size_t b = pos;
    while (pos < s.size() && !blank(s[pos])) ++pos;
    return s.substr(b, pos - b);
}

// The words of an entry.
std::vector<std::string> splitWords(std::string_view s) {
    std::vector<std::string> out;
    size_t pos = 0;
    for (std::string_view w = nextWord(s, pos); !w.empty(); w = nextWord(s, pos)) out.emplace_back(w);
    return out;
}

struct LanguageData {
    std::string name;
    Dictionary dict;
    Dictionary ui;
    std::string setterPrefix = "set";
    std::string setterSuffix;
    bool set = false;
};

LanguageData& current() {
    static LanguageData d;
    return d;
}

std::function<void(const std::string&)>& reporter() {
    static std::function<void(const std::string&)> fn;
    return fn;
}

std::string& startFolderRef() {
    static std::string folder;
    return folder;
}

SpecialCodes& specials() {
    static SpecialCodes s;
    return s;
}

bool readFile(const std::string& path, std::string& out) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

// A dictionary file beside the start folder wins, unless it holds nothing.
bool loadDictionary(const std::string& type, const std::string& name, Dictionary& out) {
    std::string folder = startFolderRef();
    if (type == "LDI" && !folder.empty()) {
        std::string coded;
        std::string path = folder + (folder.back() == '/' ? "" : "/") + name + ".ldx";
        if (readFile(path, coded) && !coded.empty()) {
            Dictionary d;
            d.parse(decodeCoded(coded));
            if (!d.empty() && !d.firstGroupEmpty()) {
                out = std::move(d);
                return true;
            }
        }
    }
    std::string text;
    if (!builtinResource(type, name, text)) return false;
    out = Dictionary();
    out.parse(std::move(text));
    return !out.empty();
}

} // namespace

namespace {

char lowerChar(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// [b, e) of `text` without blanks at either end, made lower case when asked.
std::string_view trimmedPart(std::string& text, size_t b, size_t e, bool makeLower) {
    while (b < e && static_cast<unsigned char>(text[b]) <= 32) ++b;
    while (e > b && static_cast<unsigned char>(text[e - 1]) <= 32) --e;
    if (makeLower)
        for (size_t i = b; i < e; ++i) text[i] = lowerChar(text[i]);
    return std::string_view(text).substr(b, e - b);
}

} // namespace

void Dictionary::parse(std::string source) {
    m_text = std::make_unique<std::string>(std::move(source));
    std::string& text = *m_text;
    m_groups.clear();
    Group* current = nullptr;
    std::string_view firstName;
    bool first = true;
    size_t pos = 0;
    while (pos <= text.size()) {
        size_t end = pos;
        while (end < text.size() && text[end] != '\r' && text[end] != '\n') ++end;
        const std::string_view line = trimmedPart(text, pos, end, false);
        const size_t lineBegin = static_cast<size_t>(line.data() - text.data());
        pos = end + 1;
        if (line.empty() || line[0] == ';') continue;
        if (line.front() == '[' && line.back() == ']' && line.size() >= 2) {
            const std::string_view name = trimmedPart(text, lineBegin + 1, lineBegin + line.size() - 1, true);
            current = nullptr;
            for (Group& g : m_groups)
                if (g.name == name) current = &g;
            if (!current) current = &m_groups.emplace_back(Group{name, {}});
            current->entries.clear();  // a repeated group replaces the earlier one
            if (first) firstName = name;
            first = false;
            continue;
        }
        const size_t eq = line.find('=');
        if (!current || eq == std::string_view::npos) continue;
        const std::string_view key = trimmedPart(text, lineBegin, lineBegin + eq, true);
        const std::string_view value = trimmedPart(text, lineBegin + eq + 1, lineBegin + line.size(), false);
        current->entries.push_back({key, value});
    }
    for (Group& g : m_groups) {
        // By key (already in lower case: byte order is the order find() searches in); of equal
        // keys the last one written stays.
        std::stable_sort(g.entries.begin(), g.entries.end(), [](const Entry& a, const Entry& b) { return a.key < b.key; });
        std::vector<Entry> kept;
        kept.reserve(g.entries.size());
        for (size_t i = 0; i < g.entries.size(); ++i)
            if (i + 1 == g.entries.size() || g.entries[i + 1].key != g.entries[i].key) kept.push_back(g.entries[i]);
        g.entries.swap(kept);
    }
    m_firstGroupEmpty = first || group(firstName)->entries.empty();
}

namespace {

// A name in lower case (A-Z only), in a buffer of the caller's for the usual short names.
class LoweredName {
public:
    explicit LoweredName(std::string_view name) {
        char* out = m_small;
        if (name.size() > sizeof m_small) {
            m_large.resize(name.size());
            out = m_large.data();
        }
        for (size_t i = 0; i < name.size(); ++i) out[i] = lowerChar(name[i]);
        m_view = std::string_view(out, name.size());
    }
    LoweredName(const LoweredName&) = delete;
    std::string_view view() const { return m_view; }

private:
    char m_small[64];
    std::string m_large;
    std::string_view m_view;
};

} // namespace

const Dictionary::Group* Dictionary::group(std::string_view name) const {
    const LoweredName lowered(name);
    for (const Group& g : m_groups)
        if (g.name == lowered.view()) return &g;
    return nullptr;
}

const std::string_view* Dictionary::find(std::string_view groupName, std::string_view key) const {
    const Group* g = group(groupName);
    if (!g) return nullptr;
    const LoweredName lowered(key);
    const std::string_view k = lowered.view();
    auto it = std::lower_bound(g->entries.begin(), g->entries.end(), k,
                               [](const Entry& e, std::string_view x) { return e.key < x; });
    if (it == g->entries.end() || it->key != k) return nullptr;
    return &it->value;
}

std::string decodeCoded(std::string_view coded) {
    if (coded.empty()) return {};
    std::string out(coded.size() - 1, '\0');
    unsigned char sum = static_cast<unsigned char>(coded[0]);
    for (size_t i = 1; i < coded.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(coded[i]);
        out[i - 1] = static_cast<char>(static_cast<unsigned char>(c - sum));
        sum = static_cast<unsigned char>(sum + c);
    }
    return out;
}

std::string encodeCoded(std::string_view plain, unsigned char seed) {
    std::string out;
    out.reserve(plain.size() + 1);
    out.push_back(static_cast<char>(seed));
    unsigned char sum = seed;
    for (unsigned char b : plain) {
        unsigned char o = static_cast<unsigned char>(b + sum);
        out.push_back(static_cast<char>(o));
        sum = static_cast<unsigned char>(sum + o);
    }
    return out;
}

void setMessageReporter(std::function<void(const std::string&)> fn) { reporter() = std::move(fn); }

void reportToUser(const std::string& text) {
    if (reporter()) reporter()(text);
}

void setStartFolder(const std::string& folder) { startFolderRef() = folder; }
const std::string& startFolder() { return startFolderRef(); }

bool setLanguage(std::string name, bool checkOnly) {
    if (name.empty() || name == "*") name = "english";
    name = lower(name);
    LanguageData& cur = current();
    if (cur.set && name == cur.name) return true;
    Dictionary dict;
    if (!loadDictionary("LDI", name, dict)) return false;
    if (checkOnly) return true;
    Dictionary ui;
    if (!loadDictionary("laf", name, ui)) loadDictionary("laf", "english", ui);
    cur.dict = std::move(dict);
    cur.ui = std::move(ui);
    cur.name = name;
    cur.set = true;

    LanguageState& lang = language();
    auto words = [&](const char* group, const char* key, const char* dflt) {
        const std::string_view* v = cur.dict.find(group, key);
        std::vector<std::string> w = v ? splitWords(*v) : std::vector<std::string>{};
        if (w.empty()) w.push_back(dflt);
        return w;
    };
    lang.trueWords = words("other", "true", "true");
    lang.falseWords = words("other", "false", "false");
    lang.anyWords = words("dict", "any", "any");
    bool ansi = cur.dict.find("system", "ansi") != nullptr;
    if (ansi != lang.ansiCompare) {
        lang.ansiCompare = ansi;
        nameCodes().refold();
    }
    std::string inst = uiString("strings", "anistanceof");
    if (!inst.empty()) lang.anInstanceOf = inst;
    const std::string_view* setfix = cur.dict.find("system", "setfix");
    std::string pattern = setfix ? std::string(*setfix) : "set*";
    auto star = pattern.find('*');
    cur.setterPrefix = star == std::string::npos ? pattern : pattern.substr(0, star);
    cur.setterSuffix = star == std::string::npos ? "" : pattern.substr(star + 1);
    return true;
}

const std::string& currentLanguage() { return current().name; }
const Dictionary& languageDictionary() { return current().dict; }
const Dictionary& interfaceDictionary() { return current().ui; }

static void requireLanguage() {
    if (!current().set) {
        reportToUser("Internal error - Dictionary not initialised in getStr");
        std::exit(1);
    }
}

std::string dictGet(std::string_view group, std::string_view key, bool report) {
    requireLanguage();
    const std::string_view* v = current().dict.find(group, key);
    if (v) return std::string(*v);
    if (report)
        reportToUser("Translation Error - Unknown language string: " + std::string(group) + "-" + std::string(key));
    return {};
}

std::string dictionaryWord(std::string_view key) { return dictGet("dict", key, true); }

std::vector<std::string> synonyms(std::string_view group, std::string_view key) {
    requireLanguage();
    const std::string_view* v = current().dict.find(group, key);
    return v ? splitWords(*v) : std::vector<std::string>{};
}

std::string firstWord(std::string_view group, std::string_view key) {
    requireLanguage();
    if (const std::string_view* v = current().dict.find(group, key)) {
        size_t pos = 0;
        if (const std::string_view w = nextWord(*v, pos); !w.empty()) return std::string(w);
    }
    return "@" + std::string(key) + "@";
}

std::string message(std::string_view key, const std::string& a, const std::string& b) {
    requireLanguage();
    const std::string_view* v = current().dict.find("text", key);
    if (!v) return "@" + std::string(key) + "@";
    std::string out;
    const std::string_view t = *v;
    for (size_t i = 0; i < t.size(); ++i) {
        if (t[i] == '\\' && i + 1 < t.size() && (t[i + 1] == 'n' || t[i + 1] == 'N')) {
            out += "\r\n";
            ++i;
        } else if (t[i] == '%' && i + 1 < t.size() && t[i + 1] == 's') {
            if (i + 2 < t.size() && t[i + 2] == '2') {
                out += b;
                i += 2;
            } else {
                out += a;
                i += (i + 2 < t.size() && t[i + 2] == '1') ? 2 : 1;
            }
        } else {
            out.push_back(t[i]);
        }
    }
    return out;
}

std::string uiString(std::string_view group, std::string_view key) {
    const std::string_view* v = current().ui.find(group, key);
    if (!v) return {};
    std::string s;
    for (char c : *v) {
        if (static_cast<unsigned char>(c) == 0xB6) s += "\r\n";  // a line break in interface texts
        else s.push_back(c);
    }
    return s;
}

std::string setterOf(const std::string& word) { return current().setterPrefix + word + current().setterSuffix; }

std::vector<int32_t> codesOf(std::string_view internalName) {
    std::vector<std::string> words;
    std::string n(internalName);
    if (n.rfind("set*", 0) == 0) {
        std::string base = n.substr(4);
        auto syn = synonyms("dict", base);
        if (syn.empty()) syn.push_back("@" + base + "@");
        for (auto& w : syn) words.push_back(setterOf(w));
        for (auto& w : synonyms("set", base)) words.push_back(w);
    } else if (n.rfind("*", 0) == 0) {
        std::string base = n.substr(1);
        for (auto& w : synonyms("dict", base)) words.push_back(w);
        for (auto& w : synonyms("get", base)) words.push_back(w);
    } else {
        words = synonyms("dict", n);
        if (words.empty()) {
            reportToUser("Translation Error - Unknown language string: dict-" + n);
            words.push_back("@" + n + "@");
        }
    }
    std::vector<int32_t> codes;
    for (auto& w : words) {
        int32_t c = nameCodes().intern(w);
        bool dup = false;
        for (int32_t k : codes) dup |= k == c;
        if (!dup) codes.push_back(c);
    }
    return codes;
}

std::string translateInternalName(const std::string& text) {
    // The apostrophe part (an object prefix) is set aside and appended again.
    std::string rest = text.substr(1);
    std::string tail;
    auto apos = rest.find('\'');
    if (apos != std::string::npos) {
        tail = rest.substr(apos);
        rest = rest.substr(0, apos);
    }
    const Dictionary& d = current().dict;
    if (const std::string_view* v = d.find("dict", rest)) {
        auto w = splitWords(*v);
        if (!w.empty()) return w.front() + tail;
    }
    if (rest.rfind("set", 0) == 0) {
        if (const std::string_view* v = d.find("dict", rest.substr(3))) {
            auto w = splitWords(*v);
            if (!w.empty()) return setterOf(w.front()) + tail;
        }
    }
    auto mark = rest.find('\xB7');
    if (mark != std::string::npos) {
        if (const std::string_view* v = d.find(rest.substr(0, mark), rest.substr(mark + 1))) {
            auto w = splitWords(*v);
            if (!w.empty()) return w.front() + tail;
        }
    }
    return text;  // unknown names stay as written
}

std::string translateText(const std::string& text) {
    std::string out;
    size_t i = 0;
    auto nameChar = [](char c) {
        return c == '!' || c == '.' || c == '?' || c == '_' || c == '\xB7' || (c >= '0' && c <= '9') ||
               (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
    };
    while (i < text.size()) {
        if (text[i] != '\xB7') {
            out.push_back(text[i++]);
            continue;
        }
        size_t j = i + 1;
        while (j < text.size() && nameChar(text[j])) ++j;
        std::string token = text.substr(i, j - i);
        std::string r = token.substr(1);
        const Dictionary& d = current().dict;
        std::string repl;
        int failure = 0;
        if (const std::string_view* v = d.find("dict", r)) {
            auto w = splitWords(*v);
            if (!w.empty()) repl = w.front();
        }
        if (repl.empty()) {
            failure = 1;
            if (lower(r).rfind("set", 0) == 0) {
                failure = 2;
                if (const std::string_view* v = d.find("dict", r.substr(3))) {
                    auto w = splitWords(*v);
                    if (!w.empty()) repl = setterOf(w.front());
                }
            }
        }
        if (repl.empty()) {
            auto mark = r.find('\xB7');
            if (mark != std::string::npos) {
                failure = 3;
                if (const std::string_view* v = d.find(r.substr(0, mark), r.substr(mark + 1))) {
                    auto w = splitWords(*v);
                    if (!w.empty()) repl = w.front();
                }
            }
        }
        if (repl.empty()) {
            reportToUser("word???" + std::to_string(failure) + " " + token);
            repl = token;
        }
        out += repl;
        i = j;
    }
    return out;
}

bool isClipboardWord(std::string_view word) {
    if (sameName(word, "clipboard")) return true;
    for (auto& w : synonyms("other", "clipboard"))
        if (sameName(word, w)) return true;
    return false;
}

const SpecialCodes& specialCodes() { return specials(); }

void initNameTables() {
    NameCodeTable& nc = nameCodes();
    // A fresh table, so that the code ranges are the same for a given dictionary.
    nc.clear();
    SpecialCodes& s = specials();
    s = SpecialCodes();
    codesOf("create");
    codesOf("destroy");
    s.defaultAction = nc.intern(firstWord("name", "defaultaction"));
    s.lowRangeLimit = nc.size();
    static const char* const kEvents[] = {
        "onCreate", "onClean", "onClick", "onDoubleClick", "onLeftDown", "onRightDown", "onMiddleDown", "onLeftUp",
        "onRightUp", "onMiddleUp", "onDrag", "onPush", "onRelease", "onTool", "onChange", "onChanged",
        "onPagelistChanged", "onMouseMove", "onMouseEnter", "onMouseLeave", "onVoiceCommand", "onAddBehaviour",
        "onDeleteBehaviour", "onCollide", "onBounce", "onLoad", "onPositionChange", "onPlayStateChange",
        "onStatusChanged", "onReceive", "onJoystickButton1Down", "onJoystickButton1Up", "onJoystickButton2Down",
        "onJoystickButton2Up", "onJoystickButton3Down", "onJoystickButton3Up", "onJoystickButton4Down",
        "onJoystickButton4Up", "onJoystickMove", "onBegin", "onComplete", "onShowPage", "onHidePage",
        "onTurnToolBar", "onReceiveObject", "onErase"};
    for (const char* e : kEvents) s.events.push_back(nc.intern(firstWord("dict", e)));
    s.eventLimit = nc.size();
    s.output = nc.intern(firstWord("dict", "output"));
    s.stop = nc.intern(firstWord("dict", "stop"));
    s.minus = nc.intern("-");
    s.plus = nc.intern("+");
    s.askObj = nc.intern("@askobj");
    s.childDestination = nc.intern("@childdestination");
    s.unaryMinus = nc.intern("<unary ->");
    s.unaryPlus = nc.intern("<unary +>");
    s.mainClass = nc.intern(firstWord("class", "main"));
    for (const char* k : {"initList", "namePrefix", "savePicture", "voiceCommand", "fileName"})
        nc.intern(firstWord("name", k));
    nc.intern(firstWord("class", "Window"));
    for (auto& w : language().anyWords) nc.intern(w);
    nc.intern(firstWord("dict", "toplevel"));
    s.error = nc.intern(firstWord("other", "error"));
    buildPropertyRows();
    for (const char* n : {"create", "destroy", "addBehaviour", "removeBehaviour"})
        for (int32_t c : codesOf(n)) s.creationNames.push_back(c);
    s.nameNames = codesOf("name");
    buildClassSynonyms();
}

namespace {

std::vector<PropertyRow>& rows() {
    static std::vector<PropertyRow> r(kPropertyRowCount);
    return r;
}

std::unordered_map<int32_t, int>& rowByCode() {
    static std::unordered_map<int32_t, int> m;
    return m;
}

std::unordered_map<int32_t, int32_t>& classSynonyms() {
    static std::unordered_map<int32_t, int32_t> m;
    return m;
}

} // namespace

void buildPropertyRows() {
    NameCodeTable& nc = nameCodes();
    rows().assign(kPropertyRowCount, PropertyRow());
    rowByCode().clear();
    for (int r = 0; r < kPropertyRowCount; ++r) {
        const char* name = kPropertyRowNames[r];
        if (!name[0]) continue;
        PropertyRow& row = rows()[r];
        std::vector<std::string> syn = synonyms("dict", name);
        if (syn.empty()) syn.push_back("@" + std::string(name) + "@");
        row.code = nc.intern(syn.front());
        row.setter = nc.intern(setterOf(syn.front()));
        for (auto& w : synonyms("set", name)) row.extraSetters.push_back(nc.intern(w));
        for (auto& w : synonyms("get", name)) row.extraGetters.push_back(nc.intern(w));
        for (size_t k = 1; k < syn.size(); ++k) {
            row.extraGetters.push_back(nc.intern(syn[k]));
            row.extraSetters.push_back(nc.intern(setterOf(syn[k])));
        }
        for (auto& w : syn) row.synonyms.push_back(nc.intern(w));
        for (int32_t c : row.synonyms) rowByCode().emplace(c, r);
    }
}

const PropertyRow& propertyRow(int row) {
    static const PropertyRow none;
    return row >= 0 && row < kPropertyRowCount && row < static_cast<int>(rows().size()) ? rows()[row] : none;
}

int propertyRowOf(int32_t code) {
    auto it = rowByCode().find(code);
    return it == rowByCode().end() ? -1 : it->second;
}

void buildClassSynonyms() {
    classSynonyms().clear();
    static const char* const kClasses[] = {"button",  "colorslider", "colourbutton", "joystick",   "main",
                                           "mainwindow", "mediaplayer", "melodybutton", "net",     "page",
                                           "pageswitch", "pane",      "separator",    "slider",    "switch",
                                           "textbox",  "toolbar",     "toolbutton",   "toolwindow", "turtle",
                                           "web",      "widthswitch", "window"};
    for (const char* cls : kClasses) {
        auto words = synonyms("class", cls);
        if (words.size() < 2) continue;
        int32_t first = nameCodes().intern(words.front());
        for (auto& w : words) classSynonyms()[nameCodes().intern(w)] = first;
    }
}

int32_t classNameCode(int32_t code) {
    auto it = classSynonyms().find(code);
    return it == classSynonyms().end() ? code : it->second;
}

} // namespace qm

#include "embedded_resources.h"

namespace qm {

bool builtinResource(std::string_view type, std::string_view name, std::string& out) {
    for (const EmbeddedResource* r = kEmbeddedResources; r->type; ++r) {
        if (type == r->type && name == r->name) {
            out = decodeCoded(std::string_view(reinterpret_cast<const char*>(r->data), r->size));
            return true;
        }
    }
    return false;
}

} // namespace qm
