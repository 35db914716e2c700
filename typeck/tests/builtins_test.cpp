#include <gtest/gtest.h>

#include "builtins.hpp"

namespace quellin::typeck {
namespace {

// The lookup compares only names of the asked length and first character, so near misses of every
// length (a prefix, a longer name, another case, another first letter) must find nothing.
TEST(FindBuiltin, FindsEveryRowAndNoNearMiss) {
    for (const BuiltinName& row : kBuiltins) {
        const BuiltinName* found = find_builtin(row.name);
        ASSERT_NE(found, nullptr) << row.name;
        EXPECT_EQ(found, &row) << row.name;
    }
    for (const char* name : {"", "I", "In", "Ints", "int", "Jnt", "Lists", "print_", "rint", "write_files",
                             "write_filf", "Nonee", "Some_", "OK", "Er", "Tuple2", "Bytes_"}) {
        EXPECT_EQ(find_builtin(name), nullptr) << name;
    }
}

TEST(FindBuiltin, RolesAndConstructors) {
    const struct {
        const char* name;
        BuiltinRole role;
    } cases[] = {
        {"Int", BuiltinRole::Type},        {"Result", BuiltinRole::Type},        {"Tuple", BuiltinRole::Tuple},
        {"Num", BuiltinRole::RefusedType}, {"Byte", BuiltinRole::RefusedType},   {"print", BuiltinRole::Function},
        {"args", BuiltinRole::Function},   {"write_file", BuiltinRole::Function}, {"None", BuiltinRole::Constructor},
    };
    for (const auto& c : cases) EXPECT_EQ(find_builtin(c.name)->role, c.role) << c.name;

    EXPECT_EQ(builtin_constructor("Some"), Constructor::Some);
    EXPECT_EQ(builtin_constructor("None"), Constructor::None);
    EXPECT_EQ(builtin_constructor("Ok"), Constructor::Ok);
    EXPECT_EQ(builtin_constructor("Err"), Constructor::Err);
    EXPECT_EQ(builtin_constructor("print"), std::nullopt);
    EXPECT_EQ(builtin_constructor("Option"), std::nullopt);
}

TEST(BuiltinTypes, ListedAndShownNames) {
    EXPECT_EQ(listed_builtin_types(),
              "Int, Float, Text, Bool, Void, List[T], Map[K, V], Set[T], Tuple[...], Option[T], Result[T, E]");
    EXPECT_EQ(builtin_type_name(Type::Kind::Bytes), "Bytes");
    EXPECT_EQ(builtin_type_name(Type::Kind::Tuple), "Tuple");
    EXPECT_EQ(builtin_type_name(Type::Kind::Result), "Result");
    for (const Type::Kind kind : {Type::Kind::Record, Type::Kind::Enum, Type::Kind::Fn, Type::Kind::TypeParam}) {
        EXPECT_EQ(builtin_type_name(kind), "");
    }
}

}  // namespace
}  // namespace quellin::typeck
