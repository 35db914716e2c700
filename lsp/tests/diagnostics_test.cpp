#include "lsp/diagnostics.hpp"

#include <gtest/gtest.h>

namespace quellin::lsp {
namespace {

TEST(FileUriToPath, DecodesEscapesCountedInCharacters) {
    struct Case {
        const char* uri;
        std::optional<std::string> path;
    };
    const Case cases[] = {
        {"file:///a/b.qn", "/a/b.qn"},
        {"file:///home/me/my%20project/main.qn", "/home/me/my project/main.qn"},
        {"file:///x/%c3%a9t%C3%A9.qn", "/x/\xC3\xA9t\xC3\xA9.qn"},
        {"file:///x/\xC3\xA9.qn", "/x/\xC3\xA9.qn"},
        {"file://host/share/a.qn", "host/share/a.qn"},
        {"file://", ""},
        {"file:///a/b%", "/a/b%"},           // too short to be an escape: kept
        {"file:///a/b%4", "/a/b%4"},         // likewise
        {"file:///a/b%\xC3\xA9", "/a/b%\xC3\xA9"},  // one character after '%', though two bytes
        {"file:///a/%zz.qn", std::nullopt},  // not hexadecimal
        {"file:///a/%4g.qn", std::nullopt},
        {"file:///a/%\xC3\xA9x.qn", std::nullopt},  // two characters that are not hexadecimal
        {"file:///a/%ff.qn", std::nullopt},  // decodes to bytes that are not UTF-8
        {"file:///a/%ed%a0%80.qn", std::nullopt},  // an encoded surrogate
        {"FILE:///a/b.qn", std::nullopt},    // the scheme is compared exactly
        {"untitled:Untitled-1", std::nullopt},
        {"", std::nullopt},
        {"file:/a/b.qn", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.uri);
        const std::optional<std::filesystem::path> path = file_uri_to_path(c.uri);
        ASSERT_EQ(path.has_value(), c.path.has_value());
        if (path) {
            EXPECT_EQ(path->string(), *c.path);
        }
    }
}

TEST(Diagnostic, OneCharacterRangeAtTheZeroBasedPosition) {
    struct Case {
        uint32_t line, column;
        uint32_t start_line, start_character, end_character;
    };
    const Case cases[] = {
        {1, 1, 0, 0, 1},
        {3, 7, 2, 6, 7},
        {0, 0, 0, 0, 1},  // positions that are missing are floored, never negative
        {5, 0, 4, 0, 1},
        {0, 4, 0, 3, 4},
        {4294967295u, 4294967295u, 4294967294u, 4294967294u, 4294967295u},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.line) + ":" + std::to_string(c.column));
        const nlohmann::json d = diagnostic(c.line, c.column, "boom");
        nlohmann::json expected = {
            {"range",
             {{"start", {{"line", c.start_line}, {"character", c.start_character}}},
              {"end", {{"line", c.start_line}, {"character", c.end_character}}}}},
            {"severity", 1},
            {"source", "quellin"},
            {"message", "boom"},
        };
        EXPECT_EQ(d, expected);
    }
}

}  // namespace
}  // namespace quellin::lsp
