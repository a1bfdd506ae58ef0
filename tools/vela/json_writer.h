// A small streaming JSON writer for the tool's --json output. Strings must be
// UTF-8; package bytes are converted first (and given in hex beside).
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace vela {

class JsonWriter {
public:
    explicit JsonWriter(std::FILE* out = stdout) : out_(out) {}
    ~JsonWriter();

    JsonWriter& BeginObject();
    JsonWriter& EndObject();
    JsonWriter& BeginArray();
    JsonWriter& EndArray();
    JsonWriter& Key(std::string_view key);
    JsonWriter& String(std::string_view value);
    JsonWriter& Int(int64_t value);
    JsonWriter& UInt(uint64_t value);
    JsonWriter& Double(double value);
    JsonWriter& Bool(bool value);
    JsonWriter& Null();

    // Shorthands for a key with its value.
    JsonWriter& Field(std::string_view key, std::string_view value) { return Key(key).String(value); }
    JsonWriter& Field(std::string_view key, const char* value) { return Key(key).String(value); }
    JsonWriter& Field(std::string_view key, int64_t value) { return Key(key).Int(value); }
    JsonWriter& Field(std::string_view key, int32_t value) { return Key(key).Int(value); }
    JsonWriter& Field(std::string_view key, uint32_t value) { return Key(key).UInt(value); }
    JsonWriter& Field(std::string_view key, uint64_t value) { return Key(key).UInt(value); }
    JsonWriter& Field(std::string_view key, bool value) { return Key(key).Bool(value); }

private:
    void BeforeValue();
    void Newline();

    std::FILE* out_;
    std::vector<bool> hasItems_;  // one per open object/array
    bool afterKey_ = false;
};

std::string JsonEscape(std::string_view text);

}  // namespace vela
