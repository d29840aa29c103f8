// Threads with a stack of a chosen size: Logo processes recurse deeply.
#pragma once

#include <cstddef>
#include <functional>

namespace qm::platform {

// Stack of a Logo process: enough for the deepest nesting the evaluator allows.
constexpr size_t kProcessStackSize = size_t(512) << 20;

// Runs fn on a new thread with the given stack and waits for it to end.
void runOnLargeStack(const std::function<void()>& fn, size_t stackSize = kProcessStackSize);

} // namespace qm::platform
