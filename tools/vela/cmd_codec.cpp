// vela compress / vela decompress: one codec's stream from a file or standard
// input to a file or standard output, for looking at the codecs on their own.
//
// Each codec is one row of a table; an output file is written beside its final
// name and renamed into place only when it is complete, so a failure never
// leaves a partial file behind.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <limits>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include "cli.h"
#include "commands.h"
#include "compress/block_sort.h"
#include "compress/block_sort_format.h"
#include "compress/lz.h"
#include "foundation/byte_stream.h"
#include "package_io.h"

namespace vela {

const char kCompressUsage[] =
    "Usage: vela compress [--codec=NAME] [IN [OUT]]\n"
    "\n"
    "Compresses IN (standard input when omitted or \"-\") into one stream of the\n"
    "codec and writes it to OUT (standard output when omitted or \"-\").\n"
    "\n"
    "Options:\n"
    "  --codec=NAME   the codec: bs (block-sorting, the default) or lz\n";

const char kDecompressUsage[] =
    "Usage: vela decompress [--codec=NAME] [--size=N] [IN [OUT]]\n"
    "\n"
    "Decodes one stream of the codec from IN (standard input when omitted or \"-\")\n"
    "and writes the bytes to OUT (standard output when omitted or \"-\"). A damaged\n"
    "stream is reported and nothing is written to OUT.\n"
    "\n"
    "Options:\n"
    "  --codec=NAME   the codec: bs (block-sorting, the default) or lz\n"
    "  --size=N       the number of bytes the stream must decode to; without it\n"
    "                 the whole stream is decoded\n";

namespace {

struct Codec {
    const char* name;
    // Encodes input to its end; false when writing failed.
    bool (*compress)(ByteInput& input, ByteOutput& output);
    // Decodes into destination, never more than capacity bytes; returns the count.
    size_t (*decompress)(ByteInput& input, uint8_t* destination, size_t capacity);
    // Decodes a whole stream of unknown length; returns the count.
    uint64_t (*decompressToStream)(ByteInput& input, ByteOutput& output);
    // Whether data (the whole input) starts like a stream of the codec; none
    // when the codec has no header to tell.
    bool (*recognizes)(const uint8_t* data, size_t size);
};

bool BlockSortCompress(ByteInput& input, ByteOutput& output) {
    blockSortCompress(input, output, nullptr);
    return true;
}
size_t BlockSortDecompress(ByteInput& input, uint8_t* destination, size_t capacity) {
    return blockSortDecompress(input, destination, capacity, nullptr);
}
uint64_t BlockSortDecompressToStream(ByteInput& input, ByteOutput& output) {
    return blockSortDecompressToStream(input, output, nullptr);
}
bool BlockSortRecognizes(const uint8_t* data, size_t size) {
    return size >= 4 && blocksort::HeaderBlockSize(data) != 0;
}

bool LzCompress(ByteInput& input, ByteOutput& output) {
    // -1 after a failed read leaves the input's error flag set, which the
    // command reports as such; otherwise it means the write failed.
    return lzCompress(input, output, nullptr) >= 0 || input.Error();
}
size_t LzDecompress(ByteInput& input, uint8_t* destination, size_t capacity) {
    return lzDecompress(input, destination, capacity, nullptr);
}
uint64_t LzDecompressToStream(ByteInput& input, ByteOutput& output) {
    return lzDecompressToStream(input, output, nullptr);
}

const Codec kCodecs[] = {
    {"bs", BlockSortCompress, BlockSortDecompress, BlockSortDecompressToStream, BlockSortRecognizes},
    {"lz", LzCompress, LzDecompress, LzDecompressToStream, nullptr},
};

const Codec* FindCodec(const std::string& name) {
    for (const Codec& codec : kCodecs)
        if (name == codec.name)
            return &codec;
    return nullptr;
}

std::FILE* OpenFile(const std::filesystem::path& path, bool write) {
#ifdef _WIN32
    return _wfopen(path.c_str(), write ? L"wb" : L"rb");
#else
    return std::fopen(path.c_str(), write ? "wb" : "rb");
#endif
}

// The output: standard output, or a file written beside its final name and
// renamed into place by Commit; dropped (removed) otherwise.
class Output {
public:
    ~Output() {
        if (file_ != nullptr && file_ != stdout) {
            std::fclose(file_);
            std::error_code ignored;
            if (!direct_)
                std::filesystem::remove(temporary_, ignored);
        }
    }

