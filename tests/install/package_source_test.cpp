// The package archive as the installation's source: only entries of the package
// count, and a content whose checksum fails is not installed.
#include <gtest/gtest.h>

#include <filesystem>

#include "archive/package_archive.h"
#include "foundation/byte_stream.h"
#include "install/package_source.h"
#include "install_test_support.h"
#include "platform/staging/staging_platform.h"
#include "test_support.h"

namespace vela::test {
namespace {

namespace fs = std::filesystem;

// A package of stored entries.
void WritePackage(const fs::path& path, const std::vector<std::pair<std::string, std::string>>& entries) {
    TPackageArchive archive(path.string().c_str(), true);
    ASSERT_FALSE(archive.Failed());
    for (const auto& [name, content] : entries) {
        MemoryInput input(content.data(), content.size());
        ASSERT_NE(archive.AddEntry(input, name, 0), nullptr) << name;
    }
    archive.Flush();
    ASSERT_FALSE(archive.Failed());
}

const std::string kScript =
    "[General]\nProduct name=P\nRegistry key=Software\\P\nDefault folder=C:\\P\nNumber of files=2\n"
    "[0]\nName=a.exe\nCreate name=a.exe\nCan uninstall=1\n[1]\nName=u.exe\nCreate name=u.exe\nCan uninstall=1\n";

TEST(PackageInstallSource, ReadsCheckedEntriesOnly) {
    TempDir temp;
    const fs::path package = temp / "p.pkg";
    WritePackage(package, {{"Vela.ini", kScript}, {"a.exe", "AAAAAAAAAAAAAAAAAAAAAAAA"}, {"u.exe", "UUUUUUUU"}});

    // Damage one byte of a.exe's stored body.
    std::vector<uint8_t> bytes = ReadFileBytes(package);
    const std::string body = "AAAAAAAAAAAAAAAAAAAAAAAA";
    auto at = std::search(bytes.begin(), bytes.end(), body.begin(), body.end());
    ASSERT_NE(at, bytes.end());
    at[5] = 'B';
    WriteFileBytes(package, bytes.data(), bytes.size());
    // A file of a missing entry's name in the current folder is not taken instead.
    const fs::path previous = fs::current_path();
    fs::current_path(temp.path());
    WriteFileText(temp / "missing.exe", "from the disk");

    TPackageArchive archive(package.string().c_str(), false);
    ASSERT_FALSE(archive.Failed());
    PackageInstallSource source(archive);
    std::string why;
    uint32_t size = 0;
    auto content = source.Read("u.exe", size, why);
    ASSERT_TRUE(content);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(content.get()), size), "UUUUUUUU");
    EXPECT_FALSE(source.Read("a.exe", size, why));
    EXPECT_NE(why.find("checksum"), std::string::npos) << why;
    EXPECT_FALSE(source.Read("missing.exe", size, why));
    EXPECT_NE(why.find("no such entry"), std::string::npos) << why;

    // Installed, the damaged file is a failure and is not written.
    StagingInstallPlatform platform((temp / "root").string());
    InstallJob job = JobFromText(kScript);
    InstallResult result = RunInstallation(job, platform, source);
    fs::current_path(previous);
    EXPECT_FALSE(result.success);
    ASSERT_EQ(result.failures.size(), 1u);
    EXPECT_EQ(result.failures[0].subject, "C:\\P\\a.exe");
    EXPECT_FALSE(fs::exists(temp / "root" / "drive_c" / "P" / "a.exe"));
    EXPECT_EQ(ReadFileText(temp / "root" / "drive_c" / "P" / "u.exe"), "UUUUUUUU");
}

}  // namespace
}  // namespace vela::test
