#include <gtest/gtest.h>

#include "check/checker.hpp"
#include "parser/parser.hpp"

namespace quellin::typeck {
namespace {

struct SigCase {
    Type receiver;
    const char* method;
    std::vector<Type> params;
    std::optional<Type> result;  // absent: mutating
};

TEST(MethodSig, ReturningAndMutatingSignatures) {
    const Type ints = Type::list(Type::int_());
    const Type texts = Type::list(Type::text());
    const Type map = Type::map(Type::text(), Type::float_());
    const SigCase cases[] = {
        {Type::int_(), "abs", {}, Type::int_()},
        {Type::int_(), "to_float", {}, Type::float_()},
        {Type::float_(), "abs", {}, Type::float_()},
        {Type::float_(), "sqrt", {}, Type::float_()},
        {Type::float_(), "cos", {}, Type::float_()},
        {Type::float_(), "round", {}, Type::int_()},
        {Type::float_(), "floor", {}, Type::int_()},
        {Type::float_(), "ceil", {}, Type::int_()},
        {Type::float_(), "to_int", {}, Type::int_()},
        {Type::text(), "split", {Type::text()}, texts},
        {Type::text(), "replace", {Type::text(), Type::text()}, Type::text()},
        {Type::text(), "chars", {}, texts},
        {Type::text(), "to_int", {}, Type::option(Type::int_())},
        {Type::text(), "to_float", {}, Type::option(Type::float_())},
        {Type::text(), "to_bytes", {}, Type::bytes()},
        {Type::bytes(), "get", {Type::int_()}, Type::option(Type::int_())},
        {Type::bytes(), "slice", {Type::int_(), Type::int_()}, Type::bytes()},
        {Type::bytes(), "to_list", {}, ints},
        {Type::bytes(), "to_text", {}, Type::option(Type::text())},
        {Type::bytes(), "to_hex", {}, Type::text()},
        {texts, "contains", {Type::text()}, Type::bool_()},
        {texts, "first", {}, Type::option(Type::text())},
        {texts, "last", {}, Type::option(Type::text())},
        {texts, "reversed", {}, texts},
        {ints, "sorted", {}, ints},
        {texts, "join", {Type::text()}, Type::text()},
        {ints, "to_bytes", {}, Type::bytes()},
        {texts, "push", {Type::text()}, std::nullopt},
        {map, "has", {Type::text()}, Type::bool_()},
        {map, "get", {Type::text()}, Type::option(Type::float_())},
        {map, "keys", {}, texts},
        {map, "values", {}, Type::list(Type::float_())},
        {Type::set(Type::int_()), "contains", {Type::int_()}, Type::bool_()},
        {Type::set(Type::int_()), "add", {Type::int_()}, std::nullopt},
        {Type::option(Type::text()), "unwrap_or", {Type::text()}, Type::text()},
        {Type::result(Type::int_(), Type::text()), "unwrap_or", {Type::int_()}, Type::int_()},
        {Type::result(Type::int_(), Type::text()), "is_err", {}, Type::bool_()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.receiver.to_string() + "." + c.method);
        const auto sig = method_sig(c.receiver, c.method);
        ASSERT_TRUE(sig.has_value());
        EXPECT_EQ(sig->params, c.params);
        EXPECT_EQ(sig->result, c.result);
        EXPECT_EQ(sig->mutating(), !c.result.has_value());
    }
}

TEST(MethodSig, MissingMethods) {
    const struct {
        Type receiver;
        const char* method;
    } cases[] = {
        {Type::int_(), "sqrt"},
        {Type::list(Type::text()), "to_bytes"},
        {Type::list(Type::int_()), "map"},
        {Type::list(Type::int_()), "filter"},
        {Type::list(Type::int_()), "fold"},
        {Type::text(), "Len"},
        {Type::bool_(), "len"},
        {Type::void_(), "len"},
        {Type::record("Point"), "len"},
        {Type::enum_("Shape"), "len"},
        {Type::tuple({Type::int_()}), "len"},
        {Type::fn({}, Type::int_()), "len"},
        {Type::type_param("T"), "len"},
    };
    for (const auto& c : cases) {
        EXPECT_FALSE(method_sig(c.receiver, c.method).has_value()) << c.receiver.to_string() << "." << c.method;
    }
}

TEST(FindMethod, FormsAndElementRefusals) {
    const struct {
        Type receiver;
        const char* method;
        MethodForm form;
        std::optional<TypeDiag> refusal;
    } cases[] = {
        {Type::list(Type::text()), "join", MethodForm::Signature, std::nullopt},
        {Type::list(Type::int_()), "join", MethodForm::Signature, TypeDiag::JoinNonText},
        {Type::list(Type::float_()), "sorted", MethodForm::Signature, std::nullopt},
        {Type::list(Type::text()), "sorted", MethodForm::Signature, std::nullopt},
        {Type::list(Type::bool_()), "sorted", MethodForm::Signature, TypeDiag::SortedNonOrdered},
        {Type::list(Type::list(Type::int_())), "sorted", MethodForm::Signature, TypeDiag::SortedNonOrdered},
        {Type::list(Type::int_()), "map", MethodForm::Map, std::nullopt},
        {Type::list(Type::bool_()), "filter", MethodForm::Filter, std::nullopt},
        {Type::list(Type::text()), "fold", MethodForm::Fold, std::nullopt},
        {Type::list(Type::int_()), "to_bytes", MethodForm::Signature, std::nullopt},
        {Type::text(), "len", MethodForm::Signature, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.receiver.to_string() + "." + c.method);
        const auto found = find_method(c.receiver, c.method);
        ASSERT_TRUE(found.has_value());
        EXPECT_EQ(found->form, c.form);
        EXPECT_EQ(found->refusal, c.refusal);
    }
    // A method for Int elements only is missing on other lists, and a method name on a type without it.
    EXPECT_FALSE(find_method(Type::list(Type::text()), "to_bytes").has_value());
    EXPECT_FALSE(find_method(Type::set(Type::int_()), "map").has_value());
}

TEST(MethodsOf, ListsEveryReceiversMethodsInTableOrder) {
    const struct {
        Type receiver;
        const char* methods;
    } cases[] = {
        {Type::int_(), "abs, to_float"},
        {Type::float_(), "abs, sqrt, sin, cos, round, floor, ceil, to_int"},
        {Type::text(),
         "len, upper, lower, trim, contains, starts_with, ends_with, split, replace, chars, to_int, to_float, "
         "to_bytes"},
        {Type::bytes(), "len, get, slice, to_list, to_text, to_hex"},
        {Type::list(Type::text()),
         "len, is_empty, contains, first, last, reversed, sorted, join, map, filter, fold, to_bytes, push"},
        {Type::map(Type::int_(), Type::int_()), "len, is_empty, has, get, keys, values"},
        {Type::set(Type::int_()), "len, is_empty, contains, add"},
        {Type::option(Type::int_()), "is_some, is_none, unwrap_or"},
        {Type::result(Type::int_(), Type::int_()), "is_ok, is_err, unwrap_or"},
        {Type::bool_(), ""},
        {Type::void_(), ""},
        {Type::record("Point"), ""},
        {Type::enum_("Shape"), ""},
        {Type::tuple({}), ""},
    };
    for (const auto& c : cases) EXPECT_EQ(methods_of(c.receiver), c.methods) << c.receiver.to_string();
}

TEST(RootIdent, FollowsFieldAndIndexChains) {
    const struct {
        const char* source;
        std::optional<std::string> root;
    } cases[] = {
        {"xs\n", "xs"},
        {"xs[0].items\n", "xs"},
        {"xs.items[2]\n", "xs"},
        {"f(x).items\n", std::nullopt},
        {"[1, 2][0]\n", std::nullopt},
        {"3\n", std::nullopt},
    };
    for (const auto& c : cases) {
        auto program = parse(c.source);
        ASSERT_TRUE(program.has_value()) << c.source;
        ASSERT_EQ(program->stmts.size(), 1u);
        const auto* stmt = ast::as<ast::StmtKind::Expr>(program->stmts[0]);
        ASSERT_NE(stmt, nullptr) << c.source;
        EXPECT_EQ(root_ident(stmt->expr), c.root) << c.source;
    }
}

}  // namespace
}  // namespace quellin::typeck
