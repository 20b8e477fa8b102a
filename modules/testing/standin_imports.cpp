// Stand-ins for the system functions a 32-bit module imports, over the C
// library and POSIX calls. kernel32.dll's are stdcall (the callee pops its
// arguments), msvcrt.dll's the C convention; every stand-in realigns the
// stack on entry (Windows code calls with 4-byte alignment).
#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "modules/testing/standin_module_platform.h"

#define WINAPI_STANDIN __attribute__((stdcall, force_align_arg_pointer))
#define CRT_STANDIN __attribute__((cdecl, force_align_arg_pointer))

namespace {

using BOOL = int32_t;
using DWORD = uint32_t;

constexpr DWORD kGenericRead = 0x80000000u, kGenericWrite = 0x40000000u;
constexpr DWORD kCreateNew = 1, kCreateAlways = 2, kOpenExisting = 3, kOpenAlways = 4, kTruncateExisting = 5;
constexpr DWORD kErrorFileNotFound = 2, kErrorAccessDenied = 5, kErrorInvalidHandle = 6, kErrorFileExists = 80;
constexpr DWORD kHeapZeroMemory = 0x8;
void* const kInvalidHandle = reinterpret_cast<void*>(-1);

thread_local DWORD lastError = 0;

// A file handle is the descriptor plus one, so that no handle is null.
void* HandleOf(int fd) { return reinterpret_cast<void*>(static_cast<intptr_t>(fd) + 1); }
int DescriptorOf(void* handle) { return static_cast<int>(reinterpret_cast<intptr_t>(handle)) - 1; }

DWORD ErrorOf(int error) {
    if (error == ENOENT || error == ENOTDIR) return kErrorFileNotFound;
    if (error == EEXIST) return kErrorFileExists;
    return kErrorAccessDenied;
}

int OpenFlags(DWORD access, DWORD disposition) {
    int flags = (access & kGenericWrite) ? ((access & kGenericRead) ? O_RDWR : O_WRONLY) : O_RDONLY;
    switch (disposition) {
        case kCreateNew: return flags | O_CREAT | O_EXCL;
        case kCreateAlways: return flags | O_CREAT | O_TRUNC;
        case kOpenAlways: return flags | O_CREAT;
        case kTruncateExisting: return flags | O_TRUNC;
        default: return flags;  // kOpenExisting
    }
}

std::string PosixPath(const char* path) {
    std::string p = path ? path : "";
    for (char& c : p) {
        if (c == '\\') c = '/';
    }
    return p;
}

// kernel32.dll

DWORD WINAPI_STANDIN GetLastErrorStandIn() { return lastError; }
void WINAPI_STANDIN SetLastErrorStandIn(DWORD error) { lastError = error; }
DWORD WINAPI_STANDIN GetCurrentProcessIdStandIn() { return static_cast<DWORD>(getpid()); }
DWORD WINAPI_STANDIN GetCurrentThreadIdStandIn() { return static_cast<DWORD>(gettid()); }

DWORD WINAPI_STANDIN GetTickCountStandIn() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<DWORD>(now.tv_sec * 1000u + now.tv_nsec / 1000000);
}
void WINAPI_STANDIN SleepStandIn(DWORD ms) { usleep(static_cast<useconds_t>(ms) * 1000); }
BOOL WINAPI_STANDIN QueryPerformanceFrequencyStandIn(int64_t* frequency) {
    *frequency = 1000000000;
    return 1;
}
BOOL WINAPI_STANDIN QueryPerformanceCounterStandIn(int64_t* counter) {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    *counter = int64_t{now.tv_sec} * 1000000000 + now.tv_nsec;
    return 1;
}
void WINAPI_STANDIN OutputDebugStringAStandIn(const char*) {}
BOOL WINAPI_STANDIN DisableThreadLibraryCallsStandIn(void*) { return 1; }

