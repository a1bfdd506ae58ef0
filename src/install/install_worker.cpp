#include "install/install_worker.h"

#include <cstdio>

#include "app/setup_state.h"
#include "install/registry_entries.h"
#include "install/shortcuts.h"

namespace {

std::string Numbered(int32_t number, const char* suffix) {
    char name[32];
    std::snprintf(name, sizeof name, "%d%s", static_cast<int>(number), suffix);
    return name;
}

void EndWithBackslash(std::string& path) {
    if (path.empty() || path.back() != '\\')
        path += '\\';
}

std::string ShortcutFailureText(int32_t code) {
    if (code == ShortcutPathTooLong)
        return "the shortcut's path is longer than " + std::to_string(MaxShortcutPath) + " characters";
    char text[64];
    std::snprintf(text, sizeof text, "the shortcut could not be saved (result 0x%08X)", static_cast<unsigned>(code));
    return text;
}

// The worker's running state: the platform, the result it fills and the counter
// of "<j>.file" values.
class Installation {
public:
    Installation(InstallJob& job, InstallPlatform& platform, InstallSource& source)
        : job_(job), platform_(platform), source_(source), registry_(platform, result_) {}

    InstallResult Run();

private:
    bool Refuse();
    void Publish(int32_t value) {
        result_.progress.push_back(value);
        if (job_.progress)
            job_.progress(value);
    }
    void Fail(InstallIssue::Area area, const std::string& subject, const std::string& message) {
        result_.failures.push_back({area, subject, message});
    }
    // Writes "<j>.file" = path into the open product key.
    void ListFile(const std::string& path) {
        registry_.Write(productKey_, job_.registryKey, Numbered(j_++, ".file"), path, InstallIssue::ProductKey);
    }
    bool InstallFile(FileRecord& file);
    void MakeShortcut(const ShortcutPlan& plan);
    void MainShortcut(SpecialFolder folder, const char* what);

