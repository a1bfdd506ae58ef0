// LZ stream encoder.
//
// The stream it writes is fully determined by the input: a greedy parse in which
// every position takes the longest match that starts at most 8192 bytes back
// (at most 256 bytes long, and never reaching past the input's end), the most
// recent source among equally long ones, and a literal when the best length is
// below 2, or below 3 when its source lies more than 255 bytes back. The input
// passes through a 17664-byte window that slides down by 8192 bytes whenever
// the position passes 16384.
//
// The obvious search walks every earlier position of the same byte value in the
// last 8192 bytes. This one gives the same answer with far less work:
//   - candidates of 3 bytes or more are found through chains of positions that
//     share a hash of their first three bytes (every true 3-byte match is on
//     the chain of its hash, so none is missed; collisions are filtered by the
//     comparison itself);
//   - a candidate can only replace the best so far if it is strictly longer, so
//     it must agree at the byte just past the best length: that one byte is
//     checked before anything else, and most candidates fail it;
//   - match lengths are measured eight bytes at a time;
//   - when no 3-byte match exists, the most recent 2-byte match is kept in a
//     table of 65536 heads, one per byte pair, and needs no search at all.
// The chains are walked from the most recent position down and a candidate
// replaces the best only when longer, so ties go to the most recent source as
// the format's parse demands.
#include <algorithm>
#include <bit>
#include <cstring>
#include <memory>

#include "compress/lz.h"
#include "compress/lz_format.h"

namespace {

static_assert(std::endian::native == std::endian::little, "match lengths use little-endian word compares");

constexpr int kHashBits = 15;
constexpr int kHashSize = 1 << kHashBits;
constexpr int kPairCount = 1 << 16;
constexpr int kMinChainMatch = 3;  // shortest match the hash chains find
// A search moves to the chain of a later 3-byte group of the match once the
// best length has grown by this much since it last moved.
constexpr int kSwitchGain = 2;

inline uint32_t Hash3(const uint8_t* p) {
    uint32_t v = static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16;
    return (v * 2654435761u) >> (32 - kHashBits);
}

inline uint32_t Pair(const uint8_t* p) { return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8; }

// Number of leading bytes on which a and b agree, at most limit.
inline int MatchLength(const uint8_t* a, const uint8_t* b, int limit) {
    int length = 0;
    while (length + 8 <= limit) {
        uint64_t x, y;
        std::memcpy(&x, a + length, 8);
        std::memcpy(&y, b + length, 8);
        if (x != y)
            return length + std::countr_zero(x ^ y) / 8;
        length += 8;
    }
    while (length < limit && a[length] == b[length])
        length++;
    return length;
}

// Lays out control bits and item bytes as packets and writes them to the output
// in large pieces. The control word of the packet being filled has its two bytes
// reserved in the buffer in front of the item bytes that follow it.
class PacketWriter {
public:
    explicit PacketWriter(ByteOutput& output) : output_(output) {}

    void Bit(unsigned bit) {
        control_ |= bit << bits_;
        if (++bits_ == lz::kBitsPerWord)
            EndWord();
    }
    void Byte(uint8_t byte) { buffer_[used_++] = byte; }

    // Called after each item: hands the finished packets on once enough have gathered.
    void ItemDone() {
        if (used_ >= kFlushAt)
            Flush(wordAt_);
    }

    // Writes the partial control word (its used bits are already in emission
    // order from bit 0; no bits gives 0) and everything still buffered.
    void Finish() {
        PutWord();
        Flush(used_);
    }

    bool Failed() const { return failed_; }
    int64_t Written() const { return written_; }

private:
    static constexpr size_t kFlushAt = 1 << 16;

    void PutWord() {
        buffer_[wordAt_] = static_cast<uint8_t>(control_);
        buffer_[wordAt_ + 1] = static_cast<uint8_t>(control_ >> 8);
    }
    void EndWord() {
        PutWord();
        wordAt_ = used_;
        used_ += 2;
        control_ = 0;
        bits_ = 0;
    }
    // Writes the first count buffered bytes and keeps the rest.
    void Flush(size_t count) {
        if (count == 0)
            return;
        if (!failed_ && !output_.Write(buffer_, count))
            failed_ = true;
        written_ += static_cast<int64_t>(count);
        std::memmove(buffer_, buffer_ + count, used_ - count);
        used_ -= count;
        wordAt_ -= count;
    }

    ByteOutput& output_;
    uint8_t buffer_[kFlushAt + 64];
    size_t used_ = 2;  // the first control word's bytes are reserved
    size_t wordAt_ = 0;
    uint32_t control_ = 0;
    int bits_ = 0;
    int64_t written_ = 0;
    bool failed_ = false;
};

struct Match {
    int length;
    int source;  // window position, or -1
};

// All encoder state of one call.
class Encoder {
public:
    Encoder(ByteInput& input, ByteOutput& output, ProgressCallback progress)
        : input_(input), progress_(progress), writer_(output) {}

    int64_t Run();

private:
    // Reads input behind the valid bytes until the window is full or the input ends.
    bool Fill() {
        n_ += static_cast<int>(input_.Read(window_ + n_, lz::kWindowSize - n_));
        return !input_.Error();
    }
    void Insert(int p) {
        if (p + 2 < n_) {
            int16_t& head = chainHead_[Hash3(window_ + p)];
            chain_[p] = head;
            head = static_cast<int16_t>(p);
        }
        if (p + 1 < n_)
            pairHead_[Pair(window_ + p)] = static_cast<int16_t>(p);
    }
    Match Find(int i) const;
    void EmitLiteral(uint8_t byte) {
        writer_.Bit(1);
        writer_.Byte(byte);
        writer_.ItemDone();
    }
    void EmitMatchFields(int length, int offset);
    bool Slide(int i);

