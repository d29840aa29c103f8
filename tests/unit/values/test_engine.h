// A started engine for unit tests that need dictionaries, name codes and method tables.
#pragma once

#include <gtest/gtest.h>

#include "engine.h"

namespace qm::testing {

class EngineFixture : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(engine.start("english", error)) << error;
    }
    Engine engine;
};

} // namespace qm::testing
