#include "zub/uniquefd.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <type_traits>
#include <utility>

namespace {

static_assert(!std::is_copy_constructible_v<zub::UniqueFd>);
static_assert(!std::is_copy_assignable_v<zub::UniqueFd>);
static_assert(std::is_nothrow_move_constructible_v<zub::UniqueFd>);
static_assert(std::is_nothrow_move_assignable_v<zub::UniqueFd>);

bool IsOpen(int fd) { return ::fcntl(fd, F_GETFD) != -1; }

int OpenNull() { return ::open("/dev/null", O_RDONLY | O_CLOEXEC); }

TEST(UniqueFd, ClosesWhatItOwnsExactlyOnce) {
    int raw = OpenNull();
    ASSERT_GE(raw, 0);
    {
        zub::UniqueFd fd(raw);
        EXPECT_TRUE(fd);
        EXPECT_EQ(fd.get(), raw);
    }
    EXPECT_FALSE(IsOpen(raw)) << "the destructor closes";

    raw = OpenNull();
    zub::UniqueFd reset(raw);
    reset.Reset();
    EXPECT_FALSE(IsOpen(raw));
    EXPECT_FALSE(reset);
    EXPECT_EQ(reset.get(), -1);
    reset.Reset();  // empty: nothing to close
    EXPECT_FALSE(reset);
}

TEST(UniqueFd, MovingHandsOverOwnership) {
    const int first = OpenNull();
    const int second = OpenNull();
    ASSERT_GE(first, 0);
    ASSERT_GE(second, 0);

    zub::UniqueFd a(first);
    zub::UniqueFd b(std::move(a));
    EXPECT_FALSE(a);  // NOLINT(bugprone-use-after-move): a moved-from owner is empty
    EXPECT_EQ(b.get(), first);
    EXPECT_TRUE(IsOpen(first));

    zub::UniqueFd c(second);
    c = std::move(b);
    EXPECT_FALSE(IsOpen(second)) << "assignment closes what the target owned";
    EXPECT_EQ(c.get(), first);
    EXPECT_TRUE(IsOpen(first));

    auto& self = c;
    c = std::move(self);
    EXPECT_EQ(c.get(), first) << "self-assignment keeps the descriptor";
    EXPECT_TRUE(IsOpen(first));
}

TEST(UniqueFd, CloseReportsTheResultOfClose) {
    const int raw = OpenNull();
    ASSERT_GE(raw, 0);
    zub::UniqueFd fd(raw);
    EXPECT_EQ(fd.Close(), 0);
    EXPECT_FALSE(IsOpen(raw));
    EXPECT_FALSE(fd);
    EXPECT_EQ(fd.Close(), 0) << "closing an empty owner succeeds";

    // A descriptor closed behind the owner's back: the failure comes back.
    const int stale = OpenNull();
    ASSERT_GE(stale, 0);
    zub::UniqueFd owner(stale);
    ASSERT_EQ(::close(stale), 0);
    errno = 0;
    EXPECT_EQ(owner.Close(), -1);
    EXPECT_EQ(errno, EBADF);
    EXPECT_FALSE(owner);
}

}  // namespace
