#include "foundation/run_time_error.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "foundation/resource_provider.h"

const char kSupportAddress[] = "support@vela-installer.org";

bool reportInProgress = false;
TResourceProvider* ResourceProvider = nullptr;

namespace {

// The report text has room for 999 characters.
constexpr int kReportCapacity = 1000;
// The converted text may grow (OEM letters become multi-byte UTF-8 on Linux),
// and a suffix is appended after the conversion.
constexpr int kShownCapacity = 3 * kReportCapacity + 64;

FatalReportHandler fatalHandler = nullptr;
RunTimeErrorDisplay* display = nullptr;

RunTimeErrorDisplay& Display() {
    return display != nullptr ? *display : DefaultRunTimeErrorDisplay();
}

// Appends one record to "error.lst": the ctime line, the report text, a line end
// and an empty line. A log that cannot be written is silently skipped.
void AppendLogRecord(const char* text) {
    std::time_t now = std::time(nullptr);
    const char* stamp = std::ctime(&now);  // 24 characters and a line feed
    std::FILE* log = std::fopen("error.lst", "a");
    if (log == nullptr)
        return;
    std::fputs(stamp != nullptr ? stamp : "??? ??? ?? ??:??:?? ????\n", log);
    std::fflush(log);
    std::fputs(text, log);
    std::fputc('\n', log);
    std::fflush(log);
    std::fputc('\n', log);
    std::fflush(log);
    std::fclose(log);
}

// Builds the box text: the report converted from the OEM code page, then the
// suffix, which is not converted.
void ComposeShownText(char* shown, const char* text, const char* suffix) {
    std::snprintf(shown, kShownCapacity, "%s", text);
    Display().OemToDisplay(shown, kShownCapacity - 64);
    size_t used = std::strlen(shown);
    std::snprintf(shown + used, kShownCapacity - used, "%s", suffix);
}

[[noreturn]] void TerminateAbnormally() {
#ifdef _WIN32
    std::abort();  // the C run-time's abort: its notice, then exit status 3
#else
    // Linux's abort would end the process by a signal; keep the exit status of
    // the Windows run-time so that both behave alike.
    std::fputs("\nabnormal program termination\n", stderr);
    std::fflush(nullptr);
    std::_Exit(3);
#endif
}

void Dispatch(const RunTimeReport& report, bool fatal) {
    if (fatal && fatalHandler != nullptr) {
        fatalHandler(report);  // leaves by throwing; returns only to fall through
    }

    AppendLogRecord(report.text);

    static char shown[kShownCapacity];
    if (reportInProgress) {
        Display().Beep();
        ComposeShownText(shown, report.text, "\nApplication will be terminated.");
        Display().ShowBox("Critical run-time error!", shown, RunTimeErrorDisplay::StyleOk);
        TerminateAbnormally();
    }
    reportInProgress = true;

    if (fatal && ResourceProvider != nullptr)
        ResourceProvider->Release();

    Display().Beep();
    if (fatal) {
        ComposeShownText(shown, report.text, "\nApplication will be closed.");
        Display().ShowBox("Run-time error", shown, RunTimeErrorDisplay::StyleOk);
        std::exit(1);
    }
    ComposeShownText(shown, report.text, "\nClose application?");
    if (Display().ShowBox("Run-time error", shown, RunTimeErrorDisplay::StyleYesNo) != RunTimeErrorDisplay::No)
        std::exit(1);
    reportInProgress = false;
}

}  // namespace

void FormatRunTimeReport(char* out, int outSize, const char* module, int32_t line, const char* message) {
    std::snprintf(out, static_cast<size_t>(outSize), "File %s, line %d:\n%s\nPlease report to %s",
                  module != nullptr ? module : "", static_cast<int>(line), message != nullptr ? message : "",
                  kSupportAddress);
}

void ReportError(const char* module, int32_t line, const char* message, bool fatal) {
    char text[kReportCapacity];
    FormatRunTimeReport(text, sizeof text, module, line, message);
    Dispatch(RunTimeReport{module, line, message, text}, fatal);
}

void ShowRunTimeError(const char* text, bool fatal) {
    Dispatch(RunTimeReport{nullptr, 0, nullptr, text}, fatal);
}

FatalReportHandler SetFatalReportHandler(FatalReportHandler handler) {
    FatalReportHandler previous = fatalHandler;
    fatalHandler = handler;
    return previous;
}

RunTimeErrorDisplay* SetRunTimeErrorDisplay(RunTimeErrorDisplay* newDisplay) {
    RunTimeErrorDisplay* previous = display;
    display = newDisplay;
    return previous;
}
