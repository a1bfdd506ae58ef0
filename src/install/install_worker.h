// The installation worker: writes every packaged file to its target folder,
// creates the program-menu group and the shortcuts, and writes the product key,
// the uninstall registration and the file types, in a fixed order:
//
//   folders and product key  installation folder (one level), product key
//                            "Path" and "Product", the group folder below the
//                            Programs menu, "Program folder", the shell prepared
//   files, in list order     target folder (installation, Windows or system
//                            folder), folders along the path, content read and
//                            checked, file written with normal attributes,
//                            "<j>.file" when it can be uninstalled, progress
//                            i*90/(N-1), its group shortcut and "<j>.file",
//                            progress 90 + i*10/(N-1)
//   main executable          "Main executable" (when the script asks for it),
//                            desktop and start-up shortcuts with their "<j>.file"
//   uninstall registration   "0.regkey", product key closed, DisplayName and
//                            UninstallString of the product's Uninstall key
//   file types               class and extension keys, each listed as "<k>.regkey"
//   last                     the product key lists itself as the last "<k>.regkey"
//
// Unlike a worker that trusts its platform, this one keeps account: a file whose
// content is missing or damaged, or that cannot be written, is a failure (the
// worker goes on with the others, and the installation ends failed); a registry
// write that fails is a warning (files and shortcuts are installed all the same,
// and the result says what could not be recorded). A script with no files, a main
// executable outside the file list or an empty registry key is refused before
// anything is written.
#pragma once
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/setup_script.h"
#include "platform/install_platform.h"

// Where the worker gets a file's content: the package archive in the installer
// and the packaging tool, a table in memory in tests.
class InstallSource {
public:
    virtual ~InstallSource() = default;
    // The content of the entry name, checked against its checksum, and its
    // length in size; none (with why set) when there is no such entry, it is
    // damaged, or it cannot be read.
    virtual std::unique_ptr<uint8_t[]> Read(const std::string& name, uint32_t& size, std::string& why) = 0;
};

// One installation's inputs. The worker turns installPath and programGroup into
// their final forms (full paths ending in a backslash) and fills each file
// record's targetFolder.
struct InstallJob {
    std::string productName;
    std::string registryKey;
    int32_t mainExecutable = 0;
    int32_t runWithUninstall = 0;
    std::vector<FileRecord> files;
    std::vector<FileTypeRecord> fileTypes;
    // The user's choices.
    std::string installPath;
    std::string programGroup;
    bool desktopShortcut = false;
    bool startupShortcut = false;
    // Called with every progress value the worker publishes (0 to 100); may be empty.
    std::function<void(int32_t)> progress;
};

// A job from a setup script, with the script's default folder and group.
InstallJob JobFromScript(const SetupScript& script);

struct InstallIssue {
    // What the issue concerns.
    enum Area { Script, Folder, File, Shortcut, ProductKey, Uninstall, FileType };
    Area area;
    std::string subject;  // the path or key (with ": value" for a registry value)
    std::string message;
};

// One registry value the worker wrote, or tried to.
struct RegistryWrite {
    std::string key;    // below HKEY_LOCAL_MACHINE
    std::string name;   // empty: the key's default value
    std::string value;
    bool written;
};

struct InstallResult {
    bool refused = false;  // the script was refused; nothing was written
    bool success = false;  // nothing failed (warnings allowed)
    std::string installPath;   // final forms, ending in a backslash
    std::string programGroup;
    std::vector<std::string> files;      // installed files, full paths
    std::vector<std::string> shortcuts;  // shortcut files created
    std::vector<RegistryWrite> registry; // in the order written
    std::vector<InstallIssue> failures;
    std::vector<InstallIssue> warnings;
    std::vector<int32_t> progress;       // the values published, in order
};

// Runs the installation of job on platform with the content from source.
InstallResult RunInstallation(InstallJob& job, InstallPlatform& platform, InstallSource& source);

// The setup dialog's worker: runs the installation over the shared setup state
// (app/setup_state.h), publishing installProgress, and copies the final
// installPath, programGroup and target folders back. The caller signals completion.
InstallResult InstallWorker(InstallPlatform& platform, InstallSource& source);

// Creates the folders that path names before its last separator ("\" or "/"),
// from the top down, one CreateFolder per separator; failures (existing folders,
// drives) do not stop the walk.
void CreateDirectoryPath(InstallPlatform& platform, const std::string& path);

// A path in double quotes when it holds a space, so that a command line that
// starts with it cannot be read as a shorter program path.
std::string QuotedCommandPath(const std::string& path);
