// Block-sorting encoder: loads run-coded blocks, perturbs and sorts them, and
// codes the transformed blocks with move-to-front, zero runs and the adaptive
// arithmetic coder (sorting is in block_sort_encoder_sort.cpp).
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

#include "compress/block_sort.h"
#include "compress/block_sort_encoder_internal.h"
#include "foundation/run_time_error.h"

namespace blocksort {
namespace {

[[noreturn]] void Fail(int line, const char* message) {
    ReportError(kModule, line, message, true);
    std::abort();  // a fatal report does not return
}
#define BS_FAIL(message) Fail(__LINE__, message)

}  // namespace

// ---- Loading -------------------------------------------------------------------

bool RunReader::Fill() {
    if (ended_)
        return false;
    next_ = 0;
    end_ = input_.Read(chunk_, sizeof chunk_);
    if (end_ == 0) {
        // The end of the input, or a read failure, which the caller finds in the
        // input's error flag once the stream is written.
        ended_ = true;
        return false;
    }
    return true;
}

bool RunReader::NextRun(uint8_t& byte, int& length) {
    // Most runs are a single byte followed by a different one in the same chunk.
    if (end_ - next_ >= 2 && chunk_[next_ + 1] != chunk_[next_]) {
        byte = chunk_[next_++];
        length = 1;
        return true;
    }
    if (next_ == end_ && !Fill())
        return false;
    byte = chunk_[next_++];
    length = 1;
    while (length < 255) {
        if (next_ == end_ && !Fill())
            break;
        // Take as many equal bytes from the chunk as the run may still hold.
        size_t limit = end_ - next_;
        if (limit > static_cast<size_t>(255 - length))
            limit = static_cast<size_t>(255 - length);
        size_t k = 0;
        while (k < limit && chunk_[next_ + k] == byte)
            k++;
        next_ += k;
        length += static_cast<int>(k);
        if (k < limit)
            break;  // a different byte follows
    }
    return true;
}

bool LoadBlock(RunReader& reader, int k, uint8_t* block, uint32_t& n, ProgressCallback progress) {
    const uint32_t closeAt = static_cast<uint32_t>(k) * kBlockUnit - kBlockCloseMargin;
    uint32_t count = 0;
    int untilProgress = 0;
    do {
        uint8_t byte;
        int length;
        bool ended = !reader.NextRun(byte, length);
        if (progress != nullptr) {
            if (untilProgress == 0) {
                progress();
                untilProgress = 32768;
            } else {
                untilProgress--;
            }
        }
        if (ended) {
            block[count++] = kEndByte;
            n = count;
            return true;
        }
        if (length < 4) {
            for (int i = 0; i < length; i++)
                block[count++] = byte;
        } else {
            block[count] = block[count + 1] = block[count + 2] = block[count + 3] = byte;
            block[count + 4] = static_cast<uint8_t>(length - 4);
            count += 5;
        }
    } while (count < closeAt);
    n = count;
    return false;
}

std::vector<std::vector<uint8_t>> PrepareBlocks(ByteInput& input, int k) {
    std::unique_ptr<RunReader> reader(new RunReader(input));
    std::vector<uint8_t> block(static_cast<size_t>(k) * kBlockUnit);
    std::vector<std::vector<uint8_t>> blocks;
    for (bool last = false; !last;) {
        uint32_t n = 0;
        last = LoadBlock(*reader, k, block.data(), n, nullptr);
        blocks.emplace_back(block.begin(), block.begin() + n);
    }
    return blocks;
}

// ---- Bits and the arithmetic coder ---------------------------------------------

// Collects bits most significant first and writes them to the output in chunks;
// a write that fails is fatal.
class BitWriter {
public:
    explicit BitWriter(ByteOutput& output) : output_(output) {}

