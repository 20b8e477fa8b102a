// The hand-over between the streaming thread and GrabFrame: a grabbed image
// is always one whole frame, a time-out leaves the request for the next
// frame, a close wakes a waiting grab at once and stops all conversion.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

#include "camera/frame_callback.h"
#include "tests/camera/grab_messages.h"

namespace camera {
namespace {

constexpr int kWidth = 64, kHeight = 48;

// A YUY2 frame whose every luma sample is `value`.
std::vector<uint8_t> UniformFrame(uint8_t value) {
    std::vector<uint8_t> frame(kWidth * kHeight * 2, 0x80);
    for (size_t i = 0; i < frame.size(); i += 2) frame[i] = value;
    return frame;
}

void ExpectUniform(const uint8_t* gray, int line) {
    SCOPED_TRACE(::testing::Message() << "called from line " << line);
    ASSERT_NE(gray, nullptr);
    for (int i = 1; i < kWidth * kHeight; ++i) {
        if (gray[i] != gray[0]) {
            FAIL() << "pixel " << i << " is " << int(gray[i]) << ", pixel 0 is " << int(gray[0]);
        }
    }
}

class FrameCallbackTest : public ::testing::Test {
protected:
    void SetUp() override {
        callback.SetFrameSize(kWidth, kHeight);
        callback.SetFormat(FrameFormat::Yuv0130);
        callback.Open();
    }
    FrameCallback callback;
};

TEST_F(FrameCallbackTest, EveryGrabbedImageIsOneWholeFrameUnderAFastProducer) {
    std::atomic<bool> stop{false};
    std::thread producer([&] {
        std::vector<std::vector<uint8_t>> frames;
        for (int v = 0; v < 256; v += 17) frames.push_back(UniformFrame(static_cast<uint8_t>(v)));
        for (size_t n = 0; !stop.load(); ++n) {
            const std::vector<uint8_t>& frame = frames[n % frames.size()];
            callback.OnFrame(frame.data(), frame.size());
        }
    });
    char message[100] = {};
    std::vector<uint8_t> copy(kWidth * kHeight);
    int distinct = 0;
    uint8_t last = 1;
    for (int grab = 0; grab < 300; ++grab) {
        const uint8_t* gray = callback.GrabFrame(message, 3000);
        ASSERT_NE(gray, nullptr) << message;
        std::memcpy(copy.data(), gray, copy.size());  // the caller copies before its next request
        ExpectUniform(copy.data(), __LINE__);
        distinct += copy[0] != last;
        last = copy[0];
    }
    stop = true;
    producer.join();
    EXPECT_GT(distinct, 1);  // the grabs saw more than one frame
}

TEST_F(FrameCallbackTest, TimeoutKeepsTheRequestForTheNextFrame) {
    char message[100] = {};
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(callback.GrabFrame(message, 200), nullptr);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(190));
    EXPECT_STREQ(message, camera_test::kTimedOut);

    // The frame that comes after the time-out is still converted ...
    const std::vector<uint8_t> frame = UniformFrame(77);
    callback.OnFrame(frame.data(), frame.size());
    // ... and the next grab waits for a frame of its own.
    std::thread later([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        const std::vector<uint8_t> next = UniformFrame(99);
        callback.OnFrame(next.data(), next.size());
    });
    const uint8_t* gray = callback.GrabFrame(message, 3000);
    later.join();
    ExpectUniform(gray, __LINE__);
    EXPECT_EQ(gray[0], 99);
}

TEST_F(FrameCallbackTest, CloseWakesAWaitingGrabAtOnceAndDropsLaterFrames) {
    char message[100] = {};
    const uint8_t* result = reinterpret_cast<const uint8_t*>(1);
    std::chrono::steady_clock::duration waited{};
    std::thread grabber([&] {
        const auto start = std::chrono::steady_clock::now();
        result = callback.GrabFrame(message, 3000);
        waited = std::chrono::steady_clock::now() - start;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    callback.Close();
    grabber.join();
    EXPECT_EQ(result, nullptr);
    EXPECT_STREQ(message, camera_test::kClosed);
    EXPECT_LT(waited, std::chrono::milliseconds(1500));

    // Closed: frames are ignored and a grab answers "closed" at once.
    const std::vector<uint8_t> frame = UniformFrame(5);
    callback.OnFrame(frame.data(), frame.size());
    const auto again = std::chrono::steady_clock::now();
    EXPECT_EQ(callback.GrabFrame(message, 3000), nullptr);
    EXPECT_STREQ(message, camera_test::kClosed);
    EXPECT_LT(std::chrono::steady_clock::now() - again, std::chrono::milliseconds(1000));
}

// A preview painter that records what it was given.
class RecordingPainter : public IPreviewPainter {
public:
    void PaintPreview(const uint8_t* pixels, int width, int height) override {
        ++paints;
        first = pixels[0];
        w = width;
        h = height;
    }
    int paints = 0, w = 0, h = 0;
    uint8_t first = 0;
};

TEST_F(FrameCallbackTest, EveryFramePaintsThePreviewButOnlyRequestedFramesConvert) {
    RecordingPainter painter;
    callback.SetPainter(&painter);
    std::vector<uint8_t> frame = UniformFrame(40);
    frame[0] = 41;  // first luma sample: the last pixel of the turned preview
    callback.OnFrame(frame.data(), frame.size());
    callback.OnFrame(frame.data(), frame.size());
    EXPECT_EQ(painter.paints, 2);
    EXPECT_EQ(painter.w, kWidth);
    EXPECT_EQ(painter.h, kHeight);
    EXPECT_EQ(painter.first, 40);
    callback.SetPainter(nullptr);
    callback.OnFrame(nullptr, 0);  // a null buffer is ignored
    EXPECT_EQ(painter.paints, 2);
}

}  // namespace
}  // namespace camera
