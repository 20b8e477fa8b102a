#include "log/log_writer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <future>
#include <mutex>
#include <regex>
#include <sstream>
#include <stdexcept>
#include <system_error>
#include <thread>
#include <vector>

#include "platform/clock.h"
#include "tests/support/temp_dir.h"

namespace fs = std::filesystem;
using testsupport::ReadBinaryFile;
using testsupport::TempDir;
using testsupport::WaitFor;

namespace {

#ifdef _WIN32
const std::string kLineEnd = "\r\n";
#else
const std::string kLineEnd = "\n";
#endif

// Splits a log file into its lines, checking that every line ends as the system writes it.
std::vector<std::string> ReadLines(const fs::path& file) {
    const std::string text = ReadBinaryFile(file);
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = text.find(kLineEnd, start);
        EXPECT_NE(end, std::string::npos) << "unterminated last line";
        if (end == std::string::npos) break;
        lines.push_back(text.substr(start, end - start));
        start = end + kLineEnd.size();
    }
    return lines;
}

// Lets every queued record reach the file, then ends the writer.
void DrainAndStop(CLogWriter& writer) {
    ASSERT_TRUE(WaitFor([&] { return writer.QueuedCount() == 0; }));
    writer.StopLog();
}

// A writer whose file writes can be held at a gate, or made to throw.
class GatedWriter : public CLogWriter {
public:
    void Close() {
        std::lock_guard<std::mutex> lock(mutex_);
        open_ = false;
    }
    void Open(bool thenThrow = false) {
        std::lock_guard<std::mutex> lock(mutex_);
        open_ = true;
        throw_ = thenThrow;
        changed_.notify_all();
    }
    bool WaitUntilHeld() {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, std::chrono::seconds(5), [&] { return held_; });
    }

protected:
    void WriteRecord(std::ostream& stream, const LogRecord& record) override {
        {
            std::unique_lock<std::mutex> lock(mutex_);
            held_ = !open_;
            changed_.notify_all();
            changed_.wait(lock, [&] { return open_; });
            held_ = false;
            if (throw_) throw std::runtime_error("disk gone");
        }
        CLogWriter::WriteRecord(stream, record);
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool open_ = true;
    bool held_ = false;
    bool throw_ = false;
};

}  // namespace

TEST(LogWriterTest, NothingIsQueuedBeforeTheLogIsStarted) {
    CLogWriter writer;
    for (uint32_t level = 0; level <= 6; ++level) WriteLog(&writer, level, "TavrikCtrl", "F", 1, "text %u", level);
    EXPECT_EQ(writer.QueuedCount(), 0u);
    EXPECT_FALSE(writer.Running());
}

TEST(LogWriterTest, StartSetsTheLimitsAndCreatesTheDirectory) {
    TempDir dir;
    const std::string logDir = (dir / "logs").string();
    CLogWriter writer;
    EXPECT_EQ(writer.KeepCount(), 10u);
    EXPECT_EQ(writer.StartLog(logDir), 0);
    EXPECT_TRUE(fs::is_directory(logDir));
    EXPECT_TRUE(writer.Running());
    EXPECT_EQ(writer.KeepCount(), 20u);
    EXPECT_EQ(writer.MaximumSizeMiB(), 10u);
    EXPECT_EQ(writer.MinimumLevel(), 1u);
    EXPECT_EQ(writer.StartLog(logDir), 0);  // already running: nothing else starts
    WriteLog(&writer, 2, "TavrikCtrl", "F", 1, "once");
    DrainAndStop(writer);
    EXPECT_EQ(ReadLines(fs::path(logDir) / "log.txt").size(), 1u);
}

