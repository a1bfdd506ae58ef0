// The staging machine: Windows paths on a folder, special folders, the REGEDIT4
// registry, Shell Link files and the fault injector.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "platform/staging/registry_file.h"
#include "platform/staging/shell_link_file.h"
#include "platform/staging/staging_platform.h"
#include "test_support.h"

namespace vela::test {
namespace {

namespace fs = std::filesystem;

TEST(StagingPaths, MapWindowsPathsOntoTheRoot) {
    TempDir root;
    fs::create_directories(root / "drive_c" / "Program Files" / "Maker");
    WriteFileText(root / "drive_c" / "Program Files" / "Maker" / "README.TXT", "x");
    StagingInstallPlatform platform(root.path().string());
    const fs::path c = root / "drive_c";
    struct Case {
        const char* windows;
        fs::path host;  // empty: no such path on the staged machine
    } cases[] = {
        {"C:\\Apps\\Tool\\x.exe", c / "Apps" / "Tool" / "x.exe"},
        {"c:/apps/tool/", c / "apps" / "tool"},
        {"C:\\PROGRAM FILES\\maker\\readme.txt", c / "Program Files" / "Maker" / "README.TXT"},
        {"C:\\Program Files\\Maker\\New.txt", c / "Program Files" / "Maker" / "New.txt"},
        {"C:\\a\\\\b//c", c / "a" / "b" / "c"},
        {"C:\\..\\..\\a\\.\\b\\..\\c", c / "a" / "c"},
        {"C:\\name. \\x", c / "name" / "x"},
        {"\\Apps", c / "Apps"},
        {"Apps\\x", c / "Apps" / "x"},
        {"C:", c},
        {"D:\\x", {}},
        {"\\\\server\\share\\x", {}},
        {"C:\\a<b", {}},
        {"C:\\a?", {}},
        {"C:\\a\\b:c", {}},
        // Device names, which Windows opens as devices rather than files
        // (whatever the extension); a Windows host would too.
        {"C:\\a\\CON", {}},
        {"C:\\a\\nul.txt", {}},
        {"C:\\a\\Com1\\x", {}},
        {"C:\\a\\lpt9.log", {}},
        {"C:\\a\\aux .txt", {}},
        {"C:\\a\\CONSOLE", c / "a" / "CONSOLE"},
        {"C:\\a\\x.nul", c / "a" / "x.nul"},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.windows);
        std::string host;
        bool mapped = platform.HostPath(test.windows, host);
        EXPECT_EQ(mapped, !test.host.empty());
        if (mapped) {
            EXPECT_EQ(fs::path(host), test.host);
        }
    }
    fs::create_directories(root / "drive_d");
    std::string host;
    EXPECT_TRUE(platform.HostPath("d:\\x", host));
    EXPECT_EQ(fs::path(host), root / "drive_d" / "x");
}

TEST(StagingFiles, BehaveLikeTheWin32Calls) {
    TempDir root;
    StagingInstallPlatform platform(root.path().string());
    // One level at a time; existing folders and drives count as failures.
    EXPECT_FALSE(platform.CreateFolder("C:\\a\\b"));
    EXPECT_TRUE(platform.CreateFolder("C:\\a"));
    EXPECT_FALSE(platform.CreateFolder("C:\\A"));
    EXPECT_FALSE(platform.CreateFolder("C:"));
    EXPECT_FALSE(platform.CreateFolder("C:\\"));
    EXPECT_TRUE(platform.CreateFolder("c:/A/b/"));
    EXPECT_TRUE(fs::is_directory(root / "drive_c" / "a" / "b"));

    std::string why;
    const uint8_t bytes[] = {'M', 'Z', 0, 1};
    EXPECT_FALSE(platform.WriteFile("C:\\missing\\x.exe", bytes, 4, why));
    EXPECT_NE(why.find("cannot open"), std::string::npos);
    EXPECT_FALSE(platform.WriteFile("C:\\a\\b", bytes, 4, why));
    WriteFileText(root / "drive_c" / "a" / "Tool.EXE", "old and longer");
    EXPECT_TRUE(platform.WriteFile("C:\\A\\tool.exe", bytes, 4, why));
    EXPECT_EQ(ReadFileBytes(root / "drive_c" / "a" / "Tool.EXE"), std::vector<uint8_t>(bytes, bytes + 4));
    EXPECT_FALSE(fs::exists(root / "drive_c" / "a" / "tool.exe") && !fs::equivalent(root / "drive_c" / "a" / "tool.exe", root / "drive_c" / "a" / "Tool.EXE"));
    EXPECT_TRUE(platform.SetNormalAttributes("C:\\a\\tool.exe"));
    EXPECT_FALSE(platform.SetNormalAttributes("C:\\a\\none.exe"));
}

TEST(StagingFolders, AreThoseOfAWindowsUser) {
    TempDir root;
    StagingInstallPlatform platform(root.path().string(), "Anna");
    const std::string programs = "C:\\users\\Anna\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs";
    struct Case {
        std::function<bool(std::string&)> get;
        std::string expected;
    } cases[] = {
        {[&](std::string& p) { return platform.GetSpecialFolder(SpecialFolder::Programs, p); }, programs},
        {[&](std::string& p) { return platform.GetSpecialFolder(SpecialFolder::Startup, p); }, programs + "\\Startup"},
        {[&](std::string& p) { return platform.GetSpecialFolder(SpecialFolder::Desktop, p); }, "C:\\users\\Anna\\Desktop"},
        {[&](std::string& p) { return platform.GetWindowsFolder(p); }, "C:\\windows"},
        {[&](std::string& p) { return platform.GetSystemFolder(p); }, "C:\\windows\\system32"},
    };
    for (const Case& test : cases) {
        std::string path, host;
        ASSERT_TRUE(test.get(path));
        EXPECT_EQ(path, test.expected);
        ASSERT_TRUE(platform.HostPath(path, host));
        EXPECT_TRUE(fs::is_directory(host)) << host;
    }
}

TEST(StagingRegistry, KeepsRegedit4TextAndUpdatesInPlace) {
    TempDir root;
    {
        StagingInstallPlatform platform(root.path().string());
        RegistryHandle key = platform.OpenKey("Software\\Maker\\Product");
        ASSERT_NE(key, 0u);
        EXPECT_TRUE(platform.SetString(key, "Path", "C:\\Program Files\\\"Q\"\\"));
        EXPECT_TRUE(platform.SetString(key, "", "default"));
        EXPECT_TRUE(platform.SetString(key, "Lines", "a\r\nb"));
        EXPECT_TRUE(platform.CloseKey(key));
        EXPECT_FALSE(platform.CloseKey(key));
        EXPECT_FALSE(platform.SetString(key, "Late", "x"));
    }
    const std::string first =
        "REGEDIT4\r\n\r\n"
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Maker\\Product]\r\n"
        "\"Path\"=\"C:\\\\Program Files\\\\\\\"Q\\\"\\\\\"\r\n"
        "@=\"default\"\r\n"
        "\"Lines\"=hex(1):61,0d,0a,62,00\r\n\r\n";
    EXPECT_EQ(ReadFileText(root / "registry.reg"), first);