    // Returns false after printing the reason.
    bool Open(const char* command, const std::string& path) {
        command_ = command;
        if (path.empty() || path == "-") {
            SetBinaryStdout();
            file_ = stdout;
        } else {
            final_ = Utf8Path(path);
            std::error_code error;
            auto status = std::filesystem::symlink_status(final_, error);
            if (std::filesystem::exists(status) && !std::filesystem::is_regular_file(status)) {
                // A device, a pipe or a link: write into it as it is; replacing
                // it by a renamed file would destroy it.
                file_ = OpenFile(final_, true);
                direct_ = true;
            } else {
                temporary_ = final_;
                temporary_ += ".vela-part";
                file_ = OpenFile(temporary_, true);
            }
            if (file_ == nullptr) {
                PrintError(command, path + ": cannot create " + (direct_ ? path : temporary_.filename().string()));
                return false;
            }
        }
        stream_ = std::make_unique<FileOutput>(file_);
        return true;
    }
    ByteOutput& Stream() { return *stream_; }

    // Flushes and, for a file, puts it in place. Returns false after printing why.
    bool Commit() {
        bool ok = stream_->Flush() && !stream_->Error();
        if (file_ == stdout)
            return ok || Fail("cannot write to standard output");
        ok = std::fclose(file_) == 0 && ok;
        file_ = nullptr;
        if (direct_)
            return ok || Fail(final_.string() + ": cannot write");
        std::error_code error;
        if (ok)
            std::filesystem::rename(temporary_, final_, error);
        if (!ok || error) {
            std::filesystem::remove(temporary_, error);
            return Fail(final_.string() + ": cannot write");
        }
        return true;
    }

private:
    bool Fail(const std::string& why) {
        PrintError(command_, why);
        return false;
    }
    const char* command_ = "";
    std::FILE* file_ = nullptr;
    bool direct_ = false;
    std::filesystem::path final_, temporary_;
    std::unique_ptr<FileOutput> stream_;
};

// Opens the input; returns none after printing the reason.
std::unique_ptr<FileInput> OpenInput(const char* command, const std::string& path) {
    if (path.empty() || path == "-") {
        SetBinaryStdin();
        return std::make_unique<FileInput>(stdin);
    }
    std::FILE* file = OpenFile(Utf8Path(path), false);
    if (file == nullptr) {
        PrintError(command, path + ": cannot open");
        return nullptr;
    }
    return std::make_unique<FileInput>(file, true);
}

bool ReadAll(ByteInput& input, std::vector<uint8_t>& data) {
    uint8_t chunk[1 << 16];
    for (;;) {
        size_t n = input.Read(chunk, sizeof chunk);
        data.insert(data.end(), chunk, chunk + n);
        if (n < sizeof chunk)
            return !input.Error();
    }
}

// Common argument handling: returns the codec, or none after printing the error.
const Codec* ParseCodecArgs(const Command& command, const std::vector<std::string>& args, bool withSize,
                            ParsedArgs& parsed, std::string& in, std::string& out) {
    std::vector<OptionSpec> known = {{"codec", true}};
    if (withSize)
        known.push_back({"size", true});
    if (!ParseArgs(command, args, known, parsed))
        return nullptr;
    if (parsed.positional.size() > 2) {
        UsageError(command, "too many arguments");
        return nullptr;
    }
    in = parsed.positional.size() > 0 ? parsed.positional[0] : "";
    out = parsed.positional.size() > 1 ? parsed.positional[1] : "";
    const std::string* name = parsed.Value("codec");
    const Codec* codec = FindCodec(name != nullptr ? *name : "bs");
    if (codec == nullptr) {
        std::string known_names;
        for (const Codec& c : kCodecs)
            known_names += std::string(known_names.empty() ? "" : ", ") + c.name;
        UsageError(command, "unknown codec '" + *name + "' (known: " + known_names + ")");
    }
    return codec;
}

}  // namespace

int RunCompress(const std::vector<std::string>& args) {
    const Command& command = *FindCommand("compress");
    ParsedArgs parsed;
    std::string inPath, outPath;
    const Codec* codec = ParseCodecArgs(command, args, false, parsed, inPath, outPath);
    if (codec == nullptr)
        return ExitUsage;
    auto input = OpenInput("compress", inPath);
    if (!input)
        return ExitFailed;
    Output output;
    if (!output.Open("compress", outPath))
        return ExitFailed;
    if (!codec->compress(*input, output.Stream())) {
        PrintError("compress", "cannot write the stream");
        return ExitFailed;
    }
    if (input->Error()) {
        PrintError("compress", (inPath.empty() ? std::string("standard input") : inPath) + ": read failed");
        return ExitFailed;
    }
    return output.Commit() ? ExitOk : ExitFailed;
}

int RunDecompress(const std::vector<std::string>& args) {
    const Command& command = *FindCommand("decompress");
    ParsedArgs parsed;
    std::string inPath, outPath;
    const Codec* codec = ParseCodecArgs(command, args, true, parsed, inPath, outPath);
    if (codec == nullptr)
        return ExitUsage;
    bool sized = false;
    size_t size = 0;
    if (const std::string* text = parsed.Value("size")) {
        unsigned long long value = 0;
        bool ok = !text->empty() && text->size() <= 19;
        for (char c : *text)
            ok = ok && c >= '0' && c <= '9';
        if (ok)
            value = std::stoull(*text);
        if (!ok || value > std::numeric_limits<size_t>::max() / 2)
            return UsageError(command, "--size needs a number of bytes, not '" + *text + "'");
        sized = true;
        size = static_cast<size_t>(value);
    }

    auto input = OpenInput("decompress", inPath);
    if (!input)
        return ExitFailed;
    // A seekable input is decoded where it is, after a look at its first bytes;
    // anything else (a pipe) is read into memory first.
    ByteInput* source = input.get();
    std::vector<uint8_t> data;
    std::unique_ptr<MemoryInput> memory;
    const int64_t start = input->Tell();
    uint8_t head[4] = {};
    size_t headSize = 0;
    if (start >= 0) {
        headSize = input->Read(head, sizeof head);
        if (!input->Seek(start)) {
            PrintError("decompress", (inPath.empty() ? std::string("standard input") : inPath) + ": cannot seek");
            return ExitFailed;
        }
    } else {
        if (!ReadAll(*input, data)) {
            PrintError("decompress", "standard input: read failed");
            return ExitFailed;
        }
        memory = std::make_unique<MemoryInput>(data.data(), data.size());
        source = memory.get();
        headSize = data.size() < sizeof head ? data.size() : sizeof head;
        if (headSize > 0)
            std::memcpy(head, data.data(), headSize);
    }
    if (codec->recognizes != nullptr && !codec->recognizes(head, headSize)) {
        PrintError("decompress", std::string("not a '") + codec->name + "' stream");
        return ExitFailed;
    }
    Output output;
    if (!output.Open("decompress", outPath))
        return ExitFailed;
    ByteInput& stream = *source;
    if (sized) {
        std::vector<uint8_t> buffer(size);
        size_t got = codec->decompress(stream, buffer.data(), buffer.size());
        if (got != size) {
            PrintError("decompress", "the stream holds " + std::to_string(got) + " bytes, not " +
                                         std::to_string(size));
            return ExitFailed;
        }
        if (!output.Stream().Write(buffer.data(), buffer.size())) {
            PrintError("decompress", "cannot write the output");
            return ExitFailed;
        }
    } else {
        codec->decompressToStream(stream, output.Stream());
    }
    return output.Commit() ? ExitOk : ExitFailed;
}

}  // namespace vela
