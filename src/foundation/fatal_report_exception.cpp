#include "foundation/fatal_report_exception.h"

namespace {

void ThrowReport(const RunTimeReport& report) {
    throw FatalReportException(report.module != nullptr ? report.module : "",
                               report.line, report.message != nullptr ? report.message : report.text);
}

}  // namespace

FatalReportsThrow::FatalReportsThrow() : previous_(SetFatalReportHandler(ThrowReport)) {}

FatalReportsThrow::~FatalReportsThrow() {
    SetFatalReportHandler(previous_);
}
