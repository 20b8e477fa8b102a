#include "log/log_writer.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <vector>

#include "platform/clock.h"
#include "platform/files.h"

namespace {

std::string FormatTime(const char* pattern) {
    std::tm local{};
    char text[20] = {};
    if (platform::LocalTime(std::time(nullptr), &local)) std::strftime(text, sizeof text, pattern, &local);
    return text;
}

std::string AfterLastBackslash(const char* path) {
    const std::string text = path ? path : "";
    const size_t cut = text.find_last_of('\\');
    return cut == std::string::npos ? text : text.substr(cut + 1);
}

std::string FormatMessage(const char* format, va_list args) {
    if (!format) return std::string();
    va_list measure;
    va_copy(measure, args);
    const int length = std::vsnprintf(nullptr, 0, format, measure);
    va_end(measure);
    if (length <= 0) return std::string();
    std::vector<char> text(static_cast<size_t>(length) + 1);
    std::vsnprintf(text.data(), text.size(), format, args);
    return std::string(text.data(), static_cast<size_t>(length));
}

}  // namespace

CLogWriter::CLogWriter()
    : levelNames_{{1, "DEBUG"}, {2, "INFO"}, {3, "WARN"}, {4, "ERROR"}, {5, "CRITIC"}} {}

CLogWriter::~CLogWriter() {
    // Unloading must not wait on the writer: it is told to stop and let go.
    if (running_.exchange(false)) thread_.Release();
}

std::string CLogWriter::Directory() const {
    std::lock_guard<std::mutex> lock(directoryLock_);
    return directory_;
}

int CLogWriter::SetLogDir(const std::string& directory) {
    {
        std::lock_guard<std::mutex> lock(directoryLock_);
        directory_ = directory;
    }
    if (!directory.empty() && !platform::PathExists(directory)) platform::MakeDirectory(directory);
    return 0;
}

int CLogWriter::StartLog(const std::string& directory) {
    SetLogDir(directory);
    minimumLevel_ = 1;
    maximumSizeMiB_ = 10;
    keepCount_ = 20;
    if (running_.exchange(true)) return 0;
    thread_.Join(0);  // a writer let go by an earlier stop is not held any longer
    ++liveThreads_;
    if (!thread_.Start([this] {
            LogThreadProc();
            --liveThreads_;  // the last access to the writer
        })) {
        --liveThreads_;
        running_ = false;
    }
    return 0;
}

int CLogWriter::StopLog() {
    // The writer drains what is queued now before it ends.
    running_ = false;
    // A writer that does not end in time is let go; it closes its own file
    // when it leaves its loop, so the file is never closed under its feet.
    thread_.Join(kStopWaitMs);
    return 0;
}

void CLogWriter::Write(uint32_t level, const char* sourceFile, const char* function, int32_t line,
                       const char* format, va_list args) {
    if (level < minimumLevel_.load()) return;
    if (!running_.load() || Directory().empty()) return;

    std::unique_lock<std::mutex> producer(producerLock_);
    // Bounded wait slices: a wake-up sent between the test and the wait, or a
    // writer that has ended, never leaves a producer waiting for ever.
    while (queued_.load() > kQueueBound && running_.load())
        roomSignal_.wait_for(producer, std::chrono::milliseconds(kIdleSleepMs));

    LogRecord record;
    record.message = FormatMessage(format, args);
    record.timeStamp = FormatTime("%Y-%m-%d %H:%M:%S");
    record.levelName = levelNames_[level];
    record.function = function ? function : "";
    record.sourceFile = AfterLastBackslash(sourceFile);
    record.line = line;

    std::lock_guard<std::mutex> queue(queueLock_);
    queue_.push_back(std::move(record));
    queued_ = queue_.size();
}

std::string CLogWriter::FormatLine(const LogRecord& record) {
    std::string line;
    line.reserve(record.message.size() + record.function.size() + record.sourceFile.size() + 48);
    line += "[";
    line += record.timeStamp;
    line += "] [";
    line += record.levelName;
    line += "] ";
    line += record.message;
    line += " [";
    line += record.sourceFile;
    line += "(";
    line += std::to_string(record.line);
    line += "):";
    line += record.function;
    line += "]";
    return line;
}

void CLogWriter::WriteRecord(std::ostream& stream, const LogRecord& record) {
    stream << FormatLine(record) << '\n';
    stream.flush();
}

std::string CLogWriter::LivePath() const { return Directory() + "/" + fileName_; }

