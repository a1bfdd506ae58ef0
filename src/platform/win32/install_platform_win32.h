// The installation platform of a real Windows machine: the Win32 file calls, the
// shell's special folders and link object, and the registry below
// HKEY_LOCAL_MACHINE.
#pragma once
#include "platform/install_platform.h"

class Win32InstallPlatform : public InstallPlatform {
public:
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
};