void* WINAPI_STANDIN CreateFileAStandIn(const char* name, DWORD access, DWORD, void*, DWORD disposition, DWORD,
                                        void*) {
    const int fd = open(PosixPath(name).c_str(), OpenFlags(access, disposition) | O_CLOEXEC, 0644);
    if (fd < 0) {
        lastError = ErrorOf(errno);
        return kInvalidHandle;
    }
    lastError = 0;
    return HandleOf(fd);
}
BOOL WINAPI_STANDIN ReadFileStandIn(void* file, void* buffer, DWORD size, DWORD* done, void*) {
    const ssize_t got = read(DescriptorOf(file), buffer, size);
    if (done) *done = got > 0 ? static_cast<DWORD>(got) : 0;
    if (got < 0) lastError = kErrorInvalidHandle;
    return got >= 0;
}
BOOL WINAPI_STANDIN WriteFileStandIn(void* file, const void* buffer, DWORD size, DWORD* done, void*) {
    const ssize_t put = write(DescriptorOf(file), buffer, size);
    if (done) *done = put > 0 ? static_cast<DWORD>(put) : 0;
    if (put < 0) lastError = kErrorInvalidHandle;
    return put >= 0;
}
BOOL WINAPI_STANDIN CloseHandleStandIn(void* handle) { return close(DescriptorOf(handle)) == 0; }
DWORD WINAPI_STANDIN GetFileSizeStandIn(void* file, DWORD* high) {
    struct stat st{};
    if (fstat(DescriptorOf(file), &st) != 0) return 0xFFFFFFFFu;
    if (high) *high = static_cast<DWORD>(static_cast<uint64_t>(st.st_size) >> 32);
    return static_cast<DWORD>(st.st_size);
}
DWORD WINAPI_STANDIN SetFilePointerStandIn(void* file, int32_t distance, int32_t* high, DWORD method) {
    const int64_t offset = high ? (int64_t{*high} << 32) | static_cast<uint32_t>(distance) : distance;
    const off_t at = lseek(DescriptorOf(file), static_cast<off_t>(offset), static_cast<int>(method));
    if (at < 0) return 0xFFFFFFFFu;
    if (high) *high = static_cast<int32_t>(static_cast<int64_t>(at) >> 32);
    return static_cast<DWORD>(at);
}
BOOL WINAPI_STANDIN DeleteFileAStandIn(const char* name) { return unlink(PosixPath(name).c_str()) == 0; }

void* WINAPI_STANDIN GetProcessHeapStandIn() { return reinterpret_cast<void*>(1); }
void* WINAPI_STANDIN HeapAllocStandIn(void*, DWORD flags, size_t size) {
    return (flags & kHeapZeroMemory) ? std::calloc(1, size ? size : 1) : std::malloc(size ? size : 1);
}
BOOL WINAPI_STANDIN HeapFreeStandIn(void*, DWORD, void* block) {
    std::free(block);
    return 1;
}
void* WINAPI_STANDIN HeapReAllocStandIn(void*, DWORD, void* block, size_t size) {
    return std::realloc(block, size ? size : 1);
}

// A CRITICAL_SECTION (24 bytes) holds a pointer to a recursive mutex in its first word.
void WINAPI_STANDIN InitializeCriticalSectionStandIn(void** section) {
    auto* mutex = static_cast<pthread_mutex_t*>(std::malloc(sizeof(pthread_mutex_t)));
    pthread_mutexattr_t attributes;
    pthread_mutexattr_init(&attributes);
    pthread_mutexattr_settype(&attributes, PTHREAD_MUTEX_RECURSIVE);
    pthread_mutex_init(mutex, &attributes);
    pthread_mutexattr_destroy(&attributes);
    *section = mutex;
}
void WINAPI_STANDIN EnterCriticalSectionStandIn(void** section) {
    pthread_mutex_lock(static_cast<pthread_mutex_t*>(*section));
}
void WINAPI_STANDIN LeaveCriticalSectionStandIn(void** section) {
    pthread_mutex_unlock(static_cast<pthread_mutex_t*>(*section));
}
void WINAPI_STANDIN DeleteCriticalSectionStandIn(void** section) {
    pthread_mutex_destroy(static_cast<pthread_mutex_t*>(*section));
    std::free(*section);
    *section = nullptr;
}

// msvcrt.dll: the C library's own functions behind a realigning wrapper.
template <auto F>
struct Crt;
template <typename R, typename... A, R (*F)(A...)>
struct Crt<F> {
    static R CRT_STANDIN Call(A... a) { return F(a...); }
};
template <auto F>
void* CrtAddress() {
    return reinterpret_cast<void*>(&Crt<F>::Call);
}

using D1 = double (*)(double);
using D2 = double (*)(double, double);

int CRT_STANDIN SprintfStandIn(char* buffer, const char* format, ...) {
    va_list args;
    va_start(args, format);
    const int n = std::vsprintf(buffer, format, args);
    va_end(args);
    return n;
}
// msvcrt's _snprintf: no terminator and -1 when the text does not fit.
int CRT_STANDIN SnprintfStandIn(char* buffer, size_t size, const char* format, ...) {
    va_list args;
    va_start(args, format);
    const int n = std::vsnprintf(buffer, size, format, args);
    va_end(args);
    return (n < 0 || static_cast<size_t>(n) >= size) ? -1 : n;
}
int CRT_STANDIN PrintfStandIn(const char* format, ...) {
    va_list args;
    va_start(args, format);
    const int n = std::vprintf(format, args);
    va_end(args);
    return n;
}
FILE* CRT_STANDIN FopenStandIn(const char* name, const char* mode) { return std::fopen(PosixPath(name).c_str(), mode); }
int* CRT_STANDIN ErrnoStandIn() { return &errno; }

}  // namespace

