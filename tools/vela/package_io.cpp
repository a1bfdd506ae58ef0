#include "package_io.h"

#include <cstring>
#include <filesystem>

#include "archive/archive_format.h"
#include "cli.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace vela {

std::unique_ptr<TPackageArchive> OpenPackageForReading(const char* command, const std::string& path) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) {
        PrintError(command, path + ": no such file");
        return nullptr;
    }
    auto archive = std::make_unique<TPackageArchive>();
    archive->Open(path.c_str(), false);
    if (archive->Failed()) {
        std::string why = archive->FailureText();
        PrintError(command, path + ": not a readable package" + (why.empty() ? "" : " (" + why + ")"));
        return nullptr;
    }
    return archive;
}

int PackageVersion(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr)
        return -1;
    uint8_t trailer[archive_format::kTrailerSize];
    bool ok = SeekFile(file, -static_cast<int64_t>(sizeof trailer), SEEK_END) &&
              std::fread(trailer, 1, sizeof trailer, file) == sizeof trailer;
    std::fclose(file);
    if (!ok)
        return -1;
    archive_format::Trailer t = archive_format::ParseTrailer(trailer);
    return t.magicOk ? static_cast<int>(t.Version()) : -1;
}

const char* CodecName(uint32_t flags) {
    if (!(flags & EntryCompressed))
        return "store";
    return (flags & EntryBlockSorted) ? "bs" : "lz";
}

void SetBinaryStdout() {
#ifdef _WIN32
    _setmode(_fileno(stdout), _O_BINARY);
#endif
}

void SetBinaryStdin() {
#ifdef _WIN32
    _setmode(_fileno(stdin), _O_BINARY);
#endif
}

bool StdoutIsTerminal() {
#ifdef _WIN32
    return _isatty(_fileno(stdout)) != 0;
#else
    return isatty(STDOUT_FILENO) != 0;
#endif
}

bool StderrIsTerminal() {
#ifdef _WIN32
    return _isatty(_fileno(stderr)) != 0;
#else
    return isatty(STDERR_FILENO) != 0;
#endif
}

ProgressLine::ProgressLine(bool quiet) : enabled_(!quiet && StderrIsTerminal()) {}

ProgressLine::~ProgressLine() {
    Clear();
}

void ProgressLine::Show(size_t done, size_t total, const std::string& what) {
    if (!enabled_)
        return;
    const int width = 24;
    int filled = total > 0 ? static_cast<int>(done * width / total) : width;
    std::string bar(static_cast<size_t>(filled), '#');
    bar.resize(width, '.');
    std::string name = what.size() > 40 ? "..." + what.substr(what.size() - 37) : what;
    std::fprintf(stderr, "\r[%s] %zu/%zu %-40s", bar.c_str(), done, total, name.c_str());
    std::fflush(stderr);
    shown_ = true;
}

void ProgressLine::Clear() {
    if (!shown_)
        return;
    std::fprintf(stderr, "\r%80s\r", "");
    std::fflush(stderr);
    shown_ = false;
}

std::string OwnProgramPath() {
#ifdef _WIN32
    char buffer[MAX_PATH * 2];
    DWORD n = GetModuleFileNameA(nullptr, buffer, sizeof buffer);
    return n > 0 && n < sizeof buffer ? std::string(buffer, n) : std::string();
#else
    std::error_code ec;
    return std::filesystem::read_symlink("/proc/self/exe", ec).string();
#endif
}

}  // namespace vela
