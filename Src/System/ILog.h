#pragma once

#include <cstdarg>

namespace System {

// Syslog severities.
enum LogLevel : int {
    Emergency = 0,
    Alert = 1,
    Critical = 2,
    Error = 3,
    Warn = 4,
    Notice = 5,
    Information = 6,
    Debug = 7,
};

// The program's log: every failure it meets is written here, one line (or one multi-line
// entry) at a time. Safe to call from any thread.
class ILog {
public:
    virtual ~ILog() = default;
    // printf-style with a wide format; the formatted text is written as it is.
    virtual void WriteWide(int level, const wchar_t* format, ...) = 0;
    // printf-style with a narrow (UTF-8) format.
    virtual void Write(int level, const char* format, ...) __attribute__((format(printf, 3, 4))) = 0;
    virtual void SetLevel(int level) = 0;
    // Writes an already formatted message (UTF-8) as it is: a '%' in it stays a '%'.
    virtual void WriteText(int level, const char* message) = 0;
};

// The process-wide log, created on first use.
ILog& Log();

// Tests install their own log (nullptr restores the process-wide one).
void SetLogForTesting(ILog* log);

// Writes the entry for a failed system call: reads errno first, then writes
// "System error: <message>" with the file, function, line, error code and the system's text.
// The message is printf-formatted from `format`.
void ReportSystemError(const char* file, const char* function, int line, const char* format, ...)
    __attribute__((format(printf, 4, 5)));

// The same entry for a call that returned its error number instead of setting errno.
void ReportSystemErrorCode(int code, const char* file, const char* function, int line, const char* format, ...)
    __attribute__((format(printf, 5, 6)));

// Writes "Error calling pthread_create: <text of the error number>" at level 3; returns false.
bool ReportThreadStartError(int errorNumber);

}  // namespace System
