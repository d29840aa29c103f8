// Positions, rectangles, home states and "any" read from Logo values for surfaces and turtles.
#include "graphics/surface/surface_args.h"

#include <cmath>
#include <cstdlib>
#include <utility>

#include "graphics/surface/surface.h"
#include "language.h"
#include "logo_error.h"

namespace qm {

namespace {

// The elements of a list, at most `max` + 1 of them (so callers can tell "too many").
struct Elements {
    tlogoobject* item[6] = {};
    int count = 0;
};

Elements elementsOf(tLogoList* list, int max) {
    Elements e;
    for (tLogoList* c = list; c && c->element && e.count <= max; c = c->rest) e.item[e.count++] = c->element;
    return e;
}

std::int64_t clampToInt64(LReal v) {
    if (std::isnan(v)) return 0;
    if (v >= 9.2e18L) return INT64_MAX / 4;
    if (v <= -9.2e18L) return -(INT64_MAX / 4);
    return static_cast<std::int64_t>(v);
}

LReal numberOf(tlogoobject* v) { return v->ToReal(); }

} // namespace

// ---- any ----

std::int64_t AnyRange::pick() const {
    std::int64_t a = std::llabs(low), b = std::llabs(high);
    if (b < a) std::swap(a, b);
    const std::int64_t span = b - a + 1;
    if (span <= 1) return a;
    if (span <= static_cast<std::int64_t>(UINT32_MAX)) return a + randomBelow(static_cast<std::uint32_t>(span));
    return a + static_cast<std::int64_t>(randomUnit() * static_cast<double>(span));
}

bool isAny(tlogoobject* v) { return v && v->IsWord() && !v->IsNumber() && v->IsAnyWord(); }

AnyRange anyRangeFrom(tlogoobject* value, AnyRange fallback) {
    if (!value) return fallback;
    if (value->IsNumber()) return {fallback.low, clampToInt64(value->ToReal())};
    if (value->IsList()) {
        Elements e = elementsOf(static_cast<tLogoList*>(value), 2);
        if (e.count == 2 && e.item[0]->IsNumber() && e.item[1]->IsNumber())
            return {clampToInt64(e.item[0]->ToReal()), clampToInt64(e.item[1]->ToReal())};
    }
    return fallback;
}

AnyMargin anyMarginFrom(tlogoobject* value) {
    if (!value) return {};
    if (value->IsNumber()) {
        const std::int64_t m = clampToInt64(value->ToReal());
        return {m, m};
    }
    if (value->IsList()) {
        Elements e = elementsOf(static_cast<tLogoList*>(value), 2);
        if (e.count == 2 && e.item[0]->IsNumber() && e.item[1]->IsNumber())
            return {clampToInt64(e.item[0]->ToReal()), clampToInt64(e.item[1]->ToReal())};
    }
    return {};
}

std::int64_t randomAxis(std::int64_t margin, std::int64_t extent) {
    const std::int64_t room = extent - 2 * margin;  // both are far below 2^62 here
    if (room <= 0) return extent / 2;
    return margin + AnyRange{0, room - 1}.pick();
}

LReal numberOrAny(tlogoobject* v, AnyRange range) {
    if (isAny(v)) return static_cast<LReal>(range.pick());
    return v->ToReal();
}

// ---- positions and rectangles ----

namespace {

// One coordinate of a position; "any" gives a random absolute coordinate along that axis.
struct Coordinate {
    LReal value = 0;
    bool random = false;
};

Coordinate coordinateOf(tlogoobject* v, std::int64_t margin, std::int64_t extent) {
    if (isAny(v)) return {static_cast<LReal>(randomAxis(margin, extent)), true};
    return {numberOf(v), false};
}

} // namespace

RealPoint readPosition(tlogoobject* v, const Surface& s, bool cartesian, const AnyMargin& margin) {
    const std::int64_t w = s.width(), h = s.height();
    if (isAny(v)) {
        RealPoint a{static_cast<LReal>(randomAxis(margin.x, w)), static_cast<LReal>(randomAxis(margin.y, h))};
        return cartesian ? s.toCartesian(a) : a;
    }
    if (!v || !v->IsList()) throw eLogoException(erExpectList2, v);
    Elements e = elementsOf(static_cast<tLogoList*>(v), 2);
    if (e.count != 2) throw eLogoException(erExpectList2, v);
    const Coordinate x = coordinateOf(e.item[0], margin.x, w);
    const Coordinate y = coordinateOf(e.item[1], margin.y, h);
    RealPoint p{x.value, y.value};
    if (cartesian) {
        // A random coordinate was chosen in absolute pixels: turn it into a cartesian one.
        const RealPoint asCartesian = s.toCartesian({x.value, y.value});
        if (x.random) p.x = asCartesian.x;
        if (y.random) p.y = asCartesian.y;
    }
    return p;
}

std::optional<Rect> readRectangle(tlogoobject* v, const Surface& s, bool cartesian) {
    if (!v || !v->IsList()) throw eLogoException(erExpectList, v);
    Elements e = elementsOf(static_cast<tLogoList*>(v), 4);
    if (e.count == 0) return std::nullopt;

    auto corner = [&](RealPoint p) -> Point {
        return cartesian ? s.toAbsolutePixel(p) : nearestPoint(p);
    };
    auto pointAt = [&](tlogoobject* item) { return corner(readPosition(item, s, cartesian)); };
    auto fromSize = [&](Point c, tlogoobject* wv, tlogoobject* hv) {
        const std::int64_t w = nearest(numberOf(wv)), h = nearest(numberOf(hv));
        if (w == 0 || h == 0) return Rect{c.x, c.y, c.x, c.y};
        return Rect{c.x, c.y, clampCoord(c.x + w), clampCoord(c.y + h)};
    };

    // The first corner: a position list, or two numbers (both through the position reader, so
    // "any" works here as in a position). What follows it: nothing, the other corner, or a size.
    Point c;
    int next;
    if (e.item[0]->IsList()) {
        c = pointAt(e.item[0]);
        next = 1;
    } else {
        if (e.count < 2 || e.item[1]->IsList()) throw eLogoException(erBadStructure, v);
        Ref<tLogoList> pair(makeCell(e.item[0], makeCell(e.item[1], nullptr)));
        c = pointAt(pair.get());
        next = 2;
    }
    int used;
    Rect r;
    if (e.count == next) {
        r = {c.x, c.y, c.x, c.y};
        used = next;
    } else if (e.item[next]->IsList()) {
        const Point d = pointAt(e.item[next]);
        r = {c.x, c.y, d.x, d.y};
        used = next + 1;
    } else {
        if (e.count < next + 2) throw eLogoException(erBadStructure, v);
        r = fromSize(c, e.item[next], e.item[next + 1]);
        used = next + 2;
    }
    if (e.count > used) throw eLogoException(erBadStructure, v);
    return r;
}

Rect fullRectangle(const Rect& in, const Surface& s) {
    Rect r = in;
    if (r.right == r.left) r.right = s.width();
    if (r.bottom == r.top) r.bottom = s.height();
    return r.normalised();
}

// ---- headings and home states ----

LReal normaliseHeading(LReal degrees) {
    if (!std::isfinite(degrees)) throw eLogoException(erReal, makeReal(degrees));
    LReal h = std::fmod(degrees, 360.0L);
    if (h < 0) h += 360.0L;
    // A tiny negative remainder plus 360 rounds to 360 itself.
    if (h >= 360.0L) h = 0;
    return h;
}

HomeState readHomeState(tlogoobject* v, const Surface& s, const AnyMargin& margin, AnyRange angle) {
    if (isAny(v)) return {readPosition(v, s, true, margin), normaliseHeading(static_cast<LReal>(angle.pick()))};
    if (!v || !v->IsList()) throw eLogoException(erExpectList, v);
    Elements e = elementsOf(static_cast<tLogoList*>(v), 2);
    if (e.count != 2) throw eLogoException(erBadStructure, v);
    HomeState st;
    st.position = readPosition(e.item[0], s, true, margin);
    st.heading = normaliseHeading(numberOrAny(e.item[1], angle));
    return st;
}

} // namespace qm
