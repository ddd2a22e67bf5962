// The debug stream every framework service reports to, and the command-line switch test.
#pragma once
#include <cstddef>
#include <string>

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

// Starts the stream: with "-dbf" it goes to debug.txt beside the executable, or, when that folder
// cannot be written (an installed game), to debug.txt in the user's state folder
// ($XDG_STATE_HOME/korvan). Without "-dbf" it goes to the debugger output. From then on the
// platform's messages (platform/log_sink.h) go into the stream too.
bool InitDebugStream();
// printf-style; callers end lines with "\n" themselves. Safe from any thread: each message is
// formatted and written whole under one lock, so lines from different threads never mix.
void Log(const char* format, ...) __attribute__((format(printf, 1, 2)));
// A line the player may have to act on (a service that fails, a file that cannot be written): it
// goes into the stream like any other and is also shown on the terminal, with the start of its
// line when it continues one ("load(x.bmp) ... " followed by the failure).
void LogWarning(const char* format, ...) __attribute__((format(printf, 1, 2)));
void LogSeparator();

// The terminal shows warnings only: a load line that ends in anything but "ok." and every
// LogWarning line, each as "korvan: <line>". The debugger output is the terminal only while
// KORVAN_VERBOSE is set (to anything but "" or "0"), as a debugger that listens would show it;
// otherwise the ordinary lines are seen only in the -dbf file.
bool DebugOutputShown();

// Where the stream goes ("" = debugger output). Tests point it elsewhere; like InitDebugStream it
// also makes the stream the platform's log sink.
void SetLogFilePath(const char* path);
const char* LogFilePath();
// The folder debug.txt goes to with "-dbf": the executable's own when it can be written, else the
// user's state folder; "" when neither can be had.
std::string DebugLogFolder();
