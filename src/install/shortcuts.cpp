#include "install/shortcuts.h"

int32_t CreateShortcut(InstallPlatform& platform, const std::string& target, const std::string& workingFolder,
                       const std::string& shortcutBase, const std::string& description,
                       const std::string& arguments) {
    std::string linkPath = shortcutBase + ".lnk";
    if (linkPath.size() > MaxShortcutPath)
        return ShortcutPathTooLong;
    ShortcutLink link;
    link.target = target;
    link.workingFolder = workingFolder;
    link.arguments = arguments;
    link.description = description;
    return platform.SaveShortcut(link, linkPath);
}

int32_t CreateShortcut(InstallPlatform& platform, const ShortcutPlan& plan) {
    return CreateShortcut(platform, plan.link.target, plan.link.workingFolder, plan.base, plan.link.description,
                          plan.link.arguments);
}

ShortcutPlan GroupShortcut(const FileRecord& file, const std::string& fullPath, const std::string& installPath,
                           const std::string& programGroup) {
    ShortcutPlan plan;
    plan.base = programGroup + file.shortcutName;
    plan.link.target = fullPath;
    plan.link.workingFolder = installPath;
    plan.link.description = file.shortcutName;
    plan.link.arguments = file.arguments;
    return plan;
}

ShortcutPlan MainShortcut(const FileRecord& main, const std::string& mainPath, const std::string& installPath,
                          const std::string& folder) {
    ShortcutPlan plan;
    plan.link.description = "\\" + main.shortcutName;
    plan.base = folder + plan.link.description;
    plan.link.target = mainPath;
    plan.link.workingFolder = installPath;
    plan.link.arguments = main.arguments;
    return plan;
}
