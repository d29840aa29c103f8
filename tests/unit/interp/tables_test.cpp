// Name tables: the code ranges they cover, replacing entries and the chain order.
#include <gtest/gtest.h>

#include "name_codes.h"
#include "tables.h"

namespace qm {
namespace {

class Probe : public tTabDesc {
public:
    Probe(int32_t code, int* deaths) : tTabDesc(code), m_deaths(deaths) {}
    ~Probe() override { ++*m_deaths; }

private:
    int* m_deaths;
};

std::vector<int32_t> chainCodes(const tLogoTab& t) {
    std::vector<int32_t> v;
    for (tTabDesc* e = t.chainHead(); e; e = e->chainNext) v.push_back(e->nameCode);
    return v;
}

TEST(Tables, CoverageGrowsInSteps) {
    int deaths = 0;
    tLogoTab t;
    t.add(new Probe(10, &deaths));
    EXPECT_EQ(t.low(), 1);
    EXPECT_EQ(t.high(), 513);
    t.add(new Probe(2000, &deaths));
    EXPECT_EQ(t.high(), 2000);
    t.add(new Probe(2100, &deaths));
    EXPECT_EQ(t.high(), 2512);
    tLogoTab u;
    u.add(new Probe(5000, &deaths));
    EXPECT_EQ(u.low(), 4744);
    u.add(new Probe(4500, &deaths));
    EXPECT_EQ(u.low(), 4232);
    u.add(new Probe(100, &deaths));
    EXPECT_EQ(u.low(), 100);
    for (int32_t c : {10, 2000, 2100}) EXPECT_NE(t.FindEntry(c), nullptr);
    for (int32_t c : {5000, 4500, 100}) EXPECT_NE(u.FindEntry(c), nullptr);
    EXPECT_EQ(t.FindEntry(11), nullptr);
    EXPECT_EQ(t.FindEntry(-5), nullptr);
    EXPECT_EQ(t.FindEntry(1 << 30), nullptr);
}

TEST(Tables, ReplacingDestroysTheOldEntryAndMovesToTheEnd) {
    int deaths = 0;
    {
        tLogoTab t;
        t.add(new Probe(3, &deaths));
        t.add(new Probe(4, &deaths));
        t.add(new Probe(3, &deaths));
        EXPECT_EQ(deaths, 1);
        EXPECT_EQ(chainCodes(t), (std::vector<int32_t>{4, 3}));
        EXPECT_TRUE(t.removeIfPresent(4));
        EXPECT_FALSE(t.removeIfPresent(4));
        EXPECT_EQ(deaths, 2);
        EXPECT_THROW(t.remove(4), eLogoException);
    }
    EXPECT_EQ(deaths, 3);
}

TEST(Tables, CodesBelowOneAndDirectCodes) {
    int deaths = 0;
    tLogoTab t;
    try {
        t.add(new Probe(0, &deaths));
        FAIL();
    } catch (eLogoException& e) {
        EXPECT_EQ(e.code, erInternLogoTab);
    }
    // "#n" codes are kept aside: a table holding one does not grow to reach it.
    int32_t direct = kDirectCodeBase + 5;
    t.add(new Probe(direct, &deaths));
    t.add(new Probe(7, &deaths));
    EXPECT_NE(t.FindEntry(direct), nullptr);
    EXPECT_LE(t.high() - t.low(), 1024);
    EXPECT_EQ(chainCodes(t), (std::vector<int32_t>{direct, 7}));
}

TEST(Tables, EraseAllKeepsSystemEntries) {
    int deaths = 0;
    tLogoTab t;
    g_systemDefinitions = true;
    t.add(new Probe(1, &deaths));
    g_systemDefinitions = false;
    t.add(new Probe(2, &deaths));
    t.add(new Probe(3, &deaths));
    t.EraseAll(3);
    EXPECT_EQ(chainCodes(t), (std::vector<int32_t>{1, 3}));
}

} // namespace
} // namespace qm
