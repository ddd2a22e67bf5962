// Where platform/ reports. The stand-ins know nothing of the framework: their messages go to one
// routine pointer, which the framework points at its debug stream when the stream starts. With no
// sink installed the messages go to stderr.
#pragma once

// Receives one finished message (lines end with "\n" as the caller wrote them). It is called from
// whichever thread reports, SDL's audio thread included (FluidSynth reports from inside the mix),
// so it must be safe to call from any thread.
using LogSinkProc = void (*)(const char* text);

// Installs the sink for every message; null sends the messages to stderr again.
void SetLogSink(LogSinkProc sink);
// Installs one sink for the ordinary messages and another for warnings (a service that fails, a
// file that cannot be written), which the framework also shows on the terminal.
void SetLogSinks(LogSinkProc info, LogSinkProc warning);

// printf-style. The message is formatted on the caller's own stack (cut at kLogSinkMessageSize - 1
// characters) and handed to the sink, so any thread may report at any time.
constexpr int kLogSinkMessageSize = 1024;
void PlatformLog(const char* format, ...) __attribute__((format(printf, 1, 2)));
// The same for a warning: something the player may have to act on.
void PlatformWarning(const char* format, ...) __attribute__((format(printf, 1, 2)));
