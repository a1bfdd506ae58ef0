// The packaging tool's command-line conventions, shared by all its commands.
//
//   vela <command> [options] [arguments]
//
// Messages go to standard error as "vela: <what>: <why>". Exit status 0 means
// success, 1 that the work failed or found damage, 2 wrong usage.
#pragma once
#include <string>
#include <string_view>
#include <vector>

namespace vela {

enum ExitStatus { ExitOk = 0, ExitFailed = 1, ExitUsage = 2 };

struct Command {
    const char* name;
    const char* summary;  // one line for "vela help"
    const char* usage;    // full text for "vela help <command>" and "--help"
    int (*run)(const std::vector<std::string>& args);  // args after the command name
};

// All commands, in the order "vela help" lists them.
const std::vector<Command>& Commands();
const Command* FindCommand(std::string_view name);

// Prints "vela: <what>: <why>" on standard error.
void PrintError(std::string_view what, std::string_view why);
// Prints the error and a pointer to the command's help; returns ExitUsage.
int UsageError(const Command& command, std::string_view why);

// Splits "--name=value" options and plain arguments. Known options are listed by
// name; those marked as taking a value accept "--name=value" and "--name value".
struct ParsedArgs {
    std::vector<std::string> positional;
    std::vector<std::pair<std::string, std::string>> options;  // name without dashes, value
    bool Has(std::string_view name) const;
    const std::string* Value(std::string_view name) const;
};
struct OptionSpec {
    const char* name;
    bool takesValue;
};
// Returns false (after printing the error) on an unknown option or a missing value.
bool ParseArgs(const Command& command, const std::vector<std::string>& args,
               const std::vector<OptionSpec>& known, ParsedArgs& out);

// Reads --codepage=N (default 1252) and checks that the system can convert it.
// Returns ExitOk, or ExitUsage after printing the error.
int ParseCodePage(const Command& command, const ParsedArgs& args, int& codePage);

}  // namespace vela
