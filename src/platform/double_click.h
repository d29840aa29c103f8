// Turns mouse presses into presses and double clicks for window systems that report only presses.
#pragma once

#include <cstdint>
#include <cstdlib>

#include "platform.h"

namespace qm::platform {

// A press is a double click when it follows a press of the same button in the same window within
// kTime milliseconds and within kSlop pixels each way. The press after a double click starts afresh,
// so three quick presses are down, double click, down.
class DoubleClickDetector {
public:
    static constexpr std::uint64_t kTime = 500;
    static constexpr std::int32_t kSlop = 2;

    // `timeMs` is the window system's event time in milliseconds (it may wrap around).
    EventType press(const void* window, MouseButton button, std::int32_t x, std::int32_t y, std::uint32_t timeMs) {
        const bool isDouble = m_armed && window == m_window && button == m_button &&
                              static_cast<std::uint32_t>(timeMs - m_time) <= kTime &&
                              std::abs(x - m_x) <= kSlop && std::abs(y - m_y) <= kSlop;
        m_armed = !isDouble;
        m_window = window;
        m_button = button;
        m_x = x;
        m_y = y;
        m_time = timeMs;
        return isDouble ? EventType::MouseDoubleClick : EventType::MouseDown;
    }

private:
    bool m_armed = false;
    const void* m_window = nullptr;
    MouseButton m_button = MouseButton::NoButton;
    std::int32_t m_x = 0;
    std::int32_t m_y = 0;
    std::uint32_t m_time = 0;
};

} // namespace qm::platform
