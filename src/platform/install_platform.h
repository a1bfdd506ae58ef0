// InstallPlatform: the few operations of the machine that the installation
// worker needs — folders, the shell's special folders, the Windows and system
// folders, writing files, shell shortcuts and the registry below
// HKEY_LOCAL_MACHINE.
//
// Two implementations:
//   Win32InstallPlatform   (platform/win32/install_platform_win32.h) the real calls;
//   StagingInstallPlatform (platform/staging/staging_platform.h) a folder that
//                          stands for a Windows machine, for Linux and for previews.
//
// Every path is a Windows path text in the ANSI code page, with "\" (or "/") as
// separators. Operations report success or failure and never end the process;
// what a failure means for the installation is the worker's decision. The
// completion signal of an installation is not the platform's business: the
// worker's caller (the setup dialog or the packaging tool) owns it.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

// The shell's special folders the installer asks for, by their CSIDL values.
enum class SpecialFolder : int {
    Programs = 2,   // CSIDL_PROGRAMS: the current user's Programs menu
    Startup = 7,    // CSIDL_STARTUP: the current user's start-up folder
    Desktop = 16,   // CSIDL_DESKTOPDIRECTORY: the current user's desktop folder
};

// The contents of one shell shortcut.
struct ShortcutLink {
    std::string target;         // full path of the file the shortcut starts
    std::string workingFolder;  // current folder of the started program
    std::string arguments;      // command-line arguments passed to the target
    std::string description;    // the shortcut's comment text
};

// An open registry key; 0 stands for none.
using RegistryHandle = uintptr_t;

// Result codes of the shortcut operation, in the platform's HRESULT convention.
enum : int32_t {
    ShortcutOk = 0,
    ShortcutFailed = static_cast<int32_t>(0x80004005),        // E_FAIL
    ShortcutPathTooLong = static_cast<int32_t>(0x800700CE),   // HRESULT of ERROR_FILENAME_EXCED_RANGE
};

class InstallPlatform {
public:
    virtual ~InstallPlatform() = default;

    // Creates one folder (its parent must exist). False when it could not be
    // created, which includes a folder that exists already and a drive ("C:").
    virtual bool CreateFolder(const std::string& path) = 0;
    // The path of a special folder without a trailing backslash; false when the
    // shell does not know it.
    virtual bool GetSpecialFolder(SpecialFolder folder, std::string& path) = 0;
    // The Windows folder and the system folder, without a trailing backslash.
    virtual bool GetWindowsFolder(std::string& path) = 0;
    virtual bool GetSystemFolder(std::string& path) = 0;
    // Creates or truncates the file and writes size bytes. False (with why set)
    // when it cannot be opened or not every byte reached it; a partly written file
    // may remain.
    virtual bool WriteFile(const std::string& path, const uint8_t* data, size_t size, std::string& why) = 0;
    // Gives the file normal attributes (clears read-only, hidden, system, archive).
    virtual bool SetNormalAttributes(const std::string& path) = 0;
    // Prepares the calling thread for SaveShortcut (the shell's object system).
    virtual bool InitShell() = 0;
    // Writes the shortcut file linkPath (with its ".lnk"), replacing an existing
    // one. Returns ShortcutOk or a failure code; a failure leaves no new file.
    virtual int32_t SaveShortcut(const ShortcutLink& link, const std::string& linkPath) = 0;
    // Creates or opens the key subKey below HKEY_LOCAL_MACHINE; 0 on failure.
    virtual RegistryHandle OpenKey(const std::string& subKey) = 0;
    // Sets a string value; the empty name is the key's default value.
    virtual bool SetString(RegistryHandle key, const std::string& name, const std::string& value) = 0;
    virtual bool CloseKey(RegistryHandle key) = 0;
};
