// The engine's command line: which arguments start it embedded, standalone, or not at all.
#include <gtest/gtest.h>

#include <vector>

#include "startup.h"

namespace qm {
namespace {

StartRequest parse(std::vector<const char*> args) {
    args.insert(args.begin(), "exeQuelmar");
    return parseEngineCommandLine(static_cast<int>(args.size()), const_cast<char**>(args.data()));
}

TEST(EngineCommandLine, Modes) {
    struct Case {
        std::vector<const char*> args;
        StartRequest::Mode mode;
    };
    const Case cases[] = {
        {{}, StartRequest::Standalone},
        {{"only-one"}, StartRequest::Standalone},
        {{"12345", "/tmp/my project.imp"}, StartRequest::Embedded},
        {{"12345", "/tmp/p.iip", "params text"}, StartRequest::Embedded},
        {{"abc", "/tmp/p.imp"}, StartRequest::Exit},
        {{"12a", "/tmp/p.imp"}, StartRequest::Exit},
        {{"", "/tmp/p.imp"}, StartRequest::Exit},
        {{"0", "/tmp/p.imp"}, StartRequest::Exit},
        {{"-5", "/tmp/p.imp"}, StartRequest::Exit},
        {{"99999999999", "/tmp/p.imp"}, StartRequest::Exit},
        {{"12345", ""}, StartRequest::Exit},
    };
    for (const auto& c : cases) {
        StartRequest r = parse(c.args);
        EXPECT_EQ(r.mode, c.mode) << (c.args.empty() ? "(none)" : c.args[0]);
    }
    StartRequest r = parse({"4194311", "/tmp/my project.imp"});
    EXPECT_EQ(r.parentWindow, 4194311ul);
    EXPECT_EQ(r.projectPath, "/tmp/my project.imp");  // spaces survive
}

} // namespace
} // namespace qm
