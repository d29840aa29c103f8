// Catmull-Rom sampling: step counts by segment length, closed curves wrapping around.
#include <gtest/gtest.h>

#include "spline.h"

namespace qm {
namespace {

std::vector<SplinePoint> sample(std::vector<SplinePoint> in) {
    std::vector<SplinePoint> out;
    sampleSpline(in.data(), in.size(), out);
    return out;
}

struct StepCase {
    LReal length;
    size_t points;  // samples of one straight segment of three points, plus the end
};

class SplineStepTest : public ::testing::TestWithParam<StepCase> {};

TEST_P(SplineStepTest, LongerSegmentsGetMoreSamples) {
    const StepCase& c = GetParam();
    auto out = sample({{0, 0}, {c.length, 0}, {2 * c.length, 0}});
    EXPECT_EQ(out.size(), c.points);
    EXPECT_EQ(out.back(), (SplinePoint{2 * c.length, 0}));
}

INSTANTIATE_TEST_SUITE_P(Lengths, SplineStepTest,
                         ::testing::Values(StepCase{2.9L, 11}, StepCase{3, 21}, StepCase{19.9L, 21}, StepCase{20, 41},
                                           StepCase{99, 41}, StepCase{100, 101}));

TEST(SplineTest, ClosedCurvesWrapTheirNeighbours) {
    // Closed: the neighbour before the first point is the last distinct point (10, 10).
    auto closed = sample({{0, 0}, {10, 0}, {10, 10}, {0, 0}});
    ASSERT_EQ(closed.size(), 31u);
    EXPECT_EQ(closed[5], (SplinePoint{4.38L, -1.25L}));
    EXPECT_EQ(closed.front(), closed.back());
    // Open: the first point is its own neighbour.
    auto open = sample({{0, 0}, {10, 0}, {10, 10}});
    EXPECT_EQ(open[5], (SplinePoint{5, -0.63L}));
}

TEST(SplineTest, FewPointsAreKeptAsTheyAre) {
    EXPECT_EQ(sample({{1, 2}}).size(), 1u);
    auto two = sample({{0, 0}, {0.004L, 7}});
    ASSERT_EQ(two.size(), 2u);
    EXPECT_EQ(two[1], (SplinePoint{0, 7}));
    EXPECT_TRUE(sample({}).empty());
}

TEST(SplineTest, RepeatedPointsAreDropped) {
    auto out = sample({{0, 0}, {0, 0}, {0.001L, 0}, {5, 0}});
    for (size_t i = 1; i < out.size(); ++i) EXPECT_FALSE(out[i] == out[i - 1]) << i;
}

} // namespace
} // namespace qm
