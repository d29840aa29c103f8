// The engine's command line: embedded in a browser's window, or standalone with the
// project appended to the executable.
#pragma once

#include <string>

namespace qm {

struct StartRequest {
    enum Mode { Standalone, Embedded, Exit } mode = Exit;
    unsigned long parentWindow = 0;
    std::string projectPath;
};

// Fewer than two arguments: standalone. Otherwise the first must be a non-zero window
// number and the second a non-empty path, or the engine exits.
StartRequest parseEngineCommandLine(int argc, char** argv);

} // namespace qm
