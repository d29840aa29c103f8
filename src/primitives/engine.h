// The engine: start-up of the tables in their fixed order, the main object, the
// processes that run Logo text, and errors reported in the current language.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "context.h"
#include "main_object.h"
#include "process.h"

namespace qm {

class Engine {
public:
    // Sets the language and builds every table; false (with a message) when the
    // language has no dictionary.
    bool start(const std::string& languageName, std::string& error);
    // Stops every process (ask, wake, join) before the tables go.
    ~Engine();

    // The host thread's own context, for running instructions outside any process.
    ProcessContext& context() { return *m_cx; }
    tMainLogoObject& mainObject() { return *m_main; }

    // Runs instructions at top level on the host's context, taking the global lock for
    // the time. Errors are reported through the error sink and counted; answers false
    // when one was reported.
    bool runInstructions(const std::string& cp1250Text);
    // The same on a process's context, which holds the global lock.
    bool runInstructionsIn(ProcessContext& cx, const std::string& cp1250Text);
    // Reports an error as every process does: counted, then told to the error sink.
    void reportError(const eLogoException& e);

    // Starts as a new, empty project does: the first page holding one turtle, the page
    // the current object of "@main" and the turtle the object it addresses. Call after
    // start, without the global lock.
    void startEmptyProject();
    // Writes the current page as a person sees it (background, turtles, panes) as a PNG
    // file; false with a message when there is no page or the file cannot be written.
    bool writeSnapshot(const std::string& path, std::string& error);

    // Starts the "@main" process with the given body; with wait, returns when it has
    // ended. Call without the global lock.
    void runInMain(ProcessBody body, bool wait);
    // Waits until no process is left, or until the deadline; false when time ran out.
    bool waitForProcesses(const std::chrono::steady_clock::time_point* deadline);
    // Stops every process, protected ones included, and waits for them.
    void stopProcesses();

    std::function<void(const eLogoException&)> errorSink;
    std::function<void(const std::string&)> otherErrorSink;
    std::atomic<int> errorCount{0};

private:
    class Reporter : public ProcessReporter {
    public:
        explicit Reporter(Engine& e) : m_engine(e) {}
        TextOutput* output() override { return m_engine.m_cx ? m_engine.m_cx->output : nullptr; }
        void reportError(const eLogoException& e) override { m_engine.reportError(e); }
        void reportOther(const std::string& what) override;

    private:
        Engine& m_engine;
    };

    std::unique_ptr<tMainLogoObject> m_main;
    std::unique_ptr<ProcessContext> m_cx;
    std::unique_ptr<ProcessContext> m_mainCx;  // the context every "@main" run continues
    Ref<tlogoobject> m_mainObject;              // the current object "@main" starts with
    Reporter m_reporter{*this};
    bool m_started = false;
};

} // namespace qm
