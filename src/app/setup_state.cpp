#include "app/setup_state.h"

std::string productName;
std::string noticeText;
std::string registryKey;
std::string defaultFolder;
std::string defaultProgramFolder;
int32_t mainExecutable = 0;
int32_t readme = 0;
int32_t runWithInstall = 0;
int32_t runWithUninstall = 0;
int32_t advancedOptions = 0;
int32_t advancedOptionsDefault = 0;
std::vector<FileRecord> files;
std::vector<FileTypeRecord> fileTypes;

std::string installPath;
std::string programGroup;
int32_t desktopShortcut = 0;
int32_t startupShortcut = 0;
std::atomic<int32_t> installProgress{0};

void ApplySetupScript(const SetupScript& script) {
    installProgress = 0;
    productName = script.productName;
    noticeText = script.noticeText;
    registryKey = script.registryKey;
    defaultFolder = script.defaultFolder;
    defaultProgramFolder = script.defaultProgramFolder;
    mainExecutable = script.mainExecutable;
    readme = script.readme;
    runWithInstall = script.runWithInstall;
    runWithUninstall = script.runWithUninstall;
    advancedOptions = script.advancedOptions;
    advancedOptionsDefault = script.advancedOptionsDefault;
    fileTypes = script.fileTypes;
    files = script.files;
}

const char* ChoosePackagePath(int argc, char** argv, const char* selfPath) {
    if (argc > 1 && argv[1] != nullptr && argv[1][0] != '\0')
        return argv[1];
    return selfPath;
}
