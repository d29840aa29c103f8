// Running plain Logo text files the way people write them: instructions line by line,
// a list that is still open continuing on the next line.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "engine.h"

namespace qm {

// Splits code page 1250 text (any line ends) into instruction units: one line, or
// several when a list stays open across them, or a whole "to" ... "end" definition.
std::vector<std::string> splitInstructionUnits(const std::string& text);

// Runs every unit (a definition defines its procedure in the main object) in the
// process "@main" and waits for it to end; answers the number of errors reported
// meanwhile (by any process).
int runScript(Engine& engine, const std::string& cp1250Text);
// The same without waiting: "@main" runs on while the caller waits for the processes.
void startScript(Engine& engine, const std::string& cp1250Text);

// Text output to a terminal: code page 1250 into UTF-8, CR LF into LF.
class TerminalOutput : public TextOutput {
public:
    explicit TerminalOutput(std::FILE* f) : m_file(f) {}
    void write(const std::string& text) override;

private:
    std::FILE* m_file;
};

std::string terminalText(const std::string& cp1250);

} // namespace qm
