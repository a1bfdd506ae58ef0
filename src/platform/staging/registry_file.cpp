#include "platform/staging/registry_file.h"

#include <cstdio>

namespace {

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

std::vector<std::string> SplitKeyPath(const std::string& path) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        size_t end = path.find('\\', start);
        parts.push_back(path.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (end == std::string::npos)
            return parts;
        start = end + 1;
    }
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    c = LowerAscii(c);
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// Reads a quoted text starting at text[at] == '"'; at moves past the closing quote.
bool ReadQuoted(const std::string& text, size_t& at, std::string& out) {
    out.clear();
    if (at >= text.size() || text[at] != '"')
        return false;
    for (at++; at < text.size(); at++) {
        char c = text[at];
        if (c == '"') {
            at++;
            return true;
        }
        if (c == '\\' && at + 1 < text.size())
            c = text[++at];
        out += c;
    }
    return false;
}

}  // namespace

bool RegistryFile::SameName(const std::string& a, const std::string& b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); i++)
        if (LowerAscii(a[i]) != LowerAscii(b[i]))
            return false;
    return true;
}

std::string RegistryFile::Quote(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '\\' || c == '"')
            out += '\\';
        out += c;
    }
    return out + "\"";
}

std::string RegistryFile::EncodeString(const std::string& value) {
    bool plain = true;
    for (char c : value)
        if (static_cast<unsigned char>(c) < 0x20)
            plain = false;
    if (plain)
        return Quote(value);
    std::string out = "hex(1):";
    char hex[4];
    for (size_t i = 0; i <= value.size(); i++) {
        unsigned byte = i < value.size() ? static_cast<unsigned char>(value[i]) : 0;
        std::snprintf(hex, sizeof hex, "%02x", byte);
        if (i > 0)
            out += ',';
        out += hex;
    }
    return out;
}

bool RegistryFile::DecodeString(const std::string& data, std::string& value) {
    size_t at = 0;
    if (!data.empty() && data[0] == '"')
        return ReadQuoted(data, at, value) && at == data.size();
    const std::string prefix = "hex(1):";
    if (data.compare(0, prefix.size(), prefix) != 0)
        return false;
    value.clear();
    std::string bytes;
    for (at = prefix.size(); at < data.size();) {
        if (data[at] == ',' || data[at] == ' ') {
            at++;
            continue;
        }
        if (at + 1 >= data.size() || HexDigit(data[at]) < 0 || HexDigit(data[at + 1]) < 0)
            return false;
        bytes += static_cast<char>(HexDigit(data[at]) * 16 + HexDigit(data[at + 1]));
        at += 2;
    }
    size_t nul = bytes.find('\0');
    value = nul == std::string::npos ? bytes : bytes.substr(0, nul);
    return true;
}

bool RegistryFile::Parse(const std::string& text) {
    keys_.clear();
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        std::string line = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        // A value continued on the next line ends its line with a backslash
        // (only hex values are written that way; a key line ends in "]").
        if (!lines.empty() && !lines.back().empty() && lines.back().back() == '\\' && lines.back()[0] != '[') {
            lines.back().pop_back();
            size_t first = line.find_first_not_of(" \t");
            lines.back() += first == std::string::npos ? std::string() : line.substr(first);
        } else {
            lines.push_back(line);
        }
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    if (lines.empty() || lines[0] != "REGEDIT4")
        return false;
    int current = -1;
    for (size_t i = 1; i < lines.size(); i++) {
        const std::string& line = lines[i];
        if (line.empty() || line[0] == ';')
            continue;
        if (line[0] == '[') {
            size_t close = line.rfind(']');
            if (close == std::string::npos || close < 2) {
                keys_.clear();
                return false;
            }
            keys_.push_back(Key{line.substr(1, close - 1), {}});
            current = static_cast<int>(keys_.size()) - 1;
            continue;
        }
        if (current < 0) {
            keys_.clear();
            return false;
        }
        Value value;
        size_t at = 0;
        if (line[0] == '@') {
            at = 1;
        } else if (!ReadQuoted(line, at, value.name)) {
            keys_.clear();
            return false;
        }
        if (at >= line.size() || line[at] != '=') {
            keys_.clear();
            return false;
        }
        value.data = line.substr(at + 1);
        keys_[current].values.push_back(value);
    }
    return true;
}

std::string RegistryFile::Text() const {
    std::string out = "REGEDIT4\r\n";
    for (const Key& key : keys_) {
        out += "\r\n[" + key.path + "]\r\n";
        for (const Value& value : key.values)
            out += (value.name.empty() ? std::string("@") : Quote(value.name)) + "=" + value.data + "\r\n";
    }
    return out + "\r\n";
}

int RegistryFile::FindKey(const std::string& path) const {
    for (size_t i = 0; i < keys_.size(); i++)
        if (SameName(keys_[i].path, path))
            return static_cast<int>(i);
    return -1;
}

int RegistryFile::AddKey(const std::string& path) {
    int found = FindKey(path);
    if (found >= 0)
        return found;
    // Take the spelling of the parts an existing key shares.
    std::vector<std::string> parts = SplitKeyPath(path);
    size_t matched = 0;
    for (const Key& key : keys_) {
        std::vector<std::string> existing = SplitKeyPath(key.path);
        size_t n = 0;
        while (n < parts.size() && n < existing.size() && SameName(parts[n], existing[n]))
            n++;
        for (size_t i = matched; i < n; i++)
            parts[i] = existing[i];
        if (n > matched)
            matched = n;
    }
    // The machine's own top-level keys have their standard spelling.
    if (matched < 2 && parts.size() >= 2)
        for (const char* standard : {"HARDWARE", "SAM", "SECURITY", "SOFTWARE", "SYSTEM"})
            if (SameName(parts[1], standard))
                parts[1] = standard;
    std::string spelled = parts[0];
    for (size_t i = 1; i < parts.size(); i++)
        spelled += "\\" + parts[i];
    keys_.push_back(Key{spelled, {}});
    return static_cast<int>(keys_.size()) - 1;
}

void RegistryFile::SetString(int key, const std::string& name, const std::string& value) {
    std::vector<Value>& values = keys_[key].values;
    for (Value& existing : values)
        if (SameName(existing.name, name)) {
            existing.data = EncodeString(value);
            return;
        }
    values.push_back(Value{name, EncodeString(value)});
}

bool RegistryFile::GetString(const std::string& path, const std::string& name, std::string& value) const {
    int key = FindKey(path);
    if (key < 0)
        return false;
    for (const Value& existing : keys_[key].values)
        if (SameName(existing.name, name))
            return DecodeString(existing.data, value);
    return false;
}
