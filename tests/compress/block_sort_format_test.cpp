// Block-sorting format facts and encoder parts: run coding and block closing,
// the perturbation series, zero-run digits, the models, the symbol routes and
// the rotation sort against a naive reference.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "compress/block_sort_encoder_internal.h"
#include "compress/block_sort_format.h"
#include "foundation/fatal_report_exception.h"

namespace {

using namespace blocksort;
using Bytes = std::vector<uint8_t>;

Bytes Repeat(uint8_t byte, size_t count) {
    return Bytes(count, byte);
}

Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& part : parts)
        out.insert(out.end(), part.begin(), part.end());
    return out;
}

Bytes FromText(const std::string& text) {
    return Bytes(text.begin(), text.end());
}

// Bytes with no two equal neighbours (so no runs), pseudo-random.
Bytes RunFree(size_t n, uint32_t seed) {
    Bytes out(n);
    uint32_t x = seed;
    for (size_t i = 0; i < n; i++) {
        x = x * 1103515245u + 12345u;
        uint8_t b = static_cast<uint8_t>(x >> 16);
        if (i > 0 && b == out[i - 1])
            b ^= 1;
        out[i] = b;
    }
    return out;
}

std::vector<Bytes> Prepare(const Bytes& input, int k = 9) {
    MemoryInput in(input.data(), input.size());
    return PrepareBlocks(in, k);
}

TEST(BlockSortPrepare, RunsAreCodedAsTheFormatSays) {
    const uint8_t x = 'x';
    struct Case {
        const char* name;
        Bytes input;
        Bytes prepared;
    } cases[] = {
        {"empty input", {}, {'*'}},
        {"single byte", {x}, {x, '*'}},
        {"three equal", Repeat(x, 3), {x, x, x, '*'}},
        {"four equal: count 0", Repeat(x, 4), {x, x, x, x, 0, '*'}},
        {"255 equal: count 251", Repeat(x, 255), {x, x, x, x, 251, '*'}},
        {"256 equal: a new run of one", Repeat(x, 256), {x, x, x, x, 251, x, '*'}},
        {"259 equal: a new run of four", Repeat(x, 259), {x, x, x, x, 251, x, x, x, x, 0, '*'}},
        {"510 equal", Repeat(x, 510), {x, x, x, x, 251, x, x, x, x, 251, '*'}},
        {"mixed", FromText("aabbbbbc****"), {'a', 'a', 'b', 'b', 'b', 'b', 1, 'c', '*', '*', '*', '*', 0, '*'}},
    };
    for (const Case& c : cases) {
        auto blocks = Prepare(c.input);
        ASSERT_EQ(blocks.size(), 1u) << c.name;
        EXPECT_EQ(blocks[0], c.prepared) << c.name;
    }
}

TEST(BlockSortPrepare, BlocksCloseAtTheSizeLessNineteen) {
    // k = 9: a block closes once it holds 899981 bytes or more after a run.
    auto exact = Prepare(RunFree(899981, 1));
    ASSERT_EQ(exact.size(), 2u);
    EXPECT_EQ(exact[0].size(), 899981u);
    EXPECT_EQ(exact[1], Bytes{'*'});

    auto oneShort = Prepare(RunFree(899980, 2));
    ASSERT_EQ(oneShort.size(), 1u);
    EXPECT_EQ(oneShort[0].size(), 899981u);
    EXPECT_EQ(oneShort[0].back(), '*');

    // A run is never split: 899980 bytes and a run of five make the largest
    // block, 899985 bytes.
    Bytes input = RunFree(899980, 3);
    uint8_t y = static_cast<uint8_t>(input.back() + 1);
    input.insert(input.end(), 5, y);
    auto largest = Prepare(input);
    ASSERT_EQ(largest.size(), 2u);
    EXPECT_EQ(largest[0].size(), 899985u);
    EXPECT_EQ(largest[0][899984], 1);

    // Smaller block sizes close earlier: k = 1 at 99981 bytes.
    auto small = Prepare(RunFree(250000, 4), 1);
    ASSERT_EQ(small.size(), 3u);
    EXPECT_EQ(small[0].size(), 99981u);
    EXPECT_EQ(small[1].size(), 99981u);
    EXPECT_EQ(small[2].size(), 250000u - 2 * 99981u + 1);
}

