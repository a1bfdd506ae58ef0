// Archive benchmark: builds a package with many small entries, then times opening
// it (trailer, block-sorted directory, 10,000 records) and listing it, which the
// installer does at start-up. Prints figures; it checks nothing against a limit.
// Usage: archive_bench [entries] [folder]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "archive/package_archive.h"
#include "foundation/byte_stream.h"

namespace {

double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

}  // namespace

int main(int argc, char** argv) {
    int entries = argc > 1 ? std::atoi(argv[1]) : 10000;
    std::filesystem::path folder = argc > 2 ? std::filesystem::path(argv[2]) : std::filesystem::temp_directory_path();
    std::string path = (folder / "vela-archive-bench.pak").string();
    std::filesystem::remove(path);

    auto start = std::chrono::steady_clock::now();
    {
        TPackageArchive archive(path.c_str(), true);
        char name[64];
        std::vector<uint8_t> body(64);
        for (int i = 0; i < entries; i++) {
            std::snprintf(name, sizeof name, "program files\\product\\data\\file%05d.dat", i);
            for (size_t k = 0; k < body.size(); k++)
                body[k] = static_cast<uint8_t>(i * 31 + k);
            MemoryInput input(body.data(), body.size());
            if (archive.AddEntry(input, name, 0) == nullptr) {
                std::fprintf(stderr, "archive_bench: adding failed: %s\n", archive.FailureText());
                return 1;
            }
        }
        archive.Flush();
    }
    double writeSeconds = Seconds(start);
    auto fileSize = std::filesystem::file_size(path);

    std::vector<double> times;
    size_t listed = 0;
    for (int round = 0; round < 5; round++) {
        start = std::chrono::steady_clock::now();
        TPackageArchive archive(path.c_str(), false);
        listed = 0;
        for (TArchiveEntry* e = archive.FirstEntry(); e != nullptr; e = archive.NextEntry())
            listed += archive.FindEntry(e->name) == e ? 1 : 0;
        times.push_back(Seconds(start));
        if (archive.Failed() || listed != static_cast<size_t>(entries)) {
            std::fprintf(stderr, "archive_bench: listed %zu of %d entries\n", listed, entries);
            return 1;
        }
    }
    std::sort(times.begin(), times.end());
    std::printf("archive: %d entries, package %llu bytes, written in %.3f s\n", entries,
                static_cast<unsigned long long>(fileSize), writeSeconds);
    std::printf("archive: open + list + find every entry: best %.4f s, median %.4f s (5 rounds)\n", times.front(),
                times[times.size() / 2]);
    std::filesystem::remove(path);
    return 0;
}
