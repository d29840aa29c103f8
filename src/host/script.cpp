// Plain Logo files and the terminal.
#include "script.h"

#include <cstdio>

#include "language.h"
#include "procedures.h"
#include "reader.h"

namespace qm {


std::vector<std::string> splitInstructionUnits(const std::string& text) {
    std::vector<std::string> lines;
    std::string cur;
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '\r' || c == '\n') {
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
            lines.push_back(cur);
            cur.clear();
        } else {
            cur.push_back(c);
        }
    }
    if (!cur.empty()) lines.push_back(cur);

    std::vector<std::string> units;
    std::string pending;
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        // Whole-line comments are skipped, as the project loader skips them.
        if (pending.empty() && isCommentLine(line)) continue;
        // A definition runs from its "to" line to the line that holds only "end".
        if (pending.empty() && isToWord(firstWordOf(line))) {
            std::string definition = line;
            while (++i < lines.size()) {
                definition += "\r\n" + lines[i];
                if (isEndWord(trimmed(lines[i]))) break;
            }
            units.push_back(definition);
            continue;
        }
        pending = pending.empty() ? line : pending + "\r" + line;
        bool open = false;
        try {
            Ref<tLogoList> probe = parse(pending);
        } catch (eLogoException& e) {
            open = e.code == erMissingRBracket;
        }
        if (open) continue;
        units.push_back(pending);
        pending.clear();
    }
    if (!pending.empty()) units.push_back(pending);
    return units;
}

bool isDefinitionUnit(const std::string& unit) { return isToWord(firstWordOf(unit)); }

// A definition with an error is reported like a failing instruction; the file goes on.
void defineUnit(Engine& engine, const std::string& unit) {
    try {
        defineFromText(engine.mainObject().procedures, unit);
    } catch (eLogoException& e) {
        engine.reportError(e);
    }
}

// The body of "@main": the units in order, each error reported and the next unit run.
void runUnits(Engine& engine, ProcessContext& cx, const std::string& text) {
    for (const std::string& unit : splitInstructionUnits(text)) {
        if (isDefinitionUnit(unit)) defineUnit(engine, unit);
        else engine.runInstructionsIn(cx, unit);
    }
}

int runScript(Engine& engine, const std::string& text) {
    int before = engine.errorCount;
    engine.runInMain([&engine, text](ProcessContext& cx) { runUnits(engine, cx, text); }, true);
    return engine.errorCount - before;
}

void startScript(Engine& engine, const std::string& text) {
    engine.runInMain([&engine, text](ProcessContext& cx) { runUnits(engine, cx, text); }, false);
}

std::string terminalText(const std::string& cp1250) {
    std::string s;
    s.reserve(cp1250.size());
    for (size_t i = 0; i < cp1250.size(); ++i) {
        if (cp1250[i] == '\r') {
            s.push_back('\n');
            if (i + 1 < cp1250.size() && cp1250[i + 1] == '\n') ++i;
        } else {
            s.push_back(cp1250[i]);
        }
    }
    return cp1250ToUtf8(s);
}

void TerminalOutput::write(const std::string& text) {
    std::string t = terminalText(text);
    std::fwrite(t.data(), 1, t.size(), m_file);
}

} // namespace qm
