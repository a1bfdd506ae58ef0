// Helpers shared by the commands that read or change packages.
#pragma once
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "archive/package_archive.h"

namespace vela {

// Opens a package for reading; prints "vela: <command>: <path>: <why>" and
// returns none when it is not a readable package.
std::unique_ptr<TPackageArchive> OpenPackageForReading(const char* command, const std::string& path);

// The format version from the package's trailer (-1 when unreadable).
int PackageVersion(const std::string& path);

// "bs", "lz" or "store" for an entry's flags.
const char* CodecName(uint32_t flags);

// Puts standard output into binary mode (Windows would otherwise turn "\n" into CR LF).
void SetBinaryStdout();
void SetBinaryStdin();
bool StdoutIsTerminal();
bool StderrIsTerminal();

// A one-line progress display on standard error, shown only when it is a terminal.
class ProgressLine {
public:
    explicit ProgressLine(bool quiet);
    ~ProgressLine();
    void Show(size_t done, size_t total, const std::string& what);
    void Clear();

private:
    bool enabled_;
    bool shown_ = false;
};

// A path from UTF-8 text (wide on Windows, so any character survives).
inline std::filesystem::path Utf8Path(const std::string& text) {
    return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

// Where the vela program itself is (for the installer stub beside it).
std::string OwnProgramPath();

}  // namespace vela
