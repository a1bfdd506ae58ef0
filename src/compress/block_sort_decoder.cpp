// Block-sorting decoder: arithmetic decoding of the block symbols, move-to-front
// and zero-run decoding into the transformed block, the inverse transform walked
// forwards, and the run expansion straight into the caller's buffer.
//
// Damaged streams never make the decoder read or write outside its buffers: a
// block longer than the header's block size, a zero run that would overflow it,
// an origin outside the block, a run left without its count byte, a last block
// without its end byte and more output than the caller has room for all end in
// a fatal report.
#include <cstring>
#include <memory>
#include <new>

#ifdef __linux__
#include <sys/mman.h>
#endif

#include "compress/block_sort.h"
#include "compress/block_sort_format.h"
#include "foundation/run_time_error.h"

namespace {

using namespace blocksort;

[[noreturn]] void Fail(int line, const char* message) {
    ReportError(kModule, line, message, true);
    // A fatal report does not return; should a handler return anyway, stop here
    // rather than go on with damaged data.
    std::abort();
}
#define BS_FAIL(message) Fail(__LINE__, message)

// Reads the stream's bits, most significant first. Reads ahead in chunks when
// the input can seek, so that it can put the input back right after the last
// byte the stream occupies; one byte at a time otherwise.
class BitReader {
public:
    explicit BitReader(ByteInput& input) : input_(input) {
        start_ = input.Tell();
        chunkSize_ = start_ >= 0 ? sizeof chunk_ : 1;
    }

    // The next k bits (1 .. 32).
    uint32_t Take(int k) {
        if (count_ < k)
            Refill(k);
        count_ -= k;
        return static_cast<uint32_t>((bits_ >> count_) & ((uint64_t{1} << k) - 1));
    }

    // Leaves the input just behind the last byte of which a bit was taken.
    void Finish() {
        if (start_ >= 0 && chunkSize_ > 1)
            input_.Seek(start_ + static_cast<int64_t>(loaded_ - static_cast<uint64_t>(count_ / 8)));
    }

private:
    void Refill(int k) {
        // Without reading ahead, take only the bytes needed now.
        while (count_ <= 56 && (chunkSize_ > 1 || count_ < k)) {
            if (next_ == end_) {
                size_t got = input_.Read(chunk_, chunkSize_);
                if (got == 0)
                    break;
                next_ = chunk_;
                end_ = chunk_ + got;
            }
            bits_ = (bits_ << 8) | *next_++;
            count_ += 8;
            loaded_++;
        }
        if (count_ < k)
            BS_FAIL("Compressed stream EOF");
    }

    ByteInput& input_;
    int64_t start_;
    size_t chunkSize_;
    uint64_t bits_ = 0;
    int count_ = 0;
    uint64_t loaded_ = 0;
    uint8_t* next_ = nullptr;
    uint8_t* end_ = nullptr;
    uint8_t chunk_[4096];
};

class ArithDecoder {
public:
    explicit ArithDecoder(BitReader& bits) : bits_(bits) {}

    void Start() {
        range_ = kCodeHalf;
        value_ = bits_.Take(kCodeBits);
    }

    int Decode(ArithModel& model) {
        const uint32_t total = model.totalFreq;
        const uint32_t r = range_ / total;
        uint32_t target = value_ / r;
        if (target > total - 1)
            target = total - 1;
        const uint32_t* freq = model.freq;
        uint32_t cumLow = 0;
        int s = 1;
        while (cumLow + freq[s] <= target) {
            cumLow += freq[s];
            s++;
        }
        value_ -= r * cumLow;
        if (cumLow + freq[s] < total)
            range_ = r * freq[s];
        else
            range_ -= r * cumLow;
        if (range_ <= kCodeQuarter) {
            // Double until the range passes a quarter: 24 - floor(log2(range - 1))
            // times (the range is never below 2 here).
            int k = 24 - (31 - __builtin_clz(range_ - 1));
            range_ <<= k;
            value_ = (value_ << k) | bits_.Take(k);
        }
        UpdateModel(model, s);
        return s;
    }

private:
    BitReader& bits_;
    uint32_t range_ = 0;
    uint32_t value_ = 0;
};

// Where decoded bytes go: the caller's buffer (a full buffer means a damaged
// stream), or a window that is written to a stream whenever it fills.
class Sink {
public:
    Sink(uint8_t* buffer, size_t size, ByteOutput* stream)
        : base_(buffer), next_(buffer), end_(buffer + size), stream_(stream) {}

    void Put(uint8_t byte) {
        if (next_ == end_)
            MakeRoom();
        *next_++ = byte;
    }
    void PutRun(uint8_t byte, size_t count) {
        while (count > 0) {
            if (next_ == end_)
                MakeRoom();
            size_t n = static_cast<size_t>(end_ - next_);
            if (n > count)
                n = count;
            std::memset(next_, byte, n);
            next_ += n;
            count -= n;
        }
    }
    // Writes what the window holds; returns all bytes produced.
    uint64_t Finish() {
        if (stream_ != nullptr)
            Drain();
        return flushed_ + static_cast<uint64_t>(next_ - base_);
    }

private:
    void MakeRoom() {
        if (stream_ == nullptr)
            BS_FAIL("Block overrun during decompression");
        Drain();
    }
    void Drain() {
        size_t n = static_cast<size_t>(next_ - base_);
        if (n > 0 && !stream_->Write(base_, n))
            BS_FAIL("EOF!");
        flushed_ += n;
        next_ = base_;
    }

