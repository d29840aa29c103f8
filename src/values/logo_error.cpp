// The Logo error record: construction and the hold on its offending value and owner.
#include "logo_error.h"

#include "value.h"

namespace qm {

eLogoException::eLogoException(errorConst c, tlogoobject* v) : code(c) { value = hold(v); }

eLogoException::eLogoException(errorConst c, const std::string& wordText, bool) : code(c) {
    value = hold(static_cast<tlogoobject*>(makeRawWord(wordText)));
}

eLogoException::eLogoException(errorConst c, int32_t lo, int32_t hi, tlogoobject* v) : low(lo), high(hi), code(c) {
    value = hold(v);
}

eLogoException::eLogoException(const eLogoException& o)
    : std::exception(o), message(o.message), messageGiven(o.messageGiven), further(o.further), where(o.where),
      owner(hold(o.owner)), contextKind(o.contextKind), located(o.located), line(o.line), name(o.name),
      value(hold(o.value)), nameCode(o.nameCode), low(o.low), high(o.high), code(o.code),
      positionPath(o.positionPath), tagText(o.tagText) {}

eLogoException& eLogoException::operator=(const eLogoException& o) {
    if (this == &o) return *this;
    message = o.message;
    messageGiven = o.messageGiven;
    further = o.further;
    where = o.where;
    assign(owner, o.owner);
    contextKind = o.contextKind;
    located = o.located;
    line = o.line;
    name = o.name;
    assign(value, o.value);
    nameCode = o.nameCode;
    low = o.low;
    high = o.high;
    code = o.code;
    positionPath = o.positionPath;
    tagText = o.tagText;
    return *this;
}

eLogoException::~eLogoException() {
    release(value);
    release(owner);
}

eLogoException eLogoException::withNameCode(errorConst c, int32_t nc) {
    eLogoException e(c);
    e.nameCode = nc;
    return e;
}

eLogoException eLogoException::withName(errorConst c, const std::string& n) {
    eLogoException e(c);
    e.name = n;
    return e;
}

eLogoException eLogoException::withMessage(errorConst c, const std::string& msg, tlogoobject* v) {
    eLogoException e(c, v);
    e.message = msg;
    e.messageGiven = true;
    return e;
}

void eLogoException::recordProcedure(const std::string& procName, tlogoobject* own, int32_t ln, uint8_t kind) {
    if (located) return;
    located = true;
    where = procName;
    assign(owner, own);
    line = ln;
    contextKind = kind;
}

void eLogoException::setValue(tlogoobject* v) { assign(value, v); }

ethrow::ethrow(tlogoobject* tag) : eLogoException(erNoCatch, tag) {
    if (tag && tag->IsWord()) tagText = tag->GetText();
}

const char* errorName(int c) {
    switch (c) {
#define QM_ERROR_NAME(name, num) \
    case num:                    \
        return #name;
        QM_ERROR_CODES(QM_ERROR_NAME)
#undef QM_ERROR_NAME
    }
    return "errrr";
}

int errorCodeByName(const char* n) {
    std::string s(n);
#define QM_ERROR_LOOKUP(name, num) \
    if (s == #name) return num;
    QM_ERROR_CODES(QM_ERROR_LOOKUP)
#undef QM_ERROR_LOOKUP
    return -1;
}

const char* inprocTypeName(tInprocType t) {
    static const char* const names[] = {"ipNone",      "ipProc",      "ipEvent",    "ipMenu",         "ipMCINotify",
                                        "ipVoiceMenu", "ipKeyMenu",   "ipNetworkRun", "ipInitialLoad", "ipINILoad",
                                        "ipLaunch",    "ipForever",   "ipTreeAction", "ipEvery",       "ipAfter",
                                        "ipAutoDrag",  "ipClearClick", "ipStartup",   "ipCleaning",    "ipCode",
                                        "ipLoadFile"};
    return t < sizeof names / sizeof names[0] ? names[t] : "ipNone";
}

} // namespace qm
