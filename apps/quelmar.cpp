// quelmar: the player's front end for people, scripts and tests.
//   quelmar [--language NAME] eval TEXT...
//   quelmar [--language NAME] run FILE
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>

#include "dictionary.h"
#include "engine.h"
#include "error_text.h"
#include "language.h"
#include "platform/thread.h"
#include "script.h"

namespace {

void usage() {
    std::fprintf(stderr,
                 "usage: quelmar [--language NAME] eval TEXT...\n"
                 "       quelmar [--language NAME] run FILE\n");
}

std::string folderOf(const std::string& path) {
    auto slash = path.rfind('/');
    return slash == std::string::npos ? "." : path.substr(0, slash == 0 ? 1 : slash);
}

} // namespace

int main(int argc, char** argv) {
    std::string languageName = "english";
    int i = 1;
    while (i < argc && argv[i][0] == '-' && argv[i][1] == '-') {
        std::string opt = argv[i];
        if (opt == "--language" && i + 1 < argc) {
            languageName = argv[i + 1];
            i += 2;
        } else if (opt.rfind("--language=", 0) == 0) {
            languageName = opt.substr(11);
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
    } else {
        std::fprintf(stderr, "quelmar: unknown command %s\n", command.c_str());
        usage();
        return 2;
    }

    qm::setMessageReporter([](const std::string& m) {
        std::string t = qm::terminalText(m) + "\n";
        std::fwrite(t.data(), 1, t.size(), stderr);
    });

    int status = 0;
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
        int errors = qm::runScript(engine, qm::utf8ToCp1250(text));
        std::fflush(stdout);
        status = errors ? 1 : 0;
    });
    return status;
}
