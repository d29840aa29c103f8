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
} // namespace

void runOnLargeStack(const std::function<void()>& fn, size_t stackSize) {
    pthread_attr_t attr;
    pthread_attr_init(&attr);
    pthread_attr_setstacksize(&attr, stackSize);
    pthread_t t;
    int rc = pthread_create(&t, &attr, trampoline, const_cast<std::function<void()>*>(&fn));
    pthread_attr_destroy(&attr);
    if (rc != 0) {
        fn();  // no thread to be had: run here with the stack we have
        return;
    }
    pthread_join(t, nullptr);
}

} // namespace qm::platform
