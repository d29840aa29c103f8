// Named critical sections (tLogoCriticalSection): the sections of runcritical, found by
// name in one process-wide table, and the saving section that serialises saving,
// loading and clone.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>

#include "context.h"

namespace qm {

// A section is held by one context at a time; the others queue in arrival order and
// are let in one by one. A waiter gives the global lock up while it waits, and a stop
// request ends its wait (and its process) at once.
//
// A context that holds a section may enter it again: the section counts the entries
// and is free again after as many leaves. (Without this, a process entering the same
// name inside its own runcritical would wait for itself for ever.)
class tLogoCriticalSection {
public:
    tLogoCriticalSection() = default;
    tLogoCriticalSection(const tLogoCriticalSection&) = delete;

    // Holds the section for cx, waiting without the global lock while another context
    // holds it. A process asked to stop meanwhile ends (termination exception) without
    // the section.
    void enter(ProcessContext& cx);
    // Gives one entry back; the last one lets the longest waiter in.
    void leave(ProcessContext& cx);

    // For tests: whether some context holds it, and how many wait for it.
    bool isHeld();
    size_t waiterCount();

    struct Waiter;

private:
    void passOnLocked();  // under m_mutex, with the section just given up

    std::mutex m_mutex;
    const ProcessContext* m_owner = nullptr;
    int32_t m_depth = 0;
    std::deque<Waiter*> m_queue;
};

// The section of that name (compared as names are), made free on first use and kept
// until the program ends.
tLogoCriticalSection& namedCriticalSection(const std::string& name);
// The one section that saving, loading and clone take.
tLogoCriticalSection& savingSection();

// Holds a section for its lifetime: entered in the constructor, left on every way out.
class CriticalScope {
public:
    CriticalScope(tLogoCriticalSection& section, ProcessContext& cx) : m_section(section), m_cx(cx) {
        section.enter(cx);
    }
    ~CriticalScope() { m_section.leave(m_cx); }
    CriticalScope(const CriticalScope&) = delete;

private:
    tLogoCriticalSection& m_section;
    ProcessContext& m_cx;
};

} // namespace qm