    ByteInput& input_;
    ProgressCallback progress_;
    PacketWriter writer_;
    int n_ = 0;
    uint8_t window_[lz::kWindowSize];
    int16_t chain_[lz::kWindowSize];  // previous position with the same 3-byte hash
    int16_t chainHead_[kHashSize];    // most recent position per 3-byte hash
    int16_t pairHead_[kPairCount];    // most recent position per byte pair
};

// The longest match for position i among the earlier positions of the last
// 8192 bytes, the most recent among equally long ones. All positions below i
// are in the tables.
Match Encoder::Find(int i) const {
    const int limit = std::min(n_ - i, lz::kMaxLength);
    const int lowest = i > lz::kMaxDistance ? i - lz::kMaxDistance : 0;
    const uint8_t* here = window_ + i;
    if (limit >= kMinChainMatch) {
        int best = kMinChainMatch - 1;
        int source = -1;
        // The chain walked links positions c + offset that share the hash of
        // the three bytes at here + offset; candidate c is the entry minus offset.
        int offset = 0;
        int entry = chainHead_[Hash3(here)];
        while (entry - offset >= lowest) {
            const int c = entry - offset;
            entry = chain_[entry];
            const uint8_t* there = window_ + c;
            if (there[best] != here[best])
                continue;
            int length = MatchLength(there, here, limit);
            if (length <= best)
                continue;
            best = length;
            source = c;
            if (best == limit)
                break;
            if (best - 2 < offset + kSwitchGain)
                continue;
            // Only a candidate that agrees on the first best + 1 bytes can still
            // win, so it agrees on the three bytes at best - 2 as well: walk that
            // chain instead, usually much shorter. It holds positions below i
            // only, so it lacks the candidates at most best - 2 back; none of
            // them can win. (Such a candidate at distance d, with d <= best,
            // would make the bytes from c on periodic with both periods d and
            // i - c over at least best + (i - c) bytes, hence with their common
            // divisor, and then c would match at byte best too.)
            offset = best - 2;
            entry = chainHead_[Hash3(here + offset)];
            while (entry - offset >= c)
                entry = chain_[entry];
        }
        if (source >= 0)
            return {best, source};
    }
    if (limit >= 2) {
        int c = pairHead_[Pair(here)];
        if (c >= lowest)
            return {2, c};
    }
    return {1, -1};
}

void Encoder::EmitMatchFields(int length, int offset) {
    if (length <= lz::kMaxShortLength && offset >= -lz::kMaxShortDistance) {
        writer_.Bit(0);
        writer_.Bit(((length - 2) >> 1) & 1);
        writer_.Bit((length - 2) & 1);
        writer_.Byte(static_cast<uint8_t>(offset & 0xFF));
    } else {
        writer_.Bit(1);
        writer_.Byte(static_cast<uint8_t>(offset & 0xFF));
        uint8_t high = static_cast<uint8_t>((offset >> 5) & 0xF8);
        if (length <= lz::kMaxLongShortLength) {
            writer_.Byte(static_cast<uint8_t>(high | (length - 2)));
        } else {
            writer_.Byte(high);
            writer_.Byte(static_cast<uint8_t>(length - 1));
        }
    }
    writer_.ItemDone();
}

// Moves the window down by 8192 bytes and refills it; positions below the cut
// leave the tables. Positions up to i are in the chains.
bool Encoder::Slide(int i) {
    if (progress_ != nullptr)
        progress_();
    auto down = [](int16_t& v) { v = static_cast<int16_t>(std::max(v - lz::kSlide, -1)); };
    std::for_each(chainHead_, chainHead_ + kHashSize, down);
    std::for_each(pairHead_, pairHead_ + kPairCount, down);
    for (int p = lz::kSlide; p <= i; p++)
        chain_[p - lz::kSlide] = static_cast<int16_t>(std::max(chain_[p] - lz::kSlide, -1));
    std::memmove(window_, window_ + lz::kSlide, static_cast<size_t>(n_ - lz::kSlide));
    n_ -= lz::kSlide;
    return Fill();
}

int64_t Encoder::Run() {
    std::fill(chainHead_, chainHead_ + kHashSize, int16_t{-1});
    std::fill(pairHead_, pairHead_ + kPairCount, int16_t{-1});
    std::fill(chain_, chain_ + lz::kWindowSize, int16_t{-1});
    if (!Fill())
        return -1;
    if (n_ > 0) {
        EmitLiteral(window_[0]);
        Insert(0);
        for (int i = 1; i < n_; i++) {
            Match match = Find(i);
            Insert(i);
            int offset = match.source - i;
            if (match.length < 2 || (match.length < 3 && offset < -lz::kMaxShortDistance)) {
                EmitLiteral(window_[i]);
            } else {
                writer_.Bit(0);
                for (int end = i + match.length; ++i < end;)
                    Insert(i);
                i--;  // the last byte of the match
                EmitMatchFields(match.length, offset);
            }
            if (i > lz::kSlideAt) {
                if (!Slide(i) || writer_.Failed())
                    return -1;
                i -= lz::kSlide;
            }
        }
    }
    // End item: a long match form with the L byte 0.
    writer_.Bit(0);
    writer_.Bit(1);
    writer_.Byte(0x01);
    writer_.Byte(0x00);
    writer_.Byte(lz::kEndMarker);
    writer_.Finish();
    return writer_.Failed() ? -1 : writer_.Written();
}

}  // namespace

int64_t lzCompress(ByteInput& input, ByteOutput& output, ProgressCallback progress) {
    auto encoder = std::make_unique<Encoder>(input, output, progress);
    int64_t written = encoder->Run();
    // The end of the input is expected; a read error stays visible to the caller.
    if (!input.Error())
        input.ClearFlags();
    return written;
}
