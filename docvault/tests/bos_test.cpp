#include "docvault/bos.h"

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>

#include "docvault/baselines.h"
#include "docvault/dochistorys.h"
#include "docvault/docrepos.h"
#include "docvault/docs.h"

namespace zub::docvault::test {

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

// Copies of the typed collections own copies of the elements: each side
// deletes its own (ASan reports a double delete or a use after free here).
TEST(BOsCopies, TypedCollectionsCopyTheirElements) {
    DRM::Docs docs;
    docs.Add(new DRM::Doc(5, 3, L"a", L"prt", L"1.0", 0, 0, L"", 1, L"s", 1.0, 1, L"s", 2.0, L""));
    docs.Add(
        new DRM::Doc(9, 3, L"b", L"drw", L"2.1", 1, 4, L"eve", 2, L"x", 1.5, 3, L"y", 2.5, L"\\s"));
    auto copy = std::make_unique<DRM::Docs>(docs);
    ASSERT_EQ(copy->Count(), 2);
    EXPECT_NE(copy->GetDoc(1), docs.GetDoc(1));
    ASSERT_NE(copy->GetDoc(L"9"), nullptr);
    EXPECT_EQ(copy->GetDoc(L"9")->checkOutByName(), L"eve");
    copy->GetDoc(0)->set_fileName(L"changed");
    EXPECT_EQ(docs.GetDoc(0)->fileName(), L"a");

    DRM::Docs assigned;
    assigned.Add(new DRM::Doc());
    assigned = *copy;
    copy.reset();
    ASSERT_EQ(assigned.Count(), 2);
    EXPECT_EQ(assigned.GetDoc(0)->fileName(), L"changed");
    EXPECT_EQ(assigned.GetDoc(L"5"), assigned.GetDoc(0));

    DRM::DocRepos repos;
    repos.Add(new DRM::DocRepo(4, L"Parts", L"file:/srv", 0, L"D:\\parts", 2));
    DRM::DocRepos reposCopy(repos);
    ASSERT_NE(reposCopy.Repo(L"Parts"), nullptr);
    EXPECT_NE(reposCopy.Repo(L"Parts"), repos.Repo(L"Parts"));
    EXPECT_EQ(reposCopy.Repo(L"Parts")->nfsRootDir(), L"D:\\parts");

    DRM::DocHistorys history;
    history.Add(
        new DRM::DocHistory(1, 2, 0, L"2_1.0.prt", 1, L"s", 1.0, L"i", 1, L"\\history\\", 1, 0, 1));
    DRM::DocHistorys historyCopy;
    historyCopy = history;
    ASSERT_EQ(historyCopy.Count(), 1);
    EXPECT_EQ(historyCopy.History(0)->hisDocName(), L"2_1.0.prt");

    DRM::BaseLines baselines;
    baselines.Add(new DRM::BaseLine(3, L"rel1", L"d", 2.5, 8));
    DRM::BaseLines baselinesCopy(baselines);
    baselines.Clear();
    ASSERT_EQ(baselinesCopy.Count(), 1);
    EXPECT_EQ(baselinesCopy.GetBaseLine(0)->name(), L"rel1");
}

TEST(BOsCopies, AForeignElementIsNotSlicedIntoTheCopy) {
    DRM::Docs docs;
    docs.Add(new KeyedBo(L"x", nullptr));
    EXPECT_THROW(DRM::Docs copy(docs), std::logic_error);
}

}  // namespace

namespace {

// A fill as a collection's GetAll makes it, reachable from the test.
class FilledBos : public ZUBDB::BOs {
public:
    using BOs::Append;
};

}  // namespace

TEST(BOsTest, ElementsOfAFillAreFoundByKeyAndHeldOnce) {
    int deaths = 0;
    FilledBos bos;
    auto first = std::make_unique<KeyedBo>(L"k", &deaths);
    BO* const a = first.get();
    bos.Append(std::move(first));
    bos.Append(std::make_unique<KeyedBo>(L"k", &deaths));
    bos.Append(std::make_unique<KeyedBo>(L"m", &deaths));
    bos.Append(nullptr);
    EXPECT_EQ(bos.Count(), 3);
    // A repeated key finds the first; an element already held is not taken twice.
    EXPECT_EQ(bos.Item(L"k"), a);
    bos.Add(a);
    EXPECT_EQ(bos.Count(), 3);
    // Adds after the fill are indexed in order after it.
    auto* late = new KeyedBo(L"n", &deaths);
    bos.Add(late);
    EXPECT_EQ(bos.Item(L"n"), late);
    EXPECT_EQ(bos.Item(3), late);
    // Removing renumbers; a fill after that is found too.
    std::unique_ptr<BO> removed(bos.Remove(L"k"));
    EXPECT_EQ(removed.get(), a);
    EXPECT_EQ(bos.Item(L"k"), bos.Item(0L));
    EXPECT_EQ(bos.Item(L"n"), late);
    bos.Append(std::make_unique<KeyedBo>(L"p", &deaths));
    EXPECT_EQ(bos.Item(L"p"), bos.Item(3));
    bos.Add(late);
    EXPECT_EQ(bos.Count(), 4);
    bos.Clear();
    EXPECT_EQ(deaths, 4);
    EXPECT_EQ(bos.Item(L"n"), nullptr);
}

}  // namespace zub::docvault::test
