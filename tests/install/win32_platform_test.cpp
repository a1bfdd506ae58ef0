// The Win32 installation platform for real (under Wine here): registry values
// read back with RegQueryValueExA, shortcuts loaded back with IShellLinkA, files
// in place; and the staging platform's .lnk files loaded by the shell's own
// link object.
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <shlwapi.h>
#include <shobjidl.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "install/install_worker.h"
#include "install/shortcuts.h"
#include "install_test_support.h"
#include "platform/staging/staging_platform.h"
#include "platform/win32/install_platform_win32.h"
#include "test_support.h"

namespace vela::test {
namespace {

namespace fs = std::filesystem;

std::string Unique() {
    return std::to_string(GetCurrentProcessId()) + "-" + std::to_string(GetTickCount());
}

// A string value of HKEY_LOCAL_MACHINE\key, with its type; false when missing.
bool QueryString(const std::string& key, const std::string& name, std::string& value, DWORD* typeOut = nullptr) {
    HKEY handle;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS)
        return false;
    char buffer[2048];
    DWORD size = sizeof buffer, type = 0;
    LONG status = RegQueryValueExA(handle, name.empty() ? nullptr : name.c_str(), nullptr, &type,
                                   reinterpret_cast<BYTE*>(buffer), &size);
    RegCloseKey(handle);
    if (status != ERROR_SUCCESS || size == 0)
        return false;
    if (typeOut != nullptr)
        *typeOut = type;
    value.assign(buffer, size - 1);  // the stored bytes end with the NUL
    return buffer[size - 1] == '\0';
}

// The shell link object's reading of a .lnk file.
struct LoadedLink {
    bool loaded = false;
    std::string path, workingFolder, arguments, description;
};

LoadedLink LoadLink(const std::string& file) {
    LoadedLink out;
    IShellLinkA* link = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                reinterpret_cast<void**>(&link))))
        return out;
    IPersistFile* persist = nullptr;
    if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&persist)))) {
        WCHAR wide[MAX_PATH];
        MultiByteToWideChar(CP_ACP, 0, file.c_str(), -1, wide, MAX_PATH);
        if (SUCCEEDED(persist->Load(wide, STGM_READ))) {
            char text[1024];
            out.loaded = true;
            if (SUCCEEDED(link->GetPath(text, sizeof text, nullptr, SLGP_RAWPATH)))
                out.path = text;
            if (SUCCEEDED(link->GetWorkingDirectory(text, sizeof text)))
                out.workingFolder = text;
            if (SUCCEEDED(link->GetArguments(text, sizeof text)))
                out.arguments = text;
            if (SUCCEEDED(link->GetDescription(text, sizeof text)))
                out.description = text;
        }
        persist->Release();
    }
    link->Release();
    return out;
}

class Win32PlatformTest : public ::testing::Test {
protected:
    void SetUp() override { CoInitialize(nullptr); }
    void TearDown() override {
        for (const std::string& key : keys_)
            SHDeleteKeyA(HKEY_LOCAL_MACHINE, key.c_str());
        CoUninitialize();
    }
    // Registry keys removed after the test.
    std::vector<std::string> keys_;
};

