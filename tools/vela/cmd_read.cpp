// Looking into packages: vela list, vela cat, vela extract, vela verify.
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "archive/archive_format.h"
#include "cli.h"
#include "commands.h"
#include "foundation/fatal_report_exception.h"
#include "json_writer.h"
#include "package_io.h"
#include "platform/file_replace.h"
#include "project.h"
#include "text_encoding.h"

namespace fs = std::filesystem;

namespace vela {

const char kListUsage[] =
    "Usage: vela list PKG [--json] [--codepage=N]\n"
    "\n"
    "Lists the entries of a package: name, length, stored length, codec, checksum.\n"
    "Names are shown in UTF-8, converted from the package's code page N\n"
    "(default 1252). --json adds the package's version, base and data end, and per\n"
    "entry the raw name bytes in hex and every field of its directory record.\n";

const char kCatUsage[] =
    "Usage: vela cat PKG NAME [--codepage=N]\n"
    "\n"
    "Writes the content of entry NAME to standard output, after testing its\n"
    "checksum. NAME is given in UTF-8 and converted to code page N (default 1252).\n";

const char kExtractUsage[] =
    "Usage: vela extract PKG [NAME...] [-C DIR] [--codepage=N] [--quiet]\n"
    "\n"
    "Writes entries (all of them when no NAME is given) as files into DIR (default:\n"
    "the current folder). Entry names are not paths: a name that is not a plain file\n"
    "name is refused, and nothing is ever written outside DIR. Each file appears\n"
    "only when its content was read completely and its checksum is right.\n";

const char kVerifyUsage[] =
    "Usage: vela verify PKG [--json] [--codepage=N] [--quiet]\n"
    "\n"
    "Reads every entry and tests it: ok, checksum failure, damaged stream, or read\n"
    "failure. A damaged entry does not stop the others. Exit status 1 when any\n"
    "entry is not ok.\n";

namespace {

struct EntryStatus {
    enum Kind { Ok, ChecksumFailure, DamagedStream, ReadFailure } kind = Ok;
    std::string detail;
    std::unique_ptr<uint8_t[]> content;
};

const char* StatusName(EntryStatus::Kind kind) {
    switch (kind) {
    case EntryStatus::Ok: return "ok";
    case EntryStatus::ChecksumFailure: return "checksum failure";
    case EntryStatus::DamagedStream: return "damaged stream";
    case EntryStatus::ReadFailure: return "read failure";
    }
    return "?";
}

// Reads one entry of the directory and tests it. Damaged streams end in a fatal
// report of the decoders, which the tool turns into an exception.
EntryStatus ReadAndTest(TPackageArchive& archive, const TArchiveEntry& entry) {
    EntryStatus status;
    try {
        FatalReportsThrow throwing;
        uint32_t size = 0;
        status.content = archive.ReadEntry(entry.name, false, &size);
        if (!status.content) {
            status.kind = EntryStatus::ReadFailure;
            status.detail = archive.FailureText();
            return status;
        }
        uint32_t crc = archiveCrc(status.content.get(), entry.length);
        if (crc != entry.checksum) {
            status.kind = EntryStatus::ChecksumFailure;
            char detail[64];
            std::snprintf(detail, sizeof detail, "checksum %08x, directory says %08x", crc, entry.checksum);
            status.detail = detail;
        }
    } catch (const FatalReportException& e) {
        status.kind = EntryStatus::DamagedStream;
        status.detail = e.message();
        status.content.reset();
    }
    return status;
}

// A plain file name: not empty, no separators or drive colon, not "." or "..",
// no control characters, and none of the names Windows reserves for devices.
bool IsPlainFileName(const std::string& name) {
    if (name.empty() || name == "." || name == "..")
        return false;
    for (unsigned char c : name)
        if (c < 32 || c == '/' || c == '\\' || c == ':' || c == '*' || c == '?' || c == '"' || c == '<' ||
            c == '>' || c == '|')
            return false;
    if (name.back() == '.' || name.back() == ' ')
        return false;
    std::string stem = name.substr(0, name.find('.'));
    for (char& c : stem)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    static const char* const reserved[] = {"CON", "PRN", "AUX", "NUL", "COM1", "COM2", "COM3", "COM4", "COM5",
                                           "COM6", "COM7", "COM8", "COM9", "LPT1", "LPT2", "LPT3", "LPT4",
                                           "LPT5", "LPT6", "LPT7", "LPT8", "LPT9"};
    for (const char* r : reserved)
        if (stem == r)
            return false;
    return true;
}

struct Common {
    ParsedArgs args;
    int codePage = kDefaultCodePage;
};

bool Parse(const Command& command, const std::vector<std::string>& argv, std::vector<OptionSpec> known,
           Common& common, int& rc) {
    known.push_back({"codepage", true});
    if (!ParseArgs(command, argv, known, common.args)) {
        rc = ExitUsage;
        return false;
    }
    rc = ParseCodePage(command, common.args, common.codePage);
    return rc == ExitOk;
}

}  // namespace

int RunList(const std::vector<std::string>& argv) {
    const Command& command = *FindCommand("list");
    Common c;
    int rc;
    if (!Parse(command, argv, {{"json", false}}, c, rc))
        return rc;
    if (c.args.positional.size() != 1)
        return UsageError(command, "give one package");
    const std::string& path = c.args.positional[0];
    auto archive = OpenPackageForReading("list", path);
    if (!archive)
        return ExitFailed;

    if (c.args.Has("json")) {
        JsonWriter json;
        json.BeginObject();
        json.Field("package", path);
        json.Field("version", static_cast<int32_t>(PackageVersion(path)));
        json.Field("base", static_cast<int64_t>(archive->Base()));
        json.Field("dataEnd", static_cast<int64_t>(archive->DataEnd()));
        json.Field("codepage", static_cast<int32_t>(c.codePage));
        json.Key("entries").BeginArray();
        for (TArchiveEntry* e = archive->FirstEntry(); e != nullptr; e = archive->NextEntry()) {
            json.BeginObject();
            json.Field("name", PackageTextToUtf8(e->name, c.codePage));
            json.Field("nameHex", HexBytes(e->name));
            json.Field("offset", e->offset);
            json.Field("storedLength", e->storedLength);
            json.Field("length", e->length);
            json.Field("checksum", e->checksum);
            json.Field("timeStamp", e->timeStamp);
            json.Field("flags", e->flags);
            json.Field("codec", CodecName(e->flags));
            json.EndObject();
        }
        json.EndArray();
        json.EndObject();
        return ExitOk;
    }
    std::printf("%10s %10s %6s %-5s %-8s  %s\n", "length", "stored", "ratio", "codec", "checksum", "name");
    uint64_t total = 0, stored = 0;
    for (TArchiveEntry* e = archive->FirstEntry(); e != nullptr; e = archive->NextEntry()) {
        double ratio = e->length > 0 ? 100.0 * e->storedLength / e->length : 100.0;
        std::printf("%10u %10u %5.1f%% %-5s %08x  %s%s\n", e->length, e->storedLength, ratio, CodecName(e->flags),
                    e->checksum, PackageTextToUtf8(e->name, c.codePage).c_str(), (e->flags & EntryMarked) ? " *" : "");
        total += e->length;
        stored += e->storedLength;
    }
    std::printf("%10llu %10llu %6s %d entries, version %d\n", static_cast<unsigned long long>(total),
                static_cast<unsigned long long>(stored), "", static_cast<int>(archive->Count()), PackageVersion(path));
    return ExitOk;
}

int RunCat(const std::vector<std::string>& argv) {
    const Command& command = *FindCommand("cat");
    Common c;
    int rc;
    if (!Parse(command, argv, {}, c, rc))
        return rc;
    if (c.args.positional.size() != 2)
        return UsageError(command, "give a package and an entry name");
    auto archive = OpenPackageForReading("cat", c.args.positional[0]);
    if (!archive)
        return ExitFailed;
    EncodeResult name = ToPackageText(c.args.positional[1], c.codePage);
    TArchiveEntry* entry = name.ok ? archive->FindEntry(name.text) : nullptr;
    if (entry == nullptr) {
        PrintError("cat", c.args.positional[1] + ": no such entry");
        return ExitFailed;
    }
    EntryStatus status = ReadAndTest(*archive, *entry);
    if (status.kind != EntryStatus::Ok) {
        PrintError("cat", c.args.positional[1] + ": " + StatusName(status.kind) +
                              (status.detail.empty() ? "" : " (" + status.detail + ")"));
        return ExitFailed;
    }
    // A terminal gets text in UTF-8; a pipe or file gets the entry's exact bytes.
    std::string bytes(reinterpret_cast<const char*>(status.content.get()), entry->length);
    if (StdoutIsTerminal() && !IsValidUtf8(bytes))
        bytes = PackageTextToUtf8(bytes, c.codePage);
    SetBinaryStdout();
    if (std::fwrite(bytes.data(), 1, bytes.size(), stdout) != bytes.size() || std::fflush(stdout) != 0) {
        PrintError("cat", "cannot write to standard output");
        return ExitFailed;
    }
    return ExitOk;
}

int RunExtract(const std::vector<std::string>& argv) {
    const Command& command = *FindCommand("extract");
    Common c;
    int rc;
    if (!Parse(command, argv, {{"C", true}, {"quiet", false}}, c, rc))
        return rc;
    if (c.args.positional.empty())
        return UsageError(command, "give a package");
    auto archive = OpenPackageForReading("extract", c.args.positional[0]);
    if (!archive)
        return ExitFailed;
    fs::path dir = c.args.Value("C") != nullptr ? Utf8Path(*c.args.Value("C")) : fs::path(".");
    std::error_code ec;
    if (!fs::is_directory(dir, ec)) {
        PrintError("extract", dir.string() + ": no such folder");
        return ExitFailed;
    }

    std::vector<TArchiveEntry*> chosen;
    int failures = 0;
    if (c.args.positional.size() == 1) {
        for (TArchiveEntry* e = archive->FirstEntry(); e != nullptr; e = archive->NextEntry())
            chosen.push_back(e);
    } else {
        for (size_t i = 1; i < c.args.positional.size(); i++) {
            EncodeResult name = ToPackageText(c.args.positional[i], c.codePage);
            TArchiveEntry* e = name.ok ? archive->FindEntry(name.text) : nullptr;
            if (e == nullptr) {
                PrintError("extract", c.args.positional[i] + ": no such entry");
                failures++;
            } else {
                chosen.push_back(e);
            }
        }
    }

    ProgressLine progress(c.args.Has("quiet"));
    size_t done = 0;
    for (TArchiveEntry* e : chosen) {
        std::string shown = PackageTextToUtf8(e->name, c.codePage);
        progress.Show(done++, chosen.size(), shown);
        if (!IsPlainFileName(shown)) {
            progress.Clear();
            PrintError("extract", "\"" + shown + "\": not a plain file name; not extracted");
            failures++;
            continue;
        }
        EntryStatus status = ReadAndTest(*archive, *e);
        if (status.kind != EntryStatus::Ok) {
            progress.Clear();
            PrintError("extract", shown + ": " + StatusName(status.kind) +
                                      (status.detail.empty() ? "" : " (" + status.detail + ")") + "; not extracted");
            failures++;
            continue;
        }
        std::string target = (dir / Utf8Path(shown)).string();
        FileReplacement out;
        bool ok = out.Begin(target.c_str()) &&
                  std::fwrite(status.content.get(), 1, e->length, out.File()) == e->length && out.Commit();
        if (!ok) {
            progress.Clear();
            PrintError("extract", target + ": cannot write");
            failures++;
        }
    }
    progress.Clear();
    return failures > 0 ? ExitFailed : ExitOk;
}

int RunVerify(const std::vector<std::string>& argv) {
    const Command& command = *FindCommand("verify");
    Common c;
    int rc;
    if (!Parse(command, argv, {{"json", false}, {"quiet", false}}, c, rc))
        return rc;
    if (c.args.positional.size() != 1)
        return UsageError(command, "give one package");
    const std::string& path = c.args.positional[0];
    auto archive = OpenPackageForReading("verify", path);
    if (!archive)
        return ExitFailed;

    struct Result {
        const TArchiveEntry* entry;
        EntryStatus::Kind kind;
        std::string detail;
    };
    std::vector<Result> results;
    std::vector<TArchiveEntry*> entries;
    for (TArchiveEntry* e = archive->FirstEntry(); e != nullptr; e = archive->NextEntry())
        entries.push_back(e);
    ProgressLine progress(c.args.Has("quiet") || c.args.Has("json"));
    for (size_t i = 0; i < entries.size(); i++) {
        progress.Show(i, entries.size(), PackageTextToUtf8(entries[i]->name, c.codePage));
        EntryStatus status = ReadAndTest(*archive, *entries[i]);
        results.push_back({entries[i], status.kind, status.detail});
    }
    progress.Clear();

    int bad = 0;
    for (const Result& r : results)
        if (r.kind != EntryStatus::Ok)
            bad++;
    if (c.args.Has("json")) {
        JsonWriter json;
        json.BeginObject();
        json.Field("package", path);
        json.Key("entries").BeginArray();
        for (const Result& r : results) {
            json.BeginObject();
            json.Field("name", PackageTextToUtf8(r.entry->name, c.codePage));
            json.Field("nameHex", HexBytes(r.entry->name));
            json.Field("status", StatusName(r.kind));
            if (!r.detail.empty())
                json.Field("detail", r.detail);
            json.EndObject();
        }
        json.EndArray();
        json.Field("ok", static_cast<int32_t>(results.size() - static_cast<size_t>(bad)));
        json.Field("failed", static_cast<int32_t>(bad));
        json.EndObject();
    } else {
        for (const Result& r : results)
            std::printf("%-16s %s%s\n", StatusName(r.kind), PackageTextToUtf8(r.entry->name, c.codePage).c_str(),
                        r.detail.empty() ? "" : ("  (" + r.detail + ")").c_str());
        std::printf("%s: %zu entries, %d damaged\n", path.c_str(), results.size(), bad);
    }
    return bad > 0 ? ExitFailed : ExitOk;
}

}  // namespace vela