TEST(BlockSortPerturbation, SeriesStartsAsDescribedAndRepeatsItsSteps) {
    const uint32_t first[] = {8000, 15983, 23983, 32051, 40000, 48017, 56051, 64017, 71949, 79932};
    std::vector<uint32_t> positions;
    PerturbationSeries series;
    for (int i = 0; i < 200; i++, series.Next())
        positions.push_back(series.Position());
    for (size_t i = 0; i < std::size(first); i++)
        EXPECT_EQ(positions[i], first[i]) << i;
    // Eight steps use every selector once: 17 * 37 + 8 * 7915.
    for (size_t i = 0; i + 8 < positions.size(); i++)
        EXPECT_EQ(positions[i + 8] - positions[i], 63949u) << i;
}

TEST(BlockSortPerturbation, OnlyPositionsBelowTheLastOneChange) {
    struct Case {
        size_t n;
        std::vector<size_t> changed;
    } cases[] = {
        {1, {}},
        {8001, {}},
        {8002, {8000}},
        {15984, {8000}},  // 15983 is the last position
        {15985, {8000, 15983}},
    };
    for (const Case& c : cases) {
        Bytes block(c.n, 0xff);
        Perturb(block.data(), block.size(), +1);
        std::vector<size_t> changed;
        for (size_t i = 0; i < block.size(); i++)
            if (block[i] != 0xff) {
                changed.push_back(i);
                EXPECT_EQ(block[i], 0) << "wraps modulo 256";
            }
        EXPECT_EQ(changed, c.changed) << c.n;
        Perturb(block.data(), block.size(), -1);
        EXPECT_EQ(block, Bytes(c.n, 0xff)) << c.n;
    }
}

