// POSIX threads with an explicit stack size.
#include "thread.h"

#include <pthread.h>

#include <stdexcept>

namespace qm::platform {

namespace {
void* trampoline(void* arg) {
    auto* fn = static_cast<const std::function<void()>*>(arg);
    (*fn)();
    return nullptr;
}

bool createThread(pthread_t& t, const std::function<void()>* fn, size_t stackSize) {
    pthread_attr_t attr;
    pthread_attr_init(&attr);
    pthread_attr_setstacksize(&attr, stackSize);
    int rc = pthread_create(&t, &attr, trampoline, const_cast<std::function<void()>*>(fn));
    pthread_attr_destroy(&attr);
    return rc == 0;
}
} // namespace

void runOnLargeStack(const std::function<void()>& fn, size_t stackSize) {
    pthread_t t;
    if (!createThread(t, &fn, stackSize)) {
        fn();  // no thread to be had: run here with the stack we have
        return;
    }
    pthread_join(t, nullptr);
}

struct LargeStackThread::Impl {
    pthread_t thread{};
    std::function<void()> body;  // lives here until the thread is joined
};

LargeStackThread::LargeStackThread() = default;
LargeStackThread::~LargeStackThread() { join(); }

bool LargeStackThread::start(std::function<void()> body, size_t stackSize) {
    join();
    m_impl = std::make_unique<Impl>();
    m_impl->body = std::move(body);
    m_started = createThread(m_impl->thread, &m_impl->body, stackSize);
    if (!m_started) m_impl.reset();
    return m_started;
}

void LargeStackThread::join() {
    if (!m_started) return;
    pthread_join(m_impl->thread, nullptr);
    m_started = false;
    m_impl.reset();
}

} // namespace qm::platform
