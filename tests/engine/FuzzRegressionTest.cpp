// Every input the fuzzers ever found a fault with (fuzz/regress/<target>/) runs through its
// target again, in every build: the fault stays fixed.

#include "FuzzTargets.h"
#include "TestTiff.h"

#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {

using Target = std::pair<std::string, int (*)(const std::uint8_t*, std::size_t)>;

class FuzzRegressions : public ::testing::TestWithParam<Target>
{};

TEST_P(FuzzRegressions, everyFindingReplaysWithoutFault)
{
    const fs::path folder = fs::path(TESSARY_FUZZ_REGRESS_DIR) / GetParam().first;
    int inputs = 0;
    for (const std::string& name : testtiff::listing(folder)) {
        if (name == ".keep" || !fs::is_regular_file(folder / name))
            continue;
        SCOPED_TRACE(name);
        const auto bytes = testtiff::bytes(folder / name);
        ++inputs;
        try {
            GetParam().second(bytes.data(), bytes.size());
        } catch (const std::exception& e) {
            ADD_FAILURE() << e.what();
        }
    }
    EXPECT_GT(inputs, 0) << folder;
}

INSTANTIATE_TEST_SUITE_P(Targets, FuzzRegressions,
                         ::testing::Values(Target{"decode", fuzzDecode}, Target{"copy", fuzzCopy},
                                           Target{"operations", fuzzOperations}),
                         [](const auto& info) { return info.param.first; });

} // namespace
