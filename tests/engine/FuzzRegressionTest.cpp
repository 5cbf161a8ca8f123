// Every input the fuzzers ever found a fault with (fuzz/regress/<target>/) runs through its
// target again, in every build: the fault stays fixed.

#include "FuzzTargets.h"
#include "TestTiff.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <ostream>

namespace fs = std::filesystem;

namespace {

struct Target
{
    const char* folder;
    int (*run)(const std::uint8_t*, std::size_t);
};

void PrintTo(const Target& target, std::ostream* out)
{
    *out << target.folder;
}

class FuzzRegressions : public ::testing::TestWithParam<Target>
{};

TEST_P(FuzzRegressions, everyFindingReplaysWithoutFault)
{
    const fs::path folder = fs::path(TESSARY_FUZZ_REGRESS_DIR) / GetParam().folder;
    std::vector<fs::path> inputs;
    for (const auto& entry : fs::directory_iterator(folder)) {
        if (entry.is_regular_file() && entry.path().filename() != ".keep")
            inputs.push_back(entry.path());
    }
    std::sort(inputs.begin(), inputs.end());
    ASSERT_FALSE(inputs.empty()) << folder;
    for (const fs::path& input : inputs) {
        SCOPED_TRACE(input.filename().string());
        const auto bytes = testtiff::bytes(input);
        try {
            GetParam().run(bytes.data(), bytes.size());
        } catch (const std::exception& e) {
            ADD_FAILURE() << e.what();
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Targets, FuzzRegressions,
                         ::testing::Values(Target{"decode", fuzzDecode}, Target{"copy", fuzzCopy},
                                           Target{"operations", fuzzOperations}),
                         [](const auto& info) { return std::string(info.param.folder); });

} // namespace