    StagingInstallPlatform again(root.path().string());
    ASSERT_TRUE(again.Ready());
    std::string value;
    ASSERT_TRUE(again.Registry().GetString("HKEY_LOCAL_MACHINE\\Software\\Maker\\Product", "lines", value));
    EXPECT_EQ(value, "a\r\nb");
    // Names match without regard to case and keep their first spelling.
    RegistryHandle key = again.OpenKey("SOFTWARE\\MAKER\\PRODUCT\\");
    ASSERT_NE(key, 0u);
    EXPECT_TRUE(again.SetString(key, "PATH", "D:\\"));
    EXPECT_TRUE(again.CloseKey(key));
    RegistryHandle sub = again.OpenKey("software\\maker\\Other");
    EXPECT_TRUE(again.SetString(sub, "x", "y"));
    EXPECT_EQ(ReadFileText(root / "registry.reg"),
              "REGEDIT4\r\n\r\n"
              "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Maker\\Product]\r\n"
              "\"Path\"=\"D:\\\\\"\r\n"
              "@=\"default\"\r\n"
              "\"Lines\"=hex(1):61,0d,0a,62,00\r\n\r\n"
              "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Maker\\Other]\r\n"
              "\"x\"=\"y\"\r\n\r\n");

    // Paths the registry refuses, and the root key, which takes no values.
    // Names a REGEDIT4 line cannot carry (a line break would end the key's line
    // and let the rest pass for other keys and values) are refused as well.
    for (const char* bad : {"\\Software\\X", "Software\\\\X", "Software\\X\\\\", "Software\\X]\r\n[HKEY_LOCAL_MACHINE\\Y",
                            "Software\\X\nY"})
        EXPECT_EQ(again.OpenKey(bad), 0u) << bad;
    EXPECT_FALSE(again.SetString(sub, "a\"=\"b\"\r\n\"c", "y"));
    EXPECT_FALSE(again.SetString(sub, std::string("a\0b", 3), "y"));
    StagingInstallPlatform reread(root.path().string());
    EXPECT_TRUE(reread.Ready()) << reread.Problem();
    EXPECT_EQ(reread.Registry().Keys().size(), 2u);
    RegistryHandle rootKey = again.OpenKey("");
    ASSERT_NE(rootKey, 0u);
    EXPECT_FALSE(again.SetString(rootKey, "x", "y"));
}

