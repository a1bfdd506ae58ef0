// Fuzz target: open any bytes as a package archive, list it, and read every entry
// whose declared length is modest, with the checksum test. Damaged compressed data
// may end in a fatal report (caught here); anything else must simply fail through
// the archive's flag. Reads are bounded by the archive's own checks, so an
// out-of-range read is caught by AddressSanitizer.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "archive/package_archive.h"
#include "foundation/fatal_report_exception.h"

namespace {

// Entries claiming more than this are listed but not read (keeps memory small).
constexpr uint32_t kLengthCap = 1u << 22;

// A read-only stream over the input: from memory where the C library can, through
// a scratch file elsewhere.
std::FILE* StreamOver(const uint8_t* data, size_t size, std::vector<uint8_t>& copy) {
#if defined(__GLIBC__)
    if (size > 0) {
        copy.assign(data, data + size);
        return fmemopen(copy.data(), copy.size(), "rb");
    }
#endif
    static const std::string scratch =
        (std::filesystem::temp_directory_path() / ("vela-fuzz-archive-" + std::to_string(reinterpret_cast<uintptr_t>(&copy))))
            .string();
    std::FILE* file = std::fopen(scratch.c_str(), "w+b");
    if (file == nullptr)
        return nullptr;
    if (size > 0 && std::fwrite(data, 1, size, file) != size) {
        std::fclose(file);
        return nullptr;
    }
    std::rewind(file);
    return file;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<uint8_t> copy;
    std::FILE* stream = StreamOver(data, size, copy);
    if (stream == nullptr)
        return 0;
    FatalReportsThrow throwing;
    TPackageArchive archive;
    try {
        archive.OpenStream(stream);
    } catch (const FatalReportException&) {
        return 0;
    }
    int32_t listed = 0;
    for (TArchiveEntry* e = archive.FirstEntry(); e != nullptr; e = archive.NextEntry())
        listed++;
    if (listed != archive.Count())
        std::abort();
    std::vector<std::string> names;
    for (TArchiveEntry* e = archive.FirstEntry(); e != nullptr; e = archive.NextEntry())
        if (e->length <= kLengthCap)
            names.push_back(e->name);
    for (const std::string& name : names) {
        try {
            uint32_t length = 0;
            std::unique_ptr<uint8_t[]> content = archive.ReadEntry(name, true, &length);
            if (content && content[length] != 0)
                std::abort();
        } catch (const FatalReportException&) {
        }
    }
    return 0;
}
