#include "platform/log_sink.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>

namespace {
// Read on the audio thread while the main thread may install the sinks.
std::atomic<LogSinkProc> infoSink{nullptr};
std::atomic<LogSinkProc> warningSink{nullptr};

void Report(std::atomic<LogSinkProc>& sink, const char* format, va_list args) {
    char message[kLogSinkMessageSize];
    std::vsnprintf(message, sizeof(message), format, args);
    if (LogSinkProc proc = sink.load()) {
        proc(message);
    } else {
        std::fputs(message, stderr);
    }
}
}  // namespace

void SetLogSink(LogSinkProc proc) { SetLogSinks(proc, proc); }

void SetLogSinks(LogSinkProc info, LogSinkProc warning) {
    infoSink.store(info);
    warningSink.store(warning);
}

void PlatformLog(const char* format, ...) {
    va_list args;
    va_start(args, format);
    Report(infoSink, format, args);
    va_end(args);
}

void PlatformWarning(const char* format, ...) {
    va_list args;
    va_start(args, format);
    Report(warningSink, format, args);
    va_end(args);
}
