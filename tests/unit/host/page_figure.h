// A page picture with a bit of everything the window must show: pen trails (a star in two widths),
// a filled shape, a label, and turtles on the object layer, one of them shown.
#pragma once

#include <memory>
#include <vector>

#include "graphics/surface/turtle.h"

namespace qm::test {

struct PageFigure {
    std::unique_ptr<Turtle> painter;  // hidden; draws the background
    std::unique_ptr<Turtle> shown;    // shown on the object layer, at kShownAt
    static constexpr Point kShownAt{150, 60};  // absolute
};

inline void repeatSteps(Turtle& t, int n, LReal distance, LReal turn) {
    for (int i = 0; i < n; ++i) {
        t.forward(distance);
        t.right(turn);
    }
}

// Draws onto a page of at least 240 x 160 pixels.
inline PageFigure drawPageFigure(Surface& page) {
    PageFigure f;
    f.painter = std::make_unique<Turtle>(page);
    Turtle& t = *f.painter;
    t.setPenMode(PenMode::Up);
    t.setAbsolutePosition({20, 120});
    t.setHeading(72);
    t.setPenMode(PenMode::Down);
    t.setPenColour(rgb(30, 60, 220));
    t.setPenWidth(3);
    repeatSteps(t, 5, 90, 144);  // star
    t.setPenWidth(1);
    t.setPenColour(rgb(220, 30, 30));
    t.setPenMode(PenMode::Up);
    t.setAbsolutePosition({150, 100});
    t.setHeading(0);
    t.setPenMode(PenMode::Down);
    repeatSteps(t, 4, 40, 90);  // a square, filled inside
    t.setPenMode(PenMode::Up);
    t.setAbsolutePosition({170, 80});
    t.setFillColour(rgb(20, 160, 60));
    t.fill(0);
    FontRecord font;
    font.face = "DejaVu Sans";
    font.size = 12;
    t.setFont(font);
    t.setPenColour(rgb(0, 0, 0));
    t.setAbsolutePosition({12, 130});
    t.setHeading(0);
    t.label("Quelmar");

    f.shown = std::make_unique<Turtle>(page);
    f.shown->setPenMode(PenMode::Up);
    f.shown->setAbsolutePosition({static_cast<LReal>(PageFigure::kShownAt.x),
                                  static_cast<LReal>(PageFigure::kShownAt.y)});
    f.shown->setHeading(30);
    f.shown->setShown(true);
    return f;
}

} // namespace qm::test