    uint8_t* base_;
    uint8_t* next_;
    uint8_t* end_;
    ByteOutput* stream_;
    uint64_t flushed_ = 0;
};

// The full-size table of a block: one 32-bit entry per block byte. On Linux a
// table of 3 MiB or more is mapped on its own, aligned to 2 MiB and marked for
// huge pages: the inverse transform's walk jumps all over it, and with 4 KiB
// pages nearly every step misses the TLB, and the first touch of every page is
// a fault of its own. Elsewhere it is plain heap memory.
class FullTable {
public:
    FullTable() = default;
    FullTable(const FullTable&) = delete;
    FullTable& operator=(const FullTable&) = delete;
    ~FullTable() {
#ifdef __linux__
        if (mapped_ != 0)
            munmap(entries_, mapped_);
#endif
    }

    bool Allocate(uint32_t entries) {
#ifdef __linux__
        constexpr size_t kHuge = size_t{2} << 20;
        const size_t bytes = static_cast<size_t>(entries) * sizeof(uint32_t);
        if (bytes >= (size_t{3} << 20)) {
            const size_t size = (bytes + kHuge - 1) & ~(kHuge - 1);
            void* raw = mmap(nullptr, size + kHuge, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
            if (raw != MAP_FAILED) {
                // Keep the aligned part only.
                const uintptr_t start = reinterpret_cast<uintptr_t>(raw);
                const uintptr_t aligned = (start + kHuge - 1) & ~(uintptr_t{kHuge} - 1);
                if (aligned > start)
                    munmap(raw, aligned - start);
                munmap(reinterpret_cast<void*>(aligned + size), start + kHuge - aligned);
                entries_ = reinterpret_cast<uint32_t*>(aligned);
                mapped_ = size;
                madvise(entries_, size, MADV_HUGEPAGE);
                return true;
            }
        }
#endif
        heap_.reset(new (std::nothrow) uint32_t[entries]);
        entries_ = heap_.get();
        return entries_ != nullptr;
    }

    uint32_t* Get() const { return entries_; }

private:
    uint32_t* entries_ = nullptr;
    size_t mapped_ = 0;
    std::unique_ptr<uint32_t[]> heap_;
};

// Where a block's entries go: a small table first, so that the short blocks of
// small or highly repetitive inputs never touch the full-size one; the first
// block that outgrows it moves to the full-size table, where all later blocks
// stay.
class BlockStore {
public:
    static constexpr uint32_t kSmallEntries = 1 << 16;

    bool Allocate(uint32_t limit) {
        limit_ = limit;
        room_ = limit < kSmallEntries ? limit : kSmallEntries;
        small_.reset(new (std::nothrow) uint32_t[room_]);
        entries_ = small_.get();
        return entries_ != nullptr && (room_ == limit || full_.Allocate(limit));
    }

    uint32_t* Entries() const { return entries_; }
    // How many entries fit where they go now; the limit once moved.
    uint32_t Room() const { return room_; }
    uint32_t Limit() const { return limit_; }

