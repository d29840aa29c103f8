// List cells from the cell heap: cells made on a Logo thread and dropped on another thread
// (and the other way round), and more cells than the start-up pool holds.
#include <gtest/gtest.h>

#include <thread>

#include "value.h"

namespace qm {
namespace {

// A list of n integers, made front to back.
tLogoList* numbers(int32_t n) {
    ListBuilder b;
    for (int32_t i = 1; i <= n; ++i) b.append(makeInt(i));
    return b.finish();
}

int64_t sum(tLogoList* l) {
    int64_t s = 0;
    for (tLogoList* c = l->IsEmpty() ? nullptr : l; c; c = c->rest) s += c->element->ToInt();
    return s;
}

struct Crossing {
    bool madeOnLogoThread;
    bool droppedOnLogoThread;
    int32_t cells;
};

class CellHeapTest : public testing::TestWithParam<Crossing> {};

TEST_P(CellHeapTest, CellsSurviveCrossingThreadsAndAreReused) {
    const Crossing c = GetParam();
    preallocatePools();
    const int64_t inUseBefore = memoryCounters().cellsInUse;
    for (int round = 0; round < 3; ++round) {  // later rounds reuse what earlier ones freed
        tLogoList* l = nullptr;
        std::thread maker([&] {
            setLogoThread(c.madeOnLogoThread);
            l = hold(numbers(c.cells));
            setLogoThread(false);
        });
        maker.join();
        EXPECT_EQ(l->count(), c.cells);
        EXPECT_EQ(sum(l), static_cast<int64_t>(c.cells) * (c.cells + 1) / 2);
        std::thread dropper([&] {
            setLogoThread(c.droppedOnLogoThread);
            release(l);
            setLogoThread(false);
        });
        dropper.join();
        EXPECT_EQ(memoryCounters().cellsInUse, inUseBefore);
    }
}

INSTANTIATE_TEST_SUITE_P(Threads, CellHeapTest,
                         testing::Values(Crossing{true, true, 25000}, Crossing{true, false, 25000},
                                         Crossing{false, true, 25000}, Crossing{false, false, 1000},
                                         Crossing{true, true, 3}));

} // namespace
} // namespace qm
