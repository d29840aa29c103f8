// Composing error messages and captions from the dictionary.
#include "error_text.h"

#include "context.h"
#include "dictionary.h"
#include "name_codes.h"
#include "value.h"

namespace qm {

namespace {

std::string valueText(const eLogoException& e, bool brackets) {
    if (e.value) {
        try {
            return e.value->PrintText(brackets);
        } catch (...) {
            return "????";
        }
    }
    if (e.nameCode) return nameCodes().textOf(e.nameCode);
    return "<nil>";
}

std::string procedureText(const eLogoException& e) {
    if (e.owner && e.owner != globals().mainObject) {
        std::string owner;
        try {
            owner = e.owner->PrintText(false);
        } catch (...) {
            owner = "????";
        }
        return owner + "'" + e.where;
    }
    return e.where;
}

std::string expand(const std::string& t, const eLogoException& e) {
    std::string out;
    for (size_t i = 0; i < t.size(); ++i) {
        if (t[i] != '#') {
            out.push_back(t[i]);
            continue;
        }
        if (i + 1 >= t.size()) {
            out.push_back('#');
            break;
        }
        char k = t[++i];
        switch (k) {
        case 'F': out += e.further; break;
        case 'P': out += procedureText(e); break;
        case 'L': out += std::to_string(e.line); break;
        case 'p': out += e.name; break;
        case 'c':
        case 'h': out += valueText(e, false); break;
        case 'H': out += valueText(e, true); break;
        case 'a': out += std::to_string(e.low); break;
        case 'b': out += std::to_string(e.high); break;
        default:
            out.push_back('#');
            out.push_back(k);
        }
    }
    return out;
}

} // namespace

std::string errorMessage(const eLogoException& e) {
    if (e.messageGiven) return e.message;
    std::string t = uiString("errors", errorName(e.code));
    if (t.empty()) t = errorName(e.code);
    return expand(t, e);
}

std::string errorCaption(const eLogoException& e) {
    std::string key;
    if (!e.located || e.contextKind == ipNone) key = "Error";
    else if (e.contextKind == ipProc && e.line < 0) key = "errorinproc";
    else key = inprocTypeName(static_cast<tInprocType>(e.contextKind));
    std::string t = uiString("ErrorCaptions", key);
    if (t.empty()) t = "Error";
    return expand(t, e);
}

std::string errorBoxText(const eLogoException& e) {
    std::string msg = errorMessage(e);
    size_t crlf = msg.find("\r\n");
    if (crlf != std::string::npos) msg.insert(crlf, "\r\n");
    return msg;
}

std::string errorReport(const eLogoException& e) {
    std::string caption = errorCaption(e);
    std::string msg = errorMessage(e);
    return caption.empty() ? msg : caption + ": " + msg;
}

} // namespace qm
