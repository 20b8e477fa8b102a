// The x86_64 module DLLs the 64-bit OCX embeds, loaded and run for real under
// Wine over the same pinned frames as the i686 modules under qemu-i386 (the
// linux-i686 tree's results, which scripts/test produces first): every line,
// result codes, record words, area digests and scores, must be the same.
#include <gtest/gtest.h>

#include <cstdio>

#include "modules/module_loader.h"
#include "tests/modules/shipped/embedded_module.h"
#include "tests/modules/shipped/shipped_module_results.h"
#include "tests/support/temp_dir.h"

namespace {

TEST(ShippedModulesWineTest, X86_64ResultsEqualTheI686ModulesResults) {
    testsupport::TempDir dir;
    std::string error;
    std::string vmcalibSource, judgeSource;
    const std::string vmcalib = shipped::ShippedModule(TAVRIK_OCX, 217, TAVRIK_VMCALIB_DLL, &vmcalibSource);
    const std::string judge = shipped::ShippedModule(TAVRIK_OCX, 216, TAVRIK_JUDGE_DLL, &judgeSource);
    std::printf("iris module: %s\nimage-judge module: %s\n", vmcalibSource.c_str(), judgeSource.c_str());
    const auto lines = shipped::ModuleResults(DefaultModulePlatform(), vmcalib, judge, dir.str() + "\\", &error);
    ASSERT_EQ(lines.size(), static_cast<size_t>(shipped::kFrames)) << error;
    shipped::WriteLines(TAVRIK_SHIPPED_RESULTS, lines);

    const auto i686 = shipped::ReadLines(TAVRIK_I686_SHIPPED_RESULTS);
    ASSERT_EQ(i686.size(), lines.size()) << "no i686 results in " << TAVRIK_I686_SHIPPED_RESULTS
                                         << ": build the linux-i686 tree and run its tests first";
    for (size_t i = 0; i < lines.size(); ++i) EXPECT_EQ(lines[i], i686[i]) << "frame " << i;
}

}  // namespace
