#include "docvault/bos.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace {

// A keyed element that reports its own destruction, so ownership can be seen.
class KeyedBo : public BO {
public:
    KeyedBo(std::wstring key, int* deaths) : deaths_(deaths) { SetKey(std::move(key)); }
    ~KeyedBo() override {
        if (deaths_) ++*deaths_;
    }

private:
    int* deaths_;
};

TEST(BOsTest, DuplicateKeyKeepsFirstPositionButCountsBoth) {
    ZUBDB::BOs bos;
    auto* first = new KeyedBo(L"a", nullptr);
    auto* second = new KeyedBo(L"a", nullptr);
    bos.Add(first);
    bos.Add(second);
    EXPECT_EQ(bos.Count(), 2);
    EXPECT_EQ(bos.Item(L"a"), first);
    EXPECT_EQ(bos.Item(1), second);
}

TEST(BOsTest, RemoveFirstRenumbersKeysAndKeepsTheElementAlive) {
    int deaths = 0;
    ZUBDB::BOs bos;
    auto* a = new KeyedBo(L"a", &deaths);
    auto* b = new KeyedBo(L"b", &deaths);
    auto* c = new KeyedBo(L"c", &deaths);
    bos.Add(a);
    bos.Add(b);
    bos.Add(c);

    std::unique_ptr<BO> removed(bos.Remove(0L));
    EXPECT_EQ(removed.get(), a);
    EXPECT_EQ(deaths, 0);
    EXPECT_EQ(bos.Count(), 2);
    EXPECT_EQ(bos.Item(L"c"), c);
    EXPECT_EQ(bos.Item(1), c);
    EXPECT_EQ(bos.Item(L"b"), b);
    EXPECT_EQ(bos.Item(L"a"), nullptr);
    EXPECT_EQ(removed->GetKey(), L"a");  // still a live object
}

TEST(BOsTest, RemoveByKeyAndOutOfRangeRemovesAreHarmless) {
    ZUBDB::BOs bos;
    auto* a = new KeyedBo(L"a", nullptr);
    auto* b = new KeyedBo(L"b", nullptr);
    bos.Add(a);
    bos.Add(b);

    EXPECT_EQ(bos.Remove(-1L), nullptr);
    EXPECT_EQ(bos.Remove(2L), nullptr);
    EXPECT_EQ(bos.Remove(L"zz"), nullptr);
    EXPECT_EQ(bos.Count(), 2);

    std::unique_ptr<BO> removed(bos.Remove(L"a"));
    EXPECT_EQ(removed.get(), a);
    EXPECT_EQ(bos.Count(), 1);
    EXPECT_EQ(bos.Item(L"b"), b);
    EXPECT_EQ(bos.Item(0L), b);
}

TEST(BOsTest, RemovingADuplicateKeepsTheOtherElementIndexed) {
    ZUBDB::BOs bos;
    auto* first = new KeyedBo(L"k", nullptr);
    auto* second = new KeyedBo(L"k", nullptr);
    bos.Add(first);
    bos.Add(second);

    // Taking out the later one must not drop the key of the earlier one.
    std::unique_ptr<BO> later(bos.Remove(1L));
    EXPECT_EQ(bos.Item(L"k"), first);

    bos.Add(later.release());
    // Taking out the earlier one hands the key to the one that is left.
    std::unique_ptr<BO> earlier(bos.Remove(L"k"));
    EXPECT_EQ(earlier.get(), first);
    EXPECT_EQ(bos.Item(L"k"), second);
}

TEST(BOsTest, ItemOutsideTheRangeIsNull) {
    ZUBDB::BOs bos;
    EXPECT_EQ(bos.Item(0L), nullptr);
    bos.Add(new KeyedBo(L"x", nullptr));
    EXPECT_EQ(bos.Item(-1L), nullptr);
    EXPECT_EQ(bos.Item(static_cast<long>(bos.Count())), nullptr);
    EXPECT_NE(bos.Item(0L), nullptr);
}

TEST(BOsTest, ClearAndDestructionDeleteEachElementOnce) {
    int deaths = 0;
    {
        ZUBDB::BOs bos;
        bos.Add(new KeyedBo(L"a", &deaths));
        bos.Add(new KeyedBo(L"b", &deaths));
        bos.Clear();
        EXPECT_EQ(deaths, 2);
        EXPECT_EQ(bos.Count(), 0);
        EXPECT_EQ(bos.Item(L"a"), nullptr);
        bos.Add(new KeyedBo(L"c", &deaths));
    }
    EXPECT_EQ(deaths, 3);
}

TEST(BOsTest, AddingTheSameObjectTwiceOrNullIsIgnored) {
    int deaths = 0;
    {
        ZUBDB::BOs bos;
        auto* a = new KeyedBo(L"a", &deaths);
        bos.Add(a);
        bos.Add(a);
        bos.Add(nullptr);
        EXPECT_EQ(bos.Count(), 1);
    }
    EXPECT_EQ(deaths, 1);
}

}  // namespace
