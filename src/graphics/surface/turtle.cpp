// Turtles: creation, heading, pen, fill and range settings, dots, circles, fills, labels, stamps, the
// default shape, overlaps and stacking. Movement and the range walker live in turtle_move.cpp.
#include "graphics/surface/turtle.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "graphics/raster/canvas.h"
#include "logo_error.h"

namespace qm {

namespace {

using Int128 = __int128;

constexpr LReal kDegree = std::numbers::pi_v<LReal> / 180;

std::atomic<bool (*)()> g_overlapModeReader{nullptr};

Rect unite(const Rect& a, const Rect& b) {
    if (a.empty()) return b;
    if (b.empty()) return a;
    return {std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
            std::max(a.bottom, b.bottom)};
}

// The canvas colour and mode a figure is drawn with for a pen mode. Figures other than trails (dots,
// circles) draw whether the pen is up or down: they are explicit commands, like labels and stamps.
void choosePen(Canvas& canvas, PenMode mode, Rgb penColour, Rgb backgroundColour, Pen pen) {
    switch (mode) {
    case PenMode::Reverse:
        canvas.setRop2(Rop2::XorPen);
        break;
    case PenMode::Erase:
        pen.colour = backgroundColour;
        canvas.setRop2(Rop2::CopyPen);
        break;
    default:
        pen.colour = penColour;
        canvas.setRop2(Rop2::CopyPen);
        break;
    }
    canvas.setPen(pen);
}

// Gaps of dashed outlines and of hatches show the brush colour under a solid brush and are left alone
// under any other brush.
void chooseBrush(Canvas& canvas, const Brush& brush) {
    canvas.setBrush(brush);
    if (brush.style == BrushStyle::Solid) {
        canvas.setBackgroundMode(BackgroundMode::Opaque);
        canvas.setBackgroundColour(brush.colour);
    } else {
        canvas.setBackgroundMode(BackgroundMode::Transparent);
    }
}

} // namespace

void Turtle::setOverlapModeReader(bool (*reader)()) { g_overlapModeReader = reader; }

LReal Turtle::checkedReal(LReal v) {
    if (!std::isfinite(v)) throw eLogoException(erReal, makeReal(v));
    return v;
}

// ---- creation ----

Turtle::Turtle(Surface& surface, const TurtleSetup& setup) : m_surface(&surface) {
    const LReal heading = setup.heading ? normaliseHeading(*setup.heading) : 0;
    if (setup.homeState) {
        m_homePos = surface.toAbsolute(setup.homeState->position);
        m_homeHeading = setup.homeState->heading;
    } else {
        m_homeHeading = heading;
    }
    setHeading(heading);

    bool placed = true;
    if (setup.absolutePosition) m_pos = *setup.absolutePosition;
    else if (setup.position) m_pos = surface.toAbsolute(*setup.position);
    else if (setup.homeState) m_pos = m_homePos;
    else if (setup.x || setup.y) m_pos = surface.toAbsolute({0, 0});
    else placed = false;
    if (!placed) {
        m_pos = {static_cast<LReal>(surface.width() / 2), static_cast<LReal>(surface.height() / 2)};
    } else {
        RealPoint c = surface.toCartesian(m_pos);
        if (setup.x) c.x = *setup.x;
        if (setup.y) c.y = *setup.y;
        m_pos = surface.toAbsolute(c);
    }
    checkedReal(m_pos.x);
    checkedReal(m_pos.y);
    if (!setup.homeState) m_homePos = m_pos;

    if (setup.range) m_range = RangeBox::fromRect(setup.range->normalised());
    checkRangeFor(setup.rangeStyle, m_range);
    m_rangeStyle = setup.rangeStyle;

    m_rect = rectAt(nearestPoint(m_pos));
    surface.addObject(this);
}

Turtle::~Turtle() {
    if (m_surface) m_surface->removeObject(this);
}

void Turtle::surfaceGone() { m_surface = nullptr; }

// ---- heading ----

void Turtle::setHeading(LReal degrees) {
    const LReal h = normaliseHeading(degrees);
    m_heading = h;
    // direction = (90 - heading) degrees, so its cosine and sine are the sine and cosine of the
    // heading. The heading is folded into a quarter turn of at most 45 degrees first: exact at the
    // right angles (axis-parallel moves do not drift) and no slow argument reduction in sinl/cosl.
    const int quarter = static_cast<int>(h / 90);   // 0..3
    LReal rest = h - 90 * quarter;                   // [0, 90)
    LReal s, c;                                      // sine and cosine of `rest`
    if (rest <= 45) {
        s = std::sin(rest * kDegree);
        c = std::cos(rest * kDegree);
    } else {
        rest = 90 - rest;
        c = std::sin(rest * kDegree);
        s = std::cos(rest * kDegree);
    }
    switch (quarter) {
    case 0: m_cos = s; m_sin = c; break;
    case 1: m_cos = c; m_sin = -s; break;
    case 2: m_cos = -s; m_sin = -c; break;
    default: m_cos = -c; m_sin = s; break;
    }
    lookChanged();
}

LReal Turtle::headingBetween(RealPoint from, RealPoint to) {
    const LReal a = to.x - from.x;
    const LReal b = from.y - to.y;  // > 0 when the target is above
    auto deg = [](LReal v) { return std::atan(v) / kDegree; };
    LReal h;
    if (b == 0) h = a == 0 ? 0 : (a < 0 ? 270 : 90);
    else if (b > 0) h = a >= 0 ? deg(a / b) : 360 - deg(-a / b);
    else h = a >= 0 ? 180 - deg(-a / b) : 180 + deg(a / b);
    return normaliseHeading(h);
}

LReal Turtle::towards(RealPoint cartesian) const {
    checkedReal(cartesian.x);
    checkedReal(cartesian.y);
    const RealPoint target = m_surface ? m_surface->toAbsolute(cartesian) : cartesian;
    return headingBetween(m_pos, target);
}

RealPoint Turtle::ownToWorld(RealPoint own) const {
    // m_sin and m_cos belong to the direction (90 - heading): they are the heading's cosine and sine.
    const LReal sinH = m_cos, cosH = m_sin;
    return {own.x * cosH + own.y * sinH, own.y * cosH - own.x * sinH};
}

LReal Turtle::towardsTurtle(const Turtle& other) const { return headingBetween(m_pos, other.m_pos); }

RealPoint Turtle::position() const { return m_surface ? m_surface->toCartesian(m_pos) : m_pos; }

HomeState Turtle::homeState() const {
    return {m_surface ? m_surface->toCartesian(m_homePos) : m_homePos, m_homeHeading};
}

void Turtle::setHomeState(const HomeState& state) {
    const RealPoint p{checkedReal(state.position.x), checkedReal(state.position.y)};
    const LReal h = normaliseHeading(state.heading);
    m_homePos = m_surface ? m_surface->toAbsolute(p) : p;
    m_homeHeading = h;
}

// ---- pen and fill ----

void Turtle::setPenColour(Rgb colour) {
    m_pen.colour = colour & kRgbMask;
    m_fillColour = m_pen.colour;
    lookChanged();
}

void Turtle::setPenWidth(std::int64_t width) {
    if (width < 1 || width > kMaxSize) throw eLogoException(erMinMax, 1, 2147483647, makeNumber(width));
    m_pen.width = width;
}

void Turtle::setPenPattern(int pattern) {
    if (pattern < 0 || pattern >= kPenPatternCount) throw eLogoException(erMinMax, 0, kPenPatternCount - 1, makeInt(pattern));
    m_penPattern = pattern;
    m_pen.style = penStyleOfPattern(pattern);
}

void Turtle::setFillPattern(int pattern) {
    if (pattern < 0 || pattern >= kFillPatternCount) throw eLogoException(erMinMax, 0, kFillPatternCount - 1, makeInt(pattern));
    m_fillPattern = pattern;
}

PenState Turtle::penState() const { return {m_penMode, m_pen.colour, m_pen.width, m_penPattern}; }

void Turtle::setPenState(const PenState& s) {
    if (s.width < 1 || s.width > kMaxSize) throw eLogoException(erMinMax, 1, 2147483647, makeNumber(s.width));
    if (s.pattern < 0 || s.pattern >= kPenPatternCount) throw eLogoException(erMinMax, 0, kPenPatternCount - 1, makeInt(s.pattern));
    m_penMode = s.mode;
    setPenColour(s.colour);
    setPenWidth(s.width);
    setPenPattern(s.pattern);
}

// ---- range ----

RangeBox Turtle::effectiveRange() const {
    if (m_range) return *m_range;
    return m_surface ? m_surface->defaultRange() : RangeBox{};
}

// Wrapping shifts by the extent minus one and bouncing mirrors between the edges, so both need room:
// a wrap range at least three pixels wide and high, a bounce range at least two.
void Turtle::checkRangeFor(RangeStyle style, const std::optional<RangeBox>& range) const {
    if (style != RangeStyle::Wrap && style != RangeStyle::Bounce) return;
    const RangeBox r = range ? *range : (m_surface ? m_surface->defaultRange() : RangeBox{0, 2, 0, 2});
    const LReal need = style == RangeStyle::Wrap ? 2 : 1;
    if (!(r.xmax - r.xmin >= need) || !(r.ymax - r.ymin >= need)) throw eLogoException(erBadValue);
}

void Turtle::setRangeStyle(RangeStyle style) {
    checkRangeFor(style, m_range);
    m_rangeStyle = style;
    reapplyRange();
}

void Turtle::setRange(std::optional<Rect> fullRect) {
    std::optional<RangeBox> r;
    if (fullRect) r = RangeBox::fromRect(fullRect->normalised());
    checkRangeFor(m_rangeStyle, r);
    m_range = r;
    reapplyRange();
}

void Turtle::setShownRange(std::optional<Rect> fullRect) {
    Rect before = screenRect();
    m_shownRange = fullRect ? std::optional<Rect>(fullRect->normalised()) : std::nullopt;
    if (m_surface && shown()) m_surface->invalidate(before);
}

void Turtle::wrap(std::optional<Rect> fullRect) {
    std::optional<RangeBox> r;
    if (fullRect) r = RangeBox::fromRect(fullRect->normalised());
    checkRangeFor(RangeStyle::Wrap, r);
    setShownRange(fullRect);
    m_range = r;
    m_rangeStyle = RangeStyle::Wrap;
    reapplyRange();
}

void Turtle::window(std::optional<Rect> fullRect) {
    setShownRange(fullRect);
    m_range = fullRect ? std::optional<RangeBox>(RangeBox::fromRect(fullRect->normalised())) : std::nullopt;
    m_rangeStyle = RangeStyle::Window;
}

// ---- look ----

void Turtle::setShown(bool s) {
    if (!m_surface) {
        m_shown = s;
        return;
    }
    Rect r;
    {
        std::lock_guard backgroundGuard(m_surface->backgroundLock());
        m_shown = s;
        r = screenRect();
    }
    m_surface->invalidate(r);
}

void Turtle::setFrameMode(bool free) {
    m_frameMode = free;
    setHeading(m_heading);
}

void Turtle::setShapeScale(RealPoint scale) {
    m_shapeScale = {std::fabs(checkedReal(scale.x)), std::fabs(checkedReal(scale.y))};
    // The picture of a huge scale is cut to a bounded box.
    m_halfX = std::clamp<std::int64_t>(nearest(10 * m_shapeScale.x), 0, 1024);
    m_halfY = std::clamp<std::int64_t>(nearest(10 * m_shapeScale.y), 0, 1024);
    lookChanged();
}

Rect Turtle::rectAt(Point p) const {
    return {p.x - m_halfX, p.y - m_halfY, p.x + m_halfX + 1, p.y + m_halfY + 1};
}

Rect Turtle::screenRect() const {
    std::lock_guard shapeGuard(m_shapeLock);
    return m_rect;
}

// The look changed (heading, colour, scale). A hidden turtle only marks its picture stale; a shown one
// rebuilds it at once and repaints, under the background lock so a paint sees the old or the new look.
void Turtle::lookChanged() {
    if (!m_surface || !shown()) {
        // Nobody paints a hidden turtle: its picture is rebuilt when it is next needed.
        m_shapeStale.store(true, std::memory_order_relaxed);
        const Rect r = rectAt(nearestPoint(m_pos));
        if (!(r == m_rect)) {
            std::lock_guard shapeGuard(m_shapeLock);
            m_rect = r;
        }
        return;
    }
    Rect before, after;
    {
        std::lock_guard backgroundGuard(m_surface->backgroundLock());
        std::lock_guard shapeGuard(m_shapeLock);
        before = m_rect;
        m_shapeStale = true;
        m_rect = rectAt(nearestPoint(m_pos));
        rebuildShape();
        after = m_rect;
    }
    m_surface->invalidate(unite(before, after));
}

void Turtle::updateRect() {
    const Rect r = rectAt(nearestPoint(m_pos));
    std::lock_guard shapeGuard(m_shapeLock);
    m_rect = r;
}

// The default shape: an arrow pointing along the heading, in the pen colour with a black edge, its
// hot spot (the turtle's position) in the middle of its box.
void Turtle::rebuildShape() const {
    if (!m_shapeStale) return;
    m_shapeStale = false;
    const std::int64_t w = m_rect.width(), h = m_rect.height();
    m_shapePicture = *Bitmap::create(w, h, kBlack);
    m_shapeMask = *Bitmap::create(w, h, kWhite);
    const LReal cx = static_cast<LReal>(w / 2), cy = static_cast<LReal>(h / 2);
    // (right, ahead) in units of the shape
    static constexpr LReal kOutline[4][2] = {{0, 10}, {6.5L, -7}, {0, -3}, {-6.5L, -7}};
    const LReal hr = m_heading * kDegree;
    const LReal s = std::sin(hr), c = std::cos(hr);
    Point pts[4];
    for (int i = 0; i < 4; ++i) {
        const LReal r = kOutline[i][0], f = kOutline[i][1];
        pts[i] = {nearest(cx + (r * c + f * s) * m_shapeScale.x), nearest(cy + (r * s - f * c) * m_shapeScale.y)};
    }
    Canvas picture(m_shapePicture);
    picture.setPen({kBlack, 1, PenStyle::Solid});
    picture.setBrush(Brush::solid(m_pen.colour));
    picture.drawPolygon(pts, FillRule::Alternate);
    Canvas mask(m_shapeMask);
    mask.setPen({kBlack, 1, PenStyle::Solid});
    mask.setBrush(Brush::solid(kBlack));
    mask.drawPolygon(pts, FillRule::Alternate);
}

void Turtle::drawOn(Bitmap& target, Point offset, const Rect& clip) {
    std::lock_guard shapeGuard(m_shapeLock);
    rebuildShape();
    Rect area{m_rect.left + offset.x, m_rect.top + offset.y, m_rect.right + offset.x, m_rect.bottom + offset.y};
    area = area.intersected(clip).intersected(target.bounds());
    if (m_shownRange) {
        const Rect sr{m_shownRange->left + offset.x, m_shownRange->top + offset.y, m_shownRange->right + offset.x,
                      m_shownRange->bottom + offset.y};
        area = area.intersected(sr);
    }
    for (std::int64_t y = area.top; y < area.bottom; ++y) {
        const std::int64_t sy = y - offset.y - m_rect.top;
        const std::uint32_t* mask = m_shapeMask.row(sy);
        const std::uint32_t* pic = m_shapePicture.row(sy);
        std::uint32_t* out = target.row(y);
        for (std::int64_t x = area.left; x < area.right; ++x) {
            const std::int64_t sx = x - offset.x - m_rect.left;
            if (mask[sx] == kBlack) out[x] = pic[sx];
        }
    }
}

bool Turtle::hit(Point p) const {
    std::lock_guard shapeGuard(m_shapeLock);
    if (!m_rect.contains(p.x, p.y)) return false;
    if (m_shownRange && !m_shownRange->contains(p.x, p.y)) return false;
    if (m_transparentClick) return true;
    rebuildShape();
    return m_shapeMask.pixel(p.x - m_rect.left, p.y - m_rect.top, kWhite) == kBlack;
}

// ---- dots, circles, fills ----

namespace {

// The clip of figures: the turtle's own range on whole pixels; none without one.
void clipToRange(Canvas& canvas, const std::optional<RangeBox>& range) {
    if (range) canvas.setClip(range->toRect());
}

} // namespace

void Turtle::drawDot(std::int64_t s) {
    if (!m_surface) return;
    Rect touched;
    {
        std::lock_guard backgroundGuard(m_surface->backgroundLock());
        const Point p = nearestPoint(m_pos);
        Canvas canvas(m_surface->background());
        clipToRange(canvas, m_range);
        Pen pen{m_pen.colour, 1, PenStyle::Null};
        choosePen(canvas, m_penMode, m_pen.colour, m_surface->backgroundColour(), pen);
        if (s == 1) {
            canvas.setPixel(p, canvas.pen().colour);
            touched = {p.x, p.y, p.x + 1, p.y + 1};
        } else {
            // 64-bit: sizes reach 2147483647 and positions the coordinate limit.
            const std::int64_t half = s / 2;
            touched = Rect{p.x - half, p.y - half, p.x + s - half, p.y + s - half}.clamped();
            canvas.setBrush(Brush::solid(canvas.pen().colour));
            canvas.drawEllipse(touched);
        }
    }
    m_surface->invalidate(touched, 1);
}

void Turtle::dot() { drawDot(m_pen.width); }

void Turtle::point(std::int64_t size) {
    if (size < 1 || size > kMaxSize) throw eLogoException(erMinMax, 1, 2147483647, makeNumber(size));
    drawDot(size);
}

Rgb Turtle::dotColour() const {
    if (!m_surface) return kWhite;
    const Point p = nearestPoint(m_pos);
    return m_surface->pixelAt(p.x, p.y);
}

void Turtle::drawCircle(LReal d, bool filled) {
    checkedReal(d);
    if (!m_surface) return;
    Rect box;
    {
        std::lock_guard backgroundGuard(m_surface->backgroundLock());
        box = Rect{nearest(m_pos.x - d / 2), nearest(m_pos.y - d / 2), nearest(m_pos.x + d / 2), nearest(m_pos.y + d / 2)}
                  .normalised();
        Canvas canvas(m_surface->background());
        clipToRange(canvas, m_range);
        choosePen(canvas, m_penMode, m_pen.colour, m_surface->backgroundColour(), m_pen);
        chooseBrush(canvas, filled ? brushOfPattern(m_fillPattern, m_fillColour) : Brush::none());
        canvas.drawEllipse(box);
    }
    m_surface->invalidate(box, m_pen.width);
}

void Turtle::circle(LReal d) { drawCircle(d, false); }
void Turtle::filledCircle(LReal d) { drawCircle(d, true); }

void Turtle::fill(int fillMode) {
    if (!m_surface || m_fillPattern == 7) return;
    {
        std::lock_guard backgroundGuard(m_surface->backgroundLock());
        Bitmap& bg = m_surface->background();
        const Point p = nearestPoint(m_pos);
        Canvas canvas(bg);
        clipToRange(canvas, m_range);
        if (!canvas.clipRect().contains(p.x, p.y)) return;
        chooseBrush(canvas, brushOfPattern(m_fillPattern, m_fillColour));
        if (fillMode == 1) canvas.floodFill(p, m_pen.colour, FloodMode::Border);
        else canvas.floodFill(p, bg.pixel(p.x, p.y), FloodMode::Surface);
    }
    m_surface->invalidateAll();
}

// ---- labels ----

namespace {

// Lines split at CR; a LF right after a CR belongs to it.
template <class F>
void forEachLine(std::string_view text, F&& f) {
    std::size_t start = 0;
    for (;;) {
        const std::size_t cr = text.find('\r', start);
        if (cr == std::string_view::npos) {
            f(text.substr(start), true);
            return;
        }
        f(text.substr(start, cr - start), false);
        start = cr + 1;
        if (start < text.size() && text[start] == '\n') ++start;
    }
}

} // namespace

TextMetrics Turtle::textSize(std::string_view text) const {
    auto font = Font::open(fontRequestOf(m_font));
    TextMetrics out;
    if (!font) return out;
    const TextMetrics fm = font->metrics();
    int lines = 0;
    forEachLine(text, [&](std::string_view line, bool) {
        out.width = std::max(out.width, font->measure(line).width);
        ++lines;
    });
    out.ascent = fm.ascent;
    out.descent = fm.descent;
    out.leading = fm.leading;
    out.height = lines * fm.height + (lines - 1) * fm.leading;
    return out;
}

// Each line starts where the previous one left the current point: one line height (cell plus
// leading) along the text's downward direction; after the last line the point moves along the text
// by that line's width. Both steps turn with the text and are rounded to whole pixels.
MoveResult Turtle::drawLabel(std::string_view text, bool moveAfter) {
    if (!m_surface) return {};
    auto font = Font::open(fontRequestOf(m_font));
    if (!font) return {};
    // The text's up direction follows the heading, rounded to tenths of a degree; a face that cannot
    // turn (a bitmap face, or the system font) writes level.
    const bool turns = font->scalable() && !isSystemFace(m_font);
    const LReal angle = turns ? std::round(m_heading * 10) / 10 : 0;
    const LReal a = angle * kDegree;
    const LReal along[2] = {std::cos(a), std::sin(a)};  // screen direction of the text (y down)
    const LReal down[2] = {-std::sin(a), std::cos(a)};
    const TextMetrics fm = font->metrics();
    TextStyle style;
    style.colour = m_pen.colour;
    style.opaque = m_font.flags & FontRecord::kOpaque;
    style.background = m_surface->backgroundColour();
    style.angle = -static_cast<double>(angle);
    style.anchor = (m_font.flags & FontRecord::kBaseline) ? TextAnchor::Baseline : TextAnchor::Top;
    Point at = nearestPoint(m_pos);
    Rect touched;
    {
        std::lock_guard backgroundGuard(m_surface->backgroundLock());
        std::optional<Rect> clip;
        if (m_range) clip = m_range->toRect();
        style.clip = clip ? &*clip : nullptr;
        forEachLine(text, [&](std::string_view line, bool last) {
            touched = unite(touched, font->draw(m_surface->background(), at, line, style));
            const LReal step = last ? font->measure(line).width : fm.height + fm.leading;
            const LReal* dir = last ? along : down;
            at = {at.x + nearest(step * dir[0]), at.y + nearest(step * dir[1])};
        });
    }
    m_surface->invalidate(touched, 1);
    if (!moveAfter) return {};
    return move({static_cast<LReal>(at.x), static_cast<LReal>(at.y)}, m_rangeStyle, true, true, PenMode::Up);
}

void Turtle::label(std::string_view text) { drawLabel(text, false); }
MoveResult Turtle::label2(std::string_view text) { return drawLabel(text, true); }

// ---- stamp ----

void Turtle::stamp() {
    if (!m_surface) return;
    Rect r;
    {
        std::lock_guard backgroundGuard(m_surface->backgroundLock());
        r = screenRect();
        drawOn(m_surface->background(), {0, 0}, m_surface->background().bounds());
    }
    m_surface->invalidate(r);
}

// ---- overlaps ----

namespace {

struct Circle {
    std::int64_t x, y, r;
};

// The lens inscribed in a box: one circle for a square, else two circles along the longer side.
// Returns the number of circles (0: a box too thin to overlap anything).
int lensOf(const Rect& box, Circle out[2]) {
    const std::int64_t L = box.left, T = box.top, R = box.right - 1, B = box.bottom - 1;
    const std::int64_t b = (R - L + 1) / 2, e = (B - T + 1) / 2;
    if (b <= 0 || e <= 0) return 0;
    if (b == e) {
        out[0] = {L + b, T + e, b};
        return 1;
    }
    const LReal q = (static_cast<LReal>(b) * b + static_cast<LReal>(e) * e) / 2;
    if (e < b) {
        const std::int64_t g = nearest(q / e);
        out[0] = {L + b, T + g, g};
        out[1] = {L + b, B - g, g};
    } else {
        const std::int64_t g = nearest(q / b);
        out[0] = {L + g, T + e, g};
        out[1] = {R - g, T + e, g};
    }
    return 2;
}

bool circlesMeet(const Circle& a, const Circle& b) {
    const Int128 dx = a.x - b.x, dy = a.y - b.y, rs = Int128{a.r} + b.r;
    return dx * dx + dy * dy < rs * rs + 5;
}

} // namespace

bool Turtle::overlaps(const Turtle& other, bool rectanglesOnly) const {
    if (!shown() || &other == this) return false;
    const Rect a = screenRect(), b = other.screenRect();
    if (a.intersected(b).empty()) return false;
    if (rectanglesOnly) return true;
    Circle ca[2], cb[2];
    const int na = lensOf(a, ca), nb = lensOf(b, cb);
    if (na == 0 || nb == 0) return false;
    for (int i = 0; i < na; ++i)
        for (int j = 0; j < nb; ++j)
            if (!circlesMeet(ca[i], cb[j])) return false;
    return true;
}

std::vector<Turtle*> Turtle::overlapped(bool rectanglesOnly) const {
    std::vector<Turtle*> out;
    if (!m_surface) return out;
    m_surface->forEachObject([&](SurfaceObject* o) {
        if (o == this || o->kind() != 0 || !o->shown()) return;
        auto* t = dynamic_cast<Turtle*>(o);
        if (t && overlaps(*t, rectanglesOnly)) out.push_back(t);
    });
    return out;
}

bool Turtle::inside(const Rect& full) const {
    const Rect s = screenRect();
    const Rect r = full.normalised();
    // Inclusive edges on both sides, so boxes that only touch count as inside.
    return !(s.right - 1 < r.left || s.left > r.right - 1 || s.bottom - 1 < r.top || s.top > r.bottom - 1);
}

bool Turtle::outside(const Rect& full) const {
    const Rect s = screenRect();
    const Rect r = full.normalised();
    return !(s.left >= r.left && s.right <= r.right && s.top >= r.top && s.bottom <= r.bottom);
}

void Turtle::toFront() {
    if (m_surface) m_surface->bringToFront(this);
}

void Turtle::toBack() {
    if (m_surface) m_surface->sendToBack(this);
}

bool turtleOverlapMode() {
    auto reader = g_overlapModeReader.load();
    return reader ? reader() : false;
}

} // namespace qm
