// Making and changing packages: vela build, vela add, vela rm, vela compact.
//
// None of them damages the package it changes: the new package is built in a
// temporary file beside the target (exclusive create), flushed to disk, and put
// in the target's place only when complete (platform/file_replace.h). Killed at
// any moment or stopped by a full disk, the old file (or, after the replacement,
// the new one) is intact, and a reported failure leaves no temporary behind.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "cli.h"
#include "commands.h"
#include "json_writer.h"
#include "package_io.h"
#include "platform/file_replace.h"
#include "project.h"
#include "text_encoding.h"

namespace fs = std::filesystem;

namespace vela {

const char kBuildUsage[] =
    "Usage: vela build DIR -o OUT [--stub EXE | --no-stub] [--codec=auto|bs|lz|store]\n"
    "                  [--codepage=N] [--json] [--quiet]\n"
    "\n"
    "Packages the project folder DIR: Vela.ini, logo.bmp, every *.clg and every\n"
    "file the script names (looked up relative to DIR). The result OUT is the\n"
    "installer stub with the package behind it, ready to run on Windows; with\n"
    "--no-stub it is the bare package. The stub defaults to vela-setup.exe beside\n"
    "the vela program.\n"
    "\n"
    "  --codec=auto   block-sorting, or stored when compressing does not help (default)\n"
    "  --codec=bs|lz|store   the same codec for every entry\n"
    "  --codepage=N   the ANSI code page of the package's texts (default 1252);\n"
    "                 UTF-8 sources are converted to it\n"
    "\n"
    "The script is checked first (see 'vela check'); errors stop the build.\n";

const char kAddUsage[] =
    "Usage: vela add PKG FILE [--name NAME] [--codec=auto|bs|lz|store] [--mark] [--codepage=N]\n"
    "\n"
    "Adds FILE to the package as entry NAME (default: the file's name), replacing\n"
    "an entry of that name.\n";

const char kRmUsage[] =
    "Usage: vela rm PKG NAME... [--codepage=N]\n"
    "\n"
    "Removes entries from the package and compacts it.\n";

const char kCompactUsage[] =
    "Usage: vela compact PKG\n"
    "\n"
    "Rewrites the package without the bodies of replaced or removed entries.\n";

namespace {

enum class Codec { Auto, BlockSort, Lz, Store };

bool ParseCodec(const Command& command, const ParsedArgs& args, Codec& codec) {
    codec = Codec::Auto;
    const std::string* value = args.Value("codec");
    if (value == nullptr || *value == "auto")
        return true;
    if (*value == "bs")
        codec = Codec::BlockSort;
    else if (*value == "lz")
        codec = Codec::Lz;
    else if (*value == "store")
        codec = Codec::Store;
    else {
        UsageError(command, "unknown codec '" + *value + "' (auto, bs, lz or store)");
        return false;
    }
    return true;
}

uint32_t AddOptions(Codec codec) {
    switch (codec) {
    case Codec::Auto:
    case Codec::BlockSort: return AddCompress | AddBlockSort;
    case Codec::Lz: return AddCompress;
    case Codec::Store: return 0;
    }
    return 0;
}

// Adds one entry; with the automatic codec an entry that does not get smaller
// is stored raw. Returns the record, or none after a message.
TArchiveEntry* AddOne(const char* command, TPackageArchive& archive, ByteInput& source, const std::string& name,
                      const std::string& shownName, Codec codec, uint32_t extraOptions) {
    uint32_t options = AddOptions(codec) | extraOptions | (codec == Codec::Auto ? AddStoreIfLarger : 0);
    TArchiveEntry* entry = archive.AddEntry(source, name, options);
    if (entry == nullptr)
        PrintError(command, shownName + ": cannot add (" + std::string(archive.FailureText()) + ")");
    return entry;
}

// Copies the whole of a file into an open stream.
bool CopyFileInto(const fs::path& source, std::FILE* out) {
    std::FILE* in = std::fopen(source.string().c_str(), "rb");
    if (in == nullptr)
        return false;
    char buffer[1 << 16];
    size_t n;
    bool ok = true;
    while ((n = std::fread(buffer, 1, sizeof buffer, in)) > 0)
        if (std::fwrite(buffer, 1, n, out) != n) {
            ok = false;
            break;
        }
    if (std::ferror(in))
        ok = false;
    std::fclose(in);
    return ok && std::fflush(out) == 0;
}

struct BuiltEntry {
    std::string name;  // UTF-8
    uint32_t length, storedLength;
    const char* codec;
};

}  // namespace

int RunBuild(const std::vector<std::string>& argv) {
    const Command& command = *FindCommand("build");
    ParsedArgs args;
    if (!ParseArgs(command, argv,
                   {{"o", true}, {"output", true}, {"stub", true}, {"no-stub", false}, {"codec", true},
                    {"codepage", true}, {"json", false}, {"quiet", false}},
                   args))
        return ExitUsage;
    if (args.positional.size() != 1)
        return UsageError(command, "give one project folder");
    const std::string* out = args.Value("o") != nullptr ? args.Value("o") : args.Value("output");
    if (out == nullptr)
        return UsageError(command, "give the output file with -o OUT");
    if (args.Has("stub") && args.Has("no-stub"))
        return UsageError(command, "--stub and --no-stub exclude each other");
    int codePage;
    if (int rc = ParseCodePage(command, args, codePage); rc != ExitOk)
        return rc;
    Codec codec;
    if (!ParseCodec(command, args, codec))
        return ExitUsage;
    auto started = std::chrono::steady_clock::now();

    // The installer stub goes in front of the package.
    fs::path stub;
    if (const std::string* given = args.Value("stub")) {
        stub = *given;
    } else if (!args.Has("no-stub")) {
        fs::path beside = fs::path(OwnProgramPath()).parent_path() / "vela-setup.exe";
        std::error_code ec;
        if (!fs::is_regular_file(beside, ec)) {
            PrintError("build", "no installer stub: vela-setup.exe is not beside the vela program; pass --stub EXE, "
                                "or --no-stub to build a bare package");
            return ExitFailed;
        }
        stub = beside;
    }
    std::error_code ec;
    if (!stub.empty() && !fs::is_regular_file(stub, ec)) {
        PrintError("build", stub.string() + ": no such installer stub");
        return ExitFailed;
    }

    Project project;
    std::vector<ScriptProblem> problems;
    if (!fs::is_directory(args.positional[0], ec)) {
        PrintError("build", args.positional[0] + ": not a folder");
        return ExitFailed;
    }
    bool loaded = LoadProject(args.positional[0], codePage, project, problems);
    if (loaded)
        CheckProject(project, codePage, problems);
    bool refused = !loaded || HasErrors(problems);
    for (const ScriptProblem& p : problems)
        if (refused || !args.Has("json"))
            std::fprintf(stderr, "vela: build: %s: %s: %s\n", p.severity == ScriptProblem::Error ? "error" : "warning",
                         p.where.c_str(), p.message.c_str());
    if (refused) {
        PrintError("build", "the project has errors; nothing was written");
        return ExitFailed;
    }

    // Everything is added to a temporary file beside OUT that replaces it at the end.
    FileReplacement replacement;
    if (!replacement.Begin(out->c_str())) {
        PrintError("build", *out + ": cannot create a file beside it");
        return ExitFailed;
    }
    if (!stub.empty() && !CopyFileInto(stub, replacement.File())) {
        PrintError("build", stub.string() + ": cannot copy the installer stub");
        return ExitFailed;
    }

    struct Source {
        std::string entryName;
        std::string shownName;
        fs::path path;        // a file on disk, or
        const std::string* bytes = nullptr;  // converted text
    };
    std::vector<Source> sources;
    sources.push_back({project.script.entryName, kScriptName, {}, &project.script.bytes});
    sources.push_back({kLogoName, kLogoName, project.logo, nullptr});
    for (const ProjectText& catalogue : project.catalogues)
        sources.push_back({catalogue.entryName, PackageTextToUtf8(catalogue.entryName, codePage), {}, &catalogue.bytes});
    for (const ProjectFile& file : project.files)
        sources.push_back({file.entryName, PackageTextToUtf8(file.entryName, codePage), file.source, nullptr});

    std::vector<BuiltEntry> built;
    {
        TPackageArchive archive(replacement.TemporaryPath().c_str(), true);
        if (archive.Failed()) {
            PrintError("build", std::string("cannot start the package (") + archive.FailureText() + ")");
            return ExitFailed;
        }
        ProgressLine progress(args.Has("quiet") || args.Has("json"));
        for (size_t i = 0; i < sources.size(); i++) {
            const Source& s = sources[i];
            progress.Show(i, sources.size(), s.shownName);
            TArchiveEntry* entry;
            if (s.bytes != nullptr) {
                MemoryInput input(s.bytes->data(), s.bytes->size());
                entry = AddOne("build", archive, input, s.entryName, s.shownName, codec, 0);
            } else {
                FileInput input(s.path.string().c_str());
                if (!input.IsOpen()) {
                    progress.Clear();
                    PrintError("build", s.path.string() + ": cannot open");
                    return ExitFailed;
                }
                entry = AddOne("build", archive, input, s.entryName, s.shownName, codec, 0);
            }
            if (entry == nullptr)
                return ExitFailed;
            built.push_back({s.shownName, entry->length, entry->storedLength, CodecName(entry->flags)});
        }
        progress.Clear();
        archive.Flush();
        if (archive.Failed()) {
            PrintError("build", std::string("cannot write the package (") + archive.FailureText() + ")");
            return ExitFailed;
        }
    }
    if (!replacement.Commit()) {
        PrintError("build", *out + ": cannot put the finished package in place");
        return ExitFailed;
    }

    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    uint64_t total = 0, stored = 0;
    for (const BuiltEntry& e : built) {
        total += e.length;
        stored += e.storedLength;
    }
    uint64_t outSize = fs::file_size(*out, ec);
    if (args.Has("json")) {
        JsonWriter json;
        json.BeginObject();
        json.Field("output", *out);
        json.Field("stub", stub.string());
        json.Field("size", outSize);
        json.Field("seconds", static_cast<int64_t>(seconds * 1000) );
        json.Key("entries").BeginArray();
        for (const BuiltEntry& e : built) {
            json.BeginObject();
            json.Field("name", e.name);
            json.Field("length", e.length);
            json.Field("storedLength", e.storedLength);
            json.Field("codec", e.codec);
            json.EndObject();
        }
        json.EndArray();
        json.Key("warnings").BeginArray();
        for (const ScriptProblem& p : problems)
            json.String(p.where + ": " + p.message);
        json.EndArray();
        json.EndObject();
    } else {
        std::printf("%-32s %10s %10s %6s %s\n", "entry", "length", "stored", "ratio", "codec");
        for (const BuiltEntry& e : built)
            std::printf("%-32s %10u %10u %5.1f%% %s\n", e.name.c_str(), e.length, e.storedLength,
                        e.length > 0 ? 100.0 * e.storedLength / e.length : 100.0, e.codec);
        std::printf("%-32s %10llu %10llu %5.1f%%\n", "total", static_cast<unsigned long long>(total),
                    static_cast<unsigned long long>(stored), total > 0 ? 100.0 * stored / total : 100.0);
        std::printf("%s: %zu entries, %llu bytes%s, %.2f s\n", out->c_str(), built.size(),
                    static_cast<unsigned long long>(outSize), stub.empty() ? " (no installer stub)" : "", seconds);
    }
    return ExitOk;
}

namespace {

// Opens PKG for a change: checks first that it is a package (a file that is not
// one would otherwise become the host prefix of a new, empty package).
bool CheckIsPackage(const char* command, const std::string& path) {
    return OpenPackageForReading(command, path) != nullptr;
}

}  // namespace

int RunAdd(const std::vector<std::string>& argv) {
    const Command& command = *FindCommand("add");
    ParsedArgs args;
    if (!ParseArgs(command, argv, {{"name", true}, {"codec", true}, {"mark", false}, {"codepage", true}}, args))
        return ExitUsage;
    if (args.positional.size() != 2)
        return UsageError(command, "give a package and a file");
    int codePage;
    if (int rc = ParseCodePage(command, args, codePage); rc != ExitOk)
        return rc;
    Codec codec;
    if (!ParseCodec(command, args, codec))
        return ExitUsage;
    const std::string& pkg = args.positional[0];
    const std::string& file = args.positional[1];
    std::string shown = args.Value("name") != nullptr ? *args.Value("name") : Utf8Path(file).filename().string();
    EncodeResult name = ToPackageText(shown, codePage);
    if (!name.ok) {
        PrintError("add", shown + ": the name cannot be written in code page " + std::to_string(codePage));
        return ExitFailed;
    }
    if (name.text.empty()) {
        PrintError("add", "the entry name is empty");
        return ExitFailed;
    }
    if (!CheckIsPackage("add", pkg))
        return ExitFailed;
    FileInput input(file.c_str());
    if (!input.IsOpen()) {
        PrintError("add", file + ": cannot open");
        return ExitFailed;
    }

    FileReplacement replacement;
    if (!replacement.Begin(pkg.c_str()) || !CopyFileInto(pkg, replacement.File())) {
        PrintError("add", pkg + ": cannot make the new package beside it");
        return ExitFailed;
    }
    {
        TPackageArchive archive(replacement.TemporaryPath().c_str(), true);
        if (archive.Failed() ||
            AddOne("add", archive, input, name.text, shown, codec, args.Has("mark") ? AddMark : 0) == nullptr)
            return ExitFailed;
        archive.Flush();
        if (archive.Failed()) {
            PrintError("add", std::string("cannot write the package (") + archive.FailureText() + ")");
            return ExitFailed;
        }
    }
    if (!replacement.Commit()) {
        PrintError("add", pkg + ": cannot put the changed package in place");
        return ExitFailed;
    }
    return ExitOk;
}

int RunRm(const std::vector<std::string>& argv) {
    const Command& command = *FindCommand("rm");
    ParsedArgs args;
    if (!ParseArgs(command, argv, {{"codepage", true}}, args))
        return ExitUsage;
    if (args.positional.size() < 2)
        return UsageError(command, "give a package and the entries to remove");
    int codePage;
    if (int rc = ParseCodePage(command, args, codePage); rc != ExitOk)
        return rc;
    const std::string& pkg = args.positional[0];
    if (!CheckIsPackage("rm", pkg))
        return ExitFailed;
    TPackageArchive archive(pkg.c_str(), true);
    if (archive.Failed()) {
        PrintError("rm", pkg + ": cannot open for writing (" + archive.FailureText() + ")");
        return ExitFailed;
    }
    for (size_t i = 1; i < args.positional.size(); i++) {
        EncodeResult name = ToPackageText(args.positional[i], codePage);
        if (!name.ok || archive.FindEntry(name.text) == nullptr) {
            PrintError("rm", args.positional[i] + ": no such entry; nothing was removed");
            return ExitFailed;
        }
        archive.RemoveEntry(name.text);
    }
    // Compaction writes the new directory into a file built beside the package.
    archive.Compact();
    if (archive.Failed()) {
        PrintError("rm", pkg + ": cannot write the package (" + archive.FailureText() + "); it is unchanged");
        return ExitFailed;
    }
    return ExitOk;
}

int RunCompact(const std::vector<std::string>& argv) {
    const Command& command = *FindCommand("compact");
    ParsedArgs args;
    if (!ParseArgs(command, argv, {}, args))
        return ExitUsage;
    if (args.positional.size() != 1)
        return UsageError(command, "give one package");
    const std::string& pkg = args.positional[0];
    if (!CheckIsPackage("compact", pkg))
        return ExitFailed;
    uint64_t before = fs::file_size(pkg);
    {
        TPackageArchive archive(pkg.c_str(), true);
        if (archive.Failed()) {
            PrintError("compact", pkg + ": cannot open for writing (" + archive.FailureText() + ")");
            return ExitFailed;
        }
        archive.Compact();
        if (archive.Failed()) {
            PrintError("compact", pkg + ": cannot compact (" + archive.FailureText() + "); it is unchanged");
            return ExitFailed;
        }
    }
    std::printf("%s: %llu -> %llu bytes\n", pkg.c_str(), static_cast<unsigned long long>(before),
                static_cast<unsigned long long>(fs::file_size(pkg)));
    return ExitOk;
}

}  // namespace vela
