#include <gtest/gtest.h>

#include <string>
#include <type_traits>

#include "check/names.hpp"

namespace quellin::typeck {
namespace {

// Short names are hashed from a few fixed-size reads; every byte must still count, or names that
// differ in one place (item1, item2, ...) would all land in one bucket.
TEST(NameHash, EveryByteOfANameCounts) {
    const NameHash hash;
    for (std::size_t length = 1; length <= 48; ++length) {
        std::string name;
        for (std::size_t i = 0; i < length; ++i) name.push_back(static_cast<char>('a' + i % 26));
        const std::size_t original = hash(name);
        for (std::size_t at = 0; at < length; ++at) {
            std::string changed = name;
            changed[at] = '_';
            EXPECT_NE(hash(changed), original) << "length " << length << ", byte " << at;
        }
        EXPECT_NE(hash(name + "_"), original) << "length " << length;
    }
}

TEST(NameHash, TablesFindNamesByView) {
    NameMap<int> table{{"Point", 1}, {"a_rather_long_record_name", 2}};
    EXPECT_EQ(table.find(std::string_view("Point"))->second, 1);
    EXPECT_EQ(table.find(std::string_view("a_rather_long_record_name"))->second, 2);
    EXPECT_EQ(table.find(std::string_view("Poin")), table.end());
    EXPECT_TRUE(NameSet{"x"}.contains(std::string_view("x")));
}

// libstdc++ keeps each key's hash in the table's nodes only when the hash may throw; without it, a
// walk along a bucket hashes every name it passes. Marking the hash noexcept again would quietly
// slow down every lookup in a large program, so it fails to build instead.
TEST(NameHash, TablesKeepEachNamesHash) {
    static_assert(!std::is_nothrow_invocable_v<const NameHash&, const std::string&>);
    static_assert(!std::is_nothrow_invocable_v<const NameHash&, std::string_view>);
}

}  // namespace
}  // namespace quellin::typeck
