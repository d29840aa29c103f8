// The graphic side of a turtle: position, heading, pen, fill, font, range and shape on one surface,
// with every command a Logo turtle has for moving and drawing.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "graphics/raster/bitmap.h"
#include "graphics/surface/font_record.h"
#include "graphics/surface/surface.h"
#include "graphics/surface/surface_args.h"

namespace qm {

class Turtle;

// What a move did that the owner must answer with an event, after the move has finished: onBounce
// when it bounced, onCollide when it met another sensitive turtle (reported only to the mover).
struct MoveResult {
    bool bounced = false;
    Turtle* collidedWith = nullptr;
};

struct PenState {
    PenMode mode = PenMode::Down;
    Rgb colour = kBlack;
    std::int64_t width = 1;
    int pattern = 0;
};

// The creation parameters of a turtle, already read from the object's parameters and class.
struct TurtleSetup {
    std::optional<HomeState> homeState;
    std::optional<LReal> heading;
    std::optional<RealPoint> absolutePosition;  // aPos
    std::optional<RealPoint> position;          // pos, cartesian
    std::optional<LReal> x, y;                  // xCor, yCor, cartesian
    RangeStyle rangeStyle = RangeStyle::Wrap;
    std::optional<Rect> range;                  // a full rectangle, absolute
};

// Figures a turtle walks with its pen. Cartesian coordinates unless a name says absolute. Errors are
// raised before anything is drawn. Every drawing holds the surface's background lock for the whole
// figure; a turtle whose surface has gone draws and moves nothing visible.
class Turtle final : public SurfaceObject {
public:
    static constexpr std::int64_t kMaxSize = 2147483647;

    // Added to the surface hidden (the creation shows it afterwards when asked to).
    explicit Turtle(Surface& surface, const TurtleSetup& setup = {});
    ~Turtle() override;
    Turtle(const Turtle&) = delete;
    Turtle& operator=(const Turtle&) = delete;

    Surface* surface() const { return m_surface; }
    // The Logo object this turtle belongs to; the binding layer's business.
    void* owner() const { return m_owner; }
    void setOwner(void* owner) { m_owner = owner; }

    // ---- heading ----
    LReal heading() const { return m_heading; }
    void setHeading(LReal degrees);  // normalised into [0, 360); inf/NaN: erReal (44)
    void left(LReal degrees) { setHeading(m_heading - checkedReal(degrees)); }
    void right(LReal degrees) { setHeading(m_heading + checkedReal(degrees)); }
    LReal towards(RealPoint cartesian) const;
    LReal towardsTurtle(const Turtle& other) const;
    // The rule of `towards` from one absolute point to another.
    static LReal headingBetween(RealPoint fromAbsolute, RealPoint toAbsolute);
    // A vector of the turtle's own frame (x to its right, y ahead) in the surface's cartesian frame
    // (x right, y up), turned by the heading; exact at the right angles.
    RealPoint ownToWorld(RealPoint own) const;

    // ---- moving ----
    RealPoint position() const;  // cartesian, unrounded
    RealPoint absolutePosition() const { return m_pos; }
    MoveResult forward(LReal distance);
    MoveResult back(LReal distance) { return forward(-checkedReal(distance)); }
    MoveResult setPosition(RealPoint cartesian);           // pos, setxy
    MoveResult setAbsolutePosition(RealPoint absolute);    // aPos
    MoveResult setX(LReal x);
    MoveResult setY(LReal y);
    MoveResult dotSetPosition(RealPoint cartesian);        // .setpos: window or fence, pen as usual
    MoveResult dotSetAbsolutePosition(RealPoint absolute); // .setapos: a jump, nothing drawn
    MoveResult home();
    HomeState homeState() const;  // cartesian
    void setHomeState(const HomeState& state);  // the turtle does not move

    // ---- pen and fill ----
    PenMode penMode() const { return m_penMode; }
    void setPenMode(PenMode mode) { m_penMode = mode; }
    Rgb penColour() const { return m_pen.colour; }
    void setPenColour(Rgb colour);  // also the fill colour
    std::int64_t penWidth() const { return m_pen.width; }
    void setPenWidth(std::int64_t width);  // 1..2147483647, else erMinMax (26)
    int penPattern() const { return m_penPattern; }
    void setPenPattern(int pattern);       // 0..6, else erMinMax (26)
    Rgb fillColour() const { return m_fillColour; }
    void setFillColour(Rgb colour) { m_fillColour = colour & kRgbMask; }
    int fillPattern() const { return m_fillPattern; }
    void setFillPattern(int pattern);      // 0..7, else erMinMax (26)
    PenState penState() const;
    void setPenState(const PenState& state);  // checks everything before changing anything
    const FontRecord& font() const { return m_font; }
    void setFont(const FontRecord& font) { m_font = font; }

    // ---- range ----
    RangeStyle rangeStyle() const { return m_rangeStyle; }
    // Changing the style re-applies the range (below). A range too small for the style: erBadValue (9).
    void setRangeStyle(RangeStyle style);
    std::optional<RangeBox> range() const { return m_range; }
    // A full rectangle (absolute) or none; re-applies the range. Too small for the style: erBadValue.
    void setRange(std::optional<Rect> fullRect);
    std::optional<Rect> shownRange() const { return m_shownRange; }
    void setShownRange(std::optional<Rect> fullRect);
    // `wrap` and `window`: range and shown range, then the style.
    void wrap(std::optional<Rect> fullRect);
    void window(std::optional<Rect> fullRect);
    // The range in force: the turtle's own or the surface's default.
    RangeBox effectiveRange() const;

