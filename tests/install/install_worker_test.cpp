// The installation worker on the staging machine: registry layout and order,
// progress, target folders, folder creation, shortcuts, the refused scripts and
// every failure path, and a sweep of injected platform faults.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "app/setup_state.h"
#include "install/registry_entries.h"
#include "install/shortcuts.h"
#include "install_test_support.h"
#include "platform/staging/shell_link_file.h"
#include "platform/staging/staging_platform.h"
#include "test_support.h"

namespace vela::test {
namespace {

namespace fs = std::filesystem;

const std::string kPrograms = "C:\\users\\user\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs";
const std::string kUninstall = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

// Three files: the main program (kept for uninstall, with a group shortcut), a
// readme in a subfolder, and the uninstaller last.
const std::string kScript =
    "[General]\n"
    "Product name=Vela Demo\n"
    "Registry key=Software\\Vela\\Demo\n"
    "Default folder=C:\\Apps\\Demo\n"
    "Default program folder=Vela Demo\n"
    "Main executable=0\n"
    "Number of files=3\n"
    "[0]\nName=demo.exe\nCreate name=demo.exe\nShortcut name=Demo\nArguments=-x\nCan uninstall=1\n"
    "[1]\nName=readme.txt\nCreate name=doc\\readme.txt\n"
    "[2]\nName=uninst.exe\nCreate name=uninst.exe\nCan uninstall=1\n";

const std::string kFileTypes =
    "[General]\n"
    "Run with '/uninstall'=1\n"
    "Number of file types=2\n"
    "File type 0.Description=Demo document\n"
    "File type 0.Name=Vela.Demo\n"
    "File type 0.Extensions=.aaa .bbb\n"
    "File type 0.Icon=65537\n"
    "File type 0.Open command=\"%1\"\n"
    "File type 0.Open command file=0\n"
    "File type 1.Description=Plain\n"
    "File type 1.Name=Vela.Plain\n"
    "File type 1.Extensions=.ccc\n"
    "File type 1.Open command=notepad.exe \"%1\"\n"
    "File type 1.Open command file=-1\n";

// A staging root, its platform and the package contents of kScript.
struct Staged {
    Staged() : platform_(root_.path().string()) {
        source_.entries = {{"demo.exe", "MZ demo program"}, {"readme.txt", "read me\r\n"}, {"uninst.exe", "MZ uninstaller"}};
    }

    // The ini reader takes the first of repeated sections' keys, so extra lines
    // for [General] are put in front of the base script.
    InstallResult Install(const std::string& extra = "", std::function<void(InstallJob&)> adjust = nullptr) {
        InstallJob job = JobFromText(extra + kScript);
        if (adjust)
            adjust(job);
        return RunInstallation(job, platform_, source_);
    }
    fs::path Host(const std::string& windowsPath) {
        std::string host;
        EXPECT_TRUE(platform_.HostPath(windowsPath, host)) << windowsPath;
        return host;
    }
    std::string Content(const std::string& windowsPath) { return ReadFileText(Host(windowsPath)); }
    ValueList Values(const std::string& key) { return KeyValues(platform_.Registry(), key); }

