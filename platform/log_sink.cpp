#include "platform/log_sink.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>

namespace {
// Read on the audio thread while the main thread may install the sink.
std::atomic<LogSinkProc> sink{nullptr};
}  // namespace

void SetLogSink(LogSinkProc proc) { sink.store(proc); }

void PlatformLog(const char* format, ...) {
    char message[kLogSinkMessageSize];
    va_list args;
    va_start(args, format);
    std::vsnprintf(message, sizeof(message), format, args);
    va_end(args);
    if (LogSinkProc proc = sink.load()) {
        proc(message);
    } else {
        std::fputs(message, stderr);
    }
}
