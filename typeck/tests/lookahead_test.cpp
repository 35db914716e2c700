// The declaration passes and the body checks ask for statements some way ahead of the one they are at.
// Programs of every length around that distance, with the fault in the last declaration or the last
// body, show that looking ahead neither skips a statement nor reads past the end of the list (the
// sanitizer build runs this too).

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "check_helpers.hpp"

namespace quellin::typeck {
namespace {

using testing::ErrorCase;
using testing::expect_check;

constexpr const char* kUnknownFoo =
    "unknown type 'Foo' — v0.1 types are Int, Float, Text, Bool, Void, List[T], Map[K, V], Set[T], Tuple[...], "
    "Option[T], Result[T, E], or a declared record or enum name";

// `count` declarations, rotating over a record, an enum and a function that uses both, each of one
// or two lines; every name carries its index.
std::string declarations(int count, uint32_t& lines) {
    std::string source;
    for (int i = 0; i < count; ++i) {
        const std::string n = std::to_string(i);
        switch (i % 3) {
            case 0:
                source += "record R" + n + ":\n    v: Int\n";
                lines += 2;
                break;
            case 1:
                source += "enum E" + n + ":\n    A" + n + "(v: Int)\n";
                lines += 2;
                break;
            default:
                source += "fn f" + n + "(r: R" + std::to_string(i - 2) + ", e: E" + std::to_string(i - 1) +
                          ") -> Int = r.v\n";
                lines += 1;
                break;
        }
    }
    return source;
}

TEST(Lookahead, TheLastDeclarationOfAnyProgramLengthIsChecked) {
    for (int count = 0; count <= 40; ++count) {
        SCOPED_TRACE("declarations before the faulty one: " + std::to_string(count));
        const auto with_last = [count](const std::string& last, const std::string& message, uint32_t line_offset,
                                       uint32_t col) {
            uint32_t lines = 0;
            std::string source = declarations(count, lines);
            source += last;
            return ErrorCase{source, message, lines + line_offset, col};
        };
        const ErrorCase cases[] = {
            with_last("", "", 0, 0),
            with_last("record Last:\n    v: Foo\n", kUnknownFoo, 2, 8),
            with_last("enum Last:\n    A(v: Foo)\n", kUnknownFoo, 2, 10),
            with_last("fn last(x: Foo) -> Int = 1\n", kUnknownFoo, 1, 12),
            with_last("fn last() -> Int = \"a\"\n", "expected Int, found Text", 1, 20),
            with_last("fn last() -> Int:\n    return true\n", "expected Int, found Bool", 2, 12),
        };
        for (const auto& c : cases) expect_check(c);
    }
}

}  // namespace
}  // namespace quellin::typeck
