// Canvas: draws lines, figures, fills and blits into a Bitmap with a pen, a brush, a pen mode and a clip.
#pragma once

#include "bitmap.h"
#include "geometry.h"
#include "pen.h"
#include "rop.h"

#include <cstdint>
#include <optional>
#include <span>

namespace qm {

enum class FillRule : std::uint8_t { Alternate = 1, Winding = 2 };

enum class FloodMode : std::uint8_t {
    Border = 0,   // fill outward from the seed until pixels of the given colour
    Surface = 1,  // fill the area of pixels that have the given colour
};

// The pixel rules are those of the classic aliased GDI:
// - a line lights one pixel per step of its longer axis, the pixel nearest the true line; where the
//   line passes exactly half-way between two pixels it takes the upper one (mostly horizontal lines) or
//   the left one (mostly vertical lines). Its first pixel is drawn, its last one is not;
// - boxes of rectangles and ellipses are exclusive: (0, 0, 4, 4) covers columns and rows 0..3;
// - polygon interiors include pixels on left and top edges and leave out those on right and bottom ones;
// - a wide pen (width > 1) strokes a figure as one filled area with round ends and joins, so no pixel
//   is painted twice by one figure, whatever the pen mode.
// Every operation is clipped to the bitmap and to the clip rectangle before any pixel is visited, so
// the cost depends on the visible part, not on the size of the figure.
class Canvas {
public:
    explicit Canvas(Bitmap& target);

    Bitmap& target() { return *m_target; }

    void setPen(const Pen& pen);
    const Pen& pen() const { return m_pen; }
    void setBrush(const Brush& brush) { m_brush = brush; }
    const Brush& brush() const { return m_brush; }
    void setRop2(Rop2 mode) { m_rop2 = mode; }
    Rop2 rop2() const { return m_rop2; }
    // Gaps of dashed lines and hatch brushes; a fresh canvas is opaque white, as a fresh GDI context.
    void setBackgroundColour(Rgb colour) { m_bkColour = colour & kRgbMask; }
    Rgb backgroundColour() const { return m_bkColour; }
    void setBackgroundMode(BackgroundMode mode) { m_bkMode = mode; }
    BackgroundMode backgroundMode() const { return m_bkMode; }

    void setClip(const Rect& clip) { m_userClip = clip.normalised(); }
    void resetClip() { m_userClip.reset(); }
    // The area drawing may touch: the bitmap, cut down to the clip rectangle when there is one.
    Rect clipRect() const;

    // One pixel in `colour` through the pen mode.
    void setPixel(Point p, Rgb colour);

    // Lines with the pen. A two-point line leaves out its end pixel; a polyline leaves out the end pixel
    // of each segment, so a shared vertex is drawn once (by the segment that starts there).
    void drawLine(Point from, Point to);
    void drawPolyline(std::span<const Point> points);
    // The three-point form from, to, (to.x + 1, to.y): the same line with its end pixel drawn too.
    // Meant for one-pixel pens that do not reverse; a wide pen draws the plain line.
    void drawLineWithEnd(Point from, Point to);

    // Figures: outline with the pen, interior with the brush, both through the pen mode.
    void drawRectangle(const Rect& box);
    void drawEllipse(const Rect& box);
    // The part of the ellipse in `box` from the ray towards `start` counter-clockwise to the ray towards
    // `end`; equal rays give the whole ellipse.
    void drawArc(const Rect& box, Point start, Point end);
    // A closed figure; the last point joins the first.
    void drawPolygon(std::span<const Point> points, FillRule rule);

    // Fills with `brush` as a pattern copy: the pen and the pen mode play no part.
    void fillRect(const Rect& area, const Brush& brush);

    // Flood fill from `seed` with the brush through the pen mode, over 4-connected pixels. Surface mode
    // fills pixels of `colour` (nothing when the seed has another colour); border mode fills pixels that
    // are not `colour` (nothing when the seed has that colour). Returns whether anything was filled.
    bool floodFill(Point seed, Rgb colour, FloodMode mode);

    // Blits. `dest` is where the picture lands; stretching picks the nearest source pixel. A source
    // rectangle reaching outside `src` leaves the matching destination pixels alone.
    void bitBlt(const Rect& dest, const Bitmap& src, Point srcOrigin, Rop3 op);
    void stretchBlt(const Rect& dest, const Bitmap& src, const Rect& srcRect, Rop3 op);
    // Copies the source pixels whose mask pixel is black and keeps the destination elsewhere. The mask
    // has the size of `src` and is read at the same coordinates.
    void maskBlt(const Rect& dest, const Bitmap& src, const Rect& srcRect, const Bitmap& mask);
    // Copies the source pixels that are not `key`.
    void transparentBlt(const Rect& dest, const Bitmap& src, const Rect& srcRect, Rgb key);
    // A picture with an optional AND mask (black = opaque, white = transparent; the picture is black
    // where transparent): the mask with SrcAnd, then the picture with SrcInvert, both stretched.
    void drawMasked(const Rect& dest, const Bitmap& picture, const Bitmap* mask);

private:
    enum class BlitKind { Rop, Mask, Key };
    void blit(const Rect& dest, const Bitmap& src, const Rect& srcRect, BlitKind kind, Rop3 op,
              const Bitmap* mask, Rgb key);
    void strokeThinPolyline(std::span<const Point> points, bool closed, bool drawLastPixel);
    void strokeWidePolyline(std::span<const Point> points, bool closed);

    Bitmap* m_target;
    Pen m_pen;
    Brush m_brush;
    Rop2 m_rop2 = Rop2::CopyPen;
    Rgb m_bkColour = kWhite;
    BackgroundMode m_bkMode = BackgroundMode::Opaque;
    std::optional<Rect> m_userClip;
};

} // namespace qm
