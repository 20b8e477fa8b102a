// The image-judge module's file checks: every malformed or foreign file gets
// its own code, read from exactly the bytes present (AddressSanitizer sees
// any read past them), and a well-formed file reaches the segmentation.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "modules/judge/judge_pipeline.h"
#include "tests/support/temp_dir.h"

namespace {

std::string GoodFile() {
    std::string b(kJudgeFileBytes, '\0');
    auto put32 = [&](size_t at, uint32_t v) { std::memcpy(&b[at], &v, 4); };
    auto put16 = [&](size_t at, uint16_t v) { std::memcpy(&b[at], &v, 2); };
    b[0] = 'B';
    b[1] = 'M';
    put32(2, kJudgeFileBytes);
    put32(10, kJudgePixelOffset);
    put32(14, 40);
    put32(18, 640);
    put32(22, 480);
    put16(26, 1);
    put16(28, 8);
    put32(34, kJudgePixelBytes);
    for (uint32_t i = 0; i < 256; ++i) put32(54 + 4 * i, i | i << 8 | i << 16);
    for (uint32_t i = 0; i < kJudgePixelBytes; ++i) b[kJudgePixelOffset + i] = static_cast<char>(i % 251);
    return b;
}

void Set32(std::string& b, size_t at, uint32_t v) { std::memcpy(&b[at], &v, 4); }
void Set16(std::string& b, size_t at, uint16_t v) { std::memcpy(&b[at], &v, 2); }

// Parses a copy on the heap sized exactly to the bytes.
JudgeResult Parse(const std::string& bytes) {
    std::unique_ptr<uint8_t[]> exact(new uint8_t[bytes.size() ? bytes.size() : 1]);
    std::memcpy(exact.get(), bytes.data(), bytes.size());
    GrayView ignored;
    return ParseJudgeBitmap(exact.get(), bytes.size(), &ignored);
}

TEST(JudgeBitmapTest, AWellFormedFileShowsItsRowsTopFirst) {
    const std::string b = GoodFile();
    GrayView v;
    ASSERT_EQ(ParseJudgeBitmap(reinterpret_cast<const uint8_t*>(b.data()), b.size(), &v), kJudgeOk);
    EXPECT_EQ(v.width, 640);
    EXPECT_EQ(v.height, 480);
    // The file's last row is the picture's top row.
    const size_t lastRow = kJudgePixelOffset + 479u * 640u;
    EXPECT_EQ(v.At(0, 0), static_cast<uint8_t>(b[lastRow]));
    EXPECT_EQ(v.At(639, 479), static_cast<uint8_t>(b[kJudgePixelOffset + 639]));
    EXPECT_EQ(v.At(5, 1), static_cast<uint8_t>(b[lastRow - 640 + 5]));
}

TEST(JudgeBitmapTest, EveryTruncationIsRejectedWithoutReadingPastTheEnd) {
    const std::string b = GoodFile();
    for (size_t size : {size_t{0}, size_t{1}, size_t{2}, size_t{53}, size_t{54}, size_t{1077}}) {
        SCOPED_TRACE(size);
        EXPECT_EQ(Parse(b.substr(0, size)), kJudgeTruncated);
    }
    for (size_t size : {size_t{1078}, size_t{1079}, size_t{kJudgeFileBytes - 1}}) {
        SCOPED_TRACE(size);
        EXPECT_EQ(Parse(b.substr(0, size)), kJudgeBadLayout);
    }
    EXPECT_EQ(Parse(b + "x"), kJudgeBadLayout);
}

TEST(JudgeBitmapTest, ForeignHeadersGetTheirOwnCodes) {
    struct Case {
        const char* what;
        size_t at;
        int bytes;
        uint32_t value;
        JudgeResult expected;
    };
    const Case cases[] = {
        {"signature", 0, 2, 0x5A4D, kJudgeNotBitmap},
        {"core header", 14, 4, 12, kJudgeBadHeader},
        {"v5 header", 14, 4, 124, kJudgeBadHeader},
        {"planes", 26, 2, 2, kJudgeBadHeader},
        {"run-length compression", 30, 4, 1, kJudgeBadHeader},
        {"width 641", 18, 4, 641, kJudgeWrongSize},
        {"width 320", 18, 4, 320, kJudgeWrongSize},
        {"top-down rows", 22, 4, static_cast<uint32_t>(-480), kJudgeWrongSize},
        {"huge height", 22, 4, 0x7FFFFFFF, kJudgeWrongSize},
        {"huge width", 18, 4, 0xFFFFFFFF, kJudgeWrongSize},
        {"1 bit", 28, 2, 1, kJudgeWrongDepth},
        {"4 bits", 28, 2, 4, kJudgeWrongDepth},
        {"24 bits", 28, 2, 24, kJudgeWrongDepth},
        {"32 bits", 28, 2, 32, kJudgeWrongDepth},
        {"coloured palette entry", 54 + 4 * 17, 4, 0x00112233, kJudgeNotGray},
        {"palette reserved byte", 54 + 4 * 255, 4, 0x01FFFFFF, kJudgeNotGray},
        {"pixel offset", 10, 4, 54, kJudgeBadLayout},
        {"pixel offset past the end", 10, 4, 0x7FFFFFF0, kJudgeBadLayout},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string b = GoodFile();
        if (c.bytes == 2) Set16(b, c.at, static_cast<uint16_t>(c.value));
        else Set32(b, c.at, c.value);
        EXPECT_EQ(Parse(b), c.expected);
    }
}

// A segmenter that reports whether it was reached and finds nothing.
bool CountingFinder(void* context, const GrayView&, IrisCircles*) {
    ++*static_cast<int*>(context);
    return false;
}

class JudgeFileTest : public ::testing::Test {
protected:
    testsupport::TempDir dir{"judge-file"};
    std::unique_ptr<JudgeWorkspace> ws = std::make_unique<JudgeWorkspace>();
    int reached = 0;
    JudgeSegmenter counting{CountingFinder, &reached};
    JudgeReport report;
    JudgeResult JudgePath(const std::string& path) { return JudgeBitmapFile(path.c_str(), ws.get(), counting, &report); }
};

TEST_F(JudgeFileTest, MissingFilesDirectoriesAndNullPathsAreNotScored) {
    EXPECT_EQ(JudgePath((dir / "absent.bmp").string()), kJudgeUnreadable);
    EXPECT_EQ(JudgePath(dir.str()), kJudgeUnreadable);
    EXPECT_EQ(JudgeBitmapFile(nullptr, ws.get(), counting, &report), kJudgeBadArgument);
    EXPECT_EQ(reached, 0);
}

TEST_F(JudgeFileTest, OnlyAWellFormedFileReachesTheSegmentation) {
    const std::string good = GoodFile();
    testsupport::WriteBinaryFile(dir / "long.bmp", good + std::string(5000, '\x7f'));
    EXPECT_EQ(JudgePath((dir / "long.bmp").string()), kJudgeBadLayout);
    testsupport::WriteBinaryFile(dir / "short.bmp", good.substr(0, 2000));
    EXPECT_EQ(JudgePath((dir / "short.bmp").string()), kJudgeBadLayout);
    testsupport::WriteBinaryFile(dir / "empty.bmp", "");
    EXPECT_EQ(JudgePath((dir / "empty.bmp").string()), kJudgeTruncated);
    EXPECT_EQ(reached, 0);
    testsupport::WriteBinaryFile(dir / "good.bmp", good);
    EXPECT_EQ(JudgePath((dir / "good.bmp").string()), kJudgeNoIris);
    EXPECT_EQ(reached, 1);
    EXPECT_EQ(report.score, 0);
}

}  // namespace
