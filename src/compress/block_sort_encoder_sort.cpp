// Sorting the rotations of a block.
//
// Blocks of up to 1024 bytes: Shell sort on single bytes.
//
// Longer blocks: the graded sort. Every word holds its position's byte and the
// three following ones; the positions are bucketed by their first two bytes and
// the buckets sorted smallest first by quicksort on whole words. Once a bucket is
// sorted, the low 16 bits of its positions' words are replaced by the positions'
// ranks in the bucket, so that later comparisons reaching two positions of that
// bucket are decided at once.
//
// On highly repetitive blocks comparisons walk very long equal stretches, and
// the graded sort's work grows without bound. It therefore runs against a
// budget proportional to the block length; a block that exceeds it is sorted
// again by prefix doubling (rotations ordered by their first h bytes, h doubling
// each round, groups of equal prefixes refined by ternary quicksort on the rank
// of the rotation h further on), which takes O(n log n) on any block. For blocks
// without equal rotations the order is the same whichever method produced it.
#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "compress/block_sort_encoder_internal.h"
#include "foundation/run_time_error.h"

namespace blocksort {
namespace {

// ---- Shell sort ----------------------------------------------------------------

// True when the rotation at p is strictly greater than the one at q.
bool RotationGreater(const uint32_t* words, uint32_t n, uint32_t p, uint32_t q) {
    for (uint32_t k = 0; k < n; k++) {
        uint32_t a = words[p] >> 24, b = words[q] >> 24;
        if (a != b)
            return a > b;
        if (++p == n)
            p = 0;
        if (++q == n)
            q = 0;
    }
    return false;
}

void ShellSort(const uint32_t* words, uint32_t* sv, uint32_t n) {
    for (uint32_t i = 0; i < n; i++)
        sv[i] = i;
    uint32_t gap = 1;
    while (gap <= n)
        gap = 3 * gap + 1;
    do {
        gap /= 3;
        for (uint32_t i = gap; i < n; i++) {
            uint32_t v = sv[i];
            uint32_t j = i;
            while (j >= gap && RotationGreater(words, n, sv[j - gap], v)) {
                sv[j] = sv[j - gap];
                j -= gap;
            }
            sv[j] = v;
        }
    } while (gap != 1);
}

// ---- Graded sort -------------------------------------------------------------

// Packs every word with its byte and the three following ones, repeats the first
// 16 words behind the end (so that a comparison step may run 16 positions past
// it) and buckets the positions by their first two bytes: filling each bucket
// from its end with the positions in ascending order leaves it in descending
// position order and its start in buckets[key]; buckets[65536] = n.
void PackWordsAndBucket(uint32_t* w, uint32_t* sv, uint32_t* ftab, uint32_t n) {
    // The last word wraps round to the block's start (whose top bytes packing
    // leaves alone); every earlier word takes its three following bytes from
    // the already packed word after it.
    {
        const uint32_t i = n - 1;
        uint32_t b1 = w[i + 1 < n ? i + 1 : i + 1 - n] >> 24;
        uint32_t b2 = w[i + 2 < n ? i + 2 : i + 2 - n] >> 24;
        uint32_t b3 = w[i + 3 < n ? i + 3 : i + 3 - n] >> 24;
        w[i] = (w[i] & 0xff000000u) | (b1 << 16) | (b2 << 8) | b3;
    }
    for (uint32_t i = n - 1; i-- > 0;)
        w[i] = (w[i] & 0xff000000u) | (w[i + 1] >> 8);
    for (uint32_t i = 0; i < 16; i++)
        w[n + i] = w[i];
    std::memset(ftab, 0, 65537 * sizeof ftab[0]);
    for (uint32_t i = 0; i < n; i++)
        ftab[w[i] >> 16]++;
    for (uint32_t k = 1; k < 65536; k++)
        ftab[k] += ftab[k - 1];
    for (uint32_t i = 0; i < n; i++)
        sv[--ftab[w[i] >> 16]] = i;
    ftab[65536] = n;
}

class GradedSort {
public:
    GradedSort(uint32_t* words, uint32_t* sv, uint32_t* buckets, uint32_t n, uint64_t budget)
        : w_(words), sv_(sv), ftab_(buckets), n_(n), budget_(budget) {}

