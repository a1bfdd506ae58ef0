#include "json_writer.h"

#include <cmath>

namespace vela {

JsonWriter::~JsonWriter() {
    if (hasItems_.empty())
        std::fputc('\n', out_);
}

std::string JsonEscape(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 2);
    for (unsigned char c : text) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (c < 0x20) {
                char buffer[8];
                std::snprintf(buffer, sizeof buffer, "\\u%04x", c);
                out += buffer;
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    return out;
}

void JsonWriter::Newline() {
    std::fputc('\n', out_);
    for (size_t i = 0; i < hasItems_.size(); i++)
        std::fputs("  ", out_);
}

void JsonWriter::BeforeValue() {
    if (afterKey_) {
        afterKey_ = false;
        return;
    }
    if (!hasItems_.empty()) {
        if (hasItems_.back())
            std::fputc(',', out_);
        hasItems_.back() = true;
        Newline();
    }
}

JsonWriter& JsonWriter::BeginObject() {
    BeforeValue();
    std::fputc('{', out_);
    hasItems_.push_back(false);
    return *this;
}

JsonWriter& JsonWriter::EndObject() {
    bool had = hasItems_.back();
    hasItems_.pop_back();
    if (had)
        Newline();
    std::fputc('}', out_);
    return *this;
}

JsonWriter& JsonWriter::BeginArray() {
    BeforeValue();
    std::fputc('[', out_);
    hasItems_.push_back(false);
    return *this;
}

JsonWriter& JsonWriter::EndArray() {
    bool had = hasItems_.back();
    hasItems_.pop_back();
    if (had)
        Newline();
    std::fputc(']', out_);
    return *this;
}

JsonWriter& JsonWriter::Key(std::string_view key) {
    BeforeValue();
    std::fprintf(out_, "\"%s\": ", JsonEscape(key).c_str());
    afterKey_ = true;
    return *this;
}

JsonWriter& JsonWriter::String(std::string_view value) {
    BeforeValue();
    std::fprintf(out_, "\"%s\"", JsonEscape(value).c_str());
    return *this;
}

JsonWriter& JsonWriter::Int(int64_t value) {
    BeforeValue();
    std::fprintf(out_, "%lld", static_cast<long long>(value));
    return *this;
}

JsonWriter& JsonWriter::UInt(uint64_t value) {
    BeforeValue();
    std::fprintf(out_, "%llu", static_cast<unsigned long long>(value));
    return *this;
}

JsonWriter& JsonWriter::Double(double value) {
    BeforeValue();
    if (std::isfinite(value))
        std::fprintf(out_, "%.6g", value);
    else
        std::fputs("null", out_);
    return *this;
}

JsonWriter& JsonWriter::Bool(bool value) {
    BeforeValue();
    std::fputs(value ? "true" : "false", out_);
    return *this;
}

JsonWriter& JsonWriter::Null() {
    BeforeValue();
    std::fputs("null", out_);
    return *this;
}

}  // namespace vela