void AddKernel32StandIns(StandInModulePlatform& p) {
    const char* k = "kernel32.dll";
    const auto add = [&](const char* name, auto function) { p.AddFunction(k, name, reinterpret_cast<void*>(function)); };
    add("GetLastError", &GetLastErrorStandIn);
    add("SetLastError", &SetLastErrorStandIn);
    add("GetCurrentProcessId", &GetCurrentProcessIdStandIn);
    add("GetCurrentThreadId", &GetCurrentThreadIdStandIn);
    add("GetTickCount", &GetTickCountStandIn);
    add("Sleep", &SleepStandIn);
    add("QueryPerformanceFrequency", &QueryPerformanceFrequencyStandIn);
    add("QueryPerformanceCounter", &QueryPerformanceCounterStandIn);
    add("OutputDebugStringA", &OutputDebugStringAStandIn);
    add("DisableThreadLibraryCalls", &DisableThreadLibraryCallsStandIn);
    add("CreateFileA", &CreateFileAStandIn);
    add("ReadFile", &ReadFileStandIn);
    add("WriteFile", &WriteFileStandIn);
    add("CloseHandle", &CloseHandleStandIn);
    add("GetFileSize", &GetFileSizeStandIn);
    add("SetFilePointer", &SetFilePointerStandIn);
    add("DeleteFileA", &DeleteFileAStandIn);
    add("GetProcessHeap", &GetProcessHeapStandIn);
    add("HeapAlloc", &HeapAllocStandIn);
    add("HeapFree", &HeapFreeStandIn);
    add("HeapReAlloc", &HeapReAllocStandIn);
    add("InitializeCriticalSection", &InitializeCriticalSectionStandIn);
    add("EnterCriticalSection", &EnterCriticalSectionStandIn);
    add("LeaveCriticalSection", &LeaveCriticalSectionStandIn);
    add("DeleteCriticalSection", &DeleteCriticalSectionStandIn);
}

void AddMsvcrtStandIns(StandInModulePlatform& p) {
    const char* m = "msvcrt.dll";
    const auto add = [&](const char* name, void* function) { p.AddFunction(m, name, function); };
    add("malloc", CrtAddress<&std::malloc>());
    add("calloc", CrtAddress<&std::calloc>());
    add("realloc", CrtAddress<&std::realloc>());
    add("free", CrtAddress<&std::free>());
    add("memcpy", CrtAddress<&std::memcpy>());
    add("memmove", CrtAddress<&std::memmove>());
    add("memset", CrtAddress<&std::memset>());
    add("memcmp", CrtAddress<&std::memcmp>());
    add("strlen", CrtAddress<&std::strlen>());
    add("strcmp", CrtAddress<&std::strcmp>());
    add("strncmp", CrtAddress<&std::strncmp>());
    add("strcpy", CrtAddress<&std::strcpy>());
    add("strncpy", CrtAddress<&std::strncpy>());
    add("strcat", CrtAddress<&std::strcat>());
    add("atoi", CrtAddress<&std::atoi>());
    add("abs", CrtAddress<static_cast<int (*)(int)>(&std::abs)>());
    add("qsort", CrtAddress<&std::qsort>());
    add("fclose", CrtAddress<&std::fclose>());
    add("fread", CrtAddress<&std::fread>());
    add("fwrite", CrtAddress<&std::fwrite>());
    add("fseek", CrtAddress<&std::fseek>());
    add("ftell", CrtAddress<&std::ftell>());
    add("sqrt", CrtAddress<static_cast<D1>(&std::sqrt)>());
    add("sin", CrtAddress<static_cast<D1>(&std::sin)>());
    add("cos", CrtAddress<static_cast<D1>(&std::cos)>());
    add("tan", CrtAddress<static_cast<D1>(&std::tan)>());
    add("atan", CrtAddress<static_cast<D1>(&std::atan)>());
    add("exp", CrtAddress<static_cast<D1>(&std::exp)>());
    add("log", CrtAddress<static_cast<D1>(&std::log)>());
    add("log10", CrtAddress<static_cast<D1>(&std::log10)>());
    add("floor", CrtAddress<static_cast<D1>(&std::floor)>());
    add("ceil", CrtAddress<static_cast<D1>(&std::ceil)>());
    add("fabs", CrtAddress<static_cast<D1>(&std::fabs)>());
    add("atan2", CrtAddress<static_cast<D2>(&std::atan2)>());
    add("pow", CrtAddress<static_cast<D2>(&std::pow)>());
    add("fmod", CrtAddress<static_cast<D2>(&std::fmod)>());
    add("sprintf", reinterpret_cast<void*>(&SprintfStandIn));
    add("_snprintf", reinterpret_cast<void*>(&SnprintfStandIn));
    add("printf", reinterpret_cast<void*>(&PrintfStandIn));
    add("fopen", reinterpret_cast<void*>(&FopenStandIn));
    add("_errno", reinterpret_cast<void*>(&ErrnoStandIn));
}