TEST(LogWriterTest, LineFormatIsExact) {
    TempDir dir;
    CLogWriter writer;
    writer.StartLog(dir.str());
    const std::time_t before = std::time(nullptr);
    WriteLog(&writer, 2, "C:\\work\\src\\TavrikCtrl", "CTavrikCtrl::IrisInit", 123, "param:%s %d", "{\"log\":\"1\"}", 7);
    DrainAndStop(writer);

    const std::string text = ReadBinaryFile(dir / "log.txt");
    const std::regex line(R"(^\[(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d)\] \[INFO\] param:\{"log":"1"\} 7 )"
                          R"(\[TavrikCtrl\(123\):CTavrikCtrl::IrisInit\])" +
                          std::regex_replace(kLineEnd, std::regex("\r"), "\\r") + "$");
    std::smatch match;
    ASSERT_TRUE(std::regex_match(text, match, line)) << text;

    std::tm local{};
    ASSERT_TRUE(platform::LocalTime(before, &local));
    char expectedPrefix[20];
    std::strftime(expectedPrefix, sizeof expectedPrefix, "%Y-%m-%d %H:%M", &local);
    EXPECT_EQ(match[1].str().substr(0, 16), std::string(expectedPrefix));
}

TEST(LogWriterTest, LevelFilterAndLevelNames) {
    TempDir dir;
    CLogWriter writer;
    writer.StartLog(dir.str());
    WriteLog(&writer, 0, "a", "f", 1, "dropped");
    EXPECT_EQ(writer.QueuedCount(), 0u);
    const char* names[] = {"DEBUG", "INFO", "WARN", "ERROR", "CRITIC", ""};
    for (uint32_t level = 1; level <= 6; ++level) WriteLog(&writer, level, "a", "f", 1, "level %u", level);
    WriteLog(&writer, 1, "src/unix/path.cpp", "f", 2, "slashes");
    DrainAndStop(writer);

    const auto lines = ReadLines(dir / "log.txt");
    ASSERT_EQ(lines.size(), 7u);
    for (uint32_t level = 1; level <= 6; ++level) {
        const std::string expected = "] [" + std::string(names[level - 1]) + "] level " + std::to_string(level) + " [a(1):f]";
        EXPECT_NE(lines[level - 1].find(expected), std::string::npos) << lines[level - 1];
    }
    EXPECT_NE(lines[6].find("slashes [src/unix/path.cpp(2):f]"), std::string::npos) << lines[6];
}

TEST(LogWriterTest, BytesPassUnchanged) {
    TempDir dir;
    CLogWriter writer;
    writer.StartLog(dir.str());
    const std::string gbk = "\xC9\xE8\xB1\xB8\xB4\xED\xCE\xF3";  // code page 936 text
    WriteLog(&writer, 1, "DeviceK7Q", "CDeviceK7Q::DevInit", 247, "%s", gbk.c_str());
    DrainAndStop(writer);
    const auto lines = ReadLines(dir / "log.txt");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("] [DEBUG] " + gbk + " [DeviceK7Q(247):CDeviceK7Q::DevInit]"), std::string::npos);
}

TEST(LogWriterTest, ManyProducersLoseAndReorderNothing) {
    TempDir dir;
    CLogWriter writer;
    writer.StartLog(dir.str());
    constexpr int kProducers = 4, kEach = 300;
    std::vector<std::thread> producers;
    for (int p = 0; p < kProducers; ++p)
        producers.emplace_back([&writer, p] {
            for (int i = 0; i < kEach; ++i) WriteLog(&writer, 1, "HidOperate", "f", p, "p%d-%d", p, i);
        });
    for (auto& t : producers) t.join();
    DrainAndStop(writer);

    const auto lines = ReadLines(dir / "log.txt");
    ASSERT_EQ(lines.size(), static_cast<size_t>(kProducers * kEach));
    std::vector<int> next(kProducers, 0);
    const std::regex body(R"(\] p(\d)-(\d+) \[)");
    for (const auto& line : lines) {
        std::smatch m;
        ASSERT_TRUE(std::regex_search(line, m, body)) << line;
        const int p = std::stoi(m[1]), i = std::stoi(m[2]);
        EXPECT_EQ(i, next[p]) << "producer " << p << " out of order";
        next[p] = i + 1;
    }
}