    // False when the work budget ran out (the sort vector is then incomplete).
    bool Run();
    uint64_t Work() const { return work_; }

private:
    // <0, 0, >0 as the rotation at p is smaller, equal or greater than at q.
    int Compare(uint32_t p, uint32_t q) {
        if (p == q || aborted_)
            return 0;
        uint32_t covered = 0;
        for (;;) {
            // Out of budget: from now on every comparison answers "equal" at
            // once, so that the sorting loops wind down quickly.
            if (++work_ > budget_) {
                aborted_ = true;
                return 0;
            }
            for (int k = 0; k < 16; k += 4) {
                uint32_t a = w_[p + k], b = w_[q + k];
                if (a != b)
                    return a < b ? -1 : 1;
            }
            p += 16;
            q += 16;
            if (p >= n_)
                p -= n_;
            if (q >= n_)
                q -= n_;
            covered += 16;
            if (covered >= n_)
                return 0;  // equal rotations
        }
    }
    bool OverBudget() const { return aborted_; }
    void Swap(uint32_t a, uint32_t b) { std::swap(sv_[a], sv_[b]); }
    bool SortRange(uint32_t lo, uint32_t hi);
    void InsertionSort(uint32_t lo, uint32_t hi);

    uint32_t* w_;
    uint32_t* sv_;
    uint32_t* ftab_;
    uint32_t n_;
    uint64_t budget_;
    uint64_t work_ = 0;
    bool aborted_ = false;
};

void GradedSort::InsertionSort(uint32_t lo, uint32_t hi) {
    for (uint32_t i = lo + 1; i <= hi; i++) {
        uint32_t v = sv_[i];
        uint32_t j = i;
        while (j > lo && Compare(sv_[j - 1], v) > 0) {
            sv_[j] = sv_[j - 1];
            j--;
        }
        sv_[j] = v;
    }
}

bool GradedSort::SortRange(uint32_t lo0, uint32_t hi0) {
    struct Range {
        uint32_t lo, hi;
    };
    Range stack[40];
    int depth = 0;
    stack[depth++] = {lo0, hi0};
    while (depth > 0) {
        if (OverBudget())
            return false;
        Range r = stack[--depth];
        uint32_t lo = r.lo, hi = r.hi;
        for (;;) {
            if (hi - lo <= 10) {
                InsertionSort(lo, hi);
                break;
            }
            if (OverBudget())
                return false;
            uint32_t mid = lo + (hi - lo) / 2;
            // Median of three, put in order; the median becomes the pivot at hi - 1.
            if (Compare(sv_[lo], sv_[mid]) > 0)
                Swap(lo, mid);
            if (Compare(sv_[mid], sv_[hi]) > 0) {
                Swap(mid, hi);
                if (Compare(sv_[lo], sv_[mid]) > 0)
                    Swap(lo, mid);
            }
            Swap(mid, hi - 1);
            const uint32_t pivot = sv_[hi - 1];
            uint32_t i = lo, j = hi - 1;
            for (;;) {
                while (Compare(sv_[++i], pivot) < 0) {
                }
                while (Compare(sv_[--j], pivot) > 0) {
                }
                if (i >= j)
                    break;
                Swap(i, j);
            }
            Swap(i, hi - 1);
            // Larger side onto the stack, go on with the smaller one.
            Range left{lo, i - 1}, right{i + 1, hi};
            bool leftEmpty = i == lo, rightEmpty = i == hi;
            uint32_t leftSize = i - lo, rightSize = hi - i;
            if (leftSize >= rightSize) {
                if (!leftEmpty)
                    stack[depth++] = left;
                if (rightEmpty)
                    break;
                lo = right.lo;
                hi = right.hi;
            } else {
                if (!rightEmpty)
                    stack[depth++] = right;
                if (leftEmpty)
                    break;
                lo = left.lo;
                hi = left.hi;
            }
            if (lo >= hi)
                break;
        }
    }
    return true;
}

bool GradedSort::Run() {
    const uint32_t n = n_;
    PackWordsAndBucket(w_, sv_, ftab_, n);

    static constexpr uint32_t kClassLow[5] = {2, 16, 256, 4096, 65536};
    static constexpr uint32_t kClassHigh[5] = {15, 255, 4095, 65535, 900000};
    for (int c = 0; c < 5; c++) {
        if (n < kClassLow[c])
            continue;
        for (uint32_t key = 0; key < 65536; key++) {
            uint32_t lo = ftab_[key], hi = ftab_[key + 1];
            uint32_t size = hi - lo;
            if (size < kClassLow[c] || size > kClassHigh[c])
                continue;
            if (!SortRange(lo, hi - 1))
                return false;
            if (size < 65535) {
                for (uint32_t r = 0; r < size; r++) {
                    uint32_t pos = sv_[lo + r];
                    w_[pos] = (w_[pos] & 0xffff0000u) | r;
                    if (pos < 16)
                        w_[pos + n] = w_[pos];
                }
            }
        }
    }
    return true;
}

// ---- Bucket sort ---------------------------------------------------------------

// The graded sort's buckets and ranks, with two changes that save most of its
// work. A bucket is sorted by multikey quicksort: ranges are split three ways
// on the word at the depth their positions are known to agree to, and only the
// equal part goes on to the next word, so no comparison walks a common prefix
// twice. And the first bytes are taken in order of increasing count; once all
// positions starting with byte c are sorted, one pass over them in order
// places every position followed by c (the bucket [x, c] of each byte x not yet
// taken, [c, c] included) in sorted order, so these buckets are never sorted.
class BucketSort {
public:
    enum class Result { Sorted, OverBudget, EqualRotations };
    BucketSort(uint32_t* words, uint32_t* sv, uint32_t* buckets, uint32_t n, uint64_t budget)
        : w_(words), sv_(sv), ftab_(buckets), n_(n), budget_(budget) {}

