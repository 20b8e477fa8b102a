// GrabFrame's messages as the cameras write them (code page 936 bytes).
#pragma once

namespace camera_test {

constexpr char kTimedOut[] = "\xD7\xA5\xCD\xBC\xB3\xAC\xCA\xB1";   // 抓图超时
constexpr char kClosed[] = "\xD2\xD1\xBE\xAD\xB9\xD8\xB1\xD5";     // 已经关闭
constexpr char kBusyLine[] = "\xC9\xE8\xB1\xB8\xB1\xBB\xC6\xE4\xCB\xFB\xB3\xCC\xD0\xF2\xD5\xBC\xD3\xC3\n";  // 设备被其他程序占用

}  // namespace camera_test
