// The i686 module DLLs the 32-bit OCX embeds, run as i686 code in this 32-bit
// process with stand-ins for their system imports. Their lines are kept in
// TAVRIK_SHIPPED_RESULTS for the x86_64 modules' run under Wine to compare.
#include <gtest/gtest.h>

#include <cstdio>

#include "modules/testing/standin_module_platform.h"
#include "tests/modules/shipped/embedded_module.h"
#include "tests/modules/shipped/shipped_module_results.h"
#include "tests/support/temp_dir.h"

namespace {

int CountContaining(const std::vector<std::string>& lines, const std::string& part) {
    int n = 0;
    for (const std::string& line : lines) n += line.find(part) != std::string::npos;
    return n;
}

TEST(ShippedModulesI686Test, BothModulesRunOnThePinnedFrames) {
    StandInModulePlatform platform;
    testsupport::TempDir dir;
    std::string error;
    std::string vmcalibSource, judgeSource;
    const std::string vmcalib = shipped::ShippedModule(TAVRIK_OCX, 217, TAVRIK_VMCALIB_DLL, &vmcalibSource);
    const std::string judge = shipped::ShippedModule(TAVRIK_OCX, 216, TAVRIK_JUDGE_DLL, &judgeSource);
    std::printf("iris module: %s\nimage-judge module: %s\n", vmcalibSource.c_str(), judgeSource.c_str());
    const auto lines = shipped::ModuleResults(platform, vmcalib, judge, dir.str() + "/", &error);
    ASSERT_EQ(lines.size(), static_cast<size_t>(shipped::kFrames))
        << error << "; imports without a stand-in: " << testing::PrintToString(platform.unresolved);
    // The frames exercise both outcomes of both modules, so equal lines mean equal decisions.
    EXPECT_GT(CountContaining(lines, " f4 1 "), 0);
    EXPECT_GT(CountContaining(lines, " f4 -"), 0);
    EXPECT_GT(CountContaining(lines, "judge 0 "), 0);
    ASSERT_TRUE(shipped::WriteLines(TAVRIK_SHIPPED_RESULTS, lines)) << TAVRIK_SHIPPED_RESULTS;
}

}  // namespace
