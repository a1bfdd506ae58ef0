// Writes the seed corpus of the archive_read fuzz target: small packages made by
// the writer (every codec, a host prefix, dead bodies, odd names) and the three
// old directory forms. Usage: make_archive_corpus <folder>
#include <cstdio>
#include <filesystem>
#include <string>

#include "archive/package_archive.h"
#include "archive_test_util.h"
#include "test_support.h"

using namespace archive_test;
namespace fs = std::filesystem;

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_archive_corpus <folder>\n");
        return 2;
    }
    fs::path out(argv[1]);
    fs::create_directories(out);
    auto path = [&](const char* name) { return (out / name).string(); };
    {
        TPackageArchive a(path("empty.pak").c_str(), true);
        a.Compact();
    }
    {
        TPackageArchive a(path("codecs.pak").c_str(), true);
        Add(a, "Vela.ini", ToBytes("[Setup]\r\nProduct=Demo\r\n"), AddCompress | AddBlockSort);
        Add(a, "lz.txt", TextContent(600, 3), AddCompress);
        Add(a, "raw.bin", RandomContent(64, 4));
        Add(a, "marked", ToBytes("m"), AddCompress | AddBlockSort | AddMark);
        Add(a, "", {});
    }
    {
        Bytes prefix = ToBytes("MZ host prefix that is not part of the archive");
        vela::test::WriteFileBytes(path("prefixed.exe"), prefix.data(), prefix.size());
        TPackageArchive a(path("prefixed.exe").c_str(), true);
        Add(a, "English.clg", ToBytes("[Main]\r\nTitle=Setup\r\n"), AddCompress | AddBlockSort);
        Add(a, "\xD0\xF3\xF1\xF1\xEA\xE8\xE9.clg", ToBytes("[Main]\r\n"), AddCompress);
    }
    {
        TPackageArchive a(path("dead.pak").c_str(), true);
        Add(a, "a", TextContent(300, 1), AddCompress | AddBlockSort);
        Add(a, "a", TextContent(200, 2), AddCompress);
        Add(a, "B", ToBytes("b"));
    }
    Bytes raw = ToBytes("old raw");
    Bytes text = TextContent(400, 9);
    Bytes packed = BlockSortCompressed(text);
    Bytes data = raw;
    data.insert(data.end(), packed.begin(), packed.end());
    Record first = RawRecord("setup.ini", 0, raw);
    Record second = RawRecord("text", static_cast<uint32_t>(raw.size()), text);
    second.storedLength = static_cast<uint32_t>(packed.size());
    second.flags = EntryCompressed | EntryBlockSorted;
    struct {
        const char* name;
        OldForm form;
        uint32_t version;
    } old[] = {{"v0-48.pak", OldForm::Short48, 0}, {"v3-64.pak", OldForm::Long64, 3},
               {"v4-packed.pak", OldForm::Compressed, 4}};
    for (const auto& o : old) {
        Bytes file = OldArchive(data, {first, second}, o.form, o.version);
        vela::test::WriteFileBytes(path(o.name), file.data(), file.size());
    }
    std::printf("corpus written to %s\n", out.string().c_str());
    return 0;
}
