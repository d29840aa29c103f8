// Threads with a stack of a chosen size: Logo processes recurse deeply.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>

namespace qm::platform {

// Stack of a Logo process: enough for the deepest nesting the evaluator allows.
constexpr size_t kProcessStackSize = size_t(512) << 20;

// Runs fn on a new thread with the given stack and waits for it to end.
void runOnLargeStack(const std::function<void()>& fn, size_t stackSize = kProcessStackSize);

// A joinable thread with a large stack. The body must not throw. Whoever owns the
// handle joins it; a handle destroyed while still joinable joins first, so that no
// thread outlives what it runs on.
class LargeStackThread {
public:
    LargeStackThread();
    LargeStackThread(const LargeStackThread&) = delete;
    LargeStackThread& operator=(const LargeStackThread&) = delete;
    ~LargeStackThread();

    // False when the system refused the thread (the body then never runs).
    bool start(std::function<void()> body, size_t stackSize = kProcessStackSize);
    void join();
    bool joinable() const { return m_started; }

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
    bool m_started = false;
};

} // namespace qm::platform
