// Exchanges from two threads overlap on their own handles.
#include <thread>

#include "tests/hid/hid_channel_fixture.h"

TEST_F(HidChannelTest, OverlappingExchangesEachUseTheirOwnHandle) {
    vmcu::UseFakeClock(false);
    vmcu::SetMode(vmcu::Mode::Late, 30);
    constexpr int kRounds = 5;
    int commandResults[kRounds] = {};
    int serialResults[kRounds] = {};
    std::string serials[kRounds];
    std::thread capture([&] {
        for (int i = 0; i < kRounds; ++i) commandResults[i] = CHidOperate::send_command(0x35);
    });
    std::thread control([&] {
        for (int i = 0; i < kRounds; ++i) {
            DeviceSnOutputs out;
            serialResults[i] = out.Read();
            serials[i] = out.serial;
        }
    });
    capture.join();
    control.join();
    for (int i = 0; i < kRounds; ++i) {
        EXPECT_EQ(commandResults[i], 1) << i;
        EXPECT_EQ(serialResults[i], 1) << i;
        EXPECT_EQ(serials[i], "880312040517") << i;
    }
    const vmcu::Counters counters = vmcu::GetCounters();
    EXPECT_EQ(counters.opens, 2 * kRounds);
    EXPECT_EQ(counters.peakOpenHandles, 2);  // the 30 ms answers make the exchanges overlap
    EXPECT_EQ(counters.inits, 1);            // the library is initialised once per process
    ExpectAllClosed();
}

TEST_F(HidChannelTest, FirstExchangesRacingInitialiseTheLibraryOnce) {
    std::thread threads[4];
    int results[4] = {};
    for (int i = 0; i < 4; ++i) threads[i] = std::thread([&results, i] { results[i] = CHidOperate::send_command(0x35); });
    for (std::thread& thread : threads) thread.join();
    for (int result : results) EXPECT_EQ(result, 1);
    EXPECT_EQ(vmcu::GetCounters().inits, 1);
    ExpectAllClosed();
}
