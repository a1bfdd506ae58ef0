// Run-time error reporting: the single way the foundation library and the codecs
// report broken invariants and corrupt data.
//
// ReportError(module, line, message, fatal) formats
//     "File <module>, line <line>:\n<message>\nPlease report to <support address>"
// and hands it to ShowRunTimeError, which
//   1. appends a record to "error.lst" in the current folder (ctime line, text,
//      empty line), for every report, before anything is shown;
//   2. when another report is already in progress, beeps, shows "Critical
//      run-time error!" and terminates at once with exit status 3;
//   3. otherwise marks a report in progress; a fatal report releases the
//      resource provider, beeps, shows "Run-time error" and exits with status 1;
//      a non-fatal one asks "Close application?" and returns when the answer is No.
//
// A program that must survive a fatal report (the packaging tool reporting a
// damaged entry, a fuzzer) installs a FatalReportHandler. The handler receives the
// report instead of steps 1 to 3 and leaves by throwing (see
// foundation/fatal_report_exception.h); if it returns, the default path runs.
#pragma once
#include <cstdint>

extern const char kSupportAddress[];

// True from the moment a report is shown until the process ends or the user
// chooses to continue after a non-fatal report.
extern bool reportInProgress;

void ReportError(const char* module, int32_t line, const char* message, bool fatal);
void ShowRunTimeError(const char* text, bool fatal);

// Formats the report text into out (at most outSize - 1 bytes, always
// NUL-terminated); a message too long for the 999-byte report is cut short.
void FormatRunTimeReport(char* out, int outSize, const char* module, int32_t line, const char* message);

struct RunTimeReport {
    const char* module;  // nullptr when ShowRunTimeError was called directly
    int32_t line;
    const char* message;  // nullptr when ShowRunTimeError was called directly
    const char* text;     // the formatted report text
};
using FatalReportHandler = void (*)(const RunTimeReport& report);

// Installs a handler for fatal reports (nullptr restores the default) and
// returns the previous one.
FatalReportHandler SetFatalReportHandler(FatalReportHandler handler);

// How a report reaches the user. The default display is the real Win32 one on
// Windows (MessageBeep, MessageBoxA, OemToCharA) and standard error elsewhere;
// tests install their own.
class RunTimeErrorDisplay {
public:
    enum Answer { Ok, Yes, No };
    // Message box styles, the Win32 flag values.
    static constexpr unsigned StyleOk = 0x12010;     // MB_OK|MB_ICONHAND|MB_TASKMODAL|MB_SETFOREGROUND
    static constexpr unsigned StyleYesNo = 0x12014;  // MB_YESNO|MB_ICONHAND|MB_TASKMODAL|MB_SETFOREGROUND

    virtual ~RunTimeErrorDisplay() = default;
    virtual void Beep() = 0;
    // Converts text in place from the OEM code page to the display code page.
    // The result must fit in capacity bytes including the NUL.
    virtual void OemToDisplay(char* text, int capacity) = 0;
    virtual Answer ShowBox(const char* caption, const char* text, unsigned style) = 0;
};

RunTimeErrorDisplay& DefaultRunTimeErrorDisplay();
// Replaces the display (nullptr restores the default); returns the previous one.
RunTimeErrorDisplay* SetRunTimeErrorDisplay(RunTimeErrorDisplay* display);