TEST(StagingRegistry, LeavesADamagedFileAlone) {
    TempDir root;
    WriteFileText(root / "registry.reg", "REGEDIT4\r\n\r\n\"orphan\"=\"value\"\r\n");
    StagingInstallPlatform platform(root.path().string());
    EXPECT_FALSE(platform.Ready());
    EXPECT_NE(platform.Problem().find("REGEDIT4"), std::string::npos);
    EXPECT_EQ(platform.OpenKey("Software\\X"), 0u);
    EXPECT_EQ(ReadFileText(root / "registry.reg"), "REGEDIT4\r\n\r\n\"orphan\"=\"value\"\r\n");
}

TEST(RegistryFile, ReadsWhatTheRegistryEditorWrites) {
    RegistryFile file;
    ASSERT_TRUE(file.Parse("REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\A]\n\"n\"=dword:00000001\n"
                           "\"s\"=hex(1):41,\\\n  42,00\n@=\"q\\\\\"\n"));
    std::string value;
    EXPECT_TRUE(file.GetString("hkey_local_machine\\a", "S", value));
    EXPECT_EQ(value, "AB");
    EXPECT_TRUE(file.GetString("HKEY_LOCAL_MACHINE\\A", "", value));
    EXPECT_EQ(value, "q\\");
    EXPECT_FALSE(file.GetString("HKEY_LOCAL_MACHINE\\A", "n", value));
    // Other value types are kept as they are.
    EXPECT_NE(file.Text().find("\"n\"=dword:00000001\r\n"), std::string::npos);
    EXPECT_FALSE(file.Parse("Windows Registry Editor Version 5.00\n"));
}

TEST(ShellLinkFile, HoldsTheDocumentedLayout) {
    ShortcutLink link{"C:\\Apps/Tool\\tool.exe", "C:\\Apps\\Tool\\", "-x \"y\"", "\\Tool"};
    ShellLinkTargetInfo target;
    target.attributes = 0x80;
    target.size = 1234;
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(BuildShellLink(link, target, bytes));
    ASSERT_GE(bytes.size(), 76u);
    EXPECT_EQ(bytes[0], 0x4C);
    const uint8_t classId[16] = {0x01, 0x14, 0x02, 0, 0, 0, 0, 0, 0xC0, 0, 0, 0, 0, 0, 0, 0x46};
    EXPECT_TRUE(std::equal(classId, classId + 16, bytes.begin() + 4));
    uint32_t flags = bytes[20] | bytes[21] << 8;
    EXPECT_EQ(flags, LinkHasLinkInfo | LinkHasName | LinkHasWorkingDir | LinkHasArguments);
    EXPECT_EQ(bytes[52] | bytes[53] << 8, 1234);
    EXPECT_EQ(bytes[60], 1);  // normal window
    // The file ends with the terminal block.
    EXPECT_EQ(std::vector<uint8_t>(bytes.end() - 4, bytes.end()), std::vector<uint8_t>(4, 0));

    ShortcutLink back;
    ASSERT_TRUE(ParseShellLink(bytes, back));
    EXPECT_EQ(back.target, "C:\\Apps\\Tool\\tool.exe");
    EXPECT_EQ(back.workingFolder, link.workingFolder);
    EXPECT_EQ(back.arguments, link.arguments);
    EXPECT_EQ(back.description, link.description);

    // Empty texts are left out; every cut-off file is refused.
    ASSERT_TRUE(BuildShellLink(ShortcutLink{"C:\\x.exe", "", "", ""}, target, bytes));
    EXPECT_EQ(bytes[20], LinkHasLinkInfo);
    for (size_t size = 0; size + 4 < bytes.size(); size++)
        EXPECT_FALSE(ParseShellLink(std::vector<uint8_t>(bytes.begin(), bytes.begin() + static_cast<long>(size)), back))
            << size;
}