    Result Run();
    uint64_t Work() const { return work_; }

private:
    struct Range {
        uint32_t lo, hi, depth;  // [lo, hi) agree in their first depth bytes
    };
    uint32_t Key(uint32_t pos, uint32_t depth) const {
        uint32_t q = pos + depth;
        return w_[q >= n_ ? q - n_ : q];
    }
    bool SortBucket(uint32_t lo, uint32_t hi);
    bool InsertionSort(uint32_t lo, uint32_t hi, uint32_t depth);
    void Rank(uint32_t key);

    uint32_t* w_;
    uint32_t* sv_;
    uint32_t* ftab_;
    uint32_t n_;
    uint64_t budget_;
    uint64_t work_ = 0;
    Result failure_ = Result::Sorted;
    std::vector<Range> stack_;
};

bool BucketSort::InsertionSort(uint32_t lo, uint32_t hi, uint32_t depth) {
    for (uint32_t i = lo + 1; i < hi; i++) {
        const uint32_t v = sv_[i];
        uint32_t vd = v + depth;
        if (vd >= n_)
            vd -= n_;
        uint32_t j = i;
        while (j > lo) {
            // Is the rotation at sv[j - 1] greater than the one at v? Both agree
            // in their first depth bytes; compare 16 bytes a step from there.
            uint32_t p = sv_[j - 1] + depth, q = vd;
            if (p >= n_)
                p -= n_;
            uint32_t covered = depth;
            int order = 0;
            while (order == 0) {
                if (++work_ > budget_) {
                    failure_ = Result::OverBudget;
                    return false;
                }
                for (int k = 0; k < 16; k += 4) {
                    uint32_t a = w_[p + k], b = w_[q + k];
                    if (a != b) {
                        order = a < b ? -1 : 1;
                        break;
                    }
                }
                if (order != 0)
                    break;
                covered += 16;
                if (covered >= n_) {
                    failure_ = Result::EqualRotations;
                    return false;
                }
                p += 16;
                q += 16;
                if (p >= n_)
                    p -= n_;
                if (q >= n_)
                    q -= n_;
            }
            if (order < 0)
                break;
            sv_[j] = sv_[j - 1];
            j--;
        }
        sv_[j] = v;
    }
    return true;
}

bool BucketSort::SortBucket(uint32_t lo0, uint32_t hi0) {
    // The words agree in their first two bytes; the word at depth 2 holds bytes
    // 2 to 5 (or, in a ranked bucket, decides the order outright).
    std::vector<Range>& stack = stack_;
    stack.clear();
    stack.push_back({lo0, hi0, 2});
    while (!stack.empty()) {
        const Range r = stack.back();
        stack.pop_back();
        uint32_t lo = r.lo, hi = r.hi;
        const uint32_t depth = r.depth;
        if (hi - lo < 20) {
            if (!InsertionSort(lo, hi, depth))
                return false;
            continue;
        }
        if (depth >= n_) {
            failure_ = Result::EqualRotations;
            return false;
        }
        work_ += (hi - lo) / 4;
        if (work_ > budget_) {
            failure_ = Result::OverBudget;
            return false;
        }
        const uint32_t m = hi - lo;
        uint32_t k1 = Key(sv_[lo + m / 4], depth), k2 = Key(sv_[lo + m / 2], depth),
                 k3 = Key(sv_[lo + 3 * (m / 4)], depth);
        const uint32_t pivot = std::max(std::min(k1, k2), std::min(std::max(k1, k2), k3));
        // [lo, lt) smaller, [lt, i) equal, [gt, hi) greater.
        uint32_t lt = lo, i = lo, gt = hi;
        while (i < gt) {
            const uint32_t v = sv_[i];
            const uint32_t k = Key(v, depth);
            if (k < pivot) {
                sv_[i] = sv_[lt];
                sv_[lt] = v;
                lt++;
                i++;
            } else if (k > pivot) {
                gt--;
                sv_[i] = sv_[gt];
                sv_[gt] = v;
            } else {
                i++;
            }
        }
        if (hi - gt > 1)
            stack.push_back({gt, hi, depth});
        if (lt - lo > 1)
            stack.push_back({lo, lt, depth});
        // Equal words in a ranked bucket would be one position: only unranked
        // words, four equal bytes, get here.
        if (gt - lt > 1)
            stack.push_back({lt, gt, depth + 4});
    }
    return true;
}

void BucketSort::Rank(uint32_t key) {
    const uint32_t lo = ftab_[key], size = ftab_[key + 1] - lo;
    if (size >= 65535)
        return;
    for (uint32_t r = 0; r < size; r++) {
        uint32_t pos = sv_[lo + r];
        w_[pos] = (w_[pos] & 0xffff0000u) | r;
        if (pos < 16)
            w_[pos + n_] = w_[pos];
    }
}

BucketSort::Result BucketSort::Run() {
    const uint32_t n = n_;
    PackWordsAndBucket(w_, sv_, ftab_, n);

    std::vector<uint8_t> sorted(65536, 0);
    bool bigDone[256] = {};
    uint32_t order[256];
    for (uint32_t c = 0; c < 256; c++)
        order[c] = c;
    auto bigSize = [&](uint32_t c) { return ftab_[(c + 1) << 8] - ftab_[c << 8]; };
    std::stable_sort(order, order + 256, [&](uint32_t a, uint32_t b) { return bigSize(a) < bigSize(b); });

    uint32_t copyStart[256], copyEnd[256];
    for (uint32_t ss : order) {
        // The buckets [ss, j], j != ss, that no copy has sorted yet.
        for (uint32_t j = 0; j < 256; j++) {
            const uint32_t key = (ss << 8) | j;
            if (j == ss || sorted[key])
                continue;
            const uint32_t lo = ftab_[key], hi = ftab_[key + 1];
            if (hi - lo > 1 && !SortBucket(lo, hi))
                return failure_;
            sorted[key] = 1;
            Rank(key);
        }
        // All of [ss, *] but [ss, ss] is sorted: walk it from both ends, placing
        // each position's predecessor into its bucket [x, ss] from that bucket's
        // front or back. The walks run on through [ss, ss] as they fill it.
        for (uint32_t x = 0; x < 256; x++) {
            const uint32_t key = (x << 8) | ss;
            copyStart[x] = ftab_[key];
            copyEnd[x] = ftab_[key + 1];
        }
        const uint32_t lo = ftab_[ss << 8], hi = ftab_[(ss + 1) << 8];
        for (uint32_t k = lo; k < copyStart[ss]; k++) {
            uint32_t p = sv_[k];
            p = p == 0 ? n - 1 : p - 1;
            const uint32_t x = w_[p] >> 24;
            if (!bigDone[x])
                sv_[copyStart[x]++] = p;
        }
        for (uint32_t k = hi; k > copyEnd[ss]; k--) {
            uint32_t p = sv_[k - 1];
            p = p == 0 ? n - 1 : p - 1;
            const uint32_t x = w_[p] >> 24;
            if (x == ss && copyEnd[ss] == copyStart[ss])
                return Result::EqualRotations;  // the walks would overlap
            if (!bigDone[x])
                sv_[--copyEnd[x]] = p;
        }
        // The walks meet unless [ss, ss] holds rotations equal to each other
        // (a block of one byte value).
        if (copyStart[ss] != copyEnd[ss])
            return Result::EqualRotations;
        work_ += (hi - lo) / 4;
        for (uint32_t x = 0; x < 256; x++) {
            const uint32_t key = (x << 8) | ss;
            if (!bigDone[x] && !sorted[key]) {
                sorted[key] = 1;
                Rank(key);
            }
        }
        bigDone[ss] = true;
    }
    return Result::Sorted;
}

// ---- Prefix doubling -----------------------------------------------------------

// Rotations are kept in groups of equal h-byte prefixes. Each position's group
// number (the index of the group's last entry in the sort vector) lives in bits
// 0-23 of its word, beside its byte. A sorted stretch of the sort vector is
// marked by its negated length in its first entry so later rounds skip it.
class DoublingSort {
public:
    DoublingSort(uint32_t* words, uint32_t* sv, uint32_t* buckets, uint32_t n)
        : w_(words), I_(reinterpret_cast<int32_t*>(sv)), ftab_(buckets), n_(n) {}
    void Run();
    // The last round found rotations equal to each other.
    bool EqualRotations() const { return equalRotations_; }

private:
    uint32_t Group(uint32_t pos) const { return w_[pos] & 0xffffffu; }
    void SetGroup(uint32_t pos, uint32_t g) { w_[pos] = (w_[pos] & 0xff000000u) | g; }
    uint32_t Key(int32_t pos) const {
        uint32_t q = static_cast<uint32_t>(pos) + h_;
        return Group(q >= n_ ? q - n_ : q);
    }
    void UpdateGroup(uint32_t lo, uint32_t hi) {
        for (uint32_t j = lo; j <= hi; j++)
            SetGroup(static_cast<uint32_t>(I_[j]), hi);
        if (lo == hi)
            I_[lo] = -1;
    }
    void SortGroup(uint32_t lo, uint32_t hi);
    void SmallSort(uint32_t lo, uint32_t hi);
    uint32_t Random() {
        seed_ = seed_ * 1103515245u + 12345u;
        return seed_ >> 8;
    }

