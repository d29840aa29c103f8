// The engine's command line.
#include "startup.h"

#include <cerrno>
#include <cstdlib>

namespace qm {

StartRequest parseEngineCommandLine(int argc, char** argv) {
    StartRequest r;
    if (argc < 3) {
        r.mode = StartRequest::Standalone;
        return r;
    }
    const char* handle = argv[1];
    char* end = nullptr;
    errno = 0;
    long long v = std::strtoll(handle, &end, 10);
    if (!*handle || *end || errno || v <= 0 || v > 0xFFFFFFFFLL) return r;  // not a window number
    if (!argv[2][0]) return r;
    r.mode = StartRequest::Embedded;
    r.parentWindow = static_cast<unsigned long>(v);
    r.projectPath = argv[2];
    return r;
}

} // namespace qm
