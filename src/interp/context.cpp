// The process context and the local scope of dynamic, shallow binding.
#include "context.h"

#include <utility>

#include "name_codes.h"

namespace qm {

Globals& globals() {
    static Globals g;
    return g;
}

ProcessContext::ProcessContext() = default;

ProcessContext::~ProcessContext() {
    valueStack.truncate(0);
    release(outputValue);
    askFrames.clear();
    whoList.clear();
    askTableOwner.reset();
    lastCreated = nullptr;
}

tLogoLocaltab::tLogoLocaltab() {
    m_saved.reserve(128);
    // A fresh table opens one empty frame, so that local works at top level.
    m_saved.push_back({-1, false, nullptr, 0});
    m_frames = 1;
}

char tLogoLocaltab::s_unboundMark = 0;

tLogoLocaltab::~tLogoLocaltab() {
    while (m_frames > 0) closeFrame();
    for (tlogoobject* v : m_values)
        if (v != unbound()) release(v);
}

// Negative codes and the direct "#n" codes have no place in the array (the latter lie
// far above every interned code).
void tLogoLocaltab::grow(int32_t code) {
    if (code < 0 || isDirectCode(code)) throw eLogoException::withNameCode(erInternLogoTab, code);
    m_values.resize(static_cast<size_t>(code) + 256, unbound());
}

void tLogoLocaltab::bindOne(int32_t code, tlogoobject* v) {
    ensure(code);
    tlogoobject*& slot = m_values[static_cast<size_t>(code)];
    const bool wasBound = slot != unbound();
    m_saved.push_back(Saved{code, wasBound, wasBound ? slot : nullptr, 0});
    slot = v;
    ++m_frameSize;
}

void tLogoLocaltab::openFrame(ProcessContext& cx, const int32_t* names, int32_t count) {
    const size_t callerEnd = m_saved.size();
    const size_t callerBegin = callerEnd - static_cast<size_t>(m_frameSize);
    const bool dropCaller = std::exchange(cx.dropCallerBindings, false);
    m_saved.push_back({-1, false, nullptr, m_frameSize});
    m_frameSize = 0;
    ++m_frames;
    for (int32_t i = count - 1; i >= 0; --i) {
        bindOne(names[i], cx.valueStack.popTransfer());
        if (!dropCaller) continue;
        for (size_t k = callerBegin; k < callerEnd; ++k)
            if (m_saved[k].code == names[i]) {
                // The caller's value: restored as "no value", which nobody will read.
                Saved& s = m_saved.back();
                release(s.value);
                s.value = nullptr;
                break;
            }
    }
}

void tLogoLocaltab::rebind(ProcessContext& cx, const int32_t* names, int32_t count) {
    for (int32_t i = count - 1; i >= 0; --i) {
        tlogoobject* v = cx.valueStack.popTransfer();
        int32_t code = names[i];
        bool inFrame = false;
        for (size_t k = m_saved.size() - static_cast<size_t>(m_frameSize); k < m_saved.size(); ++k)
            if (m_saved[k].code == code) {
                inFrame = true;
                break;
            }
        if (inFrame) {
            tlogoobject* old = m_values[code];
            m_values[code] = v;
            release(old);
        } else {
            bindOne(code, v);
        }
    }
}

void tLogoLocaltab::closeFrame() {
    while (!m_saved.empty()) {
        Saved s = m_saved.back();
        m_saved.pop_back();
        if (s.code < 0) {
            m_frameSize = s.markerSize;
            --m_frames;
            return;
        }
        tlogoobject* installed = m_values[s.code];
        m_values[s.code] = s.wasBound ? s.value : unbound();
        release(installed);
    }
}

void tLogoLocaltab::declareLocal(int32_t code, tlogoobject* value) {
    if (m_frames == 0) throw eLogoException(erWrongPlace);
    ensure(code);
    for (size_t k = m_saved.size() - static_cast<size_t>(m_frameSize); k < m_saved.size(); ++k)
        if (m_saved[k].code == code) {
            assign(m_values[code], value);
            return;
        }
    bindOne(code, hold(value));
}

void tLogoLocaltab::copyBindingsFrom(const tLogoLocaltab& from) {
    for (size_t i = 0; i < from.m_values.size(); ++i)
        if (from.m_values[i] != unbound()) declareLocal(static_cast<int32_t>(i), from.m_values[i]);
}

tlogoobject* readVariable(ProcessContext& cx, int32_t code) {
    if (tlogoobject** slot = cx.localScope->binding(code)) {
        if (!*slot) {
            auto e = eLogoException::withNameCode(erNoVal, code);
            e.name = nameCodes().textOf(code);
            throw e;
        }
        return *slot;
    }
    return globals().variables->Get(code);
}

void assignVariable(ProcessContext& cx, int32_t code, tlogoobject* v) {
    if (tlogoobject** slot = cx.localScope->binding(code)) {
        if (v && v->pooled) v = v->Clone();
        if (*slot && v && (*slot)->AssignInPlace(v)) return;
        assign(*slot, v);
        return;
    }
    globals().variables->Set(code, v);
}

} // namespace qm
