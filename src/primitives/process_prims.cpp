// Process primitives: launch, forever, every, after, cancel, stopme, stopall, done?,
// allprocesses, processname, pauseall and resumeall; and the wait that gives up the lock.
#include <vector>

#include "control_support.h"
#include "language.h"
#include "dictionary.h"
#include "multiobject.h"
#include "primitives.h"
#include "process.h"
#include "registry.h"

namespace qm {

namespace {

std::string nameText(tlogoobject* v) { return v->PrintText(false); }

// launch, forever, every and after: [time] instructions [name]. The launched process
// starts from the launcher's current object, ask table, who list and a copy of its
// locals; the launcher goes on at once.
void startProcess(ProcessContext& cx, int32_t n, ProcessKind kind, int32_t timed, const char* internalName) {
    const int32_t least = 1 + timed;
    if (n < least) throw eLogoException::withName(erNotEnoughInputs, firstWord("dict", internalName));
    if (n > least + 1) throw eLogoException::withName(erTooManyInputs, firstWord("dict", internalName));
    tlogoobject* last = input(cx, n, n - 1);
    const std::string text = nameText(last);
    if (text.empty()) throw eLogoException(erBadValue, last);
    ProcessSetup setup;
    setup.kind = kind;
    setup.instructions = input(cx, n, timed);
    setup.name = text;
    if (timed) {
        const int64_t units = input(cx, n, 0)->ToInt();
        setup.interval = std::chrono::milliseconds(std::max<int64_t>(0, units) * 1000 / ellapseUnitsPerSecond());
    }
    setup.object = cx.me;
    setup.askTable = cx.askTable;
    setup.askTableOwner = cx.askTableOwner;
    setup.tellList = cx.whoList;
    setup.hasTellList = cx.hasWhoList;
    setup.scope = std::make_unique<tLogoLocaltab>();
    setup.scope->copyBindingsFrom(*cx.localScope);
    tLogoprocess* self = currentProcess(cx);
    setup.reporter = self ? self->setup.reporter : nullptr;
    processes().start(std::move(setup));
    finish(cx, n, nullptr);
}

void primLaunch(ProcessContext& cx, int32_t n) { startProcess(cx, n, pkLaunch, 0, "launch"); }
void primForever(ProcessContext& cx, int32_t n) { startProcess(cx, n, pkForever, 0, "forever"); }
void primEvery(ProcessContext& cx, int32_t n) { startProcess(cx, n, pkEvery, 1, "every"); }
void primAfter(ProcessContext& cx, int32_t n) { startProcess(cx, n, pkAfter, 1, "after"); }

// Every other process of that name is stopped and waited for, one at a time; the
// caller itself ends afterwards when it has the name too.
void primCancel(ProcessContext& cx, int32_t n) {
    const std::string name = nameText(input(cx, n, 0));
    tLogoprocess* self = currentProcess(cx);
    // Every process of the name is asked first, so that they end together and none runs on
    // alone while the others are waited for; one started meanwhile under the name goes too.
    for (;;) {
        std::vector<ProcessPtr> targets;
        for (const ProcessPtr& p : processes().live())
            if (p.get() != self && sameName(p->name, name)) targets.push_back(p);
        if (targets.empty()) break;
        for (const ProcessPtr& p : targets) p->requestStop();
        for (const ProcessPtr& p : targets) processes().join(p, self);
    }
    if (self && sameName(self->name, name)) throw eSelfTerminate();
    finish(cx, n, nullptr);
}

void primStopme(ProcessContext& cx, int32_t n) { throw eSelfTerminate(); }

// Stops every process but the protected ones, then ends the caller (not by its own
// termination: catch "toplevel does not take it).
void primStopall(ProcessContext& cx, int32_t n) {
    processes().stopAll(currentProcess(cx), false);
    if (currentProcess(cx)) throw eTerminateException();
    finish(cx, n, nullptr);
}

void primDone(ProcessContext& cx, int32_t n) {
    const bool none = !processes().anyNamed(nameText(input(cx, n, 0)));
    finish(cx, n, makeBool(none));
}

void primAllprocesses(ProcessContext& cx, int32_t n) {
    ListBuilder b;
    for (const ProcessPtr& p : processes().live()) {
        const bool launched = p->kind == pkLaunch || p->kind == pkForever || p->kind == pkEvery || p->kind == pkAfter;
        if (launched && p->setup.instructions) b.append(p->setup.instructions.get());
        else {
            Ref<tlogoobject> w = makeRawWord(p->name);
            b.append(w.get());
        }
    }
    Ref<tLogoList> list = b.finish();
    finish(cx, n, list.get());
}

void primProcessname(ProcessContext& cx, int32_t n) {
    tLogoprocess* self = currentProcess(cx);
    Ref<tlogoobject> w = makeRawWord(self ? self->name : std::string());
    finish(cx, n, w.get());
}

void primPauseall(ProcessContext& cx, int32_t n) {
    processes().pauseAll(true);
    finish(cx, n, nullptr);
}

void primResumeall(ProcessContext& cx, int32_t n) {
    processes().pauseAll(false);
    finish(cx, n, nullptr);
}

const PrimitiveRow kProcessPrimitives[] = {
    {"launch", DescKind::Main, 1, true, etFun, primLaunch},
    {"forever", DescKind::Main, 1, true, etFun, primForever},
    {"every", DescKind::Main, 2, true, etFun, primEvery},
    {"after", DescKind::Main, 2, true, etFun, primAfter},
    {"cancel", DescKind::Main, 1, false, etFun, primCancel},
    {"stopme", DescKind::Main, 0, false, etFun, primStopme},
    {"stopall", DescKind::Main, 0, false, etFun, primStopall},
    {"done?", DescKind::Main, 1, false, etFun, primDone},
    {"allprocesses", DescKind::Main, 0, false, etFun, primAllprocesses},
    {"processname", DescKind::Main, 0, false, etFun, primProcessname},
    {"pauseall", DescKind::Main, 0, false, etFun, primPauseall},
    {"resumeall", DescKind::Main, 0, false, etFun, primResumeall},
};

} // namespace

void registerProcessPrimitives(tMainLogoObject& main) {
    addPrimitives(main.procedures, kProcessPrimitives);
    setWaitFunction(processWait);
}

} // namespace qm