    InstallJob& job_;
    InstallPlatform& platform_;
    InstallSource& source_;
    InstallResult result_;
    RegistryRecorder registry_;
    RegistryHandle productKey_ = 0;
    bool groupKnown_ = false;
    std::vector<bool> installed_;
    int32_t j_ = 0;
};

bool Installation::Refuse() {
    const int32_t count = static_cast<int32_t>(job_.files.size());
    if (count == 0)
        result_.failures.push_back({InstallIssue::Script, "Number of files", "the script installs no files"});
    else if (job_.mainExecutable < 0 || job_.mainExecutable >= count)
        result_.failures.push_back({InstallIssue::Script, "Main executable",
                                    "file " + std::to_string(job_.mainExecutable) + " is not in the file list (0 to " +
                                        std::to_string(count - 1) + ")"});
    if (job_.registryKey.empty())
        result_.failures.push_back({InstallIssue::Script, "Registry key",
                                    "is empty: the product key would be the root of HKEY_LOCAL_MACHINE"});
    result_.refused = !result_.failures.empty();
    return result_.refused;
}

bool Installation::InstallFile(FileRecord& file) {
    file.targetFolder = job_.installPath;
    if (file.toWindowsFolder != 0 || file.toSystemFolder != 0) {
        std::string folder;
        bool windows = file.toWindowsFolder != 0;
        bool known = windows ? platform_.GetWindowsFolder(folder) : platform_.GetSystemFolder(folder);
        if (!known) {
            file.targetFolder.clear();
            Fail(InstallIssue::File, file.createName,
                 windows ? "the Windows folder is unknown" : "the system folder is unknown");
            return false;
        }
        file.targetFolder = folder + "\\";
    }
    const std::string path = file.targetFolder + file.createName;
    CreateDirectoryPath(platform_, path);

    std::string why;
    uint32_t size = 0;
    std::unique_ptr<uint8_t[]> content = source_.Read(file.name, size, why);
    if (!content) {
        Fail(InstallIssue::File, path, "not written: package entry \"" + file.name + "\": " + why);
        return false;
    }
    if (!platform_.WriteFile(path, content.get(), size, why)) {
        Fail(InstallIssue::File, path, why);
        return false;
    }
    result_.files.push_back(path);
    if (!platform_.SetNormalAttributes(path))
        result_.warnings.push_back({InstallIssue::File, path, "its attributes could not be set to normal"});
    if (file.canUninstall != 0)
        ListFile(path);
    return true;
}

void Installation::MakeShortcut(const ShortcutPlan& plan) {
    int32_t code = CreateShortcut(platform_, plan);
    if (code == ShortcutOk)
        result_.shortcuts.push_back(plan.FilePath());
    else
        Fail(InstallIssue::Shortcut, plan.FilePath(), ShortcutFailureText(code));
    // Listed for the uninstaller whether or not it could be made.
    ListFile(plan.FilePath());
}

void Installation::MainShortcut(SpecialFolder folder, const char* what) {
    const FileRecord& main = job_.files[static_cast<size_t>(job_.mainExecutable)];
    const std::string mainPath = main.targetFolder + main.createName;
    std::string folderPath;
    if (!platform_.GetSpecialFolder(folder, folderPath)) {
        Fail(InstallIssue::Shortcut, main.shortcutName + ".lnk",
             std::string("not created: the ") + what + " folder is unknown");
        return;
    }
    ShortcutPlan plan = ::MainShortcut(main, mainPath, job_.installPath, folderPath);
    if (!installed_[static_cast<size_t>(job_.mainExecutable)]) {
        Fail(InstallIssue::Shortcut, plan.FilePath(), "not created: its target was not installed");
        return;
    }
    MakeShortcut(plan);
}

InstallResult Installation::Run() {
    if (Refuse())
        return std::move(result_);
    const int32_t n = static_cast<int32_t>(job_.files.size());
    installed_.assign(job_.files.size(), false);

    // Folders and product key.
    EndWithBackslash(job_.installPath);
    platform_.CreateFolder(job_.installPath);
    productKey_ = registry_.Open(job_.registryKey, InstallIssue::ProductKey);
    registry_.Write(productKey_, job_.registryKey, "Path", job_.installPath, InstallIssue::ProductKey);
    registry_.Write(productKey_, job_.registryKey, "Product", job_.productName, InstallIssue::ProductKey);
    EndWithBackslash(job_.programGroup);
    std::string programs;
    groupKnown_ = platform_.GetSpecialFolder(SpecialFolder::Programs, programs);
    if (groupKnown_) {
        job_.programGroup = programs + "\\" + job_.programGroup;
        CreateDirectoryPath(platform_, job_.programGroup + "\\");
        registry_.Write(productKey_, job_.registryKey, "Program folder", job_.programGroup, InstallIssue::ProductKey);
        platform_.CreateFolder(job_.programGroup);
    } else {
        Fail(InstallIssue::Folder, job_.programGroup,
             "the Programs menu folder is unknown: no program group and no group shortcuts");
    }
    platform_.InitShell();

    // Files.
    for (int32_t i = 0; i < n; i++) {
        FileRecord& file = job_.files[static_cast<size_t>(i)];
        const bool installed = InstallFile(file);
        installed_[static_cast<size_t>(i)] = installed;
        // A single file is the whole file loop: it ends at 90 and 100.
        Publish(n > 1 ? (i * 90) / (n - 1) : 90);
        if (!file.shortcutName.empty() && groupKnown_) {
            ShortcutPlan plan = GroupShortcut(file, file.targetFolder + file.createName, job_.installPath,
                                              job_.programGroup);
            if (installed)
                MakeShortcut(plan);
            else
                Fail(InstallIssue::Shortcut, plan.FilePath(), "not created: its target was not installed");
        }
        Publish(n > 1 ? 90 + (i * 10) / (n - 1) : 100);
    }

    // Main executable.
    const FileRecord& main = job_.files[static_cast<size_t>(job_.mainExecutable)];
    const std::string mainPath = main.targetFolder + main.createName;
    if (job_.runWithUninstall != 0)
        registry_.Write(productKey_, job_.registryKey, "Main executable", mainPath, InstallIssue::ProductKey);
    if (job_.desktopShortcut)
        MainShortcut(SpecialFolder::Desktop, "desktop");
    if (job_.startupShortcut)
        MainShortcut(SpecialFolder::Startup, "start-up");

    // Uninstall registration. Without a product name its key would be the
    // Uninstall key itself, so there is none.
    int32_t k = 0;
    if (job_.productName.empty()) {
        registry_.Close(productKey_);
        result_.warnings.push_back({InstallIssue::Uninstall, kUninstallKeyPrefix,
                                    "no uninstall registration: the product name is empty"});
    } else {
        const std::string uninstallKey = kUninstallKeyPrefix + job_.productName;
        registry_.Write(productKey_, job_.registryKey, Numbered(k++, ".regkey"), uninstallKey,
                        InstallIssue::ProductKey);
        registry_.Close(productKey_);
        const FileRecord& last = job_.files.back();
        RegistryHandle key = registry_.Open(uninstallKey, InstallIssue::Uninstall);
        registry_.Write(key, uninstallKey, "DisplayName", job_.productName, InstallIssue::Uninstall);
        registry_.Write(key, uninstallKey, "UninstallString",
                        QuotedCommandPath(last.targetFolder + last.createName) + " " + job_.registryKey,
                        InstallIssue::Uninstall);
        registry_.Close(key);
    }
    productKey_ = 0;

    // File types.
    for (const FileTypeRecord& type : job_.fileTypes)
        RegisterFileType(registry_, type, job_.registryKey, mainPath, job_.files, k, result_);

    // The product key lists itself last.
    registry_.WriteOnce(job_.registryKey, Numbered(k, ".regkey"), job_.registryKey, InstallIssue::ProductKey);

    result_.success = result_.failures.empty();
    return std::move(result_);
}

}  // namespace

