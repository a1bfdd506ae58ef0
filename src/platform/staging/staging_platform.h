// StagingInstallPlatform: a folder ROOT that stands for a Windows machine, so
// that an installation can run (and be looked at) where there is no Windows.
//
//   drives        C: is ROOT/drive_c, D: is ROOT/drive_d and so on; only drive C
//                 exists unless its folder is there. A path without a drive is
//                 taken on drive C, and a relative one from C:\. "\" and "/" both
//                 separate, "." and ".." are resolved without leaving the drive,
//                 and trailing dots and spaces of a name are dropped, as Windows
//                 does. Existing names match without regard to ASCII case.
//                 Device names (CON, NUL, COM1, ... with any extension) are no
//                 files on Windows and map to nothing.
//   special       Programs  C:\users\USER\AppData\Roaming\Microsoft\Windows\Start Menu\Programs
//   folders       Startup   the Programs folder's Startup
//                 Desktop   C:\users\USER\Desktop
//                 Windows   C:\windows, System C:\windows\system32
//                 (created when first asked for; USER is "user" unless given)
//   registry      ROOT/registry.reg in REGEDIT4 text (platform/staging/registry_file.h),
//                 rewritten after every change. Keys are below HKEY_LOCAL_MACHINE;
//                 as in the registry, a key path may not start with "\" or hold an
//                 empty name, and the root key itself takes no values; key and
//                 value names with a line break or NUL, which a REGEDIT4 line
//                 cannot carry, are refused.
//   shortcuts     real Shell Link files (platform/staging/shell_link_file.h).
//
// A fault injector makes the Nth operation (counting every call of the
// InstallPlatform interface from 1) fail, once or from then on; a failing file
// write leaves half of the file behind, as a full disk would.
#pragma once
#include <map>
#include <string>

#include "platform/install_platform.h"
#include "platform/staging/registry_file.h"

class StagingInstallPlatform : public InstallPlatform {
public:
    // Creates ROOT and ROOT/drive_c when missing and loads ROOT/registry.reg.
    explicit StagingInstallPlatform(std::string root, std::string user = "user");

    // False when ROOT could not be prepared or registry.reg is not a REGEDIT4
    // file (then every registry operation fails and the file is left alone).
    bool Ready() const { return ready_; }
    const std::string& Problem() const { return problem_; }

    // The host path of a Windows path, matching existing names without regard to
    // case; false for a path that cannot exist on the staged machine.
    bool HostPath(const std::string& windowsPath, std::string& hostPath) const;
    std::string RegistryFilePath() const;
    const RegistryFile& Registry() const { return registry_; }

    // Fault injection: operation number n fails (from then on when persistent);
    // n = 0 switches it off. Operations() counts the calls so far.
    void FailOperation(int n, bool persistent);
    int Operations() const { return operations_; }

    bool CreateFolder(const std::string& path) override;
    bool GetSpecialFolder(SpecialFolder folder, std::string& path) override;
    bool GetWindowsFolder(std::string& path) override;
    bool GetSystemFolder(std::string& path) override;
    bool WriteFile(const std::string& path, const uint8_t* data, size_t size, std::string& why) override;
    bool SetNormalAttributes(const std::string& path) override;
    bool InitShell() override;
    int32_t SaveShortcut(const ShortcutLink& link, const std::string& linkPath) override;
    RegistryHandle OpenKey(const std::string& subKey) override;
    bool SetString(RegistryHandle key, const std::string& name, const std::string& value) override;
    bool CloseKey(RegistryHandle key) override;

private:
    // Counts one operation; true when it is to fail.
    bool Fault();
    // Returns the Windows path of a standard folder after making sure it exists.
    bool StandardFolder(const std::string& windowsPath, std::string& path);
    bool SaveRegistry();

    std::string root_;
    std::string user_;
    bool ready_ = true;
    std::string problem_;
    RegistryFile registry_;
    std::map<RegistryHandle, int> openKeys_;  // handle -> key index, -1 for the root key
    RegistryHandle nextHandle_ = 1;
    int operations_ = 0;
    int failAt_ = 0;
    bool failPersistent_ = false;
};