    // Appends the low k bits of value (k <= 32), most significant first.
    void Put(uint32_t value, int k) {
        acc_ = (acc_ << k) | (value & ((uint64_t{1} << k) - 1));
        count_ += k;
        while (count_ >= 8) {
            count_ -= 8;
            chunk_[used_++] = static_cast<uint8_t>(acc_ >> count_);
            if (used_ == sizeof chunk_)
                Drain();
        }
    }
    void PutRepeated(int bit, uint64_t count) {
        const uint32_t pattern = bit ? 0xffffffffu : 0;
        while (count >= 32) {
            Put(pattern, 32);
            count -= 32;
        }
        if (count > 0)
            Put(pattern, static_cast<int>(count));
    }
    // Pads with zero bits to a byte boundary, writes everything and flushes.
    void Close() {
        if (count_ > 0)
            Put(0, 8 - count_);
        Drain();
        if (!output_.Flush() || output_.Error())
            BS_FAIL("EOF!");
    }

private:
    void Drain() {
        if (used_ > 0 && !output_.Write(chunk_, used_))
            BS_FAIL("EOF!");
        used_ = 0;
    }

    ByteOutput& output_;
    uint64_t acc_ = 0;
    int count_ = 0;
    size_t used_ = 0;
    uint8_t chunk_[1 << 14];
};

class ArithEncoder {
public:
    explicit ArithEncoder(BitWriter& bits) : bits_(bits) {}

    void Encode(ArithModel& model, int s) {
        const uint32_t* freq = model.freq;
        uint32_t cumLow = 0;
        for (int i = 1; i < s; i++)
            cumLow += freq[i];
        const uint32_t r = range_ / model.totalFreq;
        low_ += r * cumLow;
        if (cumLow + freq[s] < model.totalFreq)
            range_ = r * freq[s];
        else
            range_ -= r * cumLow;
        if (range_ <= kCodeQuarter) {
            // The range doubles k times until it passes a quarter (it is never
            // below 2 here). While the interval lies in one half, each doubling
            // sends that half's bit: as many as low and high agree in leading
            // bits. Once they differ the interval straddles the middle, and the
            // remaining doublings are all ones whose bit follows later.
            const int k = 24 - (31 - __builtin_clz(range_ - 1));
            const uint32_t high = low_ + range_ - 1;
            const uint32_t differ = low_ ^ high;
            int m = differ == 0 ? kCodeBits : __builtin_clz(differ) - (32 - kCodeBits);
            if (m > k)
                m = k;
            if (m > 0) {
                EmitWithOutstanding(static_cast<int>(low_ >> (kCodeBits - 1)));
                if (m > 1)
                    bits_.Put(low_ >> (kCodeBits - m), m - 1);
                low_ = (low_ << m) & (2 * kCodeHalf - 1);
            }
            for (int f = m; f < k; f++)
                low_ = 2 * low_ - kCodeHalf;
            outstanding_ += static_cast<uint64_t>(k - m);
            range_ <<= k;
        }
        if (outstanding_ > kMaxBitsOutstanding)
            BS_FAIL("arithCodeSymbol: too many bits outstanding");
        UpdateModel(model, s);
    }

    // The 26 bits of low, the first followed by the undecided bits.
    void Finish() {
        EmitWithOutstanding(static_cast<int>((low_ >> (kCodeBits - 1)) & 1));
        bits_.Put(low_, kCodeBits - 1);
    }

private:
    void EmitWithOutstanding(int bit) {
        bits_.Put(static_cast<uint32_t>(bit), 1);
        if (outstanding_ > 0) {
            bits_.PutRepeated(!bit, outstanding_);
            outstanding_ = 0;
        }
    }

