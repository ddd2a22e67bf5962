// The debug stream every framework service reports to, and the command-line switch test.
#pragma once
#include <cstddef>

// Longest message the stream keeps; longer ones are cut (the adapter name line is the longest
// the framework writes, with a description of up to 511 characters).
constexpr size_t kLogBufferSize = 1024;

// Stores the command line for HasSwitch; argv[0] is the program itself.
void SetCommandLine(int argc, char** argv);
int CommandLineCount();
const char* CommandLineArg(int i);

// True when any argument after the program name is exactly this text (case-sensitive).
bool HasSwitch(const char* text);

// Folder of the running executable with a trailing '/', at most 260 characters in all.
void GetModuleFolder(char* buffer, size_t size);

// Starts the stream: with "-dbf" it goes to debug.txt beside the executable, else to stderr.
// From then on the platform's messages (platform/log_sink.h) go into the stream too.
bool InitDebugStream();
// printf-style; callers end lines with "\n" themselves. Safe from any thread: each message is
// formatted and written whole under one lock, so lines from different threads never mix.
void Log(const char* format, ...) __attribute__((format(printf, 1, 2)));
void LogSeparator();

// Where the stream goes ("" = debugger output, i.e. stderr). Tests point it elsewhere; like
// InitDebugStream it also makes the stream the platform's log sink.
void SetLogFilePath(const char* path);
const char* LogFilePath();
