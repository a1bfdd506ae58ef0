#include "install/package_source.h"

std::unique_ptr<uint8_t[]> PackageInstallSource::Read(const std::string& name, uint32_t& size, std::string& why) {
    size = 0;
    if (package_.FindEntry(name) == nullptr) {
        why = "no such entry in the package";
        return nullptr;
    }
    std::unique_ptr<uint8_t[]> content = package_.ReadEntry(name, true, &size);
    if (!content || package_.Failed()) {
        const char* text = package_.FailureText();
        why = text != nullptr && text[0] != '\0' ? text : "the entry cannot be read";
        size = 0;
        return nullptr;
    }
    return content;
}
