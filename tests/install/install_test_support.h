// Fixtures shared by the installation tests: file contents in memory, scripts
// from ini text, and the registry of a staging root read back.
#pragma once
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "app/setup_script.h"
#include "install/install_worker.h"
#include "platform/staging/registry_file.h"

namespace vela::test {

// Package entries held in memory; names in `damaged` fail their checksum test.
class MemorySource : public InstallSource {
public:
    std::map<std::string, std::string> entries;
    std::set<std::string> damaged;

    std::unique_ptr<uint8_t[]> Read(const std::string& name, uint32_t& size, std::string& why) override {
        auto found = entries.find(name);
        if (found == entries.end()) {
            why = "no such entry in the package";
            return nullptr;
        }
        if (damaged.count(name) != 0) {
            why = "the entry's checksum does not match its content";
            return nullptr;
        }
        size = static_cast<uint32_t>(found->second.size());
        auto buffer = std::make_unique<uint8_t[]>(size + 1);
        std::memcpy(buffer.get(), found->second.data(), size);
        buffer[size] = 0;
        return buffer;
    }
};

inline InstallJob JobFromText(const std::string& ini) {
    return JobFromScript(ReadSetupScriptText(ini.data(), ini.size()));
}

using ValueList = std::vector<std::pair<std::string, std::string>>;

// The string values of a key below HKEY_LOCAL_MACHINE, in stored order.
inline ValueList KeyValues(const RegistryFile& registry, const std::string& key) {
    ValueList values;
    int index = registry.FindKey(std::string(RegistryFile::kRoot) + "\\" + key);
    if (index < 0)
        return values;
    for (const RegistryFile::Value& value : registry.Keys()[static_cast<size_t>(index)].values) {
        std::string text;
        RegistryFile::DecodeString(value.data, text);
        values.emplace_back(value.name, text);
    }
    return values;
}

inline bool Mentions(const std::vector<InstallIssue>& issues, const std::string& subject) {
    for (const InstallIssue& issue : issues)
        if (issue.subject.find(subject) != std::string::npos)
            return true;
    return false;
}

}  // namespace vela::test