    BitWriter& bits_;
    uint32_t low_ = 0;
    uint32_t range_ = kCodeHalf;
    uint64_t outstanding_ = 0;
};

// ---- Stream writer -----------------------------------------------------------

StreamWriter::StreamWriter(ByteOutput& output) : bits_(new BitWriter(output)), coder_(new ArithEncoder(*bits_)) {
    InitOriginModel(originModel_);
    InitBlockModels(models_);
}

StreamWriter::~StreamWriter() {
    delete coder_;
    delete bits_;
}

void StreamWriter::Begin(const uint8_t header[4]) {
    for (int i = 0; i < 4; i++)
        bits_->Put(header[i], 8);
    InitOriginModel(originModel_);
}

void StreamWriter::SendOriginWord(uint32_t word) {
    for (int shift = 24; shift >= 0; shift -= 8)
        coder_->Encode(originModel_, static_cast<int>((word >> shift) & 0xff) + 1);
    InitBlockModels(models_);
}

void StreamWriter::SendValue(int value) {
    // The routes of all block symbols, worked out once.
    static const struct Routes {
        SymbolRoute route[kEndOfBlock + 2];
        Routes() {
            for (int v = 0; v <= kEndOfBlock + 1; v++)
                route[v] = RouteOf(v);
        }
    } routes;
    SymbolRoute route = value >= 0 && value <= kEndOfBlock ? routes.route[value] : RouteOf(value);
    if (route.basis == 0)
        BS_FAIL("sendMTFVal: bad value!");
    coder_->Encode(models_.model[kBasis], route.basis);
    if (route.range != 0)
        coder_->Encode(models_.model[route.range], value - kRangeLow[route.range] + 1);
}

std::vector<int> ZeroRunDigits(uint64_t m) {
    // Bijective base 2: digits 1 and 2, least significant found first.
    std::vector<int> digits;
    while (m > 0) {
        if (m & 1) {
            digits.insert(digits.begin(), kRunDigitOne);
            m = (m - 1) / 2;
        } else {
            digits.insert(digits.begin(), kRunDigitTwo);
            m = (m - 2) / 2;
        }
    }
    return digits;
}

void StreamWriter::SendZeroRun(uint64_t m) {
    int digits[64];
    int count = 0;
    while (m > 0) {
        if (m & 1) {
            digits[count++] = kRunDigitOne;
            m = (m - 1) / 2;
        } else {
            digits[count++] = kRunDigitTwo;
            m = (m - 2) / 2;
        }
    }
    while (count > 0)
        SendValue(digits[--count]);
}

namespace {

// The eight bytes read from memory as a little-endian number (byte 0 lowest).
inline uint64_t LittleEndian(uint64_t v) {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    return __builtin_bswap64(v);
#else
    return v;
#endif
}

}  // namespace

void StreamWriter::SendBlock(const uint8_t* lastColumn, uint32_t n) {
    uint8_t list[256];
    for (int i = 0; i < 256; i++)
        list[i] = static_cast<uint8_t>(i);
    uint64_t run = 0;
    for (uint32_t i = 0; i < n; i++) {
        const uint8_t c = lastColumn[i];
        if (list[0] == c) {
            run++;
            continue;
        }
        // Find c eight list entries at a time (the lowest zero byte of list ^ c;
        // the borrow trick marks no byte below the first true zero), then move
        // it to the front, shifting the bytes before it one place down.
        const uint64_t pattern = c * 0x0101010101010101ull;
        int j = 0;
        for (;; j += 8) {
            uint64_t v;
            std::memcpy(&v, list + j, 8);
            v = LittleEndian(v) ^ pattern;
            const uint64_t zero = (v - 0x0101010101010101ull) & ~v & 0x8080808080808080ull;
            if (zero != 0) {
                j += __builtin_ctzll(zero) / 8;
                break;
            }
        }
        if (j < 8) {
            // Within the first eight entries: shift them in one word, keeping
            // the entries after position j as they were.
            uint64_t v;
            std::memcpy(&v, list, 8);
            v = LittleEndian(v);
            const uint64_t moved = ~0ull >> (56 - 8 * j);  // bytes 0 .. j
            v = (((v << 8) | c) & moved) | (v & ~moved);
            v = LittleEndian(v);
            std::memcpy(list, &v, 8);
        } else {
            std::memmove(list + 1, list, static_cast<size_t>(j));
            list[0] = c;
        }
        if (run > 0) {
            SendZeroRun(run);
            run = 0;
        }
        SendValue(j);
    }
    if (run > 0)
        SendZeroRun(run);
    SendValue(kEndOfBlock);
}

void StreamWriter::Finish() {
    coder_->Finish();
    bits_->Close();
}

// ---- Whole streams -------------------------------------------------------------

namespace {

// The encoder's working memory for blocks of k * 100000 bytes: the block words,
// the sort vector and the bucket table.
struct Workspace {
    explicit Workspace(int k) : capacity(static_cast<uint32_t>(k) * kBlockUnit) {
        words.reset(new (std::nothrow) uint32_t[capacity + 16]);
        sortVector.reset(new (std::nothrow) uint32_t[capacity]);
        buckets.reset(new (std::nothrow) uint32_t[65537]);
        if (!words || !sortVector || !buckets)
            BS_FAIL("compressOutOfMemory");
    }
    // The block's bytes are loaded into the start of the word array.
    uint8_t* Bytes() { return reinterpret_cast<uint8_t*>(words.get()); }

