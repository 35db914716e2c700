// The file tests: QUELLIN programs kept under lexer/, parser/, modules/ and typeck/ in tests/files/,
// whose comments say which diagnostic the server reports for them. Each case runs through the same
// pipeline as the server and becomes one test named after its file and case. docs/file-tests.md says
// how to write one.

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "example_text.hpp"
#include "lsp/pipeline.hpp"
#include "process.hpp"

namespace quellin::lsp {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kCaseMarker = "// === ";
constexpr std::string_view kFileMarker = "// --- ";
constexpr std::string_view kErrorMark = "// error@";
constexpr std::string_view kNoFinalNewline = "// no newline at end of file";
constexpr std::string_view kDocument = "main.qn";
constexpr const char* kStages[] = {"lexer", "parser", "modules", "typeck"};

struct SourceFile {
    std::string name;                // relative to the case's directory; a name ending in '/' is a directory
    std::vector<std::string> lines;  // without the lines that state expectations
    bool final_newline = true;
};

struct Expectation {
    size_t file;  // the index of the file the error is in
    uint32_t line;
    uint32_t column;
    std::string message;
    size_t written_at;  // the line of the .qn file that states it
};

struct Case {
    std::string suite;  // "parser/functions" for parser/tests/files/functions.qn
    std::string name;
    std::string path;  // of the .qn file
    size_t line = 0;   // of the case marker
    std::vector<SourceFile> files;
    std::optional<Expectation> expected;
    std::vector<std::string> problems;  // what makes the case unreadable
};

fs::path repository() { return fs::path(__FILE__).parent_path().parent_path().parent_path(); }

std::string test_name(std::string_view text) {
    std::string name;
    for (const char c : text) {
        const bool plain = std::isalnum(static_cast<unsigned char>(c)) != 0;
        if (plain) {
            name += c;
        } else if (!name.empty() && name.back() != '_') {
            name += '_';
        }
    }
    while (!name.empty() && name.back() == '_') name.pop_back();
    return name.empty() ? "unnamed" : name;
}

std::optional<uint32_t> read_number(std::string_view& text) {
    uint32_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc{} || end == text.data()) return std::nullopt;
    text.remove_prefix(static_cast<size_t>(end - text.data()));
    return value;
}

// "+N:COL: message" (N lines below) or "LINE:COL: message", the text after "// error@".
std::optional<Expectation> read_expectation(std::string_view text, const size_t lines_above) {
    const bool relative = text.starts_with('+');
    if (relative) text.remove_prefix(1);
    const std::optional<uint32_t> line = read_number(text);
    if (!line || !text.starts_with(':')) return std::nullopt;
    text.remove_prefix(1);
    const std::optional<uint32_t> column = read_number(text);
    if (!column || !text.starts_with(": ")) return std::nullopt;
    text.remove_prefix(2);
    const uint32_t at = relative ? static_cast<uint32_t>(lines_above) + *line : *line;
    return Expectation{0, at, *column, std::string(text), 0};
}

// Reads one .qn file into its cases. Blank lines at the end of each file of a case separate cases
// and are not part of the program.
std::vector<Case> read_cases(const fs::path& path, const std::string& suite) {
    std::ifstream in(path, std::ios::binary);
    std::vector<Case> cases;
    Case header{suite, "header", path.string(), 1, {}, std::nullopt, {}};
    std::set<std::string> names;
    std::string line;
    size_t number = 0;
    while (std::getline(in, line)) {
        ++number;
        const std::string_view text(line);
        if (text.starts_with(kCaseMarker)) {
            std::string name = test_name(text.substr(kCaseMarker.size()));
            cases.push_back(Case{suite, name, path.string(), number, {}, std::nullopt, {}});
            if (!names.insert(name).second) cases.back().problems.push_back("a second case named " + name);
            continue;
        }
        if (cases.empty()) {
            if (!text.empty() && !text.starts_with("//")) {
                header.problems.push_back("line " + std::to_string(number) + ": code before the first case marker");
            }
            continue;
        }
        Case& current = cases.back();
        if (text.starts_with(kFileMarker)) {
            const std::string name(text.substr(kFileMarker.size()));
            if (current.files.empty() && name.ends_with('/')) {
                current.problems.push_back("the document cannot be a directory");
            }
            current.files.push_back(SourceFile{name, {}, true});
            continue;
        }
        if (current.files.empty()) current.files.push_back(SourceFile{std::string(kDocument), {}, true});
        SourceFile& file = current.files.back();
        const std::string_view trimmed = text.substr(std::min(text.find_first_not_of(' '), text.size()));
        if (trimmed == kNoFinalNewline) {
            file.final_newline = false;
        } else if (trimmed.starts_with(kErrorMark)) {
            std::optional<Expectation> expected = read_expectation(trimmed.substr(kErrorMark.size()), file.lines.size());
            if (!expected) {
                current.problems.push_back("line " + std::to_string(number) +
                                           ": write 'error@+N:COL: message' or 'error@LINE:COL: message'");
            } else if (current.expected) {
                current.problems.push_back("line " + std::to_string(number) +
                                           ": a second error — only the first error of a program is reported");
            } else {
                expected->file = current.files.size() - 1;
                expected->written_at = number;
                current.expected = std::move(expected);
            }
        } else if (trimmed.starts_with("// error")) {
            current.problems.push_back("line " + std::to_string(number) + ": 'error' must be followed by '@'");
        } else {
            file.lines.push_back(line);
        }
    }
    for (Case& c : cases) {
        if (c.files.empty()) c.files.push_back(SourceFile{std::string(kDocument), {}, true});
        for (SourceFile& file : c.files) {
            while (!file.lines.empty() && file.lines.back().empty()) file.lines.pop_back();
        }
    }
    if (cases.empty()) header.problems.push_back("no case in the file: each starts with '// === name'");
    if (!header.problems.empty()) cases.insert(cases.begin(), std::move(header));
    return cases;
}

