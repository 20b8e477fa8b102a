// The process-wide text log: callers format a line and queue it; one writer
// thread appends the queued lines to "log.txt" in the log directory, renames
// the file once it passes the size limit and keeps the number of rotated
// files bounded.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdarg>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <ostream>
#include <string>

#include "platform/thread.h"

struct LogRecord {
    std::string levelName;
    std::string sourceFile;  // the caller's file name after its last backslash
    std::string function;
    int32_t line = 0;
    std::string message;
    std::string timeStamp;  // "YYYY-MM-DD HH:MM:SS"
};

class CLogWriter {
public:
    static constexpr size_t kQueueBound = 100;  // producers wait above this many records
    static constexpr uint32_t kStopWaitMs = 3000;
    static constexpr uint32_t kIdleSleepMs = 50;

    CLogWriter();
    virtual ~CLogWriter();
    CLogWriter(const CLogWriter&) = delete;
    CLogWriter& operator=(const CLogWriter&) = delete;

    // Sets the log directory, creating it (one level) when it does not exist. Returns 0.
    int SetLogDir(const std::string& directory);
    // Sets the directory and the limits, then starts the writer thread unless running. Returns 0.
    int StartLog(const std::string& directory);
    // Ends the writer thread once it has written the records queued so far,
    // waiting for it at most kStopWaitMs (a stuck writer is let go). Returns 0.
    int StopLog();

    // Formats and queues one record (the body of WriteLog).
    void Write(uint32_t level, const char* sourceFile, const char* function, int32_t line, const char* format,
               va_list args);

    bool Running() const { return running_.load(); }
    // True while a writer thread runs, also one a stop has let go.
    bool WriterThreadAlive() const { return liveThreads_.load() != 0; }
    size_t QueuedCount() const { return queued_.load(); }
    std::string Directory() const;
    const std::string& FileName() const { return fileName_; }
    uint32_t MaximumSizeMiB() const { return maximumSizeMiB_.load(); }
    uint32_t KeepCount() const { return keepCount_.load(); }
    uint32_t MinimumLevel() const { return minimumLevel_.load(); }

    // Formats a record as one line without the line end.
    static std::string FormatLine(const LogRecord& record);

protected:
    // Writes one record to the live file; tests override it to stall or fail the writer.
    virtual void WriteRecord(std::ostream& stream, const LogRecord& record);

private:
    int LogThreadProc();
    void RunPasses(std::ofstream& stream);
    void DrainStopped(std::ofstream& stream);
    bool PopFront(LogRecord* record);
    std::string LivePath() const;
    void OpenStream(std::ofstream& stream) const;
    void RotateLogIfNeeded(std::ofstream& stream);
    void PurgeOldLogs(const std::string& directory);
    bool IsRotatedName(const std::string& name) const;

    const std::string fileName_ = "log.txt";
    mutable std::mutex directoryLock_;
    std::string directory_ = "./";
    std::atomic<uint32_t> maximumSizeMiB_{10};
    std::atomic<uint32_t> minimumLevel_{1};
    std::atomic<uint32_t> keepCount_{10};
    std::atomic<bool> running_{false};
    std::atomic<int> liveThreads_{0};
    platform::Thread thread_;

    std::map<uint32_t, std::string> levelNames_;  // touched under the producer lock only

    std::mutex producerLock_;
    std::condition_variable roomSignal_;
    std::mutex queueLock_;
    std::deque<LogRecord> queue_;
    std::atomic<size_t> queued_{0};
};

// The control's single log writer, built on first use and destroyed at unload.
CLogWriter& LogWriter();

// Queues one printf-formatted line at `level` when logging is started.
void WriteLog(CLogWriter* writer, uint32_t level, const char* sourceFile, const char* function, int32_t line,
              const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 6, 7)))
#endif
    ;

// Sends a printf-formatted text to the debugger output, whether or not logging is started.
void DebugTrace(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;
