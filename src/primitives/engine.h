// The engine: start-up of the tables in their fixed order, the main object, and running
// Logo text with its errors reported in the current language.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "context.h"
#include "main_object.h"

namespace qm {

class Engine {
public:
    // Sets the language and builds every table; false (with a message) when the
    // language has no dictionary.
    bool start(const std::string& languageName, std::string& error);
    ~Engine();

    ProcessContext& context() { return *m_cx; }
    tMainLogoObject& mainObject() { return *m_main; }

    // Runs instructions at top level. Errors are reported through the error sink and
    // counted; answers false when one was reported.
    bool runInstructions(const std::string& cp1250Text);

    std::function<void(const eLogoException&)> errorSink;
    std::function<void(const std::string&)> otherErrorSink;
    int errorCount = 0;

private:
    std::unique_ptr<tMainLogoObject> m_main;
    std::unique_ptr<ProcessContext> m_cx;
};

} // namespace qm
