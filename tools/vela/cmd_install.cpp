// vela install PKG: installs a package without a window, with the installer's own
// worker — into a staging folder that stands for a Windows machine (--root), or,
// on Windows, into the machine itself.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "app/setup_script.h"
#include "cli.h"
#include "commands.h"
#include "foundation/fatal_report_exception.h"
#include "install/install_worker.h"
#include "install/package_source.h"
#include "json_writer.h"
#include "package_io.h"
#include "platform/staging/staging_platform.h"
#include "project.h"
#include "text_encoding.h"
#ifdef _WIN32
#include "platform/win32/install_platform_win32.h"
#endif

namespace vela {

const char kInstallUsage[] =
    "Usage: vela install PKG [--root ROOT] [--dir PATH] [--group TEXT] [--desktop] [--startup]\n"
    "                    [--lang NAME] [--user NAME] [--json] [--codepage=N]\n"
    "\n"
    "Installs the package PKG (a package or an installer) without a window, with\n"
    "the installer's own installation worker, then prints what it did: the\n"
    "installation folder, the program group, the files, shortcuts and registry\n"
    "values written, and every failure.\n"
    "\n"
    "  --root ROOT    install into the staging folder ROOT, which stands for a\n"
    "                 Windows machine: drive C: is ROOT/drive_c, the registry is\n"
    "                 ROOT/registry.reg (REGEDIT4 text), shortcuts are .lnk files.\n"
    "                 Without it (on Windows only) the machine itself is installed to.\n"
    "  --dir PATH     installation folder (default: the script's \"Default folder\")\n"
    "  --group TEXT   program-menu group (default: \"Default program folder\")\n"
    "  --desktop      make the main program's desktop shortcut\n"
    "  --startup      make the main program's shortcut in the start-up folder\n"
    "  --lang NAME    the installation's language: a catalogue NAME.clg of the\n"
    "                 package (default English when the package has it)\n"
    "  --user NAME    the staged machine's user name (default \"user\"; with --root)\n"
    "  --json         print the report as JSON\n"
    "  --codepage=N   the package's ANSI code page (default 1252), for showing its\n"
    "                 texts and for --dir and --group given in UTF-8\n"
    "\n"
    "A script the installer would refuse (no files, a main executable outside the\n"
    "file list, an empty registry key, ...) is refused before anything is written.\n"
    "Exit status: 0 installed, 1 refused or failed (files missing, damaged or not\n"
    "written), 2 wrong usage. Registry values that could not be written are\n"
    "warnings: the files are installed all the same.\n";

namespace {

// A damaged compressed body is a fatal report of the decoders; here it fails
// that one file instead of the whole run.
class ToolPackageSource : public PackageInstallSource {
public:
    using PackageInstallSource::PackageInstallSource;
    std::unique_ptr<uint8_t[]> Read(const std::string& name, uint32_t& size, std::string& why) override {
        try {
            return PackageInstallSource::Read(name, size, why);
        } catch (const FatalReportException& e) {
            why = "the entry is damaged (" + e.message() + ")";
            size = 0;
            return nullptr;
        }
    }
};

const char* AreaName(InstallIssue::Area area) {
    switch (area) {
    case InstallIssue::Script: return "script";
    case InstallIssue::Folder: return "folder";
    case InstallIssue::File: return "file";
    case InstallIssue::Shortcut: return "shortcut";
    case InstallIssue::ProductKey: return "product key";
    case InstallIssue::Uninstall: return "uninstall registration";
    case InstallIssue::FileType: return "file type";
    }
    return "?";
}

struct Report {
    std::string package;
    std::string root;  // empty: the machine itself
    std::string user;
    std::string language;
    std::string productName;
    int codePage = kDefaultCodePage;
    std::vector<ScriptProblem> scriptProblems;
    InstallResult result;
};

void PrintJson(const Report& r) {
    auto text = [&](const std::string& bytes) { return PackageTextToUtf8(bytes, r.codePage); };
    const InstallResult& result = r.result;
    JsonWriter json;
    json.BeginObject();
    json.Field("package", r.package);
    if (r.root.empty())
        json.Key("root").Null();
    else
        json.Field("root", r.root);
    if (!r.root.empty())
        json.Field("user", text(r.user));
    json.Field("codepage", static_cast<int32_t>(r.codePage));
    json.Field("language", text(r.language));
    json.Field("productName", text(r.productName));
    json.Field("success", result.success);
    json.Field("refused", result.refused);
    json.Field("installPath", text(result.installPath));
    json.Field("programGroup", text(result.programGroup));
    json.Key("progress").BeginArray();
    for (int32_t value : result.progress)
        json.Int(value);
    json.EndArray();
    json.Key("files").BeginArray();
    for (const std::string& file : result.files)
        json.String(text(file));
    json.EndArray();
    json.Key("shortcuts").BeginArray();
    for (const std::string& link : result.shortcuts)
        json.String(text(link));
    json.EndArray();
    json.Key("registry").BeginArray();
    for (const RegistryWrite& write : result.registry) {
        json.BeginObject();
        json.Field("key", "HKEY_LOCAL_MACHINE\\" + text(write.key));
        json.Field("name", text(write.name));
        json.Field("value", text(write.value));
        json.Field("written", write.written);
        json.EndObject();
    }
    json.EndArray();
    auto issues = [&](const char* key, const std::vector<InstallIssue>& list) {
        json.Key(key).BeginArray();
        for (const InstallIssue& issue : list) {
            json.BeginObject();
            json.Field("area", AreaName(issue.area));
            json.Field("subject", text(issue.subject));
            json.Field("message", text(issue.message));
            json.EndObject();
        }
        json.EndArray();
    };
    json.Key("scriptProblems").BeginArray();
    for (const ScriptProblem& p : r.scriptProblems) {
        json.BeginObject();
        json.Field("severity", p.severity == ScriptProblem::Error ? "error" : "warning");
        json.Field("where", text(p.where));
        json.Field("message", text(p.message));
        json.EndObject();
    }
    json.EndArray();
    issues("warnings", result.warnings);
    issues("failures", result.failures);
    json.EndObject();
}

void PrintText(const Report& r) {
    auto text = [&](const std::string& bytes) { return PackageTextToUtf8(bytes, r.codePage); };
    const InstallResult& result = r.result;
    for (const ScriptProblem& p : r.scriptProblems)
        std::printf("script %s: %s %s\n", p.severity == ScriptProblem::Error ? "error" : "warning",
                    text(p.where).c_str(), text(p.message).c_str());
    if (result.refused) {
        for (const InstallIssue& issue : result.failures)
            std::printf("refused: %s %s\n", text(issue.subject).c_str(), text(issue.message).c_str());
        std::printf("Nothing was installed: the setup script is refused.\n");
        return;
    }
    std::printf("Product:             %s\n", text(r.productName).c_str());
    std::printf("Language:            %s\n", r.language.empty() ? "(none)" : text(r.language).c_str());
    std::printf("Installation folder: %s\n", text(result.installPath).c_str());
    std::printf("Program group:       %s\n", text(result.programGroup).c_str());
    std::printf("Progress:           ");
    for (int32_t value : result.progress)
        std::printf(" %d", static_cast<int>(value));
    std::printf("\n");
    std::printf("Files written (%zu):\n", result.files.size());
    for (const std::string& file : result.files)
        std::printf("  %s\n", text(file).c_str());
    std::printf("Shortcuts (%zu):\n", result.shortcuts.size());
    for (const std::string& link : result.shortcuts)
        std::printf("  %s\n", text(link).c_str());
    std::printf("Registry values (%zu):\n", result.registry.size());
    std::string lastKey;
    for (const RegistryWrite& write : result.registry) {
        if (write.key != lastKey) {
            std::printf("  [HKEY_LOCAL_MACHINE\\%s]\n", text(write.key).c_str());
            lastKey = write.key;
        }
        std::printf("    %s = %s%s\n", write.name.empty() ? "@" : text(write.name).c_str(), text(write.value).c_str(),
                    write.written ? "" : "   (not written)");
    }
    if (!result.warnings.empty()) {
        std::printf("Warnings (%zu):\n", result.warnings.size());
        for (const InstallIssue& issue : result.warnings)
            std::printf("  %s: %s: %s\n", AreaName(issue.area), text(issue.subject).c_str(), text(issue.message).c_str());
    }
    if (!result.failures.empty()) {
        std::printf("Failures (%zu):\n", result.failures.size());
        for (const InstallIssue& issue : result.failures)
            std::printf("  %s: %s: %s\n", AreaName(issue.area), text(issue.subject).c_str(), text(issue.message).c_str());
    }
    if (result.success)
        std::printf("Installed%s.\n", result.warnings.empty() ? "" : ", with warnings");
    else
        std::printf("Installation failed: %zu failure%s.\n", result.failures.size(),
                    result.failures.size() == 1 ? "" : "s");
}

// Reads the setup script; false (after printing why) when the package has none.
bool ReadScript(TPackageArchive& package, const std::string& path, SetupScript& script) {
    if (package.FindEntry(kScriptName) == nullptr) {
        PrintError("install", path + ": the package has no " + kScriptName);
        return false;
    }
    uint32_t size = 0;
    std::unique_ptr<uint8_t[]> text = package.ReadEntry(kScriptName, true, &size);
    if (!text || package.Failed()) {
        PrintError("install", path + ": " + kScriptName + " cannot be read (" + package.FailureText() + ")");
        return false;
    }
    script = ReadSetupScriptText(reinterpret_cast<const char*>(text.get()), size);
    return true;
}

}  // namespace

int RunInstall(const std::vector<std::string>& argv) {
    const Command& command = *FindCommand("install");
    ParsedArgs args;
    if (!ParseArgs(command, argv,
                   {{"root", true}, {"dir", true}, {"group", true}, {"desktop", false}, {"startup", false},
                    {"lang", true}, {"user", true}, {"json", false}, {"codepage", true}},
                   args))
        return ExitUsage;
    Report report;
    if (int rc = ParseCodePage(command, args, report.codePage); rc != ExitOk)
        return rc;
    if (args.positional.size() != 1)
        return UsageError(command, "give one package");
    report.package = args.positional[0];
    if (const std::string* root = args.Value("root")) {
        if (root->empty())
            return UsageError(command, "--root needs a folder");
        report.root = *root;
    }
#ifndef _WIN32
    if (report.root.empty())
        return UsageError(command, "this system is not Windows: give --root ROOT, a staging folder that stands for "
                                   "a Windows machine");
#endif
    report.user = "user";
    if (const std::string* user = args.Value("user")) {
        if (report.root.empty())
            return UsageError(command, "--user names the staged machine's user; it needs --root");
        EncodeResult encoded = ToPackageText(*user, report.codePage);
        if (!encoded.ok || encoded.text.empty() || encoded.text == "." || encoded.text == ".." ||
            encoded.text.find_first_of("\\/:*?\"<>|") != std::string::npos)
            return UsageError(command, "--user needs a plain user name");
        report.user = encoded.text;
    }
    // --dir and --group go into the package's code page, like the script's texts.
    std::string dir, group;
    for (auto [option, out] : {std::pair<const char*, std::string*>{"dir", &dir}, {"group", &group}}) {
        if (const std::string* value = args.Value(option)) {
            EncodeResult encoded = ToPackageText(*value, report.codePage);
            if (!encoded.ok)
                return UsageError(command, std::string("--") + option + " has a character that code page " +
                                               std::to_string(report.codePage) + " cannot hold");
            *out = encoded.text;
        }
    }

    std::unique_ptr<TPackageArchive> package = OpenPackageForReading("install", report.package);
    if (!package)
        return ExitFailed;
    SetupScript script;
    if (!ReadScript(*package, report.package, script))
        return ExitFailed;
    report.productName = script.productName;
    report.scriptProblems = CheckSetupScript(script);

    // The language: a catalogue of the package; English when there is one.
    if (const std::string* lang = args.Value("lang")) {
        EncodeResult encoded = ToPackageText(*lang, report.codePage);
        if (!encoded.ok || package->FindEntry(encoded.text + kCatalogueSuffix) == nullptr) {
            std::string offered;
            for (TArchiveEntry* e = package->FirstEntry(); e != nullptr; e = package->NextEntry()) {
                const std::string& name = e->name;
                size_t n = std::string(kCatalogueSuffix).size();
                if (name.size() > n && name.compare(name.size() - n, n, kCatalogueSuffix) == 0)
                    offered += (offered.empty() ? "" : ", ") + PackageTextToUtf8(name.substr(0, name.size() - n), report.codePage);
            }
            PrintError("install", "the package has no language '" + *lang + "' (it offers: " +
                                      (offered.empty() ? std::string("none") : offered) + ")");
            return ExitUsage;
        }
        report.language = encoded.text;
    } else if (package->FindEntry(std::string("English") + kCatalogueSuffix) != nullptr) {
        report.language = "English";
    }

    InstallJob job = JobFromScript(script);
    if (args.Has("dir"))
        job.installPath = dir;
    if (args.Has("group"))
        job.programGroup = group;
    job.desktopShortcut = args.Has("desktop");
    job.startupShortcut = args.Has("startup");
    const bool live = !args.Has("json") && StderrIsTerminal();
    job.progress = [live](int32_t value) {
        if (live) {
            std::fprintf(stderr, "\rInstalling... %3d%%", static_cast<int>(value));
            std::fflush(stderr);
        }
    };

    // A script the installer refuses is refused before anything is written,
    // also for the errors the worker itself does not check.
    if (HasErrors(report.scriptProblems)) {
        report.result.refused = true;
        for (const ScriptProblem& p : report.scriptProblems)
            if (p.severity == ScriptProblem::Error)
                report.result.failures.push_back({InstallIssue::Script, p.where, p.message});
        args.Has("json") ? PrintJson(report) : PrintText(report);
        return ExitFailed;
    }

    std::unique_ptr<InstallPlatform> platform;
    if (!report.root.empty()) {
        auto staging = std::make_unique<StagingInstallPlatform>(report.root, report.user);
        std::string drive;
        if (!staging->HostPath("C:\\", drive)) {
            PrintError("install", staging->Problem().empty() ? report.root + ": cannot prepare the staging folder"
                                                             : staging->Problem());
            return ExitFailed;
        }
        // A damaged registry file is left alone; its writes become warnings.
        if (!staging->Ready())
            PrintError("install", "warning: " + staging->Problem());
        platform = std::move(staging);
    }
#ifdef _WIN32
    else {
        platform = std::make_unique<Win32InstallPlatform>();
    }
#endif
    ToolPackageSource source(*package);
    report.result = RunInstallation(job, *platform, source);
    if (live)
        std::fprintf(stderr, "\r%20s\r", "");
    args.Has("json") ? PrintJson(report) : PrintText(report);
    return report.result.success ? ExitOk : ExitFailed;
}

}  // namespace vela
