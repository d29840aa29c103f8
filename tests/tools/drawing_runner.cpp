// Runs one drawing of the gallery headless, as quelmar runs a plain file (a new project: one page with
// one turtle), and compares the page as a person would see it with the reference picture kept beside
// the file, pixel for pixel. Any error the drawing reports fails it too.
//
//   drawing_runner FILE.lgo REFERENCE.png             compare
//   drawing_runner --update FILE.lgo REFERENCE.png    write the reference (deliberately, never in a test run)
//
// On a difference this run's picture is written next to the build's test files as NAME-actual.png.
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>

#include "dictionary.h"
#include "engine.h"
#include "error_text.h"
#include "graphics/image/png.h"
#include "language.h"
#include "platform/thread.h"
#include "script.h"

namespace {

std::string baseName(const std::string& path) {
    const auto slash = path.rfind('/');
    std::string b = slash == std::string::npos ? path : path.substr(slash + 1);
    const auto dot = b.rfind('.');
    return dot == std::string::npos ? b : b.substr(0, dot);
}

int runDrawing(const std::string& source, const std::string& reference, bool update) {
    std::ifstream in(source, std::ios::binary);
    if (!in) {
        std::cerr << "cannot read " << source << "\n";
        return 2;
    }
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const auto slash = source.rfind('/');
    qm::setStartFolder(slash == std::string::npos ? "." : source.substr(0, slash));
    int errors = 0;
    qm::setMessageReporter([&](const std::string& m) {
        ++errors;
        std::cerr << source << ": message: " << qm::terminalText(m) << "\n";
    });

    qm::Engine engine;
    std::string error;
    if (!engine.start("english", error)) {
        std::cerr << source << ": " << error << "\n";
        return 1;
    }
    engine.errorSink = [&](const qm::eLogoException& e) {
        ++errors;
        std::cerr << source << ": " << qm::terminalText(qm::errorReport(e)) << "\n";
    };
    engine.otherErrorSink = [&](const std::string& m) {
        ++errors;
        std::cerr << source << ": " << m << "\n";
    };
    engine.startEmptyProject();
    qm::runScript(engine, qm::utf8ToCp1250(text));
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    engine.waitForProcesses(&deadline);
    engine.stopProcesses();
    if (errors) {
        std::cerr << source << ": " << errors << " errors reported\n";
        return 1;
    }

    // The picture, taken through the same path as quelmar --snapshot.
    const std::string actualPath = update ? reference : baseName(source) + "-actual.png";
    if (!engine.writeSnapshot(actualPath, error)) {
        std::cerr << source << ": " << error << "\n";
        return 1;
    }
    if (update) {
        std::cout << "wrote " << reference << "\n";
        return 0;
    }
    auto actual = qm::readPng(actualPath, error);
    auto expected = qm::readPng(reference, error);
    if (!actual || !expected) {
        std::cerr << source << ": no reference picture " << reference << ": " << error << "\n";
        return 1;
    }
    if (actual->width() != expected->width() || actual->height() != expected->height()) {
        std::cerr << source << ": size " << actual->width() << "x" << actual->height() << ", reference "
                  << expected->width() << "x" << expected->height() << "\n";
        return 1;
    }
    long differing = 0;
    long fx = -1, fy = -1;
    for (int y = 0; y < actual->height(); ++y)
        for (int x = 0; x < actual->width(); ++x)
            if (actual->pixel(x, y) != expected->pixel(x, y) && differing++ == 0) fx = x, fy = y;
    if (differing) {
        std::cerr << source << ": " << differing << " pixels differ, first at (" << fx << ", " << fy
                  << "); this run's picture: " << actualPath << "\n";
        return 1;
    }
    std::remove(actualPath.c_str());
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    bool update = false;
    int i = 1;
    if (i < argc && std::string(argv[i]) == "--update") {
        update = true;
        ++i;
    }
    if (argc - i != 2) {
        std::cerr << "usage: drawing_runner [--update] FILE.lgo REFERENCE.png\n";
        return 2;
    }
    int rc = 0;
    qm::platform::runOnLargeStack([&] { rc = runDrawing(argv[i], argv[i + 1], update); });
    return rc;
}