// The text of a file: its lines, each ending in a newline unless the file says otherwise, with ${...}
// expanded.
std::optional<std::string> file_text(const SourceFile& file) {
    std::string text;
    for (size_t i = 0; i < file.lines.size(); ++i) {
        text += file.lines[i];
        if (i + 1 < file.lines.size() || file.final_newline) text += '\n';
    }
    return testing::expand(text);
}

// The diagnostic as "line:column: message"; an error in another module is shown the way the server
// pins it to the document's start.
std::string expected_diagnostic(const Case& c) {
    if (!c.expected) return "no error";
    const Expectation& e = *c.expected;
    const std::string message = testing::expand(e.message).value_or("(malformed ${...} in the message)");
    const std::string position = std::to_string(e.line) + ":" + std::to_string(e.column);
    if (e.file == 0) return position + ": " + message;
    const std::string module = fs::path(c.files[e.file].name).stem().string();
    return "1:1: [" + module + ".qn]: " + message + " (line " + std::to_string(e.line) + ", column " +
           std::to_string(e.column) + ")";
}

// What the server reports for the case, written like the expectation, with its directory shown as $DIR.
std::string actual_diagnostic(const Case& c) {
    const testing::TempDir dir;
    const fs::path root(dir.path());
    std::string document;
    for (size_t i = 0; i < c.files.size(); ++i) {
        const SourceFile& file = c.files[i];
        if (file.name.ends_with('/')) {
            fs::create_directories(root / file.name);
            continue;
        }
        const std::optional<std::string> text = file_text(file);
        if (!text) return "(malformed ${...} in " + file.name + ")";
        dir.write(file.name, *text);
        if (i == 0) document = *text;
    }
    const CheckOutcome outcome = check_document(document, root / c.files.front().name, root / "stdlib");
    if (!outcome.error) return "no error";
    const CheckError& error = *outcome.error;
    const std::string shown =
        std::to_string(error.line) + ":" + std::to_string(error.column) + ": " + error.message;
    return testing::replace_all(shown, root.string(), "$DIR");
}

class FileCase : public ::testing::Test {
public:
    explicit FileCase(Case c) : case_(std::move(c)) {}

    void TestBody() override {
        for (const std::string& problem : case_.problems) ADD_FAILURE_AT(case_.path.c_str(), case_.line) << problem;
        if (!case_.problems.empty()) return;
        const std::string expected = expected_diagnostic(case_);
        const std::string actual = actual_diagnostic(case_);
        // Printed raw rather than escaped, so that a wrong dash or arrow reads as it does in the file.
        if (actual != expected) {
            const size_t at = case_.expected ? case_.expected->written_at : case_.line;
            ADD_FAILURE_AT(case_.path.c_str(), static_cast<int>(at))
                << "case '" << case_.name << "'\n  expected: " << expected << "\n  actual:   " << actual;
        }
    }

private:
    Case case_;
};

size_t register_file_tests() {
    size_t registered = 0;
    for (const char* stage : kStages) {
        const fs::path folder = repository() / stage / "tests" / "files";
        std::error_code ec;
        if (!fs::is_directory(folder, ec)) continue;
        std::vector<fs::path> files;
        for (const auto& entry : fs::directory_iterator(folder, ec)) {
            if (entry.path().extension() == ".qn") files.push_back(entry.path());
        }
        std::sort(files.begin(), files.end());
        for (const fs::path& file : files) {
            const std::string suite = std::string(stage) + "/" + file.stem().string();
            for (Case& c : read_cases(file, suite)) {
                // Copied first: the test's factory takes the case itself.
                const std::string suite_name = c.suite;
                const std::string name = c.name;
                const std::string path = c.path;
                const int line = static_cast<int>(c.line);
                ::testing::RegisterTest(suite_name.c_str(), name.c_str(), nullptr, nullptr, path.c_str(), line,
                                        [c = std::move(c)]() -> ::testing::Test* { return new FileCase(c); });
                ++registered;
            }
        }
    }
    return registered;
}

const size_t kRegistered = register_file_tests();

// Guards against a runner that looks in the wrong place and so passes with nothing to run.
TEST(FileTests, FindsTheCaseFiles) { EXPECT_GT(kRegistered, 0u) << "no case under " << repository(); }

}  // namespace
}  // namespace quellin::lsp
