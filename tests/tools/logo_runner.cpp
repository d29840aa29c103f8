// Runs one golden Logo test file through the engine and compares what it printed and
// which errors it raised with the expectations written in the file.
//
//   print first [a b c]
//   ; expect: a
//   print item 5 [a b]
//   ; expect error: erMinMax
//   ; expect message: Error: ...      (the whole report of that error)
//
// A first line "; language: NAME" chooses the dictionary. A line "; start: new project"
// among the first lines starts the engine as quelmar does, with a page and a turtle on it.
// Instructions run in order
// in one engine, each block in the process "@main"; each block of expectations checks
// everything printed or reported since the one before, by "@main" and by any other
// process meanwhile. At the end every process still running is stopped.
#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

#include "dictionary.h"
#include "engine.h"
#include "error_text.h"
#include "language.h"
#include "platform/thread.h"
#include "script.h"

namespace {

struct Entry {
    enum Kind { Output, Error, Message } kind;
    std::string text;
    std::string report;  // errors: the whole report
    int line = 0;        // expectations: where they were written
};

// Processes write while the runner reads, so everything captured goes through one lock.
std::mutex g_captured;

class Capture : public qm::TextOutput {
public:
    std::vector<Entry>* entries = nullptr;
    std::string pending;
    void write(const std::string& text) override {
        std::lock_guard<std::mutex> g(g_captured);
        pending += qm::terminalText(text);
    }
    void flushLines(bool partialToo) {
        size_t nl;
        while ((nl = pending.find('\n')) != std::string::npos) {
            entries->push_back({Entry::Output, pending.substr(0, nl), {}, 0});
            pending.erase(0, nl + 1);
        }
        if (partialToo && !pending.empty()) {
            entries->push_back({Entry::Output, pending, {}, 0});
            pending.clear();
        }
    }
};

std::string describe(const Entry& e) {
    switch (e.kind) {
    case Entry::Output: return "output \"" + e.text + "\"";
    case Entry::Error: return "error " + e.text + " (" + e.report + ")";
    case Entry::Message: return "message \"" + e.text + "\"";
    }
    return {};
}

bool startsWith(const std::string& s, const std::string& p) { return s.compare(0, p.size(), p) == 0; }

std::string afterColon(const std::string& s, const std::string& prefix) {
    std::string t = s.substr(prefix.size());
    if (!t.empty() && t[0] == ' ') t.erase(0, 1);
    return t;
}

int runFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        std::cerr << "cannot read " << path << "\n";
        return 2;
    }
    std::vector<std::string> lines;
    for (std::string l; std::getline(in, l);) {
        if (!l.empty() && l.back() == '\r') l.pop_back();
        lines.push_back(l);
    }
    std::string languageName = "english";
    if (!lines.empty() && startsWith(lines[0], "; language:")) languageName = afterColon(lines[0], "; language:");

    auto slash = path.rfind('/');
    qm::setStartFolder(slash == std::string::npos ? "." : path.substr(0, slash));
    std::vector<std::string> reported;
    qm::setMessageReporter([&](const std::string& m) { reported.push_back(m); });

    qm::Engine engine;
    std::string error;
    if (!engine.start(languageName, error)) {
        std::cerr << path << ": " << error << "\n";
        return 1;
    }
    for (size_t i = 0; i < lines.size() && i < 5; ++i)
        if (startsWith(lines[i], "; start: new project")) engine.startEmptyProject();
    Capture capture;
    std::vector<Entry> actual;
    capture.entries = &actual;
    engine.context().output = &capture;
    engine.errorSink = [&](const qm::eLogoException& e) {
        std::lock_guard<std::mutex> g(g_captured);
        capture.flushLines(true);
        actual.push_back({Entry::Error, qm::errorName(e.code), qm::terminalText(qm::errorReport(e)), 0});
    };
    engine.otherErrorSink = [&](const std::string& m) {
        std::lock_guard<std::mutex> g(g_captured);
        capture.flushLines(true);
        actual.push_back({Entry::Error, "exception", m, 0});
    };

    int failures = 0;
    std::string code;
    std::vector<Entry> expected;
    int codeLine = 1, firstLine = 1;
    auto check = [&]() {
        if (!code.empty()) qm::runScript(engine, qm::utf8ToCp1250(code));
        std::lock_guard<std::mutex> g(g_captured);
        capture.flushLines(true);
        size_t j = 0;
        bool ok = true;
        std::string why;
        for (const Entry& e : expected) {
            if (e.kind == Entry::Message) {
                if (j == 0 || actual[j - 1].kind != Entry::Error || actual[j - 1].report != e.text) {
                    ok = false;
                    why = "expected " + describe(e) + ", got " + (j ? describe(actual[j - 1]) : "nothing");
                    break;
                }
                continue;
            }
            if (j >= actual.size() || actual[j].kind != e.kind || actual[j].text != e.text) {
                ok = false;
                why = "expected " + describe(e) + ", got " + (j < actual.size() ? describe(actual[j]) : "nothing");
                break;
            }
            ++j;
        }
        if (ok && j < actual.size()) {
            ok = false;
            why = "unexpected " + describe(actual[j]);
        }
        if (!ok) {
            ++failures;
            std::cerr << path << ":" << firstLine << "-" << codeLine << ": " << why << "\n";
        }
        actual.clear();
        expected.clear();
        code.clear();
    };

    bool inExpectations = false;
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::string& l = lines[i];
        int lineNo = static_cast<int>(i) + 1;
        Entry e{Entry::Output, {}, {}, lineNo};
        bool isExpectation = true;
        if (startsWith(l, "; expect:")) e = {Entry::Output, afterColon(l, "; expect:"), {}, lineNo};
        else if (startsWith(l, "; expect error:")) e = {Entry::Error, afterColon(l, "; expect error:"), {}, lineNo};
        else if (startsWith(l, "; expect message:")) e = {Entry::Message, afterColon(l, "; expect message:"), {}, lineNo};
        else isExpectation = false;
        if (isExpectation) {
            expected.push_back(e);
            inExpectations = true;
            continue;
        }
        if (inExpectations) {
            check();
            inExpectations = false;
            firstLine = lineNo;
        }
        if (startsWith(l, ";")) continue;
        code += l + "\n";
        codeLine = lineNo;
    }
    check();  // whatever follows the last expectation must run silently
    engine.stopProcesses();
    if (failures) std::cerr << path << ": " << failures << " failed\n";
    return failures ? 1 : 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: logo_runner FILE.lgo\n";
        return 2;
    }
    int rc = 0;
    qm::platform::runOnLargeStack([&] { rc = runFile(argv[1]); });
    return rc;
}
