// The in-memory backend.
#include "headless_backend.h"

namespace qm::platform {

HeadlessWindow::HeadlessWindow(HeadlessBackend& backend, const WindowOptions& options, NativeId id)
    : m_backend(backend), m_id(id), m_parent(options.parent), m_title(options.title), m_visible(options.visible) {
    resize(options.size);
}

HeadlessWindow::~HeadlessWindow() { m_backend.m_core.dropEventsOf(this); }

void HeadlessWindow::present(const Bitmap& frame, Rect dirty) {
    ++m_presents;
    const Rect area = dirty.normalised().intersected(frame.bounds()).intersected(m_frame.bounds());
    for (std::int64_t y = area.top; y < area.bottom; ++y) {
        std::copy(frame.row(y) + area.left, frame.row(y) + area.right, m_frame.row(y) + area.left);
    }
}

void HeadlessWindow::resize(Size size) {
    // A size the rasteriser refuses keeps the old picture, as a window system clamps absurd sizes.
    m_frame.resize(std::max(size.width, 0), std::max(size.height, 0), kWhite);
}

Point HeadlessWindow::screenPosition() const {
    std::lock_guard lock(m_backend.m_screenMutex);
    return m_screenPosition;
}

void HeadlessWindow::moveTo(Point screen) {
    std::lock_guard lock(m_backend.m_screenMutex);
    m_screenPosition = screen;
}

HeadlessBackend::HeadlessBackend() = default;
HeadlessBackend::~HeadlessBackend() = default;

void HeadlessBackend::addForeignWindow(NativeId id) {
    std::lock_guard lock(m_foreignMutex);
    m_foreign.insert(id);
}

std::unique_ptr<Window> HeadlessBackend::createWindow(const WindowOptions& options) {
    NativeId id;
    {
        std::lock_guard lock(m_foreignMutex);
        if (options.parent != 0 && !m_foreign.count(options.parent)) return nullptr;
        id = m_nextId++;
    }
    return std::make_unique<HeadlessWindow>(*this, options, id);
}

PointerState HeadlessBackend::pointer() {
    std::lock_guard lock(m_screenMutex);
    return m_pointer;
}

void HeadlessBackend::warpPointer(Point screen) {
    std::lock_guard lock(m_screenMutex);
    m_pointer.position = screen;
}

void HeadlessBackend::inject(Event event) {
    switch (event.type) {
    case EventType::MouseMove:
    case EventType::MouseDown:
    case EventType::MouseUp:
    case EventType::MouseDoubleClick:
    case EventType::MouseLeave: {
        // Asked before the lock is taken: a window may wrap one of ours and ask it in turn.
        const std::optional<Point> at = event.window ? std::optional(event.window->screenPosition()) : std::nullopt;
        std::lock_guard lock(m_screenMutex);
        if (at) m_pointer.position = {at->x + event.x, at->y + event.y};
        m_pointer.modifiers = event.modifiers;
        break;
    }
    default:
        break;
    }
    m_core.pushEvent(std::move(event));
}

bool HeadlessBackend::waitEvent(Event& out, std::chrono::milliseconds timeout) {
    const auto deadline = LoopCore::Clock::now() + timeout;
    for (;;) {
        const bool ran = m_core.runDue();
        if (m_core.popEvent(out)) return true;
        if (ran) return false;
        auto limit = deadline;
        if (auto next = m_core.untilNextTimer()) limit = std::min(limit, LoopCore::Clock::now() + *next);
        if (LoopCore::Clock::now() >= deadline) return false;
        m_core.waitForWork(limit);
    }
}

} // namespace qm::platform