TEST_F(Win32PlatformTest, RegistryKeysAndStringValues) {
    Win32InstallPlatform platform;
    const std::string key = "Software\\VelaTest\\" + Unique();
    keys_.push_back("Software\\VelaTest");
    RegistryHandle handle = platform.OpenKey(key);
    ASSERT_NE(handle, 0u);
    EXPECT_TRUE(platform.SetString(handle, "Path", "C:\\Program Files\\T\\"));
    EXPECT_TRUE(platform.SetString(handle, "", "default"));
    EXPECT_TRUE(platform.SetString(handle, "Path", "C:\\T\\"));  // replaced
    EXPECT_TRUE(platform.CloseKey(handle));

    std::string value;
    DWORD type = 0;
    ASSERT_TRUE(QueryString(key, "Path", value, &type));
    EXPECT_EQ(value, "C:\\T\\");
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    ASSERT_TRUE(QueryString(key, "", value));
    EXPECT_EQ(value, "default");

    // The key is created with its class text.
    HKEY opened;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ, &opened), ERROR_SUCCESS);
    char keyClass[64] = {};
    DWORD classSize = sizeof keyClass;
    EXPECT_EQ(RegQueryInfoKeyA(opened, keyClass, &classSize, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                               nullptr, nullptr, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(opened);
    EXPECT_STREQ(keyClass, "binary data");

    EXPECT_FALSE(platform.SetString(0, "x", "y"));
    EXPECT_FALSE(platform.CloseKey(0));
}

TEST_F(Win32PlatformTest, FoldersOfTheMachine) {
    Win32InstallPlatform platform;
    std::string windows, system, programs;
    ASSERT_TRUE(platform.GetWindowsFolder(windows));
    ASSERT_TRUE(platform.GetSystemFolder(system));
    ASSERT_TRUE(platform.GetSpecialFolder(SpecialFolder::Programs, programs));
    for (const std::string* folder : {&windows, &system, &programs}) {
        EXPECT_NE(folder->back(), '\\') << *folder;
        EXPECT_TRUE(fs::is_directory(*folder)) << *folder;
    }
    EXPECT_EQ(system.rfind(windows, 0), 0u) << system;
}

TEST_F(Win32PlatformTest, InstallsFilesShortcutsAndRegistryForReal) {
    TempDir temp;
    const std::string unique = Unique();
    const std::string product = "VelaTest " + unique;
    const std::string productKey = "Software\\VelaTest\\" + unique;
    const std::string className = "VelaTest." + unique;
    const std::string extension = ".vt" + unique;
    const std::string uninstallKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + product;
    keys_ = {"Software\\VelaTest", uninstallKey, "SOFTWARE\\Classes\\" + className, "SOFTWARE\\Classes\\" + extension};

    InstallJob job = JobFromText(
        "[General]\nProduct name=" + product + "\nRegistry key=" + productKey +
        "\nMain executable=0\nRun with '/uninstall'=1\nNumber of files=2\nNumber of file types=1\n"
        "File type 0.Name=" + className + "\nFile type 0.Description=Test document\nFile type 0.Extensions=" +
        extension + "\nFile type 0.Icon=1\nFile type 0.Open command=\"%1\"\n"
        "[0]\nName=tool.exe\nCreate name=bin\\tool.exe\nShortcut name=Tool\nArguments=-x\nCan uninstall=1\n"
        "[1]\nName=uninst.exe\nCreate name=uninst.exe\nCan uninstall=1\n");
    job.installPath = (temp.path() / "Vela Test").string();
    job.programGroup = "VelaTest " + unique;
    job.desktopShortcut = true;
    MemorySource source;
    source.entries = {{"tool.exe", std::string("MZ\0tool", 7)}, {"uninst.exe", "MZ uninstaller"}};
    Win32InstallPlatform platform;
    InstallResult result = RunInstallation(job, platform, source);

    std::string desktop;
    ASSERT_TRUE(platform.GetSpecialFolder(SpecialFolder::Desktop, desktop));
    const std::string desktopLink = desktop + "\\Tool.lnk";
    struct Cleanup {
        std::string group, link;
        ~Cleanup() {
            std::error_code ec;
            if (!group.empty())
                fs::remove_all(group, ec);
            fs::remove(link, ec);
        }
    } cleanup{result.programGroup, desktopLink};

    ASSERT_TRUE(result.success) << (result.failures.empty() ? "" : result.failures[0].subject + ": " + result.failures[0].message);
    EXPECT_TRUE(result.warnings.empty()) << result.warnings[0].subject << ": " << result.warnings[0].message;
    const std::string folder = job.installPath;
    EXPECT_EQ(ReadFileText(folder + "bin\\tool.exe"), std::string("MZ\0tool", 7));
    EXPECT_EQ(ReadFileText(folder + "uninst.exe"), "MZ uninstaller");
    EXPECT_EQ(GetFileAttributesA((folder + "uninst.exe").c_str()) & FILE_ATTRIBUTE_READONLY, 0u);

    for (const auto& [file, description] : {std::pair<std::string, std::string>{result.programGroup + "Tool.lnk", "Tool"},
                                            {desktopLink, "\\Tool"}}) {
        SCOPED_TRACE(file);
        LoadedLink link = LoadLink(file);
        ASSERT_TRUE(link.loaded);
        EXPECT_TRUE(RegistryFile::SameName(link.path, folder + "bin\\tool.exe")) << link.path;
        EXPECT_TRUE(RegistryFile::SameName(link.workingFolder, folder) ||
                    RegistryFile::SameName(link.workingFolder + "\\", folder)) << link.workingFolder;
        EXPECT_EQ(link.arguments, "-x");
        EXPECT_EQ(link.description, description);
    }

    struct Expected {
        std::string key, name, value;
    } expected[] = {
        {productKey, "Path", folder},
        {productKey, "Product", product},
        {productKey, "Program folder", result.programGroup},
        {productKey, "0.file", folder + "bin\\tool.exe"},
        {productKey, "1.file", result.programGroup + "Tool.lnk"},
        {productKey, "2.file", folder + "uninst.exe"},
        {productKey, "3.file", desktopLink},
        {productKey, "Main executable", folder + "bin\\tool.exe"},
        {productKey, "0.regkey", uninstallKey},
        {productKey, "1.regkey", "SOFTWARE\\Classes\\" + className},
        {productKey, "2.regkey", "SOFTWARE\\Classes\\" + extension},
        {productKey, "3.regkey", productKey},
        {uninstallKey, "DisplayName", product},
        {uninstallKey, "UninstallString", "\"" + folder + "uninst.exe\" " + productKey},
        {"SOFTWARE\\Classes\\" + className, "", "Test document"},
        {"SOFTWARE\\Classes\\" + className + "\\shell\\open\\command", "", "\"" + folder + "bin\\tool.exe\" \"%1\""},
        {"SOFTWARE\\Classes\\" + className + "\\DefaultIcon", "", folder + "bin\\tool.exe,0"},
        {"SOFTWARE\\Classes\\" + extension, "", className},
    };
    for (const Expected& e : expected) {
        std::string value;
        EXPECT_TRUE(QueryString(e.key, e.name, value)) << e.key << " " << e.name;
        EXPECT_EQ(value, e.value) << e.key << " " << e.name;
    }
}

TEST_F(Win32PlatformTest, LongShortcutPathsAreRefusedWhole) {
    TempDir temp;
    Win32InstallPlatform platform;
    const std::string base = temp.path().string() + "\\" + std::string(300, 'n');
    EXPECT_EQ(CreateShortcut(platform, "C:\\x.exe", "C:\\", base, "", ""), ShortcutPathTooLong);
    // The platform itself does not cut the name either.
    EXPECT_NE(platform.SaveShortcut(ShortcutLink{"C:\\x.exe", "C:\\", "", ""}, base + ".lnk"), ShortcutOk);
    EXPECT_TRUE(fs::is_empty(temp.path()));
}

TEST_F(Win32PlatformTest, StagingLinksLoadInTheShell) {
    TempDir temp;
    StagingInstallPlatform staging(temp.path().string());
    ASSERT_TRUE(staging.CreateFolder("C:\\Apps"));
    std::string why;
    ASSERT_TRUE(staging.WriteFile("C:\\Apps\\tool.exe", reinterpret_cast<const uint8_t*>("MZ"), 2, why));
    ShortcutLink link{"C:\\Apps\\tool.exe", "C:\\Apps\\", "--run \"x y\"", "\\The tool"};
    ASSERT_EQ(staging.SaveShortcut(link, "C:\\Apps\\Tool.lnk"), ShortcutOk);
    std::string host;
    ASSERT_TRUE(staging.HostPath("C:\\Apps\\Tool.lnk", host));
    LoadedLink loaded = LoadLink(host);
    ASSERT_TRUE(loaded.loaded);
    EXPECT_EQ(loaded.path, link.target);
    EXPECT_EQ(loaded.workingFolder, link.workingFolder);
    EXPECT_EQ(loaded.arguments, link.arguments);
    EXPECT_EQ(loaded.description, link.description);
}

}  // namespace
}  // namespace vela::test