    // ---- figures into the background ----
    void dot();                     // a dot of the pen width
    void point(std::int64_t size);  // 1..2147483647, else erMinMax (26)
    Rgb dotColour() const;          // the background under the rounded position
    void circle(LReal diameter);
    void filledCircle(LReal diameter);
    // fillmode 1 fills up to the pen colour; any other value fills the area of the start pixel's colour.
    void fill(int fillMode);
    void label(std::string_view text);             // code page 1250; lines split at CR
    MoveResult label2(std::string_view text);      // then moves, pen up, to where the text ended
    // [width height ascent leading] of the text in the turtle's font, unrotated.
    TextMetrics textSize(std::string_view text) const;
    void stamp();

    // ---- look ----
    bool shown() const override { return m_shown.load(std::memory_order_relaxed); }
    void setShown(bool shown);
    bool sensitive() const { return m_sensitive; }
    void setSensitive(bool s) { m_sensitive = s; }
    const std::string& hint() const { return m_hint; }
    void setHint(std::string text) { m_hint = std::move(text); }
    bool frameMode() const { return m_frameMode; }
    void setFrameMode(bool free);
    bool transparentClick() const { return m_transparentClick; }
    void setTransparentClick(bool on) { m_transparentClick = on; }
    bool animation() const { return m_animation; }
    void setAnimation(bool on) { m_animation = on; }
    LReal delayScale() const { return m_delayScale; }
    void setDelayScale(LReal f) { m_delayScale = f; }
    RealPoint shapeScale() const { return m_shapeScale; }
    void setShapeScale(RealPoint scale);  // absolute values; the turtle stays where it is
    Point lastClick() const { return m_lastClick; }
    void setLastClick(Point p) { m_lastClick = p; }

    // ---- rectangles, overlaps and stacking ----
    Rect screenRect() const override;  // absolute, right and bottom exclusive
    // A 2-rectangle overlap test: with `rectanglesOnly` (overlapmode non-zero) touching boxes are
    // enough; otherwise the lenses inscribed in the boxes must meet. This turtle must be shown.
    bool overlaps(const Turtle& other, bool rectanglesOnly) const;
    // Shown turtles on the surface this one overlaps, bottom to top.
    std::vector<Turtle*> overlapped(bool rectanglesOnly) const;
    bool inside(const Rect& fullRect) const;   // the shape's box touches the rectangle
    bool outside(const Rect& fullRect) const;  // the shape's box is not within the rectangle
    void toFront();
    void toBack();

    // Collisions use the global overlap mode; the binding installs a reader of the variable
    // `overlapmode` (non-zero integer: rectangles are enough). Without one the lens test is used.
    static void setOverlapModeReader(bool (*reader)());

    // ---- SurfaceObject ----
    void drawOn(Bitmap& target, Point offset, const Rect& clip) override;
    bool hit(Point p) const override;
    void surfaceGone() override;
    void goHome() override { home(); }
    void surfaceResized() override { reapplyRange(); }

private:
    friend struct TurtleWalk;

    static LReal checkedReal(LReal v);
    MoveResult move(RealPoint targetAbsolute, RangeStyle style, bool collisions, bool events, PenMode mode);
    void reapplyRange();
    void checkRangeFor(RangeStyle style, const std::optional<RangeBox>& range) const;
    Rect rectAt(Point rounded) const;
    void updateRect();                      // after the position or the look changed
    void drawDot(std::int64_t size);
    void drawCircle(LReal diameter, bool filled);
    MoveResult drawLabel(std::string_view text, bool moveAfter);
    // The default shape: an arrow along the heading, cached as a picture and a mask.
    void rebuildShape() const;              // m_shapeLock held
    void lookChanged();

    Surface* m_surface;
    void* m_owner = nullptr;

    LReal m_heading = 0;
    LReal m_cos = 0, m_sin = 1;  // of the direction (90 - heading), counter-clockwise from the x axis
    RealPoint m_pos;              // absolute
    RealPoint m_homePos;          // absolute
    LReal m_homeHeading = 0;

    Pen m_pen;
    int m_penPattern = 0;
    PenMode m_penMode = PenMode::Down;
    Rgb m_fillColour = kBlack;
    int m_fillPattern = 0;
    FontRecord m_font;

    RangeStyle m_rangeStyle = RangeStyle::Wrap;
    std::optional<RangeBox> m_range;
    std::optional<Rect> m_shownRange;

    std::string m_hint;
    std::atomic<bool> m_shown{false};
    bool m_sensitive = false;
    bool m_frameMode = false;
    bool m_transparentClick = false;
    bool m_animation = true;
    LReal m_delayScale = 1;
    RealPoint m_shapeScale{1, 1};
    std::int64_t m_halfX = 10, m_halfY = 10;  // half the shape's box, from the scale
    Point m_lastClick;

    // The shape's rectangle and cached picture: read by painting and hit testing on the interface
    // thread, so they live under their own leaf lock (taken after the surface's locks).
    mutable std::mutex m_shapeLock;
    Rect m_rect;
    mutable Bitmap m_shapePicture;
    mutable Bitmap m_shapeMask;  // black where the shape is opaque
    mutable std::atomic<bool> m_shapeStale{true};
};

} // namespace qm
