// The page window and the player's UI loop.
#include "host/page_window.h"

#include <algorithm>
#include <mutex>
#include <optional>
#include <vector>

namespace qm {

namespace detail {

// What a surface's repaint hook reaches. The hook may be running on a drawing thread at the very
// moment the window goes away, so what it touches must outlive every window: links are never freed,
// only handed back to a pool and given to the next window with a new generation. A repaint posted
// for an old generation finds the generation changed and does nothing.
struct RepaintLink {
    std::atomic<bool> pending{false};  // a repaint is posted or waiting for its timer
    std::mutex mutex;
    platform::Backend* backend = nullptr;  // mutex; empty once the window is gone
    PageWindow* owner = nullptr;           // written and read on the UI thread only
    std::uint64_t generation = 0;          // written on the UI thread under mutex
};

} // namespace detail

namespace {

using detail::RepaintLink;
using platform::Event;
using platform::EventType;

// The pool is never destroyed either: a drawing thread may still be in a hook while the program ends.
struct LinkPool {
    std::mutex mutex;
    std::vector<RepaintLink*> free;
};
LinkPool& linkPool() {
    static LinkPool* pool = new LinkPool;
    return *pool;
}

RepaintLink* takeLink() {
    LinkPool& pool = linkPool();
    std::lock_guard lock(pool.mutex);
    if (pool.free.empty()) return new RepaintLink;  // kept for the life of the program (see above)
    RepaintLink* link = pool.free.back();
    pool.free.pop_back();
    return link;
}

void giveBack(RepaintLink* link) {
    LinkPool& pool = linkPool();
    std::lock_guard lock(pool.mutex);
    pool.free.push_back(link);
}

constexpr std::uint32_t kButtonsHeld = platform::kLeftHeld | platform::kRightHeld | platform::kMiddleHeld;

std::uint32_t heldBitOf(platform::MouseButton b) {
    switch (b) {
    case platform::MouseButton::Left: return platform::kLeftHeld;
    case platform::MouseButton::Right: return platform::kRightHeld;
    case platform::MouseButton::Middle: return platform::kMiddleHeld;
    default: return 0;
    }
}

Rect shifted(const Rect& r, Point by) { return {r.left + by.x, r.top + by.y, r.right + by.x, r.bottom + by.y}; }

} // namespace

std::unique_ptr<PageWindow> PageWindow::create(platform::Backend& backend, Surface& page,
                                               const PageWindowOptions& options, std::string& error) {
    platform::WindowOptions wo;
    wo.size = {std::max(page.width(), 1), std::max(page.height(), 1)};
    wo.title = options.title;
    wo.visible = false;  // shown once it holds the page, so nobody sees it empty
    wo.parent = options.parent;
    auto window = backend.createWindow(wo);
    if (!window) {
        error = options.parent ? "cannot make the page window inside window " + std::to_string(options.parent)
                               : std::string("cannot make the page window");
        return nullptr;
    }
    std::unique_ptr<PageWindow> pw(new PageWindow(backend, page, options, std::move(window)));
    pw->m_window->setVisible(true);
    return pw;
}

PageWindow::PageWindow(platform::Backend& backend, Surface& page, const PageWindowOptions& options,
                       std::unique_ptr<platform::Window> window)
    : m_backend(backend), m_page(&page), m_options(options), m_window(std::move(window)), m_link(takeLink()) {
    // Composition starts at the size of a default page, as every page would need it anyway.
    m_offscreen = *Bitmap::create(Surface::kPageWidth, Surface::kPageHeight, kBlack);
    {
        std::lock_guard lock(m_link->mutex);
        m_link->backend = &backend;
        m_link->owner = this;
        ++m_link->generation;
        m_link->pending = false;
    }
    attach(page);
}

PageWindow::~PageWindow() {
    detach();
    if (m_timer) m_backend.cancelTimer(m_timer);
    {
        // A hook inside its post holds this lock: once it is ours, no hook will post for this window.
        std::lock_guard lock(m_link->mutex);
        m_link->backend = nullptr;
        m_link->owner = nullptr;
        ++m_link->generation;
    }
    giveBack(m_link);
}

void PageWindow::attach(Surface& page) {
    m_page = &page;
    m_pageSize = {-1, -1};  // the first repaint lays the window out for this page
    m_page->setRepaintHook(&PageWindow::repaintDue, m_link);
    repaintNow();
}

void PageWindow::detach() {
    m_page->setRepaintHook(nullptr, nullptr);
    if (m_overPage) m_page->mouseAt(std::nullopt);
    m_overPage = false;
    m_pressedButtons = 0;
}

void PageWindow::show(Surface& page) {
    if (&page == m_page) return;
    detach();
    attach(page);
}

// Any thread, from inside a drawing operation: post one repaint unless one is waiting already.
void PageWindow::repaintDue(void* context) {
    auto* link = static_cast<RepaintLink*>(context);
    if (link->pending.exchange(true, std::memory_order_acq_rel)) return;
    std::lock_guard lock(link->mutex);
    if (!link->backend) return;  // the window is going; a new owner starts with pending cleared
    const std::uint64_t generation = link->generation;
    link->backend->post([link, generation] {
        if (link->owner && link->generation == generation) link->owner->scheduledRepaint();
    });
}

void PageWindow::scheduledRepaint() {
    const auto interval = m_options.minRepaintInterval;
    if (interval.count() > 0) {
        const auto now = std::chrono::steady_clock::now();
        const auto due = m_lastPaint + interval;
        if (now < due) {
            // Too soon after the last one: the changes gather until the interval is over.
            if (!m_timer) {
                RepaintLink* link = m_link;
                const std::uint64_t generation = link->generation;
                m_timer = m_backend.addTimer(std::chrono::ceil<std::chrono::milliseconds>(due - now), false,
                                             [link, generation] {
                                                 if (!link->owner || link->generation != generation) return;
                                                 link->owner->m_timer = 0;
                                                 link->owner->repaintNow();
                                             });
            }
            return;
        }
    }
    repaintNow();
}

void PageWindow::layout() {
    const platform::Size win = m_window->size();
    if (m_picture.width() != win.width || m_picture.height() != win.height) {
        if (!m_picture.resize(std::max(win.width, 0), std::max(win.height, 0), m_options.borderColour)) {
            // A size no bitmap may have: show what fits in a picture of the page's size.
            m_picture.resize(std::max(m_pageSize.width, 0), std::max(m_pageSize.height, 0), m_options.borderColour);
        }
    }
    // A page smaller than its window sits in the middle of it (halves rounded toward zero).
    m_offset = {std::max<std::int64_t>(0, (std::int64_t{m_picture.width()} - m_pageSize.width) / 2),
                std::max<std::int64_t>(0, (std::int64_t{m_picture.height()} - m_pageSize.height) / 2)};
    m_pictureStale = true;
}

void PageWindow::repaintNow() {
    // From here on a new change posts a new repaint; what changed before is taken below.
    m_link->pending.store(false, std::memory_order_release);
    Rect area;
    {
        // Composition reads the background and the objects; the background lock also keeps the page's
        // size still while the window follows it.
        std::lock_guard backgroundGuard(m_page->backgroundLock());
        const platform::Size size{m_page->width(), m_page->height()};
        area = m_page->takeDirty();
        if (size != m_pageSize) {
            m_pageSize = size;
            if (m_options.followPageSize && !m_destroyed && size.width > 0 && size.height > 0) m_window->resize(size);
            layout();
        }
        const Rect bounds{0, 0, size.width, size.height};
        if (m_pictureStale) area = bounds;
        area = area.normalised().intersected(bounds);
        if (!area.empty()) m_page->paint(m_offscreen, area);
    }
    // The composition is ours alone now; the page may be drawn on again while it goes out.
    if (m_pictureStale) {
        m_picture.fill(m_options.borderColour);
        presentPage(area);
        if (!m_destroyed) m_window->present(m_picture);
        m_pictureStale = false;
    } else if (!area.empty()) {
        presentPage(area);
        if (!m_destroyed) m_window->present(m_picture, shifted(area, m_offset));
    } else {
        return;
    }
    m_lastPaint = std::chrono::steady_clock::now();
    m_repaints.fetch_add(1, std::memory_order_relaxed);
}

// Copies `pageArea` of the composition into the window's picture at the page's place.
void PageWindow::presentPage(Rect pageArea) {
    const Rect target = shifted(pageArea, m_offset).intersected(m_picture.bounds());
    if (target.empty()) return;
    for (std::int64_t y = target.top; y < target.bottom; ++y) {
        const std::uint32_t* src = m_offscreen.row(y - m_offset.y) + (target.left - m_offset.x);
        std::copy(src, src + target.width(), m_picture.row(y) + target.left);
    }
}

bool PageWindow::handle(const Event& e) {
    if (e.window != m_window.get()) return false;
    switch (e.type) {
    case EventType::MouseMove:
    case EventType::MouseDown:
    case EventType::MouseDoubleClick:
    case EventType::MouseUp:
    case EventType::MouseLeave:
        mouseEvent(e);
        break;
    case EventType::KeyDown:
    case EventType::KeyUp:
        if (m_onKey) m_onKey(e);
        break;
    case EventType::Exposed:
        if (!m_destroyed) m_window->present(m_picture, e.area);
        break;
    case EventType::Resized:
        layout();
        repaintNow();
        break;
    case EventType::Destroyed:
        m_destroyed = true;
        [[fallthrough]];
    case EventType::Close:
        m_closed = true;
        if (m_onClose) m_onClose();
        break;
    }
    return true;
}

void PageWindow::mouseEvent(const Event& e) {
    const Point p = toPage(e);
    const bool onPage = p.x >= 0 && p.y >= 0 && p.x < m_pageSize.width && p.y < m_pageSize.height;
    const std::uint32_t held = e.modifiers & kButtonsHeld;
    switch (e.type) {
    case EventType::MouseMove:
        // A drag that began on the page keeps reporting there, wherever the mouse goes.
        if (onPage || (held & m_pressedButtons)) {
            m_overPage = true;
            m_page->mouseAt(p);
            if (m_mouse) m_mouse->moved(p, e.modifiers);
        } else if (m_overPage) {
            leave();
        }
        break;
    case EventType::MouseDown:
    case EventType::MouseDoubleClick:
        if (!onPage) break;  // on the border around a smaller page: not the page's
        m_pressedButtons |= heldBitOf(e.button);
        m_overPage = true;
        m_page->mouseAt(p);
        if (!m_mouse) break;
        if (e.type == EventType::MouseDown)
            m_mouse->pressed(p, e.button, e.modifiers);
        else
            m_mouse->doubleClicked(p, e.button, e.modifiers);
        break;
    case EventType::MouseUp: {
        const std::uint32_t bit = heldBitOf(e.button);
        if (m_pressedButtons & bit) {
            m_pressedButtons &= ~bit;
            m_page->mouseAt(p);
            if (m_mouse) m_mouse->released(p, e.button, e.modifiers);
        }
        // A drag that ended off the page has left it.
        if (!onPage && !held && m_overPage) leave();
        break;
    }
    case EventType::MouseLeave:
        if (!held && !m_pressedButtons && m_overPage) leave();
        break;
    default:
        break;
    }
}

void PageWindow::leave() {
    m_overPage = false;
    m_page->mouseAt(std::nullopt);
    if (m_mouse) m_mouse->left();
}

PageRunEnd runWithPageWindow(platform::Backend& backend, Surface& page, MouseCallbacks& mouse,
                             const std::function<bool()>& finished, const PageRunOptions& options,
                             std::string* error) {
    std::string why;
    auto window = PageWindow::create(backend, page, options.window, why);
    if (!window) {
        if (error) *error = why;
        return PageRunEnd::NoWindow;
    }
    window->setMouse(&mouse);
    window->setKeyHandler(options.onKey);
    bool closed = false;
    PageWindow* w = window.get();
    window->setCloseHandler([&closed, w, &options] {
        if (closed) return;
        closed = true;
        // Gone from the screen at once; the loop keeps serving the processes until they end.
        if (!w->destroyed()) w->window().setVisible(false);
        w->setMouse(nullptr);
        if (options.onClose) options.onClose();
    });
    if (options.onReady) options.onReady(*window);
    while (!finished()) {
        platform::Event e;
        if (backend.waitEvent(e, options.pollInterval)) window->handle(e);
    }
    if (!closed) window->repaintNow();  // the last changes, which may not have had their turn
    return closed ? PageRunEnd::Closed : PageRunEnd::Finished;
}

} // namespace qm
