#include "framework/debug_log.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>

#include "platform/log_sink.h"
#include "platform/system.h"

namespace {
constexpr size_t kMaxPath = 260;
char logFilePath[kMaxPath] = "";
char messageBuffer[kLogBufferSize];
// Messages come from the main thread and, through the platform's sink, from the audio thread:
// formatting into the shared buffer, the file's path and each write happen under this lock.
std::mutex logLock;
int argCount = 0;
char** argValues = nullptr;

// Writes one finished message where the stream goes; the caller holds logLock.
void WriteMessage(const char* text) {
    if (logFilePath[0] == '\0') {
        SysDebugOutput(text);
        return;
    }
    // One open-write-close per message: the file is complete up to the last message even if the
    // program dies. A file that cannot be opened loses the message and the game goes on.
    FILE* f = std::fopen(logFilePath, "a");
    if (!f) return;
    std::fputs(text, f);
    std::fclose(f);
}

// The platform's messages, already formatted on the reporting thread's stack.
void WritePlatformMessage(const char* text) {
    std::lock_guard<std::mutex> hold(logLock);
    WriteMessage(text);
}
}  // namespace

void SetCommandLine(int argc, char** argv) {
    argCount = argc;
    argValues = argv;
}

int CommandLineCount() { return argCount; }

const char* CommandLineArg(int i) { return (i >= 0 && i < argCount) ? argValues[i] : nullptr; }

bool HasSwitch(const char* text) {
    if (!text) return false;
    for (int i = 1; i < argCount; ++i) {
        if (argValues[i] && std::strcmp(argValues[i], text) == 0) return true;
    }
    return false;
}

void GetModuleFolder(char* buffer, size_t size) {
    if (!buffer || size == 0) return;
    buffer[0] = '\0';
    std::string path = SysExecutablePath();
    size_t slash = path.rfind('/');
    if (slash == std::string::npos) return;
    path.resize(slash + 1);
    if (path.size() >= size || path.size() >= kMaxPath) return;
    std::memcpy(buffer, path.c_str(), path.size() + 1);
}

void SetLogFilePath(const char* path) {
    {
        std::lock_guard<std::mutex> hold(logLock);
        std::snprintf(logFilePath, sizeof(logFilePath), "%s", path ? path : "");
    }
    SetLogSink(WritePlatformMessage);
}

const char* LogFilePath() { return logFilePath; }

void Log(const char* format, ...) {
    std::lock_guard<std::mutex> hold(logLock);
    va_list args;
    va_start(args, format);
    // vsnprintf stops at the buffer's end: an over-long message is cut, never overflows.
    std::vsnprintf(messageBuffer, sizeof(messageBuffer), format, args);
    va_end(args);
    WriteMessage(messageBuffer);
}

void LogSeparator() { Log("----------------------------------------\n"); }

bool InitDebugStream() {
    SetLogSink(WritePlatformMessage);
    if (HasSwitch("-dbf")) {
        char folder[kMaxPath];
        GetModuleFolder(folder, sizeof(folder));
        std::string path = std::string(folder) + "debug.txt";
        if (path.size() < kMaxPath) SetLogFilePath(path.c_str());
    }
    LogSeparator();
    Log("InitDebugStream\n");
    SysInfo info = SysQueryInfo();
    Log("%4d/%02d/%02d  %02d:%02d\n", info.year, info.month, info.day, info.hour, info.minute);
    // Linux has no platform identifier of its own; the kernel's name and release stand in.
    Log("OS = ID %d ver,%d.%d build %d\n", 0, info.osMajor, info.osMinor, info.osBuild);
    Log("利用可能／搭載メモリ = %d/%d MB\n", static_cast<int>(info.memAvailable >> 20),
        static_cast<int>(info.memTotal >> 20));
    return true;
}