TEST(LogWriterTest, ProducersWaitAboveTheQueueBoundAndAreReleasedBelowIt) {
    TempDir dir;
    GatedWriter writer;
    writer.Close();
    writer.StartLog(dir.str());
    WriteLog(&writer, 1, "a", "f", 0, "first");  // the writer takes it and is held
    ASSERT_TRUE(writer.WaitUntilHeld());
    for (int i = 1; i <= 101; ++i) WriteLog(&writer, 1, "a", "f", i, "queued %d", i);
    EXPECT_EQ(writer.QueuedCount(), 101u);

    std::atomic<bool> returned{false};
    std::thread blocked([&] {
        WriteLog(&writer, 1, "a", "f", 102, "queued 102");
        returned = true;
    });
    platform::SleepMs(300);
    EXPECT_FALSE(returned.load()) << "a producer must wait while 101 records are queued";
    EXPECT_EQ(writer.QueuedCount(), 101u);

    writer.Open();
    ASSERT_TRUE(WaitFor([&] { return returned.load(); }));
    blocked.join();
    DrainAndStop(writer);
    const auto lines = ReadLines(dir / "log.txt");
    ASSERT_EQ(lines.size(), 103u);
    EXPECT_NE(lines.back().find("queued 102"), std::string::npos);
}

TEST(LogWriterTest, StopReturnsAfterItsTimeOutWhenTheWriterIsStuck) {
    TempDir dir;
    // Never destroyed: the let-go thread may still be finishing its pass when the process exits.
    static GatedWriter& writer = *new GatedWriter;
    writer.Close();
    writer.StartLog(dir.str());
    WriteLog(&writer, 1, "a", "f", 0, "stuck");
    ASSERT_TRUE(writer.WaitUntilHeld());

    const uint32_t start = platform::TickCount();
    EXPECT_EQ(writer.StopLog(), 0);
    const uint32_t waited = platform::TicksSince(start);
    EXPECT_GE(waited, 2900u);
    EXPECT_LE(waited, 6000u);  // generous: sanitizers and a loaded machine slow the wake-up
    EXPECT_FALSE(writer.Running());

    writer.Open();  // the let-go thread finishes its pass and ends
    platform::SleepMs(200);
}

TEST(LogWriterTest, AWriterEndedByAnExceptionNeverBlocksProducers) {
    TempDir dir;
    GatedWriter writer;
    writer.Close();
    writer.StartLog(dir.str());
    WriteLog(&writer, 1, "a", "f", 0, "held");
    ASSERT_TRUE(writer.WaitUntilHeld());
    for (int i = 0; i < 101; ++i) WriteLog(&writer, 1, "a", "f", i, "fill");
    auto waiting = std::async(std::launch::async, [&] { WriteLog(&writer, 1, "a", "f", 0, "waits"); });
    EXPECT_EQ(waiting.wait_for(std::chrono::milliseconds(200)), std::future_status::timeout);

    writer.Open(/*thenThrow=*/true);
    EXPECT_EQ(waiting.wait_for(std::chrono::seconds(3)), std::future_status::ready);
    EXPECT_FALSE(writer.Running());
    for (int i = 0; i < 300; ++i) WriteLog(&writer, 1, "a", "f", i, "after");  // returns at once
    writer.StopLog();
}

TEST(LogWriterTest, StopWritesTheLinesQueuedBeforeIt) {
    TempDir dir;
    CLogWriter writer;
    writer.StartLog(dir.str());
    platform::SleepMs(20);  // the writer is asleep in its idle step
    for (int i = 0; i < 5; ++i) WriteLog(&writer, 2, "TavrikCtrl", "f", i, "line %d", i);
    const uint32_t start = platform::TickCount();
    writer.StopLog();
    EXPECT_LT(platform::TicksSince(start), CLogWriter::kStopWaitMs);
    EXPECT_EQ(writer.QueuedCount(), 0u);
    const auto lines = ReadLines(dir / "log.txt");
    ASSERT_EQ(lines.size(), 5u);
    for (int i = 0; i < 5; ++i) EXPECT_NE(lines[i].find("line " + std::to_string(i)), std::string::npos) << i;
}