TEST(BlockSortSymbols, ZeroRunsAreBijectiveBaseTwo) {
    const int one = kRunDigitOne, two = kRunDigitTwo;
    struct Case {
        uint64_t m;
        std::vector<int> digits;
    } cases[] = {
        {1, {one}}, {2, {two}}, {3, {one, one}}, {4, {one, two}}, {5, {two, one}}, {6, {two, two}},
        {7, {one, one, one}}, {14, {two, two, two}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ZeroRunDigits(c.m), c.digits) << c.m;
    // The decoder's reading (m = 2m + 2 for 257, 2m + 1 for 258) inverts it.
    for (uint64_t m : {1ull, 2ull, 100ull, 899985ull, 123456789012ull}) {
        uint64_t back = 0;
        for (int d : ZeroRunDigits(m))
            back = 2 * back + (d == two ? 2 : 1);
        EXPECT_EQ(back, m);
    }
}

TEST(BlockSortSymbols, RoutesThroughBasisAndRangeModels) {
    struct Case {
        int value, basis, range;
    } cases[] = {
        {257, 1, 0}, {258, 2, 0}, {1, 3, 0},    {2, 4, 1},    {3, 4, 1},    {4, 5, 2},
        {7, 5, 2},   {8, 6, 3},   {15, 6, 3},   {16, 7, 4},   {31, 7, 4},   {32, 8, 5},
        {63, 8, 5},  {64, 9, 6},  {127, 9, 6},  {128, 10, 7}, {255, 10, 7}, {259, 11, 0},
        {0, 0, 0},   {256, 0, 0}, {260, 0, 0},  {-1, 0, 0},
    };
    for (const Case& c : cases) {
        SymbolRoute route = RouteOf(c.value);
        EXPECT_EQ(route.basis, c.basis) << c.value;
        EXPECT_EQ(route.range, c.range) << c.value;
    }
    // Sending a value outside the alphabet is fatal.
    FatalReportsThrow throws;
    MemoryOutput out;
    StreamWriter writer(out);
    const uint8_t header[4] = {'R', 'e', 's', 'J'};
    writer.Begin(header);
    writer.SendOriginWord(~0u);
    for (int bad : {0, 256, 260}) {
        try {
            writer.SendValue(bad);
            ADD_FAILURE() << bad << " was accepted";
        } catch (const FatalReportException& e) {
            EXPECT_EQ(e.module(), "compress");
            EXPECT_EQ(e.message(), "sendMTFVal: bad value!");
        }
    }
}

TEST(BlockSortModels, StartAsTheFormatSaysAndRescaleAfterTheLimit) {
    BlockModels models;
    InitBlockModels(models);
    struct Expected {
        const char* name;
        int symbols;
        uint32_t increment, total;
    } expected[] = {
        {"basis", 11, 12, 132}, {"2-3", 2, 4, 8},      {"4-7", 4, 3, 12},    {"8-15", 8, 3, 24},
        {"16-31", 16, 3, 48},   {"32-63", 32, 3, 96}, {"64-127", 64, 2, 128}, {"128-255", 128, 1, 128},
    };
    for (int i = 0; i < kBlockModelCount; i++) {
        const ArithModel& m = models.model[i];
        EXPECT_STREQ(m.modelName, expected[i].name);
        EXPECT_EQ(m.numSymbols, expected[i].symbols);
        EXPECT_EQ(m.increment, expected[i].increment);
        EXPECT_EQ(m.totalFreq, expected[i].total);
        EXPECT_EQ(m.rescaleLimit, 1000u);
        EXPECT_EQ(m.freq[0], 0u);
        EXPECT_EQ(m.freq[m.numSymbols + 1], 0u);
    }

    // "basis" first rescales on its 73rd symbol: 132 + 73 * 12 = 1008 > 1000.
    ArithModel& basis = models.model[kBasis];
    for (int i = 1; i <= 72; i++)
        UpdateModel(basis, 3);
    EXPECT_EQ(basis.rescaleCount, 0);
    EXPECT_EQ(basis.totalFreq, 996u);
    UpdateModel(basis, 3);
    EXPECT_EQ(basis.rescaleCount, 1);
    // Symbol 3 had 12 + 73 * 12 = 888, halved (rounded down after adding one)
    // to 444; the ten others 12 -> 6.
    EXPECT_EQ(basis.freq[3], 444u);
    EXPECT_EQ(basis.freq[1], 6u);
    EXPECT_EQ(basis.totalFreq, 444u + 10 * 6);

    // "bogus" stays flat.
    ArithModel bogus;
    InitOriginModel(bogus);
    EXPECT_EQ(bogus.totalFreq, 256u);
    for (int i = 0; i < 1000; i++)
        UpdateModel(bogus, 1 + i % 256);
    EXPECT_EQ(bogus.totalFreq, 256u);
    EXPECT_EQ(bogus.freq[1], 1u);
    EXPECT_EQ(bogus.rescaleCount, 0);
}

// ---- Rotation sort -------------------------------------------------------------

std::vector<uint32_t> NaiveSort(const Bytes& block) {
    const size_t n = block.size();
    std::vector<uint32_t> order(n);
    for (size_t i = 0; i < n; i++)
        order[i] = static_cast<uint32_t>(i);
    std::stable_sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) {
        for (size_t k = 0; k < n; k++) {
            uint8_t x = block[(a + k) % n], y = block[(b + k) % n];
            if (x != y)
                return x < y;
        }
        return false;
    });
    return order;
}

Bytes LastColumn(const Bytes& block, const std::vector<uint32_t>& order) {
    Bytes column;
    for (uint32_t p : order)
        column.push_back(block[(p + block.size() - 1) % block.size()]);
    return column;
}

