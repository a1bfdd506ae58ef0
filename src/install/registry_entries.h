// Registry entries of an installation, all below HKEY_LOCAL_MACHINE:
//
//   product key (registryKey)  "Path", "Product", "Program folder", "<j>.file"
//                              per installed file and shortcut, "Main executable",
//                              "<k>.regkey" per key the installation created
//   uninstall registration     SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\<product>
//                              "DisplayName", "UninstallString"
//   file types                 SOFTWARE\Classes\<name> (description),
//                              ...\shell\open\command (open command),
//                              ...\DefaultIcon ("<path>,<index>", when it has an icon),
//                              SOFTWARE\Classes\<ext> (class name) per extension
//
// Every value is a string; each key is opened (created when missing), written
// and closed at once, except the product key, which the worker holds open from
// "Path" to the first "<k>.regkey".
#pragma once
#include <string>
#include <vector>

#include "app/setup_script.h"
#include "install/install_worker.h"
#include "platform/install_platform.h"

extern const char kUninstallKeyPrefix[];  // "SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\"
extern const char kClassesKeyPrefix[];    // "SOFTWARE\Classes\"

// Creates or opens subKey below HKEY_LOCAL_MACHINE; 0 on failure.
RegistryHandle OpenRegistryKey(InstallPlatform& platform, const std::string& subKey);
// Sets a string value; true on success.
bool SetRegistryString(InstallPlatform& platform, RegistryHandle key, const std::string& name,
                       const std::string& text);

// The extensions of a file type: the pieces between single spaces, empty pieces
// left out (they would name SOFTWARE\Classes itself).
std::vector<std::string> SplitExtensions(const std::string& extensions);

// Writes registry values for one installation and keeps account of them in the
// result: every write in result.registry, every failure as a warning.
class RegistryRecorder {
public:
    RegistryRecorder(InstallPlatform& platform, InstallResult& result) : platform_(platform), result_(result) {}

    // Opens a key for several writes; a failure is a warning of area.
    RegistryHandle Open(const std::string& key, InstallIssue::Area area);
    void Close(RegistryHandle handle);
    // Writes one value into an open key (handle may be 0: the write then fails).
    bool Write(RegistryHandle handle, const std::string& key, const std::string& name, const std::string& value,
               InstallIssue::Area area);
    // Opens key, writes one value and closes it.
    bool WriteOnce(const std::string& key, const std::string& name, const std::string& value,
                   InstallIssue::Area area);

private:
    InstallPlatform& platform_;
    InstallResult& result_;
};

// Registers one file type and lists its class and extension keys in the product
// key as "<k>.regkey" values from k on; k ends past the last one. mainPath is the
// main executable's full path; files gives the icon file's path. A type with an
// empty name is skipped (a warning), as is an icon number outside files.
void RegisterFileType(RegistryRecorder& registry, const FileTypeRecord& type, const std::string& registryKey,
                      const std::string& mainPath, const std::vector<FileRecord>& files, int32_t& k,
                      InstallResult& result);
