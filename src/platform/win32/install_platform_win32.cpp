#include "platform/win32/install_platform_win32.h"

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

namespace {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

template <typename Interface>
struct ComRelease {
    void operator()(Interface* object) const { object->Release(); }
};
template <typename Interface>
using ComPtr = std::unique_ptr<Interface, ComRelease<Interface>>;

std::string ErrorText() {
    int error = errno;
    return error != 0 ? std::strerror(error) : "unknown error";
}

// A folder path from a buffer of MAX_PATH bytes; false when the call gave none.
bool FolderFromBuffer(UINT length, const char* buffer, std::string& path) {
    if (length == 0 || length >= MAX_PATH)
        return false;
    path.assign(buffer, length);
    if (path.back() == '\\')  // a drive root: "C:\" becomes "C:"
        path.pop_back();
    return true;
}

}  // namespace

bool Win32InstallPlatform::CreateFolder(const std::string& path) {
    return CreateDirectoryA(path.c_str(), nullptr) != 0;
}

bool Win32InstallPlatform::GetSpecialFolder(SpecialFolder folder, std::string& path) {
    LPITEMIDLIST items = nullptr;
    if (FAILED(SHGetSpecialFolderLocation(nullptr, static_cast<int>(folder), &items)) || items == nullptr)
        return false;
    char buffer[MAX_PATH] = {};
    BOOL found = SHGetPathFromIDListA(items, buffer);
    CoTaskMemFree(items);
    if (!found || buffer[0] == '\0')
        return false;
    path = buffer;
    return true;
}

bool Win32InstallPlatform::GetWindowsFolder(std::string& path) {
    char buffer[MAX_PATH];
    return FolderFromBuffer(GetWindowsDirectoryA(buffer, MAX_PATH), buffer, path);
}

bool Win32InstallPlatform::GetSystemFolder(std::string& path) {
    char buffer[MAX_PATH];
    return FolderFromBuffer(GetSystemDirectoryA(buffer, MAX_PATH), buffer, path);
}

bool Win32InstallPlatform::WriteFile(const std::string& path, const uint8_t* data, size_t size, std::string& why) {
    errno = 0;
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "wb"));
    if (!file) {
        why = "cannot open for writing: " + ErrorText();
        return false;
    }
    errno = 0;
    if (size > 0 && std::fwrite(data, 1, size, file.get()) != size) {
        why = "write failed: " + ErrorText();
        return false;
    }
    errno = 0;
    if (std::fclose(file.release()) != 0) {
        why = "write failed: " + ErrorText();
        return false;
    }
    return true;
}

bool Win32InstallPlatform::SetNormalAttributes(const std::string& path) {
    return SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL) != 0;
}

bool Win32InstallPlatform::InitShell() {
    return SUCCEEDED(CoInitialize(nullptr));
}

int32_t Win32InstallPlatform::SaveShortcut(const ShortcutLink& link, const std::string& linkPath) {
    IShellLinkA* rawLink = nullptr;
    HRESULT result = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                      reinterpret_cast<void**>(&rawLink));
    if (FAILED(result))
        return result;
    ComPtr<IShellLinkA> shellLink(rawLink);
    // A text the link object does not take fails the save rather than leaving a
    // link without its target, folder or arguments.
    if (FAILED(result = shellLink->SetDescription(link.description.c_str())) ||
        FAILED(result = shellLink->SetPath(link.target.c_str())) ||
        FAILED(result = shellLink->SetWorkingDirectory(link.workingFolder.c_str())) ||
        FAILED(result = shellLink->SetArguments(link.arguments.c_str())))
        return result;

    IPersistFile* rawFile = nullptr;
    result = shellLink->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&rawFile));
    if (FAILED(result))
        return result;
    ComPtr<IPersistFile> persistFile(rawFile);

    // The name must fit the buffer whole; a conversion that does not fit fails
    // rather than saving the link under a cut-off name.
    WCHAR wideName[MAX_PATH];
    if (MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, linkPath.c_str(), -1, wideName, MAX_PATH) == 0)
        return HRESULT_FROM_WIN32(GetLastError());
    return persistFile->Save(wideName, TRUE);
}

RegistryHandle Win32InstallPlatform::OpenKey(const std::string& subKey) {
    HKEY key = nullptr;
    DWORD disposition = 0;
    char keyClass[] = "binary data";
    LONG status = RegCreateKeyExA(HKEY_LOCAL_MACHINE, subKey.c_str(), 0, keyClass, REG_OPTION_NON_VOLATILE,
                                  KEY_ALL_ACCESS, nullptr, &key, &disposition);
    if (status != ERROR_SUCCESS)
        return 0;
    return reinterpret_cast<RegistryHandle>(key);
}

bool Win32InstallPlatform::SetString(RegistryHandle key, const std::string& name, const std::string& value) {
    if (key == 0 || value.size() >= 0xFFFFFFFFu)
        return false;
    LONG status = RegSetValueExA(reinterpret_cast<HKEY>(key), name.c_str(), 0, REG_SZ,
                                 reinterpret_cast<const BYTE*>(value.c_str()), static_cast<DWORD>(value.size() + 1));
    return status == ERROR_SUCCESS;
}

bool Win32InstallPlatform::CloseKey(RegistryHandle key) {
    return key != 0 && RegCloseKey(reinterpret_cast<HKEY>(key)) == ERROR_SUCCESS;
}
