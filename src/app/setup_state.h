// The shared setup state: process-wide variables that the setup dialog, its
// timer and the installation worker share.
//
// The dialog writes the user's choices (installPath, programGroup,
// desktopShortcut, startupShortcut) before the worker starts and reads the
// worker's results only after the completion event; the worker publishes its
// progress in installProgress, which the dialog's timer reads while it runs.
#pragma once
#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "app/setup_script.h"

extern std::string productName;
extern std::string noticeText;
extern std::string registryKey;
extern std::string defaultFolder;
extern std::string defaultProgramFolder;
extern int32_t mainExecutable;
extern int32_t readme;
extern int32_t runWithInstall;
extern int32_t runWithUninstall;
extern int32_t advancedOptions;
extern int32_t advancedOptionsDefault;
extern std::vector<FileRecord> files;
extern std::vector<FileTypeRecord> fileTypes;

extern std::string installPath;
extern std::string programGroup;
extern int32_t desktopShortcut;
extern int32_t startupShortcut;
// 0 to 100; written by the worker thread and read by the dialog's timer.
extern std::atomic<int32_t> installProgress;

// Copies a script into the shared state (texts, ints, both lists) and sets
// installProgress to 0; the dialog's caption (script.title) is the caller's.
void ApplySetupScript(const SetupScript& script);

// The package to install: the first argument when there is one and it is not
// empty, otherwise the program's own file (selfPath).
const char* ChoosePackagePath(int argc, char** argv, const char* selfPath);