    uint32_t capacity;
    std::unique_ptr<uint32_t[]> words;
    std::unique_ptr<uint32_t[]> sortVector;
    std::unique_ptr<uint32_t[]> buckets;
};

// Perturbs and sorts the n bytes at the start of the workspace, writes the last
// column over them and returns the origin.
uint32_t TransformBlock(Workspace& work, uint32_t n) {
    uint8_t* bytes = work.Bytes();
    Perturb(bytes, n, +1);
    // Spread the bytes into the words' top bits, from the end so that no byte is
    // overwritten before it is moved.
    uint32_t* words = work.words.get();
    for (uint32_t i = n; i-- > 0;)
        words[i] = static_cast<uint32_t>(bytes[i]) << 24;
    SortRotations(words, work.sortVector.get(), work.buckets.get(), n);
    const uint32_t* sv = work.sortVector.get();
    uint32_t origin = n;
    // The last column goes over the sort vector itself: byte i lies in entry
    // i / 4, which has been read by the time byte i is written.
    uint8_t* column = reinterpret_cast<uint8_t*>(work.sortVector.get());
    for (uint32_t i = 0; i < n; i++) {
        uint32_t p = sv[i];
        if (p == 0)
            origin = i;
        column[i] = static_cast<uint8_t>(words[p == 0 ? n - 1 : p - 1] >> 24);
    }
    if (origin == n)
        BS_FAIL("doReversibleTransformation");
    return origin;
}

struct ClearFlagsOnExit {
    ByteInput& input;
    ByteOutput& output;
    ~ClearFlagsOnExit() {
        input.ClearFlags();
        output.ClearFlags();
    }
};

}  // namespace

void WriteStreamFromBlocks(const std::vector<std::vector<uint8_t>>& blocks, const uint8_t header[4],
                           ByteOutput& output, const std::vector<int64_t>& origins) {
    size_t largest = 1;
    for (const auto& block : blocks)
        largest = block.size() > largest ? block.size() : largest;
    int units = static_cast<int>((largest + kBlockUnit - 1) / kBlockUnit);
    Workspace work(units);
    auto writer = std::make_unique<StreamWriter>(output);
    writer->Begin(header);
    for (size_t b = 0; b < blocks.size(); b++) {
        uint32_t n = static_cast<uint32_t>(blocks[b].size());
        uint32_t origin = 0;
        if (n > 0) {
            std::memcpy(work.Bytes(), blocks[b].data(), n);
            origin = TransformBlock(work, n);
        }
        if (b < origins.size() && origins[b] >= 0)
            origin = static_cast<uint32_t>(origins[b]);
        bool last = b + 1 == blocks.size();
        writer->SendOriginWord(last ? ~origin : origin + 1);
        writer->SendBlock(reinterpret_cast<const uint8_t*>(work.sortVector.get()), n);
    }
    writer->Finish();
}

}  // namespace blocksort

void blockSortCompress(ByteInput& input, ByteOutput& output, ProgressCallback progress) {
    using namespace blocksort;
    ClearFlagsOnExit clearFlags{input, output};
    auto work = std::make_unique<Workspace>(kWriterBlockSizeUnits);
    auto reader = std::make_unique<RunReader>(input);
    auto writer = std::make_unique<StreamWriter>(output);
    static const uint8_t kHeader[4] = {'R', 'e', 's', static_cast<uint8_t>('A' + kWriterBlockSizeUnits)};
    writer->Begin(kHeader);
    for (bool last = false; !last;) {
        uint32_t n = 0;
        last = LoadBlock(*reader, kWriterBlockSizeUnits, work->Bytes(), n, progress);
        uint32_t origin = TransformBlock(*work, n);
        writer->SendOriginWord(last ? ~origin : origin + 1);
        writer->SendBlock(reinterpret_cast<const uint8_t*>(work->sortVector.get()), n);
    }
    writer->Finish();
    if (input.Error())
        BS_FAIL("streamBad!");
}
