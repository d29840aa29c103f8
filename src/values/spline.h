// Catmull-Rom splines through a curve's points, sampled the way drawing lists draw them.
#pragma once

#include <cstddef>
#include <vector>

#include "value.h"

namespace qm {

struct SplinePoint {
    LReal x, y;
    bool operator==(const SplinePoint& o) const { return x == o.x && y == o.y; }
};

// Appends the sampled curve through pts[0..n) to out: points rounded to hundredths,
// repeated points dropped. A curve whose last point equals its first is closed.
void sampleSpline(const SplinePoint* pts, size_t n, std::vector<SplinePoint>& out);

} // namespace qm
