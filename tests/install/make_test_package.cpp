// Writes a package of stored entries for the installation tests:
//   make_test_package OUT NAME=FILE...
// (The packaging tool's own build replaces its output at the end, which these
// tests do not need to depend on.)
#include <cstdio>
#include <string>
#include <vector>

#include "archive/package_archive.h"
#include "foundation/byte_stream.h"

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: make_test_package OUT NAME=FILE...\n");
        return 2;
    }
    std::remove(argv[1]);
    TPackageArchive archive(argv[1], true);
    if (archive.Failed()) {
        std::fprintf(stderr, "cannot create %s: %s\n", argv[1], archive.FailureText());
        return 1;
    }
    for (int i = 2; i < argc; i++) {
        std::string pair = argv[i];
        size_t eq = pair.find('=');
        if (eq == std::string::npos) {
            std::fprintf(stderr, "not NAME=FILE: %s\n", argv[i]);
            return 2;
        }
        std::FILE* file = std::fopen(pair.substr(eq + 1).c_str(), "rb");
        if (file == nullptr) {
            std::fprintf(stderr, "cannot read %s\n", pair.substr(eq + 1).c_str());
            return 1;
        }
        std::vector<uint8_t> bytes;
        int c;
        while ((c = std::fgetc(file)) != EOF)
            bytes.push_back(static_cast<uint8_t>(c));
        std::fclose(file);
        MemoryInput input(bytes.data(), bytes.size());
        if (archive.AddEntry(input, pair.substr(0, eq), 0) == nullptr) {
            std::fprintf(stderr, "cannot add %s: %s\n", pair.substr(0, eq).c_str(), archive.FailureText());
            return 1;
        }
    }
    archive.Flush();
    if (archive.Failed()) {
        std::fprintf(stderr, "cannot write %s: %s\n", argv[1], archive.FailureText());
        return 1;
    }
    return 0;
}
