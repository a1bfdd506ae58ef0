// vela check DIR|SCRIPT [--json] [--codepage=N]: reads the setup script as the
// installer will and lists what is wrong before the users find out.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "cli.h"
#include "commands.h"
#include "json_writer.h"
#include "project.h"
#include "text_encoding.h"

namespace vela {

const char kCheckUsage[] =
    "Usage: vela check DIR|SCRIPT [--json] [--codepage=N]\n"
    "\n"
    "Reads the setup script (DIR/Vela.ini, or the script file given) as the\n"
    "installer will and lists its problems. Errors make 'vela build' refuse the\n"
    "project; warnings name what the installer will skip or what looks unintended.\n"
    "With a folder, also checks that every file the script names is there, that\n"
    "logo.bmp exists, and that the catalogues (*.clg) have the texts the installer\n"
    "shows.\n"
    "\n"
    "  --json         print the parsed setup model and the problems as JSON\n"
    "  --codepage=N   the package's ANSI code page (default 1252)\n"
    "\n"
    "Exit status: 0 no errors, 1 errors found, 2 wrong usage.\n";

namespace {

void WriteModel(JsonWriter& json, const SetupScript& s, int codePage) {
    auto text = [&](const std::string& bytes) { return PackageTextToUtf8(bytes, codePage); };
    json.Key("setup").BeginObject();
    json.Field("title", text(s.title));
    json.Field("productName", text(s.productName));
    json.Field("copyright", text(s.noticeText));
    json.Field("registryKey", text(s.registryKey));
    json.Field("defaultFolder", text(s.defaultFolder));
    json.Field("defaultProgramFolder", text(s.defaultProgramFolder));
    json.Field("mainExecutable", s.mainExecutable);
    json.Field("readme", s.readme);
    json.Field("runWithInstall", s.runWithInstall);
    json.Field("runWithUninstall", s.runWithUninstall);
    json.Field("advancedOptions", s.advancedOptions);
    json.Field("advancedOptionsDefault", s.advancedOptionsDefault);
    json.Field("numberOfFileTypes", s.numberOfFileTypes);
    json.Field("numberOfFiles", s.numberOfFiles);
    json.Key("fileTypes").BeginArray();
    for (const FileTypeRecord& t : s.fileTypes) {
        json.BeginObject();
        json.Field("description", text(t.description));
        json.Field("name", text(t.name));
        json.Field("extensions", text(t.extensions));
        json.Field("icon", t.icon);
        json.Field("iconFile", IconFileNumber(t.icon));
        json.Field("iconIndex", IconIndex(t.icon));
        json.Field("openCommand", text(t.openCommand));
        json.Field("openCommandFile", t.openCommandFile);
        json.EndObject();
    }
    json.EndArray();
    json.Key("files").BeginArray();
    for (const FileRecord& f : s.files) {
        json.BeginObject();
        json.Field("name", text(f.name));
        json.Field("createName", text(f.createName));
        json.Field("shortcutName", text(f.shortcutName));
        json.Field("arguments", text(f.arguments));
        json.Field("toWindowsFolder", f.toWindowsFolder);
        json.Field("toSystemFolder", f.toSystemFolder);
        json.Field("canUninstall", f.canUninstall);
        json.EndObject();
    }
    json.EndArray();
    json.EndObject();
}

}  // namespace

int RunCheck(const std::vector<std::string>& argv) {
    const Command& command = *FindCommand("check");
    ParsedArgs args;
    if (!ParseArgs(command, argv, {{"json", false}, {"codepage", true}}, args))
        return ExitUsage;
    if (args.positional.size() != 1)
        return UsageError(command, "give one project folder or setup script");
    int codePage;
    if (int rc = ParseCodePage(command, args, codePage); rc != ExitOk)
        return rc;

    Project project;
    std::vector<ScriptProblem> problems;
    if (LoadProject(args.positional[0], codePage, project, problems))
        CheckProject(project, codePage, problems);

    int errors = 0, warnings = 0;
    for (const ScriptProblem& p : problems)
        (p.severity == ScriptProblem::Error ? errors : warnings)++;

    if (args.Has("json")) {
        JsonWriter json;
        json.BeginObject();
        json.Field("path", args.positional[0]);
        json.Field("codepage", static_cast<int32_t>(codePage));
        if (project.hasScript)
            WriteModel(json, project.setup, codePage);
        json.Key("problems").BeginArray();
        for (const ScriptProblem& p : problems) {
            json.BeginObject();
            json.Field("severity", p.severity == ScriptProblem::Error ? "error" : "warning");
            json.Field("where", PackageTextToUtf8(p.where, codePage));
            json.Field("message", PackageTextToUtf8(p.message, codePage));
            json.EndObject();
        }
        json.EndArray();
        json.Field("errors", static_cast<int32_t>(errors));
        json.Field("warnings", static_cast<int32_t>(warnings));
        json.EndObject();
    } else {
        for (const ScriptProblem& p : problems)
            std::printf("%s: %s: %s\n", p.severity == ScriptProblem::Error ? "error" : "warning",
                        PackageTextToUtf8(p.where, codePage).c_str(), PackageTextToUtf8(p.message, codePage).c_str());
        std::printf("%s: %d error%s, %d warning%s\n", args.positional[0].c_str(), errors, errors == 1 ? "" : "s",
                    warnings, warnings == 1 ? "" : "s");
    }
    return errors > 0 ? ExitFailed : ExitOk;
}

}  // namespace vela
