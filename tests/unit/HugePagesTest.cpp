// When a start restarts itself with glibc's huge-page setting: only where the kernel waits to be
// asked, never twice, and never over the user's own choice of it.
#include "app/HugePages.h"

#include <gtest/gtest.h>

namespace {

struct TunablesCase {
    const char* name;
    const char* kernelMode;
    const char* tunables;  // null: unset
    const char* expected;  // null: no restart
};

const TunablesCase kTunables[] = {
    {"on request, unset", "always [madvise] never\n", nullptr, "glibc.malloc.hugetlb=1"},
    {"on request, empty", "always [madvise] never\n", "", "glibc.malloc.hugetlb=1"},
    {"on request, other settings kept", "always [madvise] never\n", "glibc.malloc.arena_max=2",
     "glibc.malloc.arena_max=2:glibc.malloc.hugetlb=1"},
    {"already restarted", "always [madvise] never\n", "glibc.malloc.hugetlb=1", nullptr},
    {"the user chose small pages", "always [madvise] never\n", "glibc.malloc.arena_max=2:glibc.malloc.hugetlb=0",
     nullptr},
    {"always on: nothing to ask", "[always] madvise never\n", nullptr, nullptr},
    {"never given", "always madvise [never]\n", nullptr, nullptr},
    {"no such kernel file", "", nullptr, nullptr},
};

TEST(HugePages, RestartsOnlyWhereTheKernelWaitsToBeAsked) {
    for (const TunablesCase& c : kTunables) {
        SCOPED_TRACE(c.name);
        const std::optional<std::string> value = hugePageTunables(c.kernelMode, c.tunables);
        if (c.expected) {
            ASSERT_TRUE(value.has_value());
            EXPECT_EQ(*value, c.expected);
        } else {
            EXPECT_FALSE(value.has_value()) << *value;
        }
    }
}

}  // namespace