TEST(LogWriterTest, CallsWhileStoppedAreDroppedAndARestartAppends) {
    TempDir dir;
    GatedWriter writer;
    writer.StartLog(dir.str());
    WriteLog(&writer, 1, "a", "f", 0, "first");
    DrainAndStop(writer);
    // Logging is off between the stop and the restart.
    WriteLog(&writer, 1, "a", "f", 0, "while stopped");
    EXPECT_EQ(writer.QueuedCount(), 0u);
    writer.StartLog(dir.str());
    WriteLog(&writer, 1, "a", "f", 0, "second");
    DrainAndStop(writer);
    const auto lines = ReadLines(dir / "log.txt");
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_NE(lines[1].find("second"), std::string::npos);
}

TEST(LogWriterTest, RotatesPastTenMebibytesAndStartsANewLiveFile) {
    TempDir dir;
    testsupport::WriteBinaryFile(dir / "log.txt", std::string(10485760, 'x'));  // at the limit: not past it
    CLogWriter writer;
    writer.StartLog(dir.str());
    WriteLog(&writer, 1, "a", "f", 1, "crosses the limit");
    // Asked without throwing: the file may be renamed between any two looks.
    ASSERT_TRUE(WaitFor([&] {
        std::error_code gone;
        const auto size = fs::file_size(dir / "log.txt", gone);
        return gone || size < 1000;
    }));
    WriteLog(&writer, 1, "a", "f", 2, "goes to the new file");
    DrainAndStop(writer);

    std::vector<fs::path> rotated;
    for (const auto& entry : fs::directory_iterator(dir.path()))
        if (entry.path().filename() != "log.txt") rotated.push_back(entry.path());
    ASSERT_EQ(rotated.size(), 1u);
    EXPECT_TRUE(std::regex_match(rotated[0].filename().string(), std::regex(R"(log_\d{14}\.txt)")))
        << rotated[0].filename();
    const std::string old = ReadBinaryFile(rotated[0]);
    EXPECT_GT(old.size(), 10485760u);
    EXPECT_NE(old.find("crosses the limit"), std::string::npos);
    const auto fresh = ReadLines(dir / "log.txt");
    ASSERT_EQ(fresh.size(), 1u);
    EXPECT_NE(fresh[0].find("goes to the new file"), std::string::npos);
}

TEST(LogWriterTest, CleanUpKeepsNineteenRotatedFilesAndNoForeignFileIsTouched) {
    TempDir dir;
    std::vector<std::string> old;
    for (int i = 0; i < 24; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "log_2020010100%02d%02d.txt", i / 60, i % 60);
        old.push_back(name);
        testsupport::WriteBinaryFile(dir / name, "old");
    }
    const std::vector<std::string> foreign = {"notes.txt", "log_2020.txt", "log_2020010100000a.txt", "readme.TXT",
                                              "a.txt"};
    for (const auto& name : foreign) testsupport::WriteBinaryFile(dir / name, "keep me");
    testsupport::WriteBinaryFile(dir / "log.txt", std::string(10485761, 'x'));

    CLogWriter writer;
    writer.StartLog(dir.str());
    WriteLog(&writer, 1, "a", "f", 1, "rotate");
    ASSERT_TRUE(WaitFor([&] { return !fs::exists(dir / old[5]); }));
    DrainAndStop(writer);

    for (int i = 0; i < 6; ++i) EXPECT_FALSE(fs::exists(dir / old[i])) << old[i];
    for (int i = 6; i < 24; ++i) EXPECT_TRUE(fs::exists(dir / old[i])) << old[i];
    for (const auto& name : foreign) EXPECT_TRUE(fs::exists(dir / name)) << name;
    int rotated = 0;
    for (const auto& entry : fs::directory_iterator(dir.path()))
        rotated += std::regex_match(entry.path().filename().string(), std::regex(R"(log_\d{14}\.txt)"));
    EXPECT_EQ(rotated, 19);
}
