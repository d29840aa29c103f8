// A started engine whose tests start processes with bodies of their own; every process
// still running is stopped when a test ends.
#pragma once

#include <string>
#include <utility>

#include "global_lock.h"
#include "process.h"
#include "test_engine.h"

namespace qm::testing {

class ProcessFixture : public EngineFixture {
protected:
    // Starts a process with a body; call without the global lock.
    ProcessPtr startBody(const std::string& name, ProcessBody body) {
        LockedScope locked;
        ProcessSetup setup;
        setup.name = name;
        setup.body = std::move(body);
        return processes().start(std::move(setup));
    }
    void TearDown() override { processShutdown(); }
};

} // namespace qm::testing