TEST(StagingShortcuts, AreSavedWholeOrNotAtAll) {
    TempDir root;
    StagingInstallPlatform platform(root.path().string());
    ShortcutLink link{"C:\\t.exe", "C:\\", "", "first"};
    // The folder must exist (the link does not create it).
    EXPECT_NE(platform.SaveShortcut(link, "C:\\Tools\\Run.lnk"), ShortcutOk);
    EXPECT_FALSE(fs::exists(root / "drive_c" / "Tools"));
    ASSERT_EQ(platform.SaveShortcut(link, "C:\\Run.lnk"), ShortcutOk);
    link.description = "second";
    ASSERT_EQ(platform.SaveShortcut(link, "C:\\RUN.LNK"), ShortcutOk);
    ShortcutLink back;
    ASSERT_TRUE(ParseShellLink(ReadFileBytes(root / "drive_c" / "Run.lnk"), back));
    EXPECT_EQ(back.description, "second");
    EXPECT_EQ(std::distance(fs::directory_iterator(root / "drive_c"), fs::directory_iterator()), 1);
}

TEST(StagingFaults, FailTheNthOperationOnceOrFromThenOn) {
    TempDir root;
    StagingInstallPlatform platform(root.path().string());
    platform.FailOperation(2, false);
    EXPECT_TRUE(platform.CreateFolder("C:\\a"));
    EXPECT_FALSE(platform.CreateFolder("C:\\b"));
    EXPECT_TRUE(platform.CreateFolder("C:\\c"));
    platform.FailOperation(5, true);
    std::string path;
    EXPECT_TRUE(platform.GetWindowsFolder(path));
    EXPECT_FALSE(platform.GetSystemFolder(path));
    EXPECT_EQ(platform.OpenKey("Software\\X"), 0u);
    EXPECT_FALSE(platform.InitShell());
    EXPECT_EQ(platform.Operations(), 7);
    EXPECT_FALSE(fs::exists(root / "drive_c" / "b"));
    EXPECT_FALSE(fs::exists(root / "registry.reg"));
}

// lnkinfo (Debian's liblnk-utils), an independent reader, on a staged link.
TEST(StagingShortcuts, ReadByLnkinfo) {
#ifdef _WIN32
    GTEST_SKIP() << "lnkinfo runs on the Linux side";
#else
    if (std::system("command -v lnkinfo >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "lnkinfo is not installed (liblnk-utils)";
    TempDir root;
    StagingInstallPlatform platform(root.path().string());
    ASSERT_TRUE(platform.CreateFolder("C:\\Apps"));
    std::string why;
    ASSERT_TRUE(platform.WriteFile("C:\\Apps\\tool.exe", reinterpret_cast<const uint8_t*>("MZ"), 2, why));
    ShortcutLink link{"C:\\Apps\\tool.exe", "C:\\Apps\\", "--run \"x y\"", "The tool"};
    ASSERT_EQ(platform.SaveShortcut(link, "C:\\Apps\\Tool.lnk"), ShortcutOk);
    const fs::path output = root / "lnkinfo.txt";
    const std::string command = "lnkinfo '" + (root / "drive_c" / "Apps" / "Tool.lnk").string() + "' >'" +
                                output.string() + "' 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0) << ReadFileText(output);
    const std::string text = ReadFileText(output);
    for (const char* expected : {"Local path", "C:\\Apps\\tool.exe", "Working directory", "C:\\Apps\\",
                                 "Command line arguments", "--run \"x y\"", "Description", "The tool",
                                 "File size", ": 2"})
        EXPECT_NE(text.find(expected), std::string::npos) << expected << "\n" << text;
#endif
}

}  // namespace
}  // namespace vela::test