bool HasEqualRotations(const Bytes& block) {
    auto order = NaiveSort(block);
    const size_t n = block.size();
    for (size_t i = 1; i < n; i++) {
        bool equal = true;
        for (size_t k = 0; k < n && equal; k++)
            equal = block[(order[i - 1] + k) % n] == block[(order[i] + k) % n];
        if (equal)
            return true;
    }
    return false;
}

Bytes PseudoText(size_t n, uint32_t seed) {
    static const char* const kWords[] = {"the", "codec", "block", "sorts", "rotations", "of", "a", "package",
                                         "and", "writes", "each", "entry", "\n", ",", "installer", "window"};
    Bytes out;
    uint32_t x = seed;
    while (out.size() < n) {
        x = x * 1103515245u + 12345u;
        const char* w = kWords[(x >> 16) % 16];
        out.insert(out.end(), w, w + std::strlen(w));
        out.push_back(' ');
    }
    out.resize(n);
    return out;
}

TEST(BlockSortSort, EveryMethodMatchesANaiveSort) {
    struct Case {
        const char* name;
        Bytes block;
    } cases[] = {
        {"one byte", {'*'}},
        {"two bytes", {'b', 'a'}},
        {"all equal", Repeat('z', 40)},
        {"all equal but the end", Concat({Repeat('z', 300), {'*'}})},
        {"periodic ab", FromText("abababababababababab")},
        {"periodic with a break", Concat({FromText("abcabcabcabcabcabcabcabcabcabx")})},
        {"banana", FromText("banana*")},
        {"text 700", PseudoText(700, 5)},
        {"text 1024", PseudoText(1024, 6)},
        {"text 1025", PseudoText(1025, 6)},
        {"text 3000", PseudoText(3000, 7)},
        {"random 2000", RunFree(2000, 8)},
        {"periodic 1000 of period 40", [] {
             Bytes b;
             Bytes unit = RunFree(40, 9);
             for (int i = 0; i < 25; i++)
                 b.insert(b.end(), unit.begin(), unit.end());
             return b;
         }()},
        {"long runs of few values", [] {
             Bytes b;
             for (int i = 0; i < 60; i++)
                 b.insert(b.end(), static_cast<size_t>(1 + (i * 37) % 50), static_cast<uint8_t>(i % 3));
             return b;
         }()},
    };
    for (const Case& c : cases) {
        const auto expected = NaiveSort(c.block);
        const bool periodic = HasEqualRotations(c.block);
        for (SortMethod method : {SortMethod::Automatic, SortMethod::ShellSort, SortMethod::GradedSort,
                                  SortMethod::Doubling, SortMethod::BucketSort}) {
            auto order = SortRotationsOf(c.block, method);
            SCOPED_TRACE(std::string(c.name) + " method " + std::to_string(static_cast<int>(method)));
            if (!periodic) {
                EXPECT_EQ(order, expected);
                continue;
            }
            // Equal rotations may come in any order; the last column is the same.
            auto sorted = order;
            std::sort(sorted.begin(), sorted.end());
            for (uint32_t i = 0; i < sorted.size(); i++)
                ASSERT_EQ(sorted[i], i) << "not a permutation";
            EXPECT_EQ(LastColumn(c.block, order), LastColumn(c.block, expected));
        }
    }
}

TEST(BlockSortSort, ShellSortAndGradedSortAgreeAtTheBoundary) {
    for (size_t n : {size_t{1024}, size_t{1025}}) {
        Bytes block = PseudoText(n, 11);
        SortOutcome automatic;
        auto order = SortRotationsOf(block, SortMethod::Automatic, &automatic);
        // 1024 bytes go to the Shell sort, 1025 to the graded sort.
        EXPECT_EQ(automatic.gradedWork > 0, n == 1025) << n;
        EXPECT_EQ(order, SortRotationsOf(block, SortMethod::ShellSort)) << n;
        EXPECT_EQ(order, SortRotationsOf(block, SortMethod::GradedSort)) << n;
    }
}

