#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>

#include "platform/clock.h"
#include "platform/event.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/thread.h"
#include "tests/support/temp_dir.h"

using namespace platform;

TEST(PlatformThreadTest, JoinWaitsForTheBodyAndReportsTheEnd) {
    Thread thread;
    std::atomic<bool> ran{false};
    ASSERT_TRUE(thread.Start([&] { ran = true; }));
    EXPECT_TRUE(thread.Holds());
    EXPECT_FALSE(thread.Start([] {})) << "one thread at a time";
    EXPECT_TRUE(thread.Join(kWaitForever));
    EXPECT_TRUE(ran);
    EXPECT_FALSE(thread.Holds());
    EXPECT_TRUE(thread.Join(0)) << "nothing held: nothing to wait for";
}

TEST(PlatformThreadTest, JoinTimesOutAndLetsTheThreadGo) {
    static ManualResetEvent release;  // outlives the let-go thread
    static std::atomic<bool> finished{false};
    Thread thread;
    ASSERT_TRUE(thread.Start([] {
        release.Wait(kWaitForever);
        finished = true;
    }));
    const uint32_t start = TickCount();
    EXPECT_FALSE(thread.Join(150));
    EXPECT_GE(TicksSince(start), 140u);
    EXPECT_FALSE(thread.Holds());
    ASSERT_TRUE(thread.Start([] {})) << "a let-go thread frees the slot";
    EXPECT_TRUE(thread.Join(kWaitForever));
    release.Set();
    EXPECT_TRUE(testsupport::WaitFor([] { return finished.load(); }));
}

TEST(PlatformThreadTest, AThrowingBodyEndsOnlyItsThread) {
    Thread thread;
    ASSERT_TRUE(thread.Start([] { throw 42; }));
    EXPECT_TRUE(thread.Join(5000));
}

TEST(PlatformEventTest, ManualResetStaysSetUntilReset) {
    ManualResetEvent event;
    EXPECT_FALSE(event.IsSet());
    EXPECT_FALSE(event.Wait(20));
    event.Set();
    EXPECT_TRUE(event.Wait(0));
    EXPECT_TRUE(event.Wait(kWaitForever));
    EXPECT_TRUE(event.IsSet());
    event.Reset();
    EXPECT_FALSE(event.Wait(0));
    ManualResetEvent initiallySet(true);
    EXPECT_TRUE(initiallySet.IsSet());
#ifdef _WIN32
    EXPECT_NE(event.NativeHandle(), nullptr);
#else
    EXPECT_EQ(event.NativeHandle(), nullptr);
#endif
}

TEST(PlatformEventTest, SetFromAnotherThreadWakesTheWaiter) {
    ManualResetEvent event;
    Thread setter;
    ASSERT_TRUE(setter.Start([&] {
        SleepMs(30);
        event.Set();
    }));
    EXPECT_TRUE(event.Wait(5000));
    setter.Join(kWaitForever);
}

TEST(PlatformClockTest, TickAdvancesWithSleep) {
    const uint32_t start = TickCount();
    SleepMs(50);
    const uint32_t elapsed = TicksSince(start);
    EXPECT_GE(elapsed, 30u);  // Wine's tick has a coarse granularity
    EXPECT_LT(elapsed, 2000u);
    EXPECT_EQ(uint32_t(5) - uint32_t(0xFFFFFFFBu), 10u) << "the tick difference survives wrapping";
}

TEST(PlatformPathsTest, DirectoriesEndWithTheSeparator) {
    const std::string host = HostDirectory();
    ASSERT_FALSE(host.empty());
    EXPECT_EQ(host.back(), PathSeparator());
    EXPECT_TRUE(PathExists(host));
    const std::string temp = TempDirectory();
    ASSERT_FALSE(temp.empty());
    EXPECT_TRUE(temp.back() == '/' || temp.back() == '\\');
    EXPECT_TRUE(PathExists(temp));
}

TEST(PlatformFilesTest, CreateListMoveRemove) {
    testsupport::TempDir dir;
    const std::string sub = (dir / "one").string();
    EXPECT_FALSE(PathExists(sub));
    EXPECT_TRUE(MakeDirectory(sub));
    EXPECT_TRUE(PathExists(sub));
    EXPECT_FALSE(MakeDirectory((dir / "a" / "b").string())) << "one level only";

    testsupport::WriteBinaryFile(dir / "x.txt", "12345");
    EXPECT_EQ(FileSize((dir / "x.txt").string()), 5);
    EXPECT_EQ(FileSize((dir / "missing").string()), -1);
    EXPECT_TRUE(RenameFile((dir / "x.txt").string(), (dir / "y.txt").string()));
    auto names = ListDirectory(dir.str());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"one", "y.txt"}));
    EXPECT_TRUE(RemoveFile((dir / "y.txt").string()));
    EXPECT_FALSE(RemoveFile((dir / "y.txt").string()));
}
