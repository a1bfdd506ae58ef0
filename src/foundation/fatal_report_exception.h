// For programs that must keep going after a fatal run-time report (the packaging
// tool, fuzzers, tests): while a FatalReportsThrow object lives, a fatal report
// throws FatalReportException instead of logging, showing a box and exiting.
// The installer does not link this: it keeps the default behaviour.
#pragma once
#include <exception>
#include <string>

#include "foundation/run_time_error.h"

class FatalReportException : public std::exception {
public:
    FatalReportException(std::string module, int line, std::string message)
        : module_(std::move(module)), line_(line), message_(std::move(message)) {}
    const char* what() const noexcept override { return message_.c_str(); }
    const std::string& module() const { return module_; }
    int line() const { return line_; }
    const std::string& message() const { return message_; }

private:
    std::string module_;
    int line_;
    std::string message_;
};

class FatalReportsThrow {
public:
    FatalReportsThrow();
    ~FatalReportsThrow();
    FatalReportsThrow(const FatalReportsThrow&) = delete;
    FatalReportsThrow& operator=(const FatalReportsThrow&) = delete;

private:
    FatalReportHandler previous_;
};
