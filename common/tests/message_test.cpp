#include "common/message.hpp"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

namespace quellin {
namespace {

struct FillCase {
    std::string_view tmpl;
    std::vector<std::string_view> args;
    std::string_view expected;
};

FilledMessage fill_with(std::string_view tmpl, const std::vector<std::string_view>& args) {
    switch (args.size()) {
        case 0: return fill_template(tmpl, {});
        case 1: return fill_template(tmpl, {args[0]});
        case 2: return fill_template(tmpl, {args[0], args[1]});
        case 3: return fill_template(tmpl, {args[0], args[1], args[2]});
        default: ADD_FAILURE() << "too many arguments for this table"; return {};
    }
}

TEST(Fill, FillsPlaceholdersInTheOrderOfTheirFirstAppearance) {
    const FillCase cases[] = {
        {"no placeholders at all", {}, "no placeholders at all"},
        {"{token}", {"Eof"}, "Eof"},
        {"expected Colon ':' to start the block, found {token}", {"Newline"},
         "expected Colon ':' to start the block, found Newline"},
        {"line indented to level {level} but at most level {allowed} is allowed", {"2", "1"},
         "line indented to level 2 but at most level 1 is allowed"},
        // A name written again repeats its value and takes no argument of its own.
        {"cannot assign to immutable '{name}' — declare it with 'mut {name} = ...' to allow reassignment", {"p"},
         "cannot assign to immutable 'p' — declare it with 'mut p = ...' to allow reassignment"},
        {"'{enum}.{variant}' is a unit variant — write {enum}.{variant}", {"Color", "Red"},
         "'Color.Red' is a unit variant — write Color.Red"},
        {"{a}{b}{a}", {"x", "y"}, "xyx"},
        // Names take lower-case letters, digits and '_' after a lower-case letter.
        {"{file_2}: {m}", {"f", "m"}, "f: m"},
        // An argument is inserted as it is, braces included.
        {"in string interpolation: {message}", {"{x} and {{y}}"}, "in string interpolation: {x} and {{y}}"},
    };
    for (const FillCase& c : cases) {
        SCOPED_TRACE(c.tmpl);
        const FilledMessage filled = fill_with(c.tmpl, c.args);
        EXPECT_EQ(filled.text, c.expected);
        EXPECT_TRUE(filled.arguments_match);
    }
}

TEST(Fill, BracesThatAreNotPlaceholdersAreLiteral) {
    const FillCase cases[] = {
        {"empty interpolation '{}' — write \\{\\} for literal braces", {},
         "empty interpolation '{}' — write \\{\\} for literal braces"},
        {"every '{' in a string must close with '}'", {}, "every '{' in a string must close with '}'"},
        {"valid escapes: \\n \\{ \\}", {}, "valid escapes: \\n \\{ \\}"},
        {"invalid escape sequence '\\{c}' — valid escapes: \\{ \\}", {"q"},
         "invalid escape sequence '\\q' — valid escapes: \\{ \\}"},
        // Not names: upper case, a leading digit or '_', a space, an empty pair, an unclosed one.
        {"{Name} {1x} {_x} {a b} {} {x", {}, "{Name} {1x} {_x} {a b} {} {x"},
        {"trailing {", {}, "trailing {"},
        {"}", {}, "}"},
        // Doubled braces are one brace, so a placeholder's form can be written literally.
        {"interpolate: \"{{a}}{{b}}\"", {}, "interpolate: \"{a}{b}\""},
        {"{{{name}}}", {"v"}, "{v}"},
        {"{{}}", {}, "{}"},
        {"{{{{", {}, "{{"},
    };
    for (const FillCase& c : cases) {
        SCOPED_TRACE(c.tmpl);
        const FilledMessage filled = fill_with(c.tmpl, c.args);
        EXPECT_EQ(filled.text, c.expected);
        EXPECT_TRUE(filled.arguments_match);
    }
}

TEST(Fill, AMismatchOfArgumentsShowsInTheText) {
    const FillCase cases[] = {
        {"expected {what}, found {token}", {"x"}, "expected x, found {token}"},
        {"expected {what}, found {token}", {}, "expected {what}, found {token}"},
        {"{name} and {name}", {}, "{name} and {name}"},
        {"no placeholders", {"a"}, "no placeholders {unused: a}"},
        {"{x}", {"a", "b", "c"}, "a {unused: b} {unused: c}"},
    };
    for (const FillCase& c : cases) {
        SCOPED_TRACE(c.tmpl);
        const FilledMessage filled = fill_with(c.tmpl, c.args);
        EXPECT_EQ(filled.text, c.expected);
        EXPECT_FALSE(filled.arguments_match);
    }
}

TEST(Fill, AMismatchOfArgumentsFailsAnAssertionInDebugBuilds) {
    EXPECT_DEBUG_DEATH(fill("expected {what}, found {token}", {"x"}), "wrong number of arguments");
    EXPECT_DEBUG_DEATH(fill("no placeholders", {"a"}), "wrong number of arguments");
}

TEST(Placeholders, ListsEachNameOnceInOrderOfFirstAppearance) {
    const struct {
        std::string_view tmpl;
        std::vector<std::string_view> names;
    } cases[] = {
        {"plain", {}},
        {"{b} {a} {b} {c}", {"b", "a", "c"}},
        {"'{}' {{x}} {Y} {y}", {"y"}},
        {"[{module}.qn]: {message} (line {line}, column {column})", {"module", "message", "line", "column"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.tmpl);
        EXPECT_EQ(placeholders(c.tmpl), c.names);
    }
}

TEST(AsHeading, KeepsPlaceholdersAndUndoublesBraces) {
    const struct {
        std::string_view tmpl;
        std::string_view heading;
    } cases[] = {
        {"expected {what}, found {token}", "expected {what}, found {token}"},
        {"there is no '+' on Text — concatenate with interpolation: \"{{a}}{{b}}\"",
         "there is no '+' on Text — concatenate with interpolation: \"{a}{b}\""},
        {"empty interpolation '{}'", "empty interpolation '{}'"},
    };
    for (const auto& c : cases) EXPECT_EQ(as_heading(c.tmpl), c.heading);
}

#define QN_SAMPLE_DIAGNOSTICS(X)                         \
    X(First, "first without arguments")                 \
    X(Second, "second with {name} and {count} and {name}") \
    X(Third, "third with '{}' {{literal}}")

enum class SampleDiag : unsigned char { QN_SAMPLE_DIAGNOSTICS(QN_MESSAGE_KIND_ENUM) };
constexpr MessageKind kSampleDiagnostics[] = {QN_SAMPLE_DIAGNOSTICS(QN_MESSAGE_KIND_ENTRY)};

TEST(MessageTable, AKindIndexesItsEntryAndFillsItsTemplate) {
    static_assert(std::size(kSampleDiagnostics) == 3);
    EXPECT_EQ(kSampleDiagnostics[static_cast<size_t>(SampleDiag::Second)].name, "Second");
    EXPECT_EQ(fill(kSampleDiagnostics, SampleDiag::First), "first without arguments");
    const std::string name = "x";
    EXPECT_EQ(fill(kSampleDiagnostics, SampleDiag::Second, name, std::to_string(3)), "second with x and 3 and x");
    EXPECT_EQ(fill(kSampleDiagnostics, SampleDiag::Third), "third with '{}' {literal}");
}

}  // namespace
}  // namespace quellin
