// Engine start-up and the top-level runner.
#include "engine.h"

#include "colours.h"
#include "dictionary.h"
#include "error_text.h"
#include "evaluator.h"
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
    g_systemDefinitions = false;

    m_cx = std::make_unique<ProcessContext>();
    m_cx->me = m_main.get();
    return true;
}

Engine::~Engine() {
    m_cx.reset();
    if (m_main) {
        m_main->variables.EraseAll();
        globals() = Globals();
    }
    m_main.reset();
    destroyValueMethodTables();
}

bool Engine::runInstructions(const std::string& text) {
    ProcessContext& cx = *m_cx;
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
        ++errorCount;
        // Without a host sink the error goes where messages for the user go.
        if (errorSink) errorSink(e);
        else reportToUser(errorCaption(e) + "\r\n" + errorBoxText(e));
    } catch (eOutputException&) {
        cx.stopPending = 0;
        ++errorCount;
        if (otherErrorSink) otherErrorSink("output");
    } catch (eTerminateException&) {
        cx.stopPending = 0;
    } catch (std::exception& e) {
        ++errorCount;
        if (otherErrorSink) otherErrorSink(e.what());
    }
    return false;
}

} // namespace qm
