#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "foundation/collection.h"
#include "test_support.h"

namespace {

void* Item(int n) {
    return reinterpret_cast<void*>(static_cast<intptr_t>(n) * 16);
}

// A collection whose items are not heap blocks: FreeItem records instead of
// freeing, into a list that outlives the collection.
std::vector<void*> freedItems;
class CountingCollection : public TCollection {
public:
    using TCollection::TCollection;
    void FreeItem(void* item) override {
        if (item != nullptr)
            freedItems.push_back(item);
    }
};

TEST(Collection, GrowsLinearlyByDelta) {
    TCollection c(20, 10);
    struct { int inserted; int limit; } steps[] = {{20, 20}, {21, 30}, {30, 30}, {31, 40}, {41, 50}};
    int done = 0;
    for (auto step : steps) {
        while (done < step.inserted)
            c.Insert(Item(++done));
        EXPECT_EQ(c.Limit(), step.limit) << "after " << step.inserted << " insertions";
    }
    EXPECT_EQ(c.Count(), 41);
    EXPECT_EQ(c.At(40), Item(41));
}

TEST(Collection, SetLimitClampsToCountAndCap) {
    TCollection c(0, 4);
    EXPECT_EQ(c.Limit(), 0);
    for (int i = 1; i <= 5; i++)
        c.Insert(Item(i));
    c.SetLimit(100000);
    EXPECT_EQ(c.Limit(), 65535);
    c.SetLimit(0);
    EXPECT_EQ(c.Limit(), 5);
    for (int i = 0; i < 5; i++)
        EXPECT_EQ(c.At(i), Item(i + 1));
}

TEST(Collection, InsertRemoveAndPackKeepOrder) {
    TCollection c(2, 2);
    c.Insert(Item(1));
    c.Insert(nullptr);
    c.Insert(Item(2));
    c.Insert(nullptr);
    c.AtInsert(0, Item(9));
    EXPECT_EQ(c.IndexOf(Item(2)), 3);
    c.AtRemove(0);
    c.Pack();
    ASSERT_EQ(c.Count(), 2);
    EXPECT_EQ(c.At(0), Item(1));
    EXPECT_EQ(c.At(1), Item(2));
    c.AtPut(1, Item(3));
    c.Remove(Item(1));
    ASSERT_EQ(c.Count(), 1);
    EXPECT_EQ(c.At(0), Item(3));
    int limit = c.Limit();
    c.RemoveAll();
    EXPECT_EQ(c.Count(), 0);
    EXPECT_EQ(c.Limit(), limit);
}

TEST(Collection, SearchesMatchOnlyOnExactlyOne) {
    TCollection c(4, 4);
    for (int i = 1; i <= 4; i++)
        c.Insert(Item(i));
    auto answer = [](void* item, void* arg) -> int {
        return item == Item(2) ? *static_cast<int*>(arg) : (item == Item(3) || item == Item(1) ? 1 : 0);
    };
    int two = 2, one = 1;
    EXPECT_EQ(c.FirstThat(answer, &two), Item(1));
    EXPECT_EQ(c.LastThat(answer, &two), Item(3));
    auto onlyTwo = [](void* item, void* arg) -> int { return item == Item(2) ? *static_cast<int*>(arg) : 0; };
    EXPECT_EQ(c.FirstThat(onlyTwo, &two), nullptr);
    EXPECT_EQ(c.FirstThat(onlyTwo, &one), Item(2));
    int sum = 0;
    c.ForEach([](void* item, void* arg) { *static_cast<int*>(arg) += static_cast<int>(reinterpret_cast<intptr_t>(item) / 16); }, &sum);
    EXPECT_EQ(sum, 10);
}

TEST(Collection, ReleaseOfOwningCollectionFreesItemsThroughFreeItem) {
    freedItems.clear();
    auto* c = new CountingCollection(4, 4);
    c->Insert(Item(1));
    c->Insert(Item(2));
    c->RemoveAll();
    EXPECT_TRUE(freedItems.empty()) << "RemoveAll frees nothing";
    c->Insert(Item(3));
    c->AtFree(0);
    EXPECT_EQ(freedItems, std::vector<void*>{Item(3)});
    freedItems.clear();
    c->Insert(Item(4));
    c->Insert(Item(5));
    c->SetOwnsItems(true);
    EXPECT_EQ(c->AddRef(), 2);
    EXPECT_EQ(c->Release(), 1);
    EXPECT_TRUE(freedItems.empty());
    EXPECT_EQ(c->Release(), 0);  // Done frees both items, then the object goes
    EXPECT_EQ(freedItems, (std::vector<void*>{Item(4), Item(5)}));
}

TEST(Collection, OwningReleaseFreesHeapItems) {
    // Run under AddressSanitizer: a leak or double free here fails the test.
    auto* c = new TCollection(1, 1);
    c->SetOwnsItems(true);
    c->Insert(std::malloc(10));
    c->Insert(std::malloc(20));
    c->Free(c->At(0));
    EXPECT_EQ(c->Count(), 1);
    EXPECT_EQ(c->Release(), 0);
}

TEST(Collection, IsAFollowsTheClassChain) {
    TCollection c(0, 1);
    EXPECT_STREQ(c.ClassName(), "TCollection");
    EXPECT_EQ(c.IsA("TCollection"), &c);
    EXPECT_EQ(c.IsA("TObject"), &c);
    EXPECT_EQ(c.IsA("TIniFile"), nullptr);
    EXPECT_EQ(c.IsA("tcollection"), nullptr);
}

// Bad indices end the process with a fatal report of module "acollect".
struct BadIndexCase {
    const char* name;
    void (*act)(TCollection&);
    const char* message;
};

class CollectionReports : public testing::TestWithParam<BadIndexCase> {};

TEST_P(CollectionReports, EndTheProcessWithTheirMessage) {
    const BadIndexCase& c = GetParam();
    vela::test::TempDir dir;
    std::filesystem::current_path(dir.path());
    vela::test::SetDeathTestFolder(dir.path());
    EXPECT_EXIT(
        {
            vela::test::EnterDeathTestFolder();
            static vela::test::StderrErrorDisplay display;
            SetRunTimeErrorDisplay(&display);
            TCollection collection(5, 5);
            for (int i = 1; i <= 5; i++)
                collection.Insert(Item(i));
            c.act(collection);
        },
        testing::ExitedWithCode(1), std::string("File acollect, line .*:\n") + c.message);
    std::string log = vela::test::NormalizeLineEnds(vela::test::ReadFileText(dir / "error.lst"));
    EXPECT_NE(log.find(std::string("\n") + c.message + "\nPlease report to"), std::string::npos) << log;
    std::filesystem::current_path(dir.path().parent_path());
}

INSTANTIATE_TEST_SUITE_P(
    BadIndices, CollectionReports,
    testing::Values(
        BadIndexCase{"AtCount", [](TCollection& c) { c.At(5); }, "Collection index 5 is out of bounds"},
        BadIndexCase{"AtNegative", [](TCollection& c) { c.At(-1); }, "Collection index -1 is out of bounds"},
        BadIndexCase{"AtPut", [](TCollection& c) { c.AtPut(7, nullptr); }, "Collection index 7 is out of bounds"},
        BadIndexCase{"AtRemove", [](TCollection& c) { c.AtRemove(5); }, "Removing element no. 5"},
        BadIndexCase{"IndexOf", [](TCollection& c) { c.IndexOf(Item(99)); }, "Item not found"},
        BadIndexCase{"Free", [](TCollection& c) { c.Free(Item(99)); }, "Item not found"},
        BadIndexCase{"AtInsertPastEnd", [](TCollection& c) { c.AtInsert(6, nullptr); }, "Collection index 6 is out of bounds"},
        BadIndexCase{"FullAtCap", [](TCollection& c) {
            c.SetLimit(65535);
            for (int i = c.Count(); i < 65535; i++) c.Insert(nullptr);
            c.Insert(nullptr);
        }, "Collection overflow at 65535 items"},
        BadIndexCase{"ZeroDelta", [](TCollection& c) {
            TCollection fixed(1, 0);
            fixed.Insert(nullptr);
            fixed.Insert(nullptr);
        }, "Collection overflow at 1 items"}),
    [](const testing::TestParamInfo<BadIndexCase>& param) { return param.param.name; });

}  // namespace
