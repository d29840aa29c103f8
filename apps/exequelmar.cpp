// exeQuelmar: the engine. Embedded: exeQuelmar WINDOW-ID PROJECT [PARAMS];
// standalone (fewer than two arguments): the project is appended to the executable.
#include <cstdio>

#include "startup.h"

int main(int argc, char** argv) {
    qm::StartRequest req = qm::parseEngineCommandLine(argc, argv);
    if (req.mode == qm::StartRequest::Exit) return 1;
    // FIXME: windows and project loading are not there yet; the engine only checks
    // how it was started.
    std::fprintf(stderr, "exeQuelmar: %s mode; projects cannot be loaded yet\n",
                 req.mode == qm::StartRequest::Embedded ? "embedded" : "standalone");
    return 1;
}