TEST(BlockSortSort, BucketSortMatchesTheGradedSort) {
    // The bucket sort derives buckets by copying, splits on four bytes at a time
    // and ranks buckets: blocks that stress each, against the graded sort, which
    // the naive sort checks above. Blocks with equal rotations must come out in
    // exactly the order the graded sort with its budget gives them (or prefix
    // doubling, once that budget runs out), as before the bucket sort existed.
    Bytes runs;
    for (uint8_t r : RunFree(3000, 25))
        runs.insert(runs.end(), static_cast<size_t>(1 + r % 5), static_cast<uint8_t>("aab*c"[r / 5 % 5]));
    Bytes fewValues = RunFree(20000, 21);
    for (uint8_t& b : fewValues)
        b = static_cast<uint8_t>('a' + b % 3);
    Bytes periodic;
    for (int i = 0; i < 400; i++)
        periodic.insert(periodic.end(), {'x', 'y', 'x', 'z', '*'});
    Bytes allEqual = Repeat('q', 5000);
    Bytes textTwice = PseudoText(4000, 17);
    textTwice.insert(textTwice.end(), textTwice.begin(), textTwice.begin() + 3999);
    struct Case {
        const char* name;
        Bytes block;
        bool equalRotations;
    } cases[] = {
        {"text", PseudoText(50000, 19), false},
        {"runs of a few values", runs, false},
        {"three values", fewValues, false},
        {"text then most of it again", textTwice, false},
        {"random", RunFree(70000, 23), false},
        {"periodic", periodic, true},
        {"all equal", allEqual, true},
    };
    for (const Case& c : cases) {
        SortOutcome outcome;
        auto order = SortRotationsOf(c.block, SortMethod::Automatic, &outcome);
        EXPECT_EQ(outcome.equalRotations, c.equalRotations) << c.name;
        SortMethod reference = outcome.doubled && c.equalRotations ? SortMethod::Doubling : SortMethod::GradedSort;
        EXPECT_EQ(order, SortRotationsOf(c.block, reference)) << c.name;
        if (!c.equalRotations) {
            EXPECT_FALSE(outcome.doubled) << c.name;
            EXPECT_EQ(order, SortRotationsOf(c.block, SortMethod::BucketSort)) << c.name;
        }
    }
}

TEST(BlockSortSort, RepetitiveBlocksFallBackToDoublingWithTheSameOrder) {
    // Long equal stretches: the graded sort runs out of budget; prefix doubling
    // must give the order the unbounded graded sort gives.
    struct Case {
        const char* name;
        Bytes block;
    } cases[] = {
        {"ab repeated, odd length", [] {
             Bytes b;
             for (int i = 0; i < 6000; i++)
                 b.push_back(i % 2 ? 'b' : 'a');
             b.push_back('a');
             return b;
         }()},
        {"abcd repeated, then an end byte", [] {
             Bytes b;
             for (int i = 0; i < 2000; i++)
                 b.insert(b.end(), {'a', 'b', 'c', 'd'});
             b.push_back('*');
             return b;
         }()},
    };
    for (const Case& c : cases) {
        SortOutcome outcome;
        auto order = SortRotationsOf(c.block, SortMethod::Automatic, &outcome);
        EXPECT_TRUE(outcome.doubled) << c.name;
        EXPECT_EQ(order, SortRotationsOf(c.block, SortMethod::GradedSort)) << c.name;
    }
    // An ordinary text block stays with the graded sort, and doubling agrees.
    Bytes text = PseudoText(200000, 13);
    SortOutcome outcome;
    auto order = SortRotationsOf(text, SortMethod::Automatic, &outcome);
    EXPECT_FALSE(outcome.doubled);
    EXPECT_EQ(order, SortRotationsOf(text, SortMethod::Doubling));
}

}  // namespace