InstallJob JobFromScript(const SetupScript& script) {
    InstallJob job;
    job.productName = script.productName;
    job.registryKey = script.registryKey;
    job.mainExecutable = script.mainExecutable;
    job.runWithUninstall = script.runWithUninstall;
    job.files = script.files;
    job.fileTypes = script.fileTypes;
    job.installPath = script.defaultFolder;
    job.programGroup = script.defaultProgramFolder;
    return job;
}

InstallResult RunInstallation(InstallJob& job, InstallPlatform& platform, InstallSource& source) {
    Installation installation(job, platform, source);
    InstallResult result = installation.Run();
    result.installPath = job.installPath;
    result.programGroup = job.programGroup;
    return result;
}

InstallResult InstallWorker(InstallPlatform& platform, InstallSource& source) {
    InstallJob job;
    job.productName = productName;
    job.registryKey = registryKey;
    job.mainExecutable = mainExecutable;
    job.runWithUninstall = runWithUninstall;
    job.files = files;
    job.fileTypes = fileTypes;
    job.installPath = installPath;
    job.programGroup = programGroup;
    job.desktopShortcut = desktopShortcut != 0;
    job.startupShortcut = startupShortcut != 0;
    job.progress = [](int32_t value) { installProgress = value; };
    InstallResult result = RunInstallation(job, platform, source);
    installPath = job.installPath;
    programGroup = job.programGroup;
    for (size_t i = 0; i < files.size() && i < job.files.size(); i++)
        files[i].targetFolder = job.files[i].targetFolder;
    return result;
}

void CreateDirectoryPath(InstallPlatform& platform, const std::string& path) {
    std::string copy = path;
    for (size_t i = 0; i < copy.size(); i++) {
        if (copy[i] != '\\' && copy[i] != '/')
            continue;
        platform.CreateFolder(copy.substr(0, i));
        copy[i] = '\\';
    }
}

std::string QuotedCommandPath(const std::string& path) {
    return path.find(' ') != std::string::npos ? "\"" + path + "\"" : path;
}
