// The Logo error and the other exceptions that travel through the evaluator.
#pragma once

#include <cstdint>
#include <exception>
#include <string>
#include <vector>

#include "error_codes.h"
#include "heap.h"

namespace qm {

class tlogoobject;

// A failure in Logo code. It collects where it happened while it travels outwards:
// the innermost procedure, line and called name win, as each is set only once.
class eLogoException : public std::exception {
public:
    explicit eLogoException(errorConst code) : code(code) {}
    eLogoException(errorConst code, tlogoobject* v);
    eLogoException(errorConst code, const std::string& wordText, bool asWord);
    // Error 26: bounds and the offending value.
    eLogoException(errorConst code, int32_t lo, int32_t hi, tlogoobject* v);
    eLogoException(const eLogoException& o);
    eLogoException& operator=(const eLogoException& o);
    ~eLogoException() override;

    static eLogoException withNameCode(errorConst code, int32_t nameCode);
    static eLogoException withName(errorConst code, const std::string& name);
    static eLogoException withMessage(errorConst code, const std::string& message, tlogoobject* v);

    const char* what() const noexcept override { return message.c_str(); }

    void recordCalledProcedure(const std::string& procName) {
        if (name.empty()) name = procName;
    }
    void recordProcedure(const std::string& procName, tlogoobject* owner, int32_t ln, uint8_t kind);
    void addPosition(int32_t n) { positionPath.push_back(n); }
    void setValue(tlogoobject* v);

    std::string message;        // set when the raiser gives its own text (user errors)
    bool messageGiven = false;
    std::string further;        // #F
    std::string where;          // #P: the user procedure in which it happened
    tlogoobject* owner = nullptr;   // held
    uint8_t contextKind = 0;    // tInprocType
    bool located = false;
    int32_t line = -1;          // #L
    std::string name;           // #p
    tlogoobject* value = nullptr;   // #c, held
    int32_t nameCode = 0;
    int32_t low = 0, high = 0;  // #a, #b
    errorConst code;
    std::vector<int32_t> positionPath{0};
    std::string tagText;        // throw: the tag
};

// throw of a tag: error 40 with the tag as its value.
class ethrow : public eLogoException {
public:
    explicit ethrow(tlogoobject* tag);
};

// Ends a process without a report.
class eTerminateException : public std::exception {
public:
    explicit eTerminateException(int flag = 0) : flag(flag) {}
    const char* what() const noexcept override { return "terminated"; }
    int flag;
};

class eStopPlayException : public eTerminateException {
public:
    eStopPlayException() : eTerminateException(1) {}
};

// The output signal: output or stop reached through a descriptor instead of the evaluator.
class eOutputException : public std::exception {
public:
    const char* what() const noexcept override { return "output"; }
};

} // namespace qm
