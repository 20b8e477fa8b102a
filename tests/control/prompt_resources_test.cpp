// The voice prompts as the Windows loader finds them in the shipped OCX: the
// lookups the sound playback call makes on the module's resources.
#include <gtest/gtest.h>

#include <windows.h>
#include <mmsystem.h>

#include <cstdint>
#include <cstring>

namespace {

constexpr int kFirstPrompt = 203;
constexpr int kLastPrompt = 215;
constexpr WORD kChinesePrc = MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED);

class OcxModule : public ::testing::Test {
protected:
    static void SetUpTestSuite() { module_ = LoadLibraryA(TAVRIK_OCX_PATH); }
    static void TearDownTestSuite() {
        if (module_) FreeLibrary(module_);
        module_ = nullptr;
    }
    static HMODULE module_;
};
HMODULE OcxModule::module_ = nullptr;

uint32_t ReadU32(const uint8_t* p) { uint32_t v; std::memcpy(&v, p, 4); return v; }
uint16_t ReadU16(const uint8_t* p) { uint16_t v; std::memcpy(&v, p, 2); return v; }

// The bytes of one resource, or an empty view when the loader misses it.
struct ResourceBytes {
    const uint8_t* data = nullptr;
    DWORD size = 0;
};

ResourceBytes Load(HMODULE module, HRSRC found) {
    if (!found) return {};
    HGLOBAL loaded = LoadResource(module, found);
    if (!loaded) return {};
    return {static_cast<const uint8_t*>(LockResource(loaded)), SizeofResource(module, found)};
}

// A canonical PCM header: RIFF/WAVE, then "fmt " with 16-bit stereo at 44100 Hz.
void ExpectPcmHeader(const ResourceBytes& bytes, int id) {
    SCOPED_TRACE(::testing::Message() << "WAVE " << id);
    ASSERT_NE(bytes.data, nullptr);
    ASSERT_GE(bytes.size, 44u);
    EXPECT_EQ(std::memcmp(bytes.data, "RIFF", 4), 0);
    EXPECT_LE(ReadU32(bytes.data + 4) + 8, bytes.size);
    EXPECT_EQ(std::memcmp(bytes.data + 8, "WAVEfmt ", 8), 0);
    EXPECT_EQ(ReadU16(bytes.data + 20), WAVE_FORMAT_PCM);
    EXPECT_EQ(ReadU16(bytes.data + 22), 2);
    EXPECT_EQ(ReadU32(bytes.data + 24), 44100u);
    EXPECT_EQ(ReadU16(bytes.data + 34), 16);
}

TEST_F(OcxModule, EveryPromptIsFoundInChinesePrc) {
    ASSERT_NE(module_, nullptr) << "cannot load " << TAVRIK_OCX_PATH;
    for (int id = kFirstPrompt; id <= kLastPrompt; ++id) {
        ExpectPcmHeader(Load(module_, FindResourceExA(module_, "WAVE", MAKEINTRESOURCEA(id), kChinesePrc)), id);
    }
}

// Playback names no language: the loader must fall back to the only one there
// is, whatever the thread's language.
TEST_F(OcxModule, PromptsAreFoundWithoutNamingTheLanguage) {
    ASSERT_NE(module_, nullptr);
    const LANGID saved = GetThreadUILanguage();
    for (LANGID ui : {LANGID{MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US)}, LANGID{kChinesePrc}}) {
        SetThreadUILanguage(ui);
        for (int id = kFirstPrompt; id <= kLastPrompt; ++id) {
            SCOPED_TRACE(::testing::Message() << "thread language " << ui);
            ExpectPcmHeader(Load(module_, FindResourceW(module_, MAKEINTRESOURCEW(id), L"WAVE")), id);
        }
    }
    SetThreadUILanguage(saved);
}

TEST_F(OcxModule, NoPromptOutsideTheRange) {
    ASSERT_NE(module_, nullptr);
    EXPECT_EQ(FindResourceA(module_, MAKEINTRESOURCEA(kFirstPrompt - 1), "WAVE"), nullptr);
    EXPECT_EQ(FindResourceA(module_, MAKEINTRESOURCEA(kLastPrompt + 1), "WAVE"), nullptr);
}

}  // namespace