void CLogWriter::OpenStream(std::ofstream& stream) const {
    // Text mode: line ends become CR LF on Windows; bytes pass unchanged otherwise.
    stream.clear();
    stream.open(LivePath(), std::ios::out | std::ios::app);
}

bool CLogWriter::PopFront(LogRecord* record) {
    std::lock_guard<std::mutex> lock(queueLock_);
    if (queue_.empty()) return false;
    *record = std::move(queue_.front());
    queue_.pop_front();
    queued_ = queue_.size();
    return true;
}

int CLogWriter::LogThreadProc() {
    if (Directory().empty() || fileName_.empty()) return -2;
    std::ofstream stream;
    try {
        OpenStream(stream);
        RunPasses(stream);
        DrainStopped(stream);
    } catch (...) {
        // The writer has ended for good: producers must stop waiting for it.
        running_ = false;
        roomSignal_.notify_all();
    }
    if (stream.is_open()) stream.close();
    return 0;
}

void CLogWriter::RunPasses(std::ofstream& stream) {
    while (running_.load()) {
        if (queued_.load() == 0) platform::SleepMs(kIdleSleepMs);
        if (queued_.load() < kQueueBound) roomSignal_.notify_all();
        if (!stream.is_open()) {
            OpenStream(stream);
            continue;
        }
        LogRecord record;
        if (PopFront(&record)) WriteRecord(stream, record);
        RotateLogIfNeeded(stream);
    }
}

void CLogWriter::DrainStopped(std::ofstream& stream) {
    // The records queued when the stop came are the session's last lines
    // (a failed IrisInit followed by IrisClose, for one). A restart hands
    // whatever is left to the new writer.
    for (size_t left = queued_.load(); left > 0 && !running_.load(); --left) {
        if (!stream.is_open()) OpenStream(stream);
        if (!stream.is_open()) return;
        LogRecord record;
        if (!PopFront(&record)) return;
        WriteRecord(stream, record);
        RotateLogIfNeeded(stream);
    }
}

void CLogWriter::RotateLogIfNeeded(std::ofstream& stream) {
    if (!stream.is_open()) return;
    stream.seekp(0, std::ios::end);
    const std::streamoff size = stream.tellp();
    if (size <= static_cast<std::streamoff>(maximumSizeMiB_.load()) * 1048576) return;

    const std::string directory = Directory();
    const size_t dot = fileName_.find('.');
    const std::string stem = fileName_.substr(0, dot);
    const std::string extension = dot == std::string::npos ? std::string() : fileName_.substr(dot);
    const std::string rotated = directory + "/" + stem + "_" + FormatTime("%Y%m%d%H%M%S") + extension;

    stream.close();
    platform::RenameFile(directory + "/" + fileName_, rotated);
    PurgeOldLogs(directory);
}

bool CLogWriter::IsRotatedName(const std::string& name) const {
    const size_t dot = fileName_.find('.');
    const std::string stem = fileName_.substr(0, dot) + "_";
    const std::string extension = dot == std::string::npos ? std::string() : fileName_.substr(dot);
    if (name.size() != stem.size() + 14 + extension.size()) return false;
    if (name.compare(0, stem.size(), stem) != 0) return false;
    if (name.compare(name.size() - extension.size(), extension.size(), extension) != 0) return false;
    const auto digits = name.begin() + static_cast<std::ptrdiff_t>(stem.size());
    return std::all_of(digits, digits + 14, [](char c) { return c >= '0' && c <= '9'; });
}

void CLogWriter::PurgeOldLogs(const std::string& directory) {
    // Only files of the rotated form are ours: the host's directory may hold
    // other ".txt" files.
    std::vector<std::string> names;
    for (const std::string& name : platform::ListDirectory(directory))
        if (IsRotatedName(name)) names.push_back(name);
    std::sort(names.begin(), names.end());
    const size_t keep = keepCount_.load();
    if (keep == 0 || names.size() < keep) return;
    const size_t excess = names.size() - keep + 1;
    for (size_t i = 0; i < excess; ++i) platform::RemoveFile(directory + "/" + names[i]);
}

CLogWriter& LogWriter() {
    static CLogWriter writer;
    return writer;
}

void WriteLog(CLogWriter* writer, uint32_t level, const char* sourceFile, const char* function, int32_t line,
              const char* format, ...) {
    if (!writer) return;
    va_list args;
    va_start(args, format);
    writer->Write(level, sourceFile, function, line, format, args);
    va_end(args);
}
