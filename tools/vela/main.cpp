// vela: the packaging tool. Turns a project folder into an installer, checks
// setup scripts, and looks into, verifies and repairs packages.
#include <cstdio>
#include <string>
#include <vector>

#include "cli.h"
#include "commands.h"
#include "foundation/fatal_report_exception.h"
#include "version.h"

namespace vela {
namespace {

int RunHelp(const std::vector<std::string>& args);
int RunVersion(const std::vector<std::string>& args);

const char kHelpUsage[] =
    "Usage: vela help [COMMAND]\n"
    "\n"
    "Lists the commands, or shows how to use one of them.\n";

const char kVersionUsage[] =
    "Usage: vela --version\n"
    "\n"
    "Prints the version of the packaging tool.\n";

}  // namespace

// The command table. A new command adds one line here and a file of its own.
const std::vector<Command>& Commands() {
    static const std::vector<Command> commands = {
        {"help", "show the commands, or how to use one", kHelpUsage, RunHelp},
        {"version", "print the version", kVersionUsage, RunVersion},
        {"init", "write a starter project folder", kInitUsage, RunInit},
        {"check", "list the problems of a setup script and its project", kCheckUsage, RunCheck},
        {"build", "package a project folder into an installer", kBuildUsage, RunBuild},
        {"list", "list the entries of a package", kListUsage, RunList},
        {"cat", "write one entry of a package to standard output", kCatUsage, RunCat},
        {"extract", "write entries of a package as files", kExtractUsage, RunExtract},
        {"verify", "read and test every entry of a package", kVerifyUsage, RunVerify},
        {"add", "add a file to a package", kAddUsage, RunAdd},
        {"rm", "remove entries from a package", kRmUsage, RunRm},
        {"compact", "drop replaced and removed bodies from a package", kCompactUsage, RunCompact},
        {"install", "install a package without a window (into a staging folder, or on Windows)", kInstallUsage, RunInstall},
        {"compress", "compress a file into one codec stream", kCompressUsage, RunCompress},
        {"decompress", "decode one codec stream", kDecompressUsage, RunDecompress},
    };
    return commands;
}

namespace {

void PrintOverview() {
    std::printf(
        "vela %s - builds single-file installers for Windows\n"
        "\n"
        "Usage: vela <command> [options] [arguments]\n"
        "\n"
        "Commands:\n",
        kVelaVersion);
    for (const Command& command : Commands())
        std::printf("  %-12s %s\n", command.name, command.summary);
    std::printf("\nRun 'vela help <command>' or 'vela <command> --help' for details.\n");
}

int RunHelp(const std::vector<std::string>& args) {
    if (args.empty()) {
        PrintOverview();
        return ExitOk;
    }
    const Command* command = FindCommand(args[0]);
    if (command == nullptr) {
        PrintError("help", "no command '" + args[0] + "'");
        return ExitUsage;
    }
    std::fputs(command->usage, stdout);
    return ExitOk;
}

int RunVersion(const std::vector<std::string>&) {
    std::printf("vela %s\n", kVelaVersion);
    return ExitOk;
}

}  // namespace
}  // namespace vela

int main(int argc, char** argv) {
    using namespace vela;
    if (argc < 2) {
        PrintOverview();
        return ExitUsage;
    }
    std::string name = argv[1];
    if (name == "--version" || name == "-V")
        name = "version";
    if (name == "--help" || name == "-h")
        name = "help";
    const Command* command = FindCommand(name);
    if (command == nullptr) {
        PrintError(name, "no such command (try 'vela help')");
        return ExitUsage;
    }
    std::vector<std::string> args(argv + 2, argv + argc);
    for (const std::string& arg : args)
        if (arg == "--help" || arg == "-h") {
            std::fputs(command->usage, stdout);
            return ExitOk;
        }
    // A damaged package or stream must not end the tool without a word: fatal
    // reports of the codecs become exceptions that the commands catch and report.
    FatalReportsThrow fatalReportsThrow;
    try {
        return command->run(args);
    } catch (const FatalReportException& e) {
        PrintError(command->name, e.message());
        return ExitFailed;
    } catch (const std::bad_alloc&) {
        PrintError(command->name, "out of memory");
        return ExitFailed;
    }
}
