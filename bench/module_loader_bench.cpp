// LoadModuleImage + UnloadModuleImage of an x86-64 image with 50,000 base
// relocations, mapped away from its preferred base so that every one is applied.
#include <benchmark/benchmark.h>

#include <fstream>
#include <iterator>
#include <string>

#include "modules/module_loader.h"
#include "modules/testing/fake_module_platform.h"

namespace {

std::string ReadModule(const std::string& name) {
    std::ifstream in(std::string(TAVRIK_TEST_MODULE_DIR) + "/x86_64/" + name + ".mod", std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void BM_LoadUnload50000Relocations(benchmark::State& state) {
    const std::string image = ReadModule("main_many");
    FakeModulePlatform platform(0x8664);
    platform.mapAtPreferredBase = false;
    for (auto _ : state) {
        ModuleImage* m = LoadModuleImage(image.data(), image.size(), platform);
        if (!m) {
            state.SkipWithError("the image did not load");
            break;
        }
        benchmark::DoNotOptimize(m->base);
        UnloadModuleImage(m);
        platform.entryCalls.clear();
        platform.protectCalls.clear();
        platform.resolved.clear();
    }
}
BENCHMARK(BM_LoadUnload50000Relocations)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
