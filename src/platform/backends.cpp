// The table of backends built in, and the start-up choice between them.
#include <cstdlib>

#include "headless/headless_backend.h"
#include "platform.h"
#ifdef QM_HAVE_X11
#include "x11/x11_backend.h"
#endif

namespace qm::platform {

namespace {

std::unique_ptr<Backend> createHeadless(std::string&) { return std::make_unique<HeadlessBackend>(); }

constexpr BackendEntry kBackends[] = {
#ifdef QM_HAVE_X11
    {"x11", createX11Backend},
#endif
    {"headless", createHeadless},
};

} // namespace

std::span<const BackendEntry> backends() { return kBackends; }

std::unique_ptr<Backend> createBackend(std::string_view name, std::string& error) {
    for (const BackendEntry& entry : kBackends)
        if (entry.name == name) return entry.create(error);
    error = "unknown backend \"" + std::string(name) + "\" (this build has:";
    for (const BackendEntry& entry : kBackends) error += " " + std::string(entry.name);
    error += ")";
    return nullptr;
}

std::unique_ptr<Backend> chooseBackend(std::string& error) {
    if (const char* forced = std::getenv("QUELMAR_BACKEND"); forced && *forced) return createBackend(forced, error);
    [[maybe_unused]] const char* display = std::getenv("DISPLAY");
#ifdef QM_HAVE_X11
    if (display && *display) return createBackend("x11", error);
#endif
    return createBackend("headless", error);
}

} // namespace qm::platform
