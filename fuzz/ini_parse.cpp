// Fuzz target: parse any bytes as an ini text (NUL bytes and what follows them
// included) and look up sections and keys taken from the input itself, with
// every typed getter, so that no input can make the reader touch memory outside
// its lines.
#include <cstdint>
#include <cstring>
#include <string>

#include "config/ini_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TIniFile ini;
    const char* text = reinterpret_cast<const char*>(data);
    ini.ParseBytes(text, size);

    // Sections and keys to look for: every header-like line and the key parts
    // of the lines after it, plus a few fixed names.
    std::string section = "General";
    for (int32_t i = 0; i < ini.LineCount(); i++) {
        const char* line = ini.GetLine(i);
        if (line[0] == '[') {
            const char* close = std::strchr(line, ']');
            section.assign(line + 1, close != nullptr ? close : line + std::strlen(line));
            ini.FindKey(section.c_str(), nullptr);
            continue;
        }
        const char* eq = std::strchr(line, '=');
        std::string key(line, eq != nullptr ? eq : line + std::strlen(line));
        ini.GetString(section.c_str(), key.c_str(), "");
        ini.GetInt(section.c_str(), key.c_str(), 0);
        ini.GetFloat(section.c_str(), key.c_str(), 0.0);
        ini.GetBool(section.c_str(), key.c_str(), false);
        ini.GetIntList(section.c_str(), key.c_str(), nullptr);
        ini.GetFloatList(section.c_str(), key.c_str(), nullptr);
        ini.GetStringList(section.c_str(), key.c_str(), "");
        ini.FindKey(section.c_str(), key.c_str());
    }
    ini.GetString("", "", "");
    ini.GetLine(ini.LineCount());
    return 0;
}