    TempDir root_;
    StagingInstallPlatform platform_;
    MemorySource source_;
};

class InstallWorkerTest : public ::testing::Test, public Staged {};

TEST_F(InstallWorkerTest, WritesTheRegistryLayoutInOrder) {
    struct Case {
        const char* name;
        std::string extra;
        std::function<void(InstallJob&)> adjust;
        std::map<std::string, ValueList> keys;
    };
    const std::string group = kPrograms + "\\Vela Demo\\";
    const std::string spaced = "C:\\Program Files\\Demo\\";
    const Case cases[] = {
        {"files, group, desktop and start-up shortcuts, no file types",
         "",
         [](InstallJob& job) { job.desktopShortcut = job.startupShortcut = true; },
         {{"Software\\Vela\\Demo",
           {{"Path", "C:\\Apps\\Demo\\"},
            {"Product", "Vela Demo"},
            {"Program folder", group},
            {"0.file", "C:\\Apps\\Demo\\demo.exe"},
            {"1.file", group + "Demo.lnk"},
            {"2.file", "C:\\Apps\\Demo\\uninst.exe"},
            {"3.file", "C:\\users\\user\\Desktop\\Demo.lnk"},
            {"4.file", kPrograms + "\\Startup\\Demo.lnk"},
            {"0.regkey", kUninstall + "Vela Demo"},
            {"1.regkey", "Software\\Vela\\Demo"}}},
          {kUninstall + "Vela Demo",
           {{"DisplayName", "Vela Demo"}, {"UninstallString", "C:\\Apps\\Demo\\uninst.exe Software\\Vela\\Demo"}}}}},
        {"main executable and file types, in a folder with a space",
         kFileTypes,
         [](InstallJob& job) { job.installPath = "C:\\Program Files\\Demo"; },
         {{"Software\\Vela\\Demo",
           {{"Path", spaced},
            {"Product", "Vela Demo"},
            {"Program folder", group},
            {"0.file", spaced + "demo.exe"},
            {"1.file", group + "Demo.lnk"},
            {"2.file", spaced + "uninst.exe"},
            {"Main executable", spaced + "demo.exe"},
            {"0.regkey", kUninstall + "Vela Demo"},
            {"1.regkey", "SOFTWARE\\Classes\\Vela.Demo"},
            {"2.regkey", "SOFTWARE\\Classes\\.aaa"},
            {"3.regkey", "SOFTWARE\\Classes\\.bbb"},
            {"4.regkey", "SOFTWARE\\Classes\\Vela.Plain"},
            {"5.regkey", "SOFTWARE\\Classes\\.ccc"},
            {"6.regkey", "Software\\Vela\\Demo"}}},
          {kUninstall + "Vela Demo",
           {{"DisplayName", "Vela Demo"},
            {"UninstallString", "\"" + spaced + "uninst.exe\" Software\\Vela\\Demo"}}},
          {"SOFTWARE\\Classes\\Vela.Demo\\shell\\open\\command", {{"", "\"" + spaced + "demo.exe\" \"%1\""}}},
          {"SOFTWARE\\Classes\\Vela.Demo\\DefaultIcon", {{"", spaced + "demo.exe,1"}}},
          {"SOFTWARE\\Classes\\Vela.Demo", {{"", "Demo document"}}},
          {"SOFTWARE\\Classes\\.aaa", {{"", "Vela.Demo"}}},
          {"SOFTWARE\\Classes\\.bbb", {{"", "Vela.Demo"}}},
          {"SOFTWARE\\Classes\\Vela.Plain\\shell\\open\\command", {{"", "notepad.exe \"%1\""}}},
          {"SOFTWARE\\Classes\\Vela.Plain\\DefaultIcon", {}},
          {"SOFTWARE\\Classes\\Vela.Plain", {{"", "Plain"}}},
          {"SOFTWARE\\Classes\\.ccc", {{"", "Vela.Plain"}}}}},
        {"icon of the third file with a negative index, main executable without a space",
         "[General]\nRun with '/uninstall'=1\nNumber of file types=1\nFile type 0.Name=T\n"
         "File type 0.Icon=-131069\nFile type 0.Open command=/open\nFile type 0.Extensions=.t\n",
         nullptr,
         {{"SOFTWARE\\Classes\\T\\DefaultIcon", {{"", "C:\\Apps\\Demo\\uninst.exe,-2"}}},
          {"SOFTWARE\\Classes\\T\\shell\\open\\command", {{"", "C:\\Apps\\Demo\\demo.exe /open"}}},
          {"SOFTWARE\\Classes\\T", {{"", ""}}}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir root;
        StagingInstallPlatform platform(root.path().string());
        InstallJob job = JobFromText(c.extra + kScript);
        if (c.adjust)
            c.adjust(job);
        InstallResult result = RunInstallation(job, platform, source_);
        EXPECT_TRUE(result.success);
        EXPECT_TRUE(result.failures.empty());
        EXPECT_TRUE(result.warnings.empty());
        for (const auto& [key, values] : c.keys)
            EXPECT_EQ(KeyValues(platform.Registry(), key), values) << key;
        // SOFTWARE\Classes itself is never touched.
        EXPECT_EQ(platform.Registry().FindKey("HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes"), -1);
    }
}

TEST_F(InstallWorkerTest, RegistryFileIsRegedit4TextInTheOrderWritten) {
    InstallResult result = Install("[General]\nProduct name=Say \"Hi\"\n");
    ASSERT_TRUE(result.success);
    const std::string group = "C:\\\\users\\\\user\\\\AppData\\\\Roaming\\\\Microsoft\\\\Windows\\\\Start Menu\\\\Programs\\\\Vela Demo\\\\";
    EXPECT_EQ(ReadFileText(platform_.RegistryFilePath()),
              "REGEDIT4\r\n"
              "\r\n"
              "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vela\\Demo]\r\n"
              "\"Path\"=\"C:\\\\Apps\\\\Demo\\\\\"\r\n"
              "\"Product\"=\"Say \\\"Hi\\\"\"\r\n"
              "\"Program folder\"=\"" + group + "\"\r\n"
              "\"0.file\"=\"C:\\\\Apps\\\\Demo\\\\demo.exe\"\r\n"
              "\"1.file\"=\"" + group + "Demo.lnk\"\r\n"
              "\"2.file\"=\"C:\\\\Apps\\\\Demo\\\\uninst.exe\"\r\n"
              "\"0.regkey\"=\"SOFTWARE\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\Uninstall\\\\Say \\\"Hi\\\"\"\r\n"
              "\"1.regkey\"=\"Software\\\\Vela\\\\Demo\"\r\n"
              "\r\n"
              "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Say \"Hi\"]\r\n"
              "\"DisplayName\"=\"Say \\\"Hi\\\"\"\r\n"
              "\"UninstallString\"=\"C:\\\\Apps\\\\Demo\\\\uninst.exe Software\\\\Vela\\\\Demo\"\r\n"
              "\r\n");
}

TEST_F(InstallWorkerTest, SecondInstallationUpdatesValuesAndKeepsHigherNumbers) {
    ASSERT_TRUE(Install("", [](InstallJob& job) { job.desktopShortcut = true; }).success);
    // Again, elsewhere, without the desktop shortcut: 3.file of the first run stays.
    StagingInstallPlatform again(root_.path().string());
    InstallJob job = JobFromText(kScript);
    job.installPath = "C:\\Other";
    ASSERT_TRUE(RunInstallation(job, again, source_).success);
    ValueList values = KeyValues(again.Registry(), "Software\\Vela\\Demo");
    ValueList expected = {{"Path", "C:\\Other\\"},
                          {"Product", "Vela Demo"},
                          {"Program folder", kPrograms + "\\Vela Demo\\"},
                          {"0.file", "C:\\Other\\demo.exe"},
                          {"1.file", kPrograms + "\\Vela Demo\\Demo.lnk"},
                          {"2.file", "C:\\Other\\uninst.exe"},
                          {"3.file", "C:\\users\\user\\Desktop\\Demo.lnk"},
                          {"0.regkey", kUninstall + "Vela Demo"},
                          {"1.regkey", "Software\\Vela\\Demo"}};
    EXPECT_EQ(values, expected);
    EXPECT_EQ(again.Registry().Keys().size(), 2u);
}

TEST_F(InstallWorkerTest, PublishesTwoProgressValuesPerFile) {
    std::vector<int32_t> seen;
    InstallResult result = Install("", [&](InstallJob& job) { job.progress = [&](int32_t v) { seen.push_back(v); }; });
    EXPECT_EQ(seen, (std::vector<int32_t>{0, 90, 45, 95, 90, 100}));
    EXPECT_EQ(result.progress, seen);

    const std::string one = "[General]\nRegistry key=K\nNumber of files=1\n[0]\nName=demo.exe\nCreate name=a.exe\n";
    InstallJob job = JobFromText(one);
    EXPECT_EQ(RunInstallation(job, platform_, source_).progress, (std::vector<int32_t>{90, 100}));
}

TEST_F(InstallWorkerTest, ChoosesTargetFoldersAndWritesFilesWithTheirFolders) {
    InstallResult result = Install("", [](InstallJob& job) {
        job.files[0].toSystemFolder = 1;
        job.files[1].toWindowsFolder = 1;
        job.files[1].toSystemFolder = 1;  // the Windows folder wins
        job.files[1].createName = "sub/deeper\\readme.txt";
        job.installPath = "C:\\Apps\\Tool";
    });
    ASSERT_TRUE(result.success);
    EXPECT_EQ(result.installPath, "C:\\Apps\\Tool\\");
    EXPECT_EQ(result.files, (std::vector<std::string>{"C:\\windows\\system32\\demo.exe",
                                                     "C:\\windows\\sub/deeper\\readme.txt",
                                                     "C:\\Apps\\Tool\\uninst.exe"}));
    EXPECT_EQ(Content("C:\\windows\\system32\\demo.exe"), "MZ demo program");
    EXPECT_EQ(Content("C:\\windows\\sub\\deeper\\readme.txt"), "read me\r\n");
    EXPECT_EQ(Content("C:\\Apps\\Tool\\uninst.exe"), "MZ uninstaller");
    EXPECT_EQ(ReadFileText(root_ / "drive_c" / "windows" / "sub" / "deeper" / "readme.txt"), "read me\r\n");
    // The group shortcut of a file in the system folder still works in the installation folder.
    ShortcutLink link;
    ASSERT_TRUE(ParseShellLink(ReadFileBytes(Host(kPrograms + "\\Vela Demo\\Demo.lnk")), link));
    EXPECT_EQ(link.target, "C:\\windows\\system32\\demo.exe");
    EXPECT_EQ(link.workingFolder, "C:\\Apps\\Tool\\");
}

// Records the folders the worker asks for.
class FolderRecorder : public StagingInstallPlatform {
public:
    using StagingInstallPlatform::StagingInstallPlatform;
    bool CreateFolder(const std::string& path) override {
        folders.push_back(path);
        return StagingInstallPlatform::CreateFolder(path);
    }
    std::vector<std::string> folders;
};

TEST(CreateDirectoryPath, CreatesEveryFolderBeforeTheLastSeparator) {
    TempDir root;
    FolderRecorder platform(root.path().string());
    CreateDirectoryPath(platform, "C:\\Apps/Tool\\bin/x.dll");
    EXPECT_EQ(platform.folders, (std::vector<std::string>{"C:", "C:\\Apps", "C:\\Apps\\Tool", "C:\\Apps\\Tool\\bin"}));
    EXPECT_TRUE(fs::is_directory(root.path() / "drive_c" / "Apps" / "Tool" / "bin"));
    EXPECT_FALSE(fs::exists(root.path() / "drive_c" / "Apps" / "Tool" / "bin" / "x.dll"));
    // Existing folders do not stop the walk; a path ending in a separator creates its last folder.
    platform.folders.clear();
    CreateDirectoryPath(platform, "C:\\apps\\TOOL\\new\\\\");
    EXPECT_EQ(platform.folders.size(), 5u);
    EXPECT_TRUE(fs::is_directory(root.path() / "drive_c" / "Apps" / "Tool" / "new"));
}

TEST_F(InstallWorkerTest, MakesTheThreeKindsOfShortcut) {
    InstallResult result = Install("", [](InstallJob& job) {
        job.desktopShortcut = job.startupShortcut = true;
        job.programGroup = "Tools\\Demo";
    });
    ASSERT_TRUE(result.success);
    const std::string group = kPrograms + "\\Tools\\Demo\\";
    EXPECT_EQ(result.programGroup, group);
    struct Expected {
        std::string file, description;
    } expected[] = {{group + "Demo.lnk", "Demo"},
                    {"C:\\users\\user\\Desktop\\Demo.lnk", "\\Demo"},
                    {kPrograms + "\\Startup\\Demo.lnk", "\\Demo"}};
    ASSERT_EQ(result.shortcuts.size(), 3u);
    for (size_t i = 0; i < 3; i++) {
        EXPECT_EQ(result.shortcuts[i], expected[i].file);
        ShortcutLink link;
        ASSERT_TRUE(ParseShellLink(ReadFileBytes(Host(expected[i].file)), link)) << expected[i].file;
        EXPECT_EQ(link.target, "C:\\Apps\\Demo\\demo.exe");
        EXPECT_EQ(link.workingFolder, "C:\\Apps\\Demo\\");
        EXPECT_EQ(link.arguments, "-x");
        EXPECT_EQ(link.description, expected[i].description);
    }
}

TEST_F(InstallWorkerTest, ShortcutPathsTooLongAreFailuresNotCutOff) {
    const std::string longName(240, 'n');
    InstallResult result = Install("", [&](InstallJob& job) { job.files[0].shortcutName = longName; });
    EXPECT_FALSE(result.success);
    const std::string linkPath = kPrograms + "\\Vela Demo\\" + longName + ".lnk";
    ASSERT_EQ(result.failures.size(), 1u);
    EXPECT_EQ(result.failures[0].subject, linkPath);
    EXPECT_NE(result.failures[0].message.find("259"), std::string::npos);
    EXPECT_TRUE(result.shortcuts.empty());
    EXPECT_TRUE(fs::is_empty(Host(kPrograms + "\\Vela Demo")));
    // Exactly 259 characters is still saved.
    const std::string base = kPrograms + "\\Vela Demo\\";
    const std::string fits(MaxShortcutPath - base.size() - 4, 'f');
    EXPECT_EQ(CreateShortcut(platform_, "C:\\x.exe", "C:\\", base + fits, "", ""), ShortcutOk);
    EXPECT_EQ(CreateShortcut(platform_, "C:\\x.exe", "C:\\", base + fits + "f", "", ""), ShortcutPathTooLong);
}

TEST_F(InstallWorkerTest, FilesThatCannotBeInstalledAreFailuresAndTheRestGoesOn) {
    struct Case {
        const char* name;
        std::function<void(Staged&)> arrange;
        std::string failedPath, message;
    } cases[] = {
        {"missing entry", [](Staged& t) { t.source_.entries.erase("readme.txt"); },
         "C:\\Apps\\Demo\\doc\\readme.txt", "no such entry"},
        {"checksum failure", [](Staged& t) { t.source_.damaged.insert("readme.txt"); },
         "C:\\Apps\\Demo\\doc\\readme.txt", "checksum"},
        {"target cannot be opened",
         [](Staged& t) { fs::create_directories(t.root_.path() / "drive_c" / "Apps" / "Demo" / "doc" / "readme.txt"); },
         "C:\\Apps\\Demo\\doc\\readme.txt", "folder"},
        {"main program missing", [](Staged& t) { t.source_.entries.erase("demo.exe"); },
         "C:\\Apps\\Demo\\demo.exe", "no such entry"},
    };
    for (Case& c : cases) {
        SCOPED_TRACE(c.name);
        Staged t;
        c.arrange(t);
        InstallResult result = t.Install();
        EXPECT_FALSE(result.success);
        EXPECT_FALSE(result.refused);
        ASSERT_FALSE(result.failures.empty());
        EXPECT_EQ(result.failures[0].subject, c.failedPath);
        EXPECT_NE(result.failures[0].message.find(c.message), std::string::npos) << result.failures[0].message;
        // Every other file is in place, and the failed one is not listed for the uninstaller.
        EXPECT_EQ(result.files.size(), 2u);
        EXPECT_EQ(t.Content("C:\\Apps\\Demo\\uninst.exe"), "MZ uninstaller");
        for (const auto& [name, value] : t.Values("Software\\Vela\\Demo"))
            EXPECT_NE(value, c.failedPath) << name;
        EXPECT_EQ(result.progress.back(), 100);
    }
}

TEST_F(InstallWorkerTest, ShortFileWriteIsAFailure) {
    // The first file write fails as on a full disk.
    struct FailFirstWrite : StagingInstallPlatform {
        using StagingInstallPlatform::StagingInstallPlatform;
        bool WriteFile(const std::string& p, const uint8_t* d, size_t s, std::string& w) override {
            if (!armed) {
                armed = true;
                FailOperation(Operations() + 1, false);
            }
            return StagingInstallPlatform::WriteFile(p, d, s, w);
        }
        bool armed = false;
    } platform(root_.path().string());
    InstallJob job = JobFromText(kScript);
    InstallResult result = RunInstallation(job, platform, source_);
    EXPECT_FALSE(result.success);
    ASSERT_EQ(result.failures.size(), 2u);
    EXPECT_EQ(result.failures[0].subject, "C:\\Apps\\Demo\\demo.exe");
    EXPECT_NE(result.failures[0].message.find("no space"), std::string::npos);
    // Its group shortcut would point at a broken file.
    EXPECT_EQ(result.failures[1].subject, kPrograms + "\\Vela Demo\\Demo.lnk");
    EXPECT_EQ(Content("C:\\Apps\\Demo\\demo.exe").size(), std::string("MZ demo program").size() / 2);
    EXPECT_EQ(result.files.size(), 2u);
}

TEST_F(InstallWorkerTest, RegistryFailuresAreWarningsAndFilesAndShortcutsStillInstall) {
    WriteFileText(root_ / "registry.reg", "not a registry file");
    StagingInstallPlatform platform(root_.path().string());
    ASSERT_FALSE(platform.Ready());
    InstallJob job = JobFromText(kFileTypes + kScript);
    job.desktopShortcut = true;
    InstallResult result = RunInstallation(job, platform, source_);
    EXPECT_TRUE(result.success);
    EXPECT_EQ(result.files.size(), 3u);
    EXPECT_EQ(result.shortcuts.size(), 2u);
    EXPECT_TRUE(Mentions(result.warnings, "Software\\Vela\\Demo"));
    EXPECT_TRUE(Mentions(result.warnings, kUninstall + "Vela Demo: UninstallString"));
    EXPECT_TRUE(Mentions(result.warnings, "SOFTWARE\\Classes\\.aaa"));
    for (const RegistryWrite& write : result.registry)
        EXPECT_FALSE(write.written) << write.key << " " << write.name;
    // The damaged file is left as it was.
    EXPECT_EQ(ReadFileText(root_ / "registry.reg"), "not a registry file");
}

TEST_F(InstallWorkerTest, RefusesScriptsBeforeWritingAnything) {
    struct Case {
        const char* name;
        std::string script;
        std::string subject;
    } cases[] = {
        {"no files", "[General]\nRegistry key=K\nNumber of files=0\n", "Number of files"},
        {"main executable past the list", "[General]\nMain executable=3\n" + kScript, "Main executable"},
        {"negative main executable", "[General]\nMain executable=-1\n" + kScript, "Main executable"},
        {"empty registry key", "[General]\nRegistry key=\n" + kScript, "Registry key"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir root;
        StagingInstallPlatform platform(root.path().string());
        InstallJob job = JobFromText(c.script);
        job.desktopShortcut = true;
        InstallResult result = RunInstallation(job, platform, source_);
        EXPECT_TRUE(result.refused);
        EXPECT_FALSE(result.success);
        ASSERT_EQ(result.failures.size(), 1u);
        EXPECT_EQ(result.failures[0].subject, c.subject);
        EXPECT_EQ(platform.Operations(), 0);
        EXPECT_TRUE(fs::is_empty(root.path() / "drive_c"));
        EXPECT_FALSE(fs::exists(root.path() / "registry.reg"));
    }
}

TEST_F(InstallWorkerTest, SkipsWhatWouldNameAKeyItselfOrLeaveTheList) {
    InstallResult result = Install(
        "[General]\nProduct name=\nNumber of file types=3\n"
        "File type 0.Name=\nFile type 0.Description=nameless\nFile type 0.Extensions=.x\n"
        "File type 1.Name=Vela.Doc\nFile type 1.Extensions= .doc  .dot \nFile type 1.Icon=4\n"
        "File type 2.Name=Vela.None\nFile type 2.Extensions=\n");
    EXPECT_TRUE(result.success);
    EXPECT_TRUE(Mentions(result.warnings, "nameless"));
    EXPECT_TRUE(Mentions(result.warnings, "SOFTWARE\\Classes\\Vela.Doc\\DefaultIcon"));
    EXPECT_TRUE(Mentions(result.warnings, kUninstall));
    ValueList product = Values("Software\\Vela\\Demo");
    ValueList regkeys(product.end() - 5, product.end());
    EXPECT_EQ(regkeys, (ValueList{{"0.regkey", "SOFTWARE\\Classes\\Vela.Doc"},
                                  {"1.regkey", "SOFTWARE\\Classes\\.doc"},
                                  {"2.regkey", "SOFTWARE\\Classes\\.dot"},
                                  {"3.regkey", "SOFTWARE\\Classes\\Vela.None"},
                                  {"4.regkey", "Software\\Vela\\Demo"}}));
    for (const RegistryFile::Key& key : platform_.Registry().Keys()) {
        EXPECT_FALSE(RegistryFile::SameName(key.path, "HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes")) << key.path;
        EXPECT_EQ(key.path.find("\\Uninstall"), std::string::npos) << key.path;
        EXPECT_EQ(key.path.find("DefaultIcon"), std::string::npos) << key.path;
    }
}

TEST_F(InstallWorkerTest, WorkerOverTheSharedStateHandsItsResultsBack) {
    ApplySetupScript(ReadSetupScriptText(kScript.data(), kScript.size()));
    installPath = "C:\\Shared";
    programGroup = "Group";
    desktopShortcut = 1;
    startupShortcut = 0;
    InstallResult result = InstallWorker(platform_, source_);
    EXPECT_TRUE(result.success);
    EXPECT_EQ(installProgress.load(), 100);
    EXPECT_EQ(installPath, "C:\\Shared\\");
    EXPECT_EQ(programGroup, kPrograms + "\\Group\\");
    ASSERT_EQ(files.size(), 3u);
    EXPECT_EQ(files[1].targetFolder, "C:\\Shared\\");
    EXPECT_EQ(result.shortcuts.back(), "C:\\users\\user\\Desktop\\Demo.lnk");
    EXPECT_EQ(Content("C:\\Shared\\doc\\readme.txt"), "read me\r\n");
}

TEST(SplitExtensions, LeavesOutEmptyPieces) {
    EXPECT_EQ(SplitExtensions(".aaa .bbb"), (std::vector<std::string>{".aaa", ".bbb"}));
    EXPECT_EQ(SplitExtensions("  .a  .b "), (std::vector<std::string>{".a", ".b"}));
    EXPECT_TRUE(SplitExtensions("").empty());
    EXPECT_TRUE(SplitExtensions("   ").empty());
}

// A failure names the path it concerns, or its end when a folder was unknown
// (a file for the Windows folder, a shortcut for the desktop), or the group
// folder when the Programs menu was unknown.
bool Reported(const std::vector<InstallIssue>& failures, const std::string& path) {
    for (const InstallIssue& failure : failures) {
        const std::string& subject = failure.subject;
        if (subject.empty())
            continue;
        if (path.size() >= subject.size() && path.compare(path.size() - subject.size(), subject.size(), subject) == 0)
            return true;
        if (failure.area == InstallIssue::Folder && path.find(subject) != std::string::npos)
            return true;
    }
    return false;
}

// Every platform operation of an installation, failed once or from then on:
// each outcome is complete or its failures and warnings name what is missing.
TEST_F(InstallWorkerTest, EveryInjectedFaultIsCompleteOrReported) {
    auto adjust = [](InstallJob& job) {
        job.desktopShortcut = job.startupShortcut = true;
        job.files[1].toWindowsFolder = 1;
    };
    const std::string script = kFileTypes + kScript;
    InstallJob reference = JobFromText(script);
    adjust(reference);
    InstallResult clean = RunInstallation(reference, platform_, source_);
    ASSERT_TRUE(clean.success);
    ASSERT_TRUE(clean.warnings.empty());
    const int operations = platform_.Operations();
    ASSERT_GT(operations, 30);

    for (bool persistent : {false, true}) {
        for (int n = 1; n <= operations; n++) {
            SCOPED_TRACE((persistent ? "from operation " : "operation ") + std::to_string(n));
            TempDir root;
            StagingInstallPlatform platform(root.path().string());
            platform.FailOperation(n, persistent);
            InstallJob job = JobFromText(script);
            adjust(job);
            InstallResult result = RunInstallation(job, platform, source_);
            EXPECT_EQ(result.success, result.failures.empty());
            EXPECT_EQ(result.progress.back(), 100);
            for (size_t i = 0; i < clean.files.size(); i++) {
                std::string host;
                bool present = platform.HostPath(clean.files[i], host) &&
                               ReadFileText(host) == source_.entries[reference.files[i].name];
                EXPECT_TRUE(present || Reported(result.failures, clean.files[i])) << clean.files[i];
                if (!present) {
                    EXPECT_FALSE(result.success);
                }
            }
            for (const std::string& link : clean.shortcuts) {
                std::string host;
                bool present = platform.HostPath(link, host) && fs::is_regular_file(host);
                EXPECT_TRUE(present || Reported(result.failures, link)) << link;
            }
            for (const RegistryWrite& write : clean.registry) {
                std::string value;
                bool present = platform.Registry().GetString("HKEY_LOCAL_MACHINE\\" + write.key, write.name, value) &&
                               value == write.value;
                // A failure elsewhere may change what is written (an unknown
                // folder changes a path); then the failure is the report.
                EXPECT_TRUE(present || Mentions(result.warnings, write.key) || !result.failures.empty())
                    << write.key << " " << write.name;
            }
        }
    }
}

}  // namespace
}  // namespace vela::test
