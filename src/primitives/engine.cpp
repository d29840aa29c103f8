// Engine start-up and the top-level runner.
#include "engine.h"

#include "colours.h"
#include "dictionary.h"
#include "error_text.h"
#include "evaluator.h"
#include "global_lock.h"
#include "graphic_objects.h"
#include "graphics/image/png.h"
#include "language.h"
#include "name_codes.h"
#include "primitives.h"
#include "value_methods.h"

namespace qm {

bool Engine::start(const std::string& languageName, std::string& error) {
    LanguageState& lang = language();
    lang.intern = [](const std::string& t) { return nameCodes().intern(t); };
    lang.translateInternal = translateInternalName;
    lang.compile = compileValue;
    lang.freeBlock = freeBlock;

    if (!setLanguage(languageName)) {
        error = "Language " + (languageName.empty() ? std::string("english") : languageName) + " not available";
        return false;
    }
    setLogoThread(true);
    g_systemDefinitions = true;
    initNameTables();
    m_main = std::make_unique<tMainLogoObject>();
    globals().mainObject = m_main.get();
    globals().variables = &m_main->variables;
    buildValueMethodTables();
    preallocatePools();
    registerTextPrimitives(*m_main);
    registerValueOperations(*m_main);
    registerDataPrimitives(*m_main);
    registerOptionPrimitives(*m_main);
    registerColourPrimitives(*m_main);  // also reads the colour names of the language
    registerControlPrimitives(*m_main);
    registerPlistPrimitives(*m_main);
    registerObjectPrimitives(*m_main);
    registerProcessPrimitives(*m_main);
    registerEventPrimitives(*m_main);
    registerGraphicsPrimitives(*m_main);
    initObjectNames();
    // Every name the dictionary and the primitives brought has a code by now; the
    // project's own names come after.
    setDictionaryCodeLimit(nameCodes().size() + 1);
    m_main->nameCode = nameCodes().intern(m_main->name);
    m_main->declareCommon(nameCodes().intern(firstWord("name", "namePrefix")), makeWord(firstWord("prefix", "main")));
    m_main->declareCommon(nameCodes().intern(firstWord("name", "fileName")), makeRawWord(""));
    g_systemDefinitions = false;

    m_cx = std::make_unique<ProcessContext>();
    m_cx->me = m_main.get();
    m_cx->yieldPoint = processYieldPoint;
    m_mainCx = std::make_unique<ProcessContext>();
    initProcessSystem(&m_reporter);
    m_started = true;
    return true;
}

Engine::~Engine() {
    if (m_started) processShutdown();
    LockedScope locked;  // the last values go with the lock held, as every value does
    m_mainObject = nullptr;
    m_cx.reset();
    m_mainCx.reset();
    if (m_main) {
        m_main->eraseChildren();
        m_main->variables.EraseAll();
        globals() = Globals();
    }
    m_main.reset();
    destroyValueMethodTables();
}

void Engine::Reporter::reportOther(const std::string& what) {
    ++m_engine.errorCount;
    if (m_engine.otherErrorSink) m_engine.otherErrorSink(what);
}

void Engine::reportError(const eLogoException& e) {
    ++errorCount;
    // Without a host sink the error goes where messages for the user go.
    if (errorSink) errorSink(e);
    else reportToUser(errorCaption(e) + "\r\n" + errorBoxText(e));
}

void Engine::startEmptyProject() {
    LockedScope locked;
    tlogopage* page = createFirstPage(*m_cx);
    enterPage(*m_mainCx, page);
    m_mainObject = page;
}

bool Engine::writeSnapshot(const std::string& path, std::string& error) {
    Bitmap frame;
    {
        LockedScope locked;
        tlogopage* page = currentPage();
        if (!page || !page->surface) {
            error = "no page to take a snapshot of";
            return false;
        }
        frame = page->surface->frame();
    }
    return writePng(frame, path, error);
}

void Engine::runInMain(ProcessBody body, bool wait) {
    ProcessPtr p;
    {
        LockedScope locked;
        ProcessSetup setup;
        // While its start page is there, "@main" works on it.
        if (auto* o = dynamic_cast<tmultiobject*>(m_mainObject.get()); o && !o->erased) setup.object = o;
        setup.name = "@main";
        setup.kind = pkMain;
        setup.body = std::move(body);
        setup.reporter = &m_reporter;
        setup.context = m_mainCx.get();
        p = processes().start(std::move(setup));
    }
    if (wait && p) processes().join(p, nullptr);
}

bool Engine::waitForProcesses(const std::chrono::steady_clock::time_point* deadline) {
    return processes().waitUntilEmpty(deadline);
}

void Engine::stopProcesses() { processShutdown(); }

bool Engine::runInstructions(const std::string& text) {
    LockedScope locked;
    ProcessContext* before = currentContext();
    setCurrentContext(m_cx.get());
    bool ok = runInstructionsIn(*m_cx, text);
    setCurrentContext(before);
    return ok;
}

bool Engine::runInstructionsIn(ProcessContext& cx, const std::string& text) {
    // The top level is no procedure body: nothing there is a tail call.
    cx.tailDepth = 1;
    cx.stopPending = 0;
    try {
        runText(cx, text);
        // stop ends the instructions quietly; output has nobody to give its value to.
        if (cx.stopPending && cx.outputValue) {
            assign(cx.outputValue, static_cast<tlogoobject*>(nullptr));
            cx.stopPending = 0;
            throw eLogoException::withName(erWrongPlace, firstWord("dict", "output"));
        }
        cx.stopPending = 0;
        return true;
    } catch (eLogoException& e) {
        cx.stopPending = 0;
        cx.pendingTail = PendingTail();
        reportError(e);
    } catch (eOutputException&) {
        cx.stopPending = 0;
        ++errorCount;
        if (otherErrorSink) otherErrorSink("output");
    } catch (eTerminateException&) {
        cx.stopPending = 0;
        // A process that was told to stop ends; otherwise (stopme, throw "toplevel,
        // stopall) only these instructions end and the next ones run.
        if (tLogoprocess* p = currentProcess(cx); p && p->stopRequested()) throw;
    } catch (std::exception& e) {
        ++errorCount;
        if (otherErrorSink) otherErrorSink(e.what());
    }
    return false;
}

} // namespace qm