    uint32_t* w_;
    int32_t* I_;
    uint32_t* ftab_;
    uint32_t n_;
    uint32_t h_ = 0;
    uint32_t seed_ = 20010101u;
    bool equalRotations_ = false;
    struct Task {
        uint32_t lo, hi;
        bool update;  // give [lo, hi] its group number (else: sort it)
    };
    std::vector<Task> tasks_;
};

void DoublingSort::SmallSort(uint32_t lo, uint32_t hi) {
    uint32_t keys[16];
    int32_t pos[16];
    uint32_t m = hi - lo + 1;
    for (uint32_t j = 0; j < m; j++) {
        pos[j] = I_[lo + j];
        keys[j] = Key(pos[j]);
    }
    for (uint32_t j = 1; j < m; j++) {
        uint32_t k = keys[j];
        int32_t p = pos[j];
        uint32_t i = j;
        while (i > 0 && keys[i - 1] > k) {
            keys[i] = keys[i - 1];
            pos[i] = pos[i - 1];
            i--;
        }
        keys[i] = k;
        pos[i] = p;
    }
    for (uint32_t j = 0; j < m; j++)
        I_[lo + j] = pos[j];
    // Split into runs of equal keys; the keys were taken before any group changed.
    uint32_t a = 0;
    for (uint32_t j = 1; j <= m; j++) {
        if (j == m || keys[j] != keys[a]) {
            UpdateGroup(lo + a, lo + j - 1);
            a = j;
        }
    }
}

void DoublingSort::SortGroup(uint32_t lo0, uint32_t hi0) {
    // A group is split into smaller, equal and greater parts by the key; the parts
    // must be finished in that order (the smaller part's new numbers first, then
    // the equal part's, then the greater part's) so that every key read meanwhile
    // orders consistently with the rotations. Hence a stack of tasks rather than
    // recursion, which also keeps the depth off the machine stack.
    std::vector<Task>& tasks = tasks_;
    tasks.clear();
    tasks.push_back({lo0, hi0, false});
    while (!tasks.empty()) {
        const Task task = tasks.back();
        tasks.pop_back();
        const uint32_t lo = task.lo, hi = task.hi;
        if (task.update) {
            UpdateGroup(lo, hi);
            continue;
        }
        if (hi - lo + 1 <= 16) {
            SmallSort(lo, hi);
            continue;
        }
        // Pivot: the median of three keys at pseudo-random places (fixed seed, so
        // the output stays deterministic).
        const uint32_t m = hi - lo + 1;
        const uint32_t k1 = Key(I_[lo + Random() % m]);
        const uint32_t k2 = Key(I_[lo + Random() % m]);
        const uint32_t k3 = Key(I_[lo + Random() % m]);
        const uint32_t pivot = std::max(std::min(k1, k2), std::min(std::max(k1, k2), k3));
        // Ternary partition: [lo, lt) smaller, [lt, greater) equal, [greater, hi] greater.
        uint32_t lt = lo, i = lo, greater = hi + 1;
        while (i < greater) {
            const uint32_t k = Key(I_[i]);
            if (k < pivot) {
                std::swap(I_[lt], I_[i]);
                lt++;
                i++;
            } else if (k > pivot) {
                greater--;
                std::swap(I_[i], I_[greater]);
            } else {
                i++;
            }
        }
        // The pivot is one of the keys, so the equal part is never empty.
        if (greater <= hi)
            tasks.push_back({greater, hi, false});
        tasks.push_back({lt, greater - 1, true});
        if (lt > lo)
            tasks.push_back({lo, lt - 1, false});
    }
}

void DoublingSort::Run() {
    const uint32_t n = n_;
    auto byteAt = [&](uint32_t i) { return w_[i] >> 24; };
    // Groups of equal first two bytes.
    std::memset(ftab_, 0, 65537 * sizeof ftab_[0]);
    for (uint32_t i = 0; i < n; i++)
        ftab_[(byteAt(i) << 8) | byteAt(i + 1 < n ? i + 1 : 0)]++;
    uint32_t sum = 0;
    for (uint32_t k = 0; k < 65536; k++) {
        uint32_t c = ftab_[k];
        ftab_[k] = sum;
        sum += c;
    }
    for (uint32_t i = 0; i < n; i++)
        I_[ftab_[(byteAt(i) << 8) | byteAt(i + 1 < n ? i + 1 : 0)]++] = static_cast<int32_t>(i);
    // ftab_[k] is now the end of group k.
    for (uint32_t i = 0; i < n; i++)
        SetGroup(i, ftab_[(byteAt(i) << 8) | byteAt(i + 1 < n ? i + 1 : 0)] - 1);
    for (uint32_t k = 0, start = 0; k < 65536; k++) {
        if (ftab_[k] == start + 1)
            I_[start] = -1;
        start = ftab_[k];
    }

    h_ = 2;
    for (;;) {
        // One round: refine every unsorted group by the group h further on,
        // merging sorted stretches as they are passed.
        uint32_t i = 0;
        int32_t sortedRun = 0;
        bool finalRound = h_ >= n;
        while (i < n) {
            int32_t s = I_[i];
            if (s < 0) {
                i += static_cast<uint32_t>(-s);
                sortedRun += s;
                continue;
            }
            if (sortedRun != 0) {
                I_[i - static_cast<uint32_t>(-sortedRun)] = sortedRun;
                sortedRun = 0;
            }
            uint32_t end = Group(static_cast<uint32_t>(s)) + 1;
            if (finalRound) {
                // Prefixes of n bytes or more: these rotations are equal; any order
                // among them will do.
                equalRotations_ = true;
                for (uint32_t j = i; j < end; j++)
                    SetGroup(static_cast<uint32_t>(I_[j]), j);
            } else {
                SortGroup(i, end - 1);
            }
            i = end;
        }
        if (sortedRun != 0)
            I_[i - static_cast<uint32_t>(-sortedRun)] = sortedRun;
        if (finalRound || I_[0] == -static_cast<int32_t>(n))
            break;
        h_ *= 2;
        if (h_ > n)
            h_ = n;
    }
    // Every group is now a single position: its number is its place.
    for (uint32_t pos = 0; pos < n; pos++)
        I_[Group(pos)] = static_cast<int32_t>(pos);
}

}  // namespace

SortOutcome SortRotations(uint32_t* words, uint32_t* sortVector, uint32_t* buckets, uint32_t n, SortMethod method) {
    SortOutcome outcome;
    bool automatic = method == SortMethod::Automatic;
    if (method == SortMethod::Automatic)
        method = n <= kShellSortMaxLength ? SortMethod::ShellSort : SortMethod::BucketSort;
    else if ((method == SortMethod::GradedSort || method == SortMethod::BucketSort) && n < 16)
        method = SortMethod::ShellSort;  // the graded sorts need 16 positions to wrap
    if (method == SortMethod::ShellSort) {
        ShellSort(words, sortVector, n);
        return outcome;
    }
    if (method == SortMethod::BucketSort) {
        // Without equal rotations the order is the same whichever method made it.
        // Among equal rotations it is not: such blocks take the graded sort's
        // way, as they always have, so that their streams stay the same.
        uint64_t budget = automatic ? kBucketWorkPerByte * n : UINT64_MAX;
        BucketSort bucket(words, sortVector, buckets, n, budget);
        BucketSort::Result result = bucket.Run();
        outcome.gradedWork = bucket.Work();
        if (result == BucketSort::Result::Sorted)
            return outcome;
        if (result == BucketSort::Result::OverBudget) {
            DoublingSort doubling(words, sortVector, buckets, n);
            doubling.Run();
            if (!doubling.EqualRotations()) {
                outcome.doubled = true;
                return outcome;
            }
        }
        outcome.equalRotations = true;
        automatic = true;
        method = SortMethod::GradedSort;
    }
    if (method == SortMethod::GradedSort) {
        uint64_t budget = automatic ? kGradedWorkPerByte * n : UINT64_MAX;
        GradedSort graded(words, sortVector, buckets, n, budget);
        bool done = graded.Run();
        outcome.gradedWork += graded.Work();
        if (done)
            return outcome;
    }
    outcome.doubled = true;
    DoublingSort(words, sortVector, buckets, n).Run();
    return outcome;
}

std::vector<uint32_t> SortRotationsOf(const std::vector<uint8_t>& block, SortMethod method, SortOutcome* outcome) {
    uint32_t n = static_cast<uint32_t>(block.size());
    std::vector<uint32_t> words(n + 16), sv(n), buckets(65537);
    for (uint32_t i = 0; i < n; i++)
        words[i] = static_cast<uint32_t>(block[i]) << 24;
    SortOutcome result;
    if (n > 0)
        result = SortRotations(words.data(), sv.data(), buckets.data(), n, method);
    if (outcome != nullptr)
        *outcome = result;
    return sv;
}

}  // namespace blocksort
