#include "framework/debug_log.h"

#include <unistd.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>

#include "platform/log_sink.h"
#include "platform/system.h"
#include "platform/user_dirs.h"

namespace {
constexpr size_t kMaxPath = 260;
// A line that never ends is not kept for the terminal beyond this.
constexpr size_t kMaxPendingLine = 4096;
char logFilePath[kMaxPath] = "";
char messageBuffer[kLogBufferSize];
// Messages come from the main thread and, through the platform's sink, from the audio thread:
// formatting into the shared buffer, the file's path and each write happen under this lock.
std::mutex logLock;
int argCount = 0;
char** argValues = nullptr;
// The unfinished line of the framework's messages, kept to decide what the terminal shows once
// the line ends ("load(x) ... " is a warning only if it does not end in "ok.").
std::string pendingLine;
bool pendingWarning = false;

bool ShownOnDebugOutput() {
    const char* verbose = std::getenv("KORVAN_VERBOSE");
    return verbose && *verbose && std::strcmp(verbose, "0") != 0;
}

// True while the stream itself is the terminal: a warning is then not written twice.
bool StreamIsTerminal() { return logFilePath[0] == '\0' && ShownOnDebugOutput(); }

void ShowOnTerminal(const char* line, size_t length) {
    std::fprintf(stderr, "korvan: %.*s\n", static_cast<int>(length), line);
    std::fflush(stderr);
}

// Writes one finished message where the stream goes; the caller holds logLock.
void WriteMessage(const char* text) {
    if (logFilePath[0] == '\0') {
        if (ShownOnDebugOutput()) std::fputs(text, stderr);
        return;
    }
    // One open-write-close per message: the file is complete up to the last message even if the
    // program dies. A file that cannot be opened loses the message and the game goes on.
    FILE* f = std::fopen(logFilePath, "a");
    if (!f) return;
    std::fputs(text, f);
    std::fclose(f);
}

bool IsFailedLoad(const std::string& line) {
    if (line.compare(0, 5, "load(") != 0) return false;
    return line.size() < 3 || line.compare(line.size() - 3, 3, "ok.") != 0;
}

// A framework message: into the stream, and its finished lines to the terminal when they warn.
// The caller holds logLock.
void WriteFrameworkMessage(const char* text, bool warning) {
    WriteMessage(text);
    pendingLine += text;
    pendingWarning = pendingWarning || warning;
    size_t end;
    while ((end = pendingLine.find('\n')) != std::string::npos) {
        const std::string line = pendingLine.substr(0, end);
        if ((pendingWarning || IsFailedLoad(line)) && !StreamIsTerminal()) ShowOnTerminal(line.data(), line.size());
        pendingLine.erase(0, end + 1);
        pendingWarning = warning && !pendingLine.empty();
    }
    if (pendingLine.size() > kMaxPendingLine) pendingLine.resize(kMaxPendingLine);
}

// The platform's messages, already formatted on the reporting thread's stack, always whole lines.
void WritePlatformMessage(const char* text) {
    std::lock_guard<std::mutex> hold(logLock);
    WriteMessage(text);
}

void WritePlatformWarning(const char* text) {
    std::lock_guard<std::mutex> hold(logLock);
    WriteMessage(text);
    if (StreamIsTerminal()) return;
    size_t length = std::strlen(text);
    while (length > 0 && text[length - 1] == '\n') --length;
    if (length > 0) ShowOnTerminal(text, length);
}

void InstallPlatformSinks() { SetLogSinks(WritePlatformMessage, WritePlatformWarning); }
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

bool DebugOutputShown() { return ShownOnDebugOutput(); }

void SetLogFilePath(const char* path) {
    {
        std::lock_guard<std::mutex> hold(logLock);
        std::snprintf(logFilePath, sizeof(logFilePath), "%s", path ? path : "");
        pendingLine.clear();
        pendingWarning = false;
    }
    InstallPlatformSinks();
}

const char* LogFilePath() { return logFilePath; }

void Log(const char* format, ...) {
    std::lock_guard<std::mutex> hold(logLock);
    va_list args;
    va_start(args, format);
    // vsnprintf stops at the buffer's end: an over-long message is cut, never overflows.
    std::vsnprintf(messageBuffer, sizeof(messageBuffer), format, args);
    va_end(args);
    WriteFrameworkMessage(messageBuffer, false);
}

void LogWarning(const char* format, ...) {
    std::lock_guard<std::mutex> hold(logLock);
    va_list args;
    va_start(args, format);
    std::vsnprintf(messageBuffer, sizeof(messageBuffer), format, args);
    va_end(args);
    WriteFrameworkMessage(messageBuffer, true);
}

void LogSeparator() { Log("----------------------------------------\n"); }

std::string DebugLogFolder() {
    char folder[kMaxPath];
    GetModuleFolder(folder, sizeof(folder));
    // An installed game's folder (/usr/bin) is not the player's to write: the log goes to the
    // user's state folder instead, where logs belong.
    if (folder[0] && access(folder, W_OK) == 0) return folder;
    const std::string state = UserDirectory(UserDir::kState, "korvan");
    return state.empty() ? std::string() : state + "/";
}

bool InitDebugStream() {
    InstallPlatformSinks();
    if (HasSwitch("-dbf")) {
        const std::string folder = DebugLogFolder();
        const std::string path = folder + "debug.txt";
        if (folder.empty() || path.size() >= kMaxPath) {
            LogWarning("-dbf: no folder for debug.txt can be written; the debug log is not kept\n");
        } else {
            SetLogFilePath(path.c_str());
        }
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
