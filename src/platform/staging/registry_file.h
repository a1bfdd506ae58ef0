// A registry held as a REGEDIT4 text file, as the registry editor exports it:
//
//   REGEDIT4
//
//   [HKEY_LOCAL_MACHINE\SOFTWARE\Maker\Product]
//   "Path"="C:\\Program Files\\Product\\"
//   @="default value"
//
// Texts are ANSI bytes; in quoted strings "\" and the double quote are escaped
// as \\ and \". A string value holding control characters (which a quoted string
// cannot carry) is written as hex(1): followed by its bytes and the terminating
// NUL, the REGEDIT4 form of a string value. Keys and values keep the order in which
// they were first written; key and value names match without regard to ASCII case,
// and a name keeps the spelling it was first written with, as in the registry
// (the top-level keys SOFTWARE, SYSTEM, ... have their standard spelling).
// Lines of other value types in a loaded file are kept as they are.
#pragma once
#include <string>
#include <vector>

class RegistryFile {
public:
    static constexpr const char* kRoot = "HKEY_LOCAL_MACHINE";

    struct Value {
        std::string name;  // empty: the key's default value
        std::string data;  // the text after "=", as stored in the file
    };
    struct Key {
        std::string path;  // full path, starting with the root key's name
        std::vector<Value> values;
    };

    // Replaces the contents with the file's text; false (contents left empty)
    // when the text is not a REGEDIT4 file.
    bool Parse(const std::string& text);
    std::string Text() const;

    // Index of a key (full path), or -1.
    int FindKey(const std::string& path) const;
    // Finds the key or appends it; a new key takes the spelling of the existing
    // keys for the part of its path they share.
    int AddKey(const std::string& path);
    void SetString(int key, const std::string& name, const std::string& value);
    // The string value (quoted or hex(1) form); false when there is none.
    bool GetString(const std::string& path, const std::string& name, std::string& value) const;

    const std::vector<Key>& Keys() const { return keys_; }

    // The quoted form of a text, with \\ and \" escaped.
    static std::string Quote(const std::string& text);
    // The stored form of a string value.
    static std::string EncodeString(const std::string& value);
    // Reads a stored string value back; false for other value types.
    static bool DecodeString(const std::string& data, std::string& value);
    static bool SameName(const std::string& a, const std::string& b);

private:
    std::vector<Key> keys_;
};
