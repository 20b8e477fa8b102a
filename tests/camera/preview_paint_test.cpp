// The previews painted into the control's window, read back from the screen:
// the left camera in the left half, the right one from the middle column on,
// each frame shown upright and mirrored left to right; and the live preview
// of both virtual cameras (saved as a bitmap when K7Q_PREVIEW_SHOT names a file).
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "camera/win/eye_camera.h"
#include "camera/win/sample_grabber_cb.h"
#include "tests/camera/eye_camera_test_util.h"

namespace camera {
namespace {

constexpr int kWindowWidth = 801, kWindowHeight = 300;
constexpr COLORREF kBackground = RGB(0, 128, 0);

HWND MakePreviewWindow() {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"K7QPreviewTest";
    RegisterClassW(&wc);
    HWND window = CreateWindowExW(WS_EX_TOPMOST, L"K7QPreviewTest", L"preview", WS_POPUP | WS_VISIBLE, 0, 0,
                                  kWindowWidth, kWindowHeight, nullptr, nullptr, wc.hInstance, nullptr);
    return window;
}

void FillBackground(HWND window) {
    HDC dc = GetDC(window);
    RECT rect = {0, 0, kWindowWidth, kWindowHeight};
    HBRUSH brush = CreateSolidBrush(kBackground);
    FillRect(dc, &rect, brush);
    DeleteObject(brush);
    ReleaseDC(window, dc);
    GdiFlush();
}

COLORREF PixelAt(HWND window, int x, int y) {
    HDC dc = GetDC(window);
    const COLORREF colour = GetPixel(dc, x, y);
    ReleaseDC(window, dc);
    return colour;
}

// A 24-bit bottom-up picture of one colour.
std::vector<BYTE> Solid(int width, int height, BYTE b, BYTE g, BYTE r) {
    std::vector<BYTE> pixels(static_cast<size_t>(width) * height * 3);
    for (size_t i = 0; i < pixels.size(); i += 3) {
        pixels[i] = b;
        pixels[i + 1] = g;
        pixels[i + 2] = r;
    }
    return pixels;
}

class PreviewPaintTest : public ::testing::Test {
protected:
    void SetUp() override {
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        window = MakePreviewWindow();
        ASSERT_NE(window, nullptr);
        FillBackground(window);
    }
    void TearDown() override {
        DestroyWindow(window);
        CoUninitialize();
    }
    HWND window = nullptr;
};

TEST_F(PreviewPaintTest, LeftAndRightCamerasPaintTheirHalvesOfAn801PixelWindow) {
    BITMAPINFOHEADER header = {};
    header.biSize = sizeof header;
    header.biWidth = kCameraFrameWidth;
    header.biHeight = kCameraFrameHeight;
    header.biPlanes = 1;
    header.biBitCount = 24;
    CSampleGrabberCB leftCb, rightCb;
    leftCb.SetCameraName(kLeftCameraName);
    rightCb.SetCameraName(kRightCameraName);
    const std::vector<BYTE> red = Solid(kCameraFrameWidth, kCameraFrameHeight, 0, 0, 255);
    const std::vector<BYTE> blue = Solid(kCameraFrameWidth, kCameraFrameHeight, 255, 0, 0);
    EXPECT_EQ(leftCb.PaintFrame(red.data(), header, window), 1);
    EXPECT_EQ(rightCb.PaintFrame(blue.data(), header, window), 1);
    GdiFlush();
    for (int y : {0, kWindowHeight / 2, kWindowHeight - 1}) {
        SCOPED_TRACE(y);
        EXPECT_EQ(PixelAt(window, 0, y), RGB(255, 0, 0));
        EXPECT_EQ(PixelAt(window, 399, y), RGB(255, 0, 0));
        EXPECT_EQ(PixelAt(window, 400, y), RGB(0, 0, 255));
        EXPECT_EQ(PixelAt(window, 799, y), RGB(0, 0, 255));
        EXPECT_EQ(PixelAt(window, 800, y), kBackground);  // W / 2 truncates: the last column stays
    }
}

TEST_F(PreviewPaintTest, Yuv0130FrameIsShownUprightAndMirrored) {
    // Camera image: bright top-left quadrant, dark elsewhere.
    std::vector<uint8_t> frame(static_cast<size_t>(kCameraFrameWidth) * kCameraFrameHeight * 2, 0x80);
    for (int y = 0; y < kCameraFrameHeight; ++y)
        for (int x = 0; x < kCameraFrameWidth; ++x)
            frame[(static_cast<size_t>(y) * kCameraFrameWidth + x) * 2] =
                (x < kCameraFrameWidth / 2 && y < kCameraFrameHeight / 2) ? 250 : 10;
    CSampleGrabberCB cb;
    cb.SetCameraName(kLeftCameraName);
    cb.Frames().SetFrameSize(kCameraFrameWidth, kCameraFrameHeight);
    cb.Frames().SetFormat(FrameFormat::Yuv0130);
    cb.SetPreviewWindow(window);
    cb.Frames().Open();
    EXPECT_EQ(cb.BufferCB(0, frame.data(), static_cast<long>(frame.size())), S_OK);
    EXPECT_EQ(cb.BufferCB(0, nullptr, 0), E_POINTER);
    GdiFlush();
    EXPECT_EQ(PixelAt(window, 350, 50), RGB(250, 250, 250));  // top, mirrored to the right
    EXPECT_EQ(PixelAt(window, 50, 50), RGB(10, 10, 10));
    EXPECT_EQ(PixelAt(window, 350, 250), RGB(10, 10, 10));
    EXPECT_EQ(PixelAt(window, 600, 50), kBackground);  // the right half is not the left camera's
    cb.Frames().Close();
}

// Saves the window as a 24-bit bitmap file.
void SaveWindow(HWND window, const char* path) {
    HDC dc = GetDC(window);
    HDC memory = CreateCompatibleDC(dc);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = kWindowWidth;
    info.bmiHeader.biHeight = kWindowHeight;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, kWindowWidth, kWindowHeight, dc, 0, 0, SRCCOPY);
    GdiFlush();
    const DWORD stride = (kWindowWidth * 3 + 3) & ~3u, size = stride * kWindowHeight;
    BITMAPFILEHEADER file = {};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof info.bmiHeader;
    file.bfSize = file.bfOffBits + size;
    if (FILE* out = std::fopen(path, "wb")) {
        std::fwrite(&file, sizeof file, 1, out);
        std::fwrite(&info.bmiHeader, sizeof info.bmiHeader, 1, out);
        std::fwrite(bits, size, 1, out);
        std::fclose(out);
    }
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(window, dc);
}

TEST_F(PreviewPaintTest, BothLiveCamerasFillTheirHalves) {
    camera_test::SetFaults("", __LINE__);
    CEyeCamera left, right;
    left.SetCameraName(kLeftCameraName);
    right.SetCameraName(kRightCameraName);
    const std::string settings = camera_test::SettingsText();
    ASSERT_EQ(left.OpenCamera(kLeftCameraKey, settings.c_str(), window), 1);
    ASSERT_EQ(right.OpenCamera(kRightCameraKey, settings.c_str(), window), 1);
    char message[kGrabMessageBytes] = {};
    for (int i = 0; i < 5; ++i) {
        ASSERT_NE(left.GrabFrame(message), nullptr) << message;
        ASSERT_NE(right.GrabFrame(message), nullptr) << message;
    }
    GdiFlush();
    if (const char* shot = std::getenv("K7Q_PREVIEW_SHOT")) {
        // The person arrives within a few seconds of the stream's start.
        for (int i = 0; i < 150; ++i) left.GrabFrame(message), right.GrabFrame(message);
        SaveWindow(window, shot);
    }
    int leftPainted = 0, rightPainted = 0;
    for (int y = 10; y < kWindowHeight; y += 40) {
        for (int x = 10; x < 400; x += 40) leftPainted += PixelAt(window, x, y) != kBackground;
        for (int x = 410; x < 800; x += 40) rightPainted += PixelAt(window, x, y) != kBackground;
    }
    EXPECT_EQ(leftPainted, 80);
    EXPECT_EQ(rightPainted, 80);
    EXPECT_EQ(PixelAt(window, 800, 100), kBackground);
    left.CloseCamera();
    right.CloseCamera();
}

}  // namespace
}  // namespace camera
