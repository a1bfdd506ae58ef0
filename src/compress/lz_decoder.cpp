// LZ stream decoder.
//
// Items are decoded straight into the caller's memory (or, for a stream of
// unknown length, into a buffer that is written out in large pieces and keeps
// the last 8192 bytes as the source of later matches).
//
// A damaged stream is a fatal run-time error of the module "compress", like a
// damaged block-sorting stream:
//   - the input ends before the end item;
//   - a match reaches before the first byte of the output;
//   - the stream produces more bytes than the caller expects.
// Nothing is ever written beyond the caller's capacity.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "compress/lz.h"
#include "compress/lz_format.h"
#include "foundation/run_time_error.h"

namespace {

const char kTruncated[] = "lzDecompress: unexpected end of stream";
const char kBeforeStart[] = "lzDecompress: match before start of output";
const char kOverrun[] = "lzDecompress: output overrun";
const char kWriteFailed[] = "lzDecompress: cannot write output";

// Reports a damaged stream; the input's flags are cleared first so that the
// caller can go on using it.
[[noreturn]] void Damaged(ByteInput& input, int line, const char* message) {
    input.ClearFlags();
    ReportError("compress", line, message, true);
    std::abort();  // a fatal report does not return
}

// Reads the input in pieces. On a clean finish the bytes read ahead are handed
// back to the input by seeking (when the input can seek), so that it is left
// just behind the stream.
class StreamReader {
public:
    explicit StreamReader(ByteInput& input) : input_(input) {}

    // Reads the next piece; false at the end of the input.
    bool Refill(const uint8_t*& next, const uint8_t*& end) {
        size_t got = input_.Read(buffer_, sizeof buffer_);
        next = buffer_;
        end = buffer_ + got;
        return got > 0;
    }
    void Finish(size_t unread) {
        if (unread > 0) {
            int64_t position = input_.Tell();
            if (position >= 0)
                input_.Seek(position - static_cast<int64_t>(unread));
        }
        input_.ClearFlags();
    }
    ByteInput& Input() { return input_; }

private:
    ByteInput& input_;
    uint8_t buffer_[16384];
};

// Output into the caller's memory: running out of room is damage.
class BoundedOutput {
public:
    BoundedOutput(uint8_t* destination, size_t capacity)
        : begin(destination), end(destination + capacity) {}
    // Called when an item needs more room than is left.
    void MakeRoom(uint8_t*&, ByteInput& input) { Damaged(input, __LINE__, kOverrun); }
    uint64_t Base() const { return 0; }

    uint8_t* begin;
    uint8_t* end;
};

// Output of unknown length: a buffer that is written to the output stream
// whenever it fills, keeping the last 8192 bytes for later matches.
class StreamingOutput {
public:
    explicit StreamingOutput(ByteOutput& output) : output_(output), buffer_(kKeep + kPiece) {
        begin = buffer_.data();
        end = begin + buffer_.size();
    }
    void MakeRoom(uint8_t*& out, ByteInput& input) {
        size_t have = static_cast<size_t>(out - begin);
        size_t drop = have - kKeep;  // the buffer holds far more than kKeep + one item
        Write(begin, drop, input);
        std::memmove(begin, begin + drop, kKeep);
        out -= drop;
        base_ += drop;
    }
    // Writes what is left; returns the total written.
    uint64_t Finish(uint8_t* out, ByteInput& input) {
        size_t have = static_cast<size_t>(out - begin);
        Write(begin, have, input);
        return base_ + have;
    }
    uint64_t Base() const { return base_; }

    uint8_t* begin;
    uint8_t* end;

private:
    static constexpr size_t kKeep = lz::kMaxDistance;
    static constexpr size_t kPiece = 1 << 18;

    void Write(const uint8_t* data, size_t size, ByteInput& input) {
        if (size > 0 && !output_.Write(data, size))
            Damaged(input, __LINE__, kWriteFailed);
    }

    ByteOutput& output_;
    std::vector<uint8_t> buffer_;
    uint64_t base_ = 0;
};

// Decodes items up to the end item; returns the output pointer after the last byte.
template <class Output>
uint8_t* DecodeItems(StreamReader& reader, Output& output, ProgressCallback progress) {
    ByteInput& input = reader.Input();
    const uint8_t* next = nullptr;
    const uint8_t* last = nullptr;
    uint8_t* out = output.begin;

    auto byte = [&]() -> unsigned {
        if (next == last && !reader.Refill(next, last))
            Damaged(input, __LINE__, kTruncated);
        return *next++;
    };
    auto word = [&]() -> uint32_t {
        uint32_t low = byte();
        return low | byte() << 8;
    };
    uint32_t control = word();
    int bitsLeft = lz::kBitsPerWord;
    // Takes the next control bit; after the 16th the next word is read at once.
    auto bit = [&]() -> unsigned {
        unsigned b = control & 1;
        if (--bitsLeft == 0) {
            control = word();
            bitsLeft = lz::kBitsPerWord;
        } else {
            control >>= 1;
        }
        return b;
    };

    // Progress comes after every 8192 bytes, at the item boundaries where more
    // than 16384 bytes have been produced since the last piece was counted.
    uint64_t nextProgress = progress != nullptr ? lz::kProgressPending + 1 : UINT64_MAX;
    for (;;) {
        if (output.Base() + static_cast<uint64_t>(out - output.begin) >= nextProgress) {
            nextProgress += lz::kProgressPiece;
            progress();
        }
        if (bit()) {
            unsigned literal = byte();
            if (out == output.end)
                output.MakeRoom(out, input);
            *out++ = static_cast<uint8_t>(literal);
            continue;
        }
        size_t length;
        size_t distance;
        if (!bit()) {
            unsigned x = bit();
            unsigned y = bit();
            length = 2 + 2 * x + y;
            distance = 256 - byte();
        } else {
            unsigned low = byte();
            unsigned high = byte();
            if ((high & 7) != 0) {
                length = (high & 7) + 2;
            } else {
                unsigned l = byte();
                if (l == lz::kEndMarker)
                    break;
                if (l == lz::kSkipMarker)
                    continue;
                length = l + 1;
            }
            distance = lz::kMaxDistance - ((high >> 3) << 8 | low);
        }
        if (distance > static_cast<size_t>(out - output.begin))
            Damaged(input, __LINE__, kBeforeStart);
        if (length > static_cast<size_t>(output.end - out))
            output.MakeRoom(out, input);
        const uint8_t* from = out - distance;
        if (distance >= 8 && static_cast<size_t>(output.end - out) >= length + 8) {
            // Whole words: each source word was complete before it is read.
            for (size_t k = 0; k < length; k += 8)
                std::memcpy(out + k, from + k, 8);
        } else if (distance == 1) {
            std::memset(out, from[0], length);
        } else {
            for (size_t k = 0; k < length; k++)
                out[k] = from[k];
        }
        out += length;
    }
    reader.Finish(static_cast<size_t>(last - next));
    return out;
}

}  // namespace

size_t lzDecompress(ByteInput& input, uint8_t* destination, size_t capacity, ProgressCallback progress) {
    auto reader = std::make_unique<StreamReader>(input);
    BoundedOutput output(destination, capacity);
    uint8_t* end = DecodeItems(*reader, output, progress);
    return static_cast<size_t>(end - destination);
}

uint64_t lzDecompressToStream(ByteInput& input, ByteOutput& output, ProgressCallback progress) {
    auto reader = std::make_unique<StreamReader>(input);
    StreamingOutput buffer(output);
    uint8_t* end = DecodeItems(*reader, buffer, progress);
    return buffer.Finish(end, input);
}