    // Moves the block's first n entries to the full-size table.
    void Grow(uint32_t n) {
        std::memcpy(full_.Get(), entries_, static_cast<size_t>(n) * sizeof(uint32_t));
        entries_ = full_.Get();
        room_ = limit_;
        small_.reset();
    }

private:
    uint32_t limit_ = 0;
    uint32_t room_ = 0;
    uint32_t* entries_ = nullptr;
    std::unique_ptr<uint32_t[]> small_;
    FullTable full_;
};

// Clears the input's flags however the call ends, a fatal report included.
struct ClearFlagsOnExit {
    ByteInput& input;
    ~ClearFlagsOnExit() { input.ClearFlags(); }
};

// Decodes one block's symbols into the low bytes of the store's entries;
// returns the block length.
uint32_t DecodeBlockSymbols(ArithDecoder& coder, BlockModels& models, BlockStore& store, uint32_t counts[256]) {
    uint8_t list[256];
    for (int i = 0; i < 256; i++)
        list[i] = static_cast<uint8_t>(i);
    std::memset(counts, 0, 256 * sizeof counts[0]);
    const uint32_t limit = store.Limit();
    uint32_t* tt = store.Entries();
    uint32_t room = store.Room();
    uint32_t n = 0;
    uint64_t run = 0;  // zero run being collected
    ArithModel& basis = models.model[kBasis];
    for (;;) {
        int b = coder.Decode(basis);
        if (b <= 2) {
            // Digits of a zero run, most significant first: 257 is 2, 258 is 1.
            run = 2 * run + static_cast<uint64_t>(b == 1 ? 2 : 1);
            if (run > limit - n)
                BS_FAIL("Block overrun during decompression");
            continue;
        }
        if (run > 0) {
            if (run > room - n) {
                store.Grow(n);
                tt = store.Entries();
                room = store.Room();
            }
            uint8_t front = list[0];
            counts[front] += static_cast<uint32_t>(run);
            for (uint64_t i = 0; i < run; i++)
                tt[n++] = front;
            run = 0;
        }
        if (b == 11)
            return n;
        int v = 1;
        if (b > 3) {
            int r = b - 3;
            v = coder.Decode(models.model[r]) + kRangeLow[r] - 1;
        }
        if (n >= room) {
            if (n >= limit)
                BS_FAIL("Block overrun during decompression");
            store.Grow(n);
            tt = store.Entries();
            room = store.Room();
        }
        uint8_t c = list[v];
        std::memmove(list + 1, list, static_cast<size_t>(v));
        list[0] = c;
        counts[c]++;
        tt[n++] = c;
    }
}

uint64_t Decode(ByteInput& input, Sink& sink, ProgressCallback progress) {
    ClearFlagsOnExit clearFlags{input};
    BitReader bits(input);
    uint8_t header[4];
    for (uint8_t& byte : header)
        byte = static_cast<uint8_t>(bits.Take(8));
    int k = HeaderBlockSize(header);
    if (k == 0) {
        bits.Finish();
        return 0;
    }
    const uint32_t limit = static_cast<uint32_t>(k) * kBlockUnit;
    // The transformed block sits in the low byte of each entry; the inverse
    // transform adds, above it, the index of the rotation one position further on.
    BlockStore store;
    auto models = std::unique_ptr<BlockModels>(new (std::nothrow) BlockModels);
    auto originModel = std::unique_ptr<ArithModel>(new (std::nothrow) ArithModel);
    if (!store.Allocate(limit) || !models || !originModel)
        BS_FAIL("uncompressOutOfMemory");

    ArithDecoder coder(bits);
    InitOriginModel(*originModel);
    coder.Start();
    uint32_t counts[256];
    for (bool last = false; !last;) {
        if (progress != nullptr)
            progress();
        uint32_t word = 0;
        for (int i = 0; i < 4; i++)
            word = (word << 8) | static_cast<uint32_t>(coder.Decode(*originModel) - 1);
        last = (word & 0x80000000u) != 0;
        uint32_t origin = last ? ~word : word - 1;
        InitBlockModels(*models);
        uint32_t n = DecodeBlockSymbols(coder, *models, store, counts);
        if (origin >= n)
            BS_FAIL("Unblock error");

        // Rotation i, preceded by byte L[i], is followed (one position further
        // on) by the rotation at index FL(i); FL(C[c] + rank) = i for the rank-th
        // occurrence of c in L.
        uint32_t next[256];
        uint32_t sum = 0;
        for (int c = 0; c < 256; c++) {
            next[c] = sum;
            sum += counts[c];
        }
        uint32_t* t = store.Entries();
        for (uint32_t i = 0; i < n; i++)
            t[next[t[i] & 0xff]++] |= i << 8;

        // Walk the block forwards from position 0; position i's byte is the low
        // byte of the entry reached after i steps.
        PerturbationSeries series;
        uint32_t perturbAt = series.Position() < n - 1 ? series.Position() : UINT32_MAX;
        const uint32_t end = last ? n - 1 : n;
        uint32_t p = t[origin] >> 8;
        int previous = -1;
        int runLength = 0;
        bool countNext = false;
        for (uint32_t i = 0; i < end; i++) {
            uint32_t entry = t[p];
            p = entry >> 8;
            uint8_t x = static_cast<uint8_t>(entry);
            if (i == perturbAt) {
                x = static_cast<uint8_t>(x - 1);
                series.Next();
                perturbAt = series.Position() < n - 1 ? series.Position() : UINT32_MAX;
            }
            if (countNext) {
                sink.PutRun(static_cast<uint8_t>(previous), x);
                countNext = false;
                runLength = 0;
                continue;
            }
            sink.Put(x);
            if (x != previous) {
                previous = x;
                runLength = 1;
            } else if (++runLength == 4) {
                countNext = true;
            }
        }
        // A run of four with its count byte cut off by the block's end.
        if (countNext)
            BS_FAIL("Unblock error");
        if (last && static_cast<uint8_t>(t[p]) != kEndByte)
            BS_FAIL("Unblock error");
    }
    bits.Finish();
    return sink.Finish();
}

}  // namespace

size_t blockSortDecompress(ByteInput& input, uint8_t* destination, size_t capacity, ProgressCallback progress) {
    Sink sink(destination, capacity, nullptr);
    return static_cast<size_t>(Decode(input, sink, progress));
}

uint64_t blockSortDecompressToStream(ByteInput& input, ByteOutput& output, ProgressCallback progress) {
    std::unique_ptr<uint8_t[]> window(new (std::nothrow) uint8_t[1 << 16]);
    if (!window)
        ReportError(kModule, __LINE__, "uncompressOutOfMemory", true);
    Sink sink(window.get(), window ? size_t{1} << 16 : 0, &output);
    return Decode(input, sink, progress);
}
