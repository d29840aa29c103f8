// quelmar: the player's front end for people, scripts and tests.
//   quelmar [--language NAME] [--seconds N] [--snapshot PNG] [--window] eval TEXT...
//   quelmar [--language NAME] [--seconds N] [--snapshot PNG] [--window] run FILE
// A run starts as a new, empty project does: one page with one turtle. The instructions
// run in the process "@main"; quelmar returns when no process is left, or after N
// seconds, when every process still running is stopped. With --snapshot the page, as a
// person would see it then, is written as a PNG file.
// With --window the page is shown in a window while the program runs, and stays there
// after it has ended until the window is closed (or N seconds have passed); closing the
// window stops every process. Without a display the run goes on without a window.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <optional>
#include <string>

#include "dictionary.h"
#include "engine.h"
#include "error_text.h"
#include "language.h"
#include "platform/thread.h"
#include "script.h"
#include "window_run.h"

namespace {

void usage() {
    std::fprintf(stderr,
                 "usage: quelmar [--language NAME] [--seconds N] [--snapshot PNG] [--window] eval TEXT...\n"
                 "       quelmar [--language NAME] [--seconds N] [--snapshot PNG] [--window] run FILE\n");
}

std::string fileNameOf(const std::string& path) {
    auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string folderOf(const std::string& path) {
    auto slash = path.rfind('/');
    return slash == std::string::npos ? "." : path.substr(0, slash == 0 ? 1 : slash);
}

// A positive number of seconds, or a negative answer when the text is none.
double secondsOf(const std::string& text) {
    char* end = nullptr;
    double v = std::strtod(text.c_str(), &end);
    if (text.empty() || *end || !(v > 0)) return -1;
    return v;
}

} // namespace

int main(int argc, char** argv) {
    std::string languageName = "english";
    double seconds = 0;  // 0: no limit
    std::string snapshot;
    bool window = false;
    int i = 1;
    while (i < argc && argv[i][0] == '-' && argv[i][1] == '-') {
        std::string opt = argv[i];
        if (opt == "--language" && i + 1 < argc) {
            languageName = argv[i + 1];
            i += 2;
        } else if (opt.rfind("--language=", 0) == 0) {
            languageName = opt.substr(11);
            ++i;
        } else if ((opt == "--seconds" && i + 1 < argc) || opt.rfind("--seconds=", 0) == 0) {
            const bool joined = opt != "--seconds";
            seconds = secondsOf(joined ? opt.substr(10) : argv[i + 1]);
            if (seconds < 0) {
                std::fprintf(stderr, "quelmar: --seconds needs a positive number\n");
                return 2;
            }
            i += joined ? 1 : 2;
        } else if ((opt == "--snapshot" && i + 1 < argc) || opt.rfind("--snapshot=", 0) == 0) {
            const bool joined = opt != "--snapshot";
            snapshot = joined ? opt.substr(11) : argv[i + 1];
            if (snapshot.empty()) {
                std::fprintf(stderr, "quelmar: --snapshot needs a file name\n");
                return 2;
            }
            i += joined ? 1 : 2;
        } else if (opt == "--window") {
            window = true;
            ++i;
        } else if (opt == "--help") {
            usage();
            return 0;
        } else {
            std::fprintf(stderr, "quelmar: unknown option %s\n", opt.c_str());
            usage();
            return 2;
        }
    }
    if (i >= argc) {
        usage();
        return 2;
    }
    std::string command = argv[i++];
    std::string text;
    std::string title = "Quelmar";
    if (command == "eval") {
        if (i >= argc) {
            usage();
            return 2;
        }
        for (; i < argc; ++i) {
            if (!text.empty()) text += " ";
            text += argv[i];
        }
        qm::setStartFolder(".");
    } else if (command == "run") {
        if (i + 1 != argc) {
            usage();
            return 2;
        }
        std::ifstream in(argv[i], std::ios::binary);
        if (!in) {
            std::fprintf(stderr, "quelmar: cannot read %s\n", argv[i]);
            return 2;
        }
        text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        qm::setStartFolder(folderOf(argv[i]));
        title += " - " + fileNameOf(argv[i]);
    } else {
        std::fprintf(stderr, "quelmar: unknown command %s\n", command.c_str());
        usage();
        return 2;
    }

    // A windowed run may last long after its last line: what it prints shows as it comes.
    if (window) std::setvbuf(stdout, nullptr, _IOLBF, 0);

    qm::setMessageReporter([](const std::string& m) {
        std::string t = qm::terminalText(m) + "\n";
        std::fwrite(t.data(), 1, t.size(), stderr);
    });

    int status = 0;
    const auto started = std::chrono::steady_clock::now();
    qm::platform::runOnLargeStack([&] {
        qm::Engine engine;
        std::string error;
        if (!engine.start(languageName, error)) {
            std::fprintf(stderr, "%s\n", error.c_str());
            status = 1;
            return;
        }
        qm::TerminalOutput out(stdout);
        engine.context().output = &out;
        engine.errorSink = [](const qm::eLogoException& e) {
            std::fflush(stdout);
            std::string t = qm::terminalText(qm::errorReport(e)) + "\n";
            std::fwrite(t.data(), 1, t.size(), stderr);
        };
        engine.otherErrorSink = [](const std::string& m) {
            std::fflush(stdout);
            std::fprintf(stderr, "%s\n", m.c_str());
        };
        engine.startEmptyProject();
        const std::string script = qm::utf8ToCp1250(text);
        std::optional<std::chrono::steady_clock::time_point> deadline;
        if (seconds > 0)
            deadline = started + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                                     std::chrono::duration<double>(seconds));
        bool shown = false;
        if (window) {
            // The program starts once its window is up, so that it finds the window and the pointer.
            std::string why;
            shown = qm::runInPageWindow(
                engine, {.title = title, .deadline = deadline, .start = [&] { qm::startScript(engine, script); }}, why);
            if (!shown)
                std::fprintf(stderr, "quelmar: cannot show the page in a window: %s; running without one\n",
                             why.c_str());
        }
        if (!shown) {
            qm::startScript(engine, script);
            engine.waitForProcesses(deadline ? &*deadline : nullptr);
        }
        engine.stopProcesses();
        std::fflush(stdout);
        status = engine.errorCount ? 1 : 0;
        if (!snapshot.empty()) {
            std::string why;
            if (!engine.writeSnapshot(snapshot, why)) {
                std::fprintf(stderr, "quelmar: cannot write the snapshot %s: %s\n", snapshot.c_str(), why.c_str());
                status = 1;
            }
        }
    });
    return status;
}
