// User procedures: their descriptors, defining them from definition lists and from
// "to ... end" text, calling them with dynamic scope and proper tail calls, and placing
// an error on a line of their text.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "tables.h"

namespace qm {

// A procedure written in Logo. Its body is a list of lines (or a word holding code),
// shared with whoever supplied it and compiled on first call.
class tLogoProcDesc : public tProcDesc {
public:
    tLogoProcDesc(int32_t code, int32_t defpar, bool varpar);
    ~tLogoProcDesc() override;

    std::string sourceText;          // the text it was defined from; empty otherwise
    tlogoobject* body = nullptr;     // held
    std::vector<int32_t> inputNames;
    int32_t inputCount = 0;
    uint8_t templateCall = 0;        // set for one call through entry 3 or 4

    void Execute(ProcessContext& cx, int32_t n) override { call(cx, n, false); }
    void callTail(ProcessContext& cx, int32_t n) override { call(cx, n, true); }
    void callTemplateCommand(ProcessContext& cx, int32_t n) override;
    void callTemplateReporter(ProcessContext& cx, int32_t n) override;

    std::string DefinitionText() override;
    tlogoobject* DefinitionList() override;
    // A running procedure cannot be redefined or erased.
    bool MayChange(bool running) override { return !running || activeCalls == 0; }

    // The line of the procedure text at which the error happened, found from its
    // position path: 0 when nothing could be counted, -1 when the text has fewer tokens.
    int32_t lineOfError(const eLogoException& e);

protected:
    // Takes the n inputs from the stack into the frame: a new frame, or with rebind the
    // frame that the previous procedure of a tail-call chain left open.
    virtual void bindInputs(ProcessContext& cx, int32_t n, bool rebind) = 0;

private:
    void call(ProcessContext& cx, int32_t n, bool tail);
};

// Fixed inputs: exactly as many as it has names.
class tLogoProcDescF final : public tLogoProcDesc {
public:
    tLogoProcDescF(int32_t code, std::vector<int32_t> names);

protected:
    void bindInputs(ProcessContext& cx, int32_t n, bool rebind) override;
};

// One collecting input: every call's inputs become one list; defpar is the count
// taken without parentheses.
class tLogoProcDescV final : public tLogoProcDesc {
public:
    tLogoProcDescV(int32_t code, int32_t name, int32_t defaultCount);

protected:
    void bindInputs(ProcessContext& cx, int32_t n, bool rebind) override;
};

// Defines (or redefines) the procedure `name` in the table from a definition list
// [[inputs] [line] ...]; sourceText is kept for `text` and error lines when given.
tLogoProcDesc* defineProcedure(tLogoTab& table, tlogoobject* name, tlogoobject* definition,
                               const std::string& sourceText = {});

// The words that open and close a definition in the current language (or internally).
// Lines of procedure text: without blanks at either end, their first word, and whether
// the whole line is a comment.
std::string trimmed(std::string_view s);
std::string firstWordOf(const std::string& line);
bool isCommentLine(std::string_view line);
bool isToWord(std::string_view word);
bool isEndWord(std::string_view word);

// Defines a procedure from its whole text: a header line "to name :a :b" (or
// "to name :args [2]" for a collecting input), the body lines and an "end" line.
// Lines may end in CR, LF or the line-break mark; whole-line comments are skipped.
tLogoProcDesc* defineFromText(tLogoTab& table, const std::string& text);

} // namespace qm
