// Keeps docs/messages.md honest: every example in the message catalogue is run through the same
// pipeline the server uses, and must produce exactly the diagnostic written under it; every message kind
// of every stage's registry has its entry, and every entry is a kind.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "common/message.hpp"
#include "example_text.hpp"
#include "lexer/error.hpp"
#include "lsp/framing.hpp"
#include "lsp/pipeline.hpp"
#include "lsp/server.hpp"
#include "lsp/server_messages.hpp"
#include "modules/diagnostics.hpp"
#include "parser/diagnostics.hpp"
#include "typeck/diagnostics.hpp"

namespace quellin::lsp {
namespace {

namespace fs = std::filesystem;
using testing::expand;
using testing::replace_all;

// ---- The catalogue as data ----

enum class ExampleKind {
    Program,  // ```quellin: one or more source files; the first is the open document
    Request,  // ```json: one message sent to the server
    Frame,    // ```frame: raw bytes on the server's input
};

struct Example {
    ExampleKind kind;
    std::string source;
    std::optional<std::string> expected;  // the text after "> error ", "> response error " or "> fatal: "
    size_t line;                          // of the opening fence, for failure reports
};

struct Entry {
    std::string heading;  // the message template, placeholders written {like_this}
    size_t line;
    std::string section;  // the "## " heading above it
    std::vector<Example> examples;
    bool known_difference = false;
    bool abridged = false;
    bool unreachable = false;
    bool not_a_program_error = false;
};

struct Catalogue {
    std::vector<Entry> entries;
    std::vector<std::string> problems;  // lines the reader could not place
};

fs::path catalogue_path() {
    const fs::path repository = fs::path(__FILE__).parent_path().parent_path().parent_path();
    const fs::path beside_source = repository / "docs" / "messages.md";
    if (fs::exists(beside_source)) return beside_source;
    std::error_code ec;
    for (fs::path dir = fs::current_path(ec); !dir.empty(); dir = dir.parent_path()) {
        if (fs::exists(dir / "docs" / "messages.md")) return dir / "docs" / "messages.md";
        if (dir == dir.parent_path()) break;
    }
    return beside_source;
}

std::optional<ExampleKind> fence_kind(std::string_view info) {
    if (info == "quellin") return ExampleKind::Program;
    if (info == "json") return ExampleKind::Request;
    if (info == "frame") return ExampleKind::Frame;
    return std::nullopt;
}

Catalogue read_catalogue(std::istream& in) {
    Catalogue catalogue;
    Entry* entry = nullptr;
    std::string section;
    std::string line;
    size_t number = 0;
    while (std::getline(in, line)) {
        ++number;
        const std::string_view text(line);
        if (text.starts_with("```")) {
            const std::optional<ExampleKind> kind = fence_kind(text.substr(3));
            std::string body;
            const size_t opened = number;
            while (std::getline(in, line) && line != "```") {
                ++number;
                body += line;
                body += '\n';
            }
            ++number;
            if (kind && entry != nullptr) entry->examples.push_back(Example{*kind, body, std::nullopt, opened});
            continue;
        }
        if (text.starts_with("## ") || text.starts_with("# ")) {
            if (text.starts_with("## ")) section = text.substr(3);
            entry = nullptr;
            continue;
        }
        if (text.starts_with("### ")) {
            const size_t open = text.find('`');
            const size_t close = text.rfind('`');
            if (open == std::string_view::npos || close <= open) {
                catalogue.problems.push_back("line " + std::to_string(number) + ": heading without a `message`");
                entry = nullptr;
                continue;
            }
            catalogue.entries.push_back(
                Entry{std::string(text.substr(open + 1, close - open - 1)), number, section, {}});
            entry = &catalogue.entries.back();
            continue;
        }
        if (entry == nullptr || !text.starts_with("> ")) continue;

        const std::string_view note = text.substr(2);
        if (note.starts_with("known difference")) entry->known_difference = true;
        if (note.starts_with("abridged")) entry->abridged = true;
        if (note.starts_with("unreachable")) entry->unreachable = true;
        if (note.starts_with("not a program error")) entry->not_a_program_error = true;

        for (const std::string_view prefix : {"error ", "response error ", "fatal: "}) {
            if (!note.starts_with(prefix)) continue;
            if (entry->examples.empty() || entry->examples.back().expected) {
                catalogue.problems.push_back("line " + std::to_string(number) + ": expectation without an example");
            } else {
                entry->examples.back().expected = std::string(note.substr(prefix.size()));
            }
            break;
        }
    }
    return catalogue;
}

const Catalogue& catalogue() {
    static const Catalogue read = [] {
        std::ifstream in(catalogue_path(), std::ios::binary);
        return read_catalogue(in);
    }();
    return read;
}

// ---- Running examples ----

struct SourceFile {
    std::string name;  // relative to the example's directory
    std::string text;
};

struct ProgramFiles {
    std::string document;
    bool unsaved = false;
    std::string buffer;                // what the editor holds
    std::optional<std::string> saved;  // what is on disk, when it differs from the buffer
    std::vector<SourceFile> others;
};

constexpr std::string_view kSeparator = "// --- ";
constexpr std::string_view kSavedSuffix = " (saved)";
constexpr std::string_view kUnsavedSuffix = " (unsaved)";

ProgramFiles split_files(const std::string& source) {
    std::vector<SourceFile> files;
    std::istringstream in(source);
    std::string line;
    while (std::getline(in, line)) {
        if (line.starts_with(kSeparator)) {
            files.push_back(SourceFile{line.substr(kSeparator.size()), ""});
            continue;
        }
        if (files.empty()) files.push_back(SourceFile{"main.qn", ""});
        files.back().text += line + "\n";
    }
    ProgramFiles program;
    if (files.empty()) files.push_back(SourceFile{"main.qn", ""});
    program.document = files.front().name;
    program.buffer = files.front().text;
    if (program.document.ends_with(kUnsavedSuffix)) {
        program.document.resize(program.document.size() - kUnsavedSuffix.size());
        program.unsaved = true;
    }
    for (size_t i = 1; i < files.size(); ++i) {
        if (files[i].name == program.document + std::string(kSavedSuffix)) {
            program.saved = files[i].text;
        } else {
            program.others.push_back(files[i]);
        }
    }
    return program;
}

class TempDir {
public:
    TempDir() {
        std::string pattern = (fs::temp_directory_path() / "quellin-catalogue-XXXXXX").string();
        if (mkdtemp(pattern.data()) != nullptr) path_ = pattern;
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    ~TempDir() {
        std::error_code ec;
        if (!path_.empty()) fs::remove_all(path_, ec);
    }
    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

// Writes what it can: a document named ".." has no file of its own, which is the point of it.
void write_file(const fs::path& path, const std::string& text) {
    std::error_code ec;
    fs::create_directories(path.parent_path(), ec);
    std::ofstream out(path, std::ios::binary);
    out << text;
}

// "line:column: message" as the catalogue writes it, with the example directory shown as $DIR.
std::string run_program(const std::string& source) {
    const TempDir dir;
    if (dir.path().empty()) return "(no temporary directory)";
    const ProgramFiles program = split_files(source);
    const std::optional<std::string> buffer = expand(program.buffer);
    if (!buffer) return "(malformed ${...} in the example)";
    for (const SourceFile& file : program.others) {
        const std::optional<std::string> text = expand(file.text);
        if (!text) return "(malformed ${...} in the example)";
        write_file(dir.path() / file.name, *text);
    }
    if (!program.unsaved) {
        const std::optional<std::string> saved = program.saved ? expand(*program.saved) : buffer;
        if (!saved) return "(malformed ${...} in the example)";
        write_file(dir.path() / program.document, *saved);
    }
    const CheckOutcome outcome = check_document(*buffer, dir.path() / program.document, dir.path() / "stdlib");
    if (!outcome.error) return "no error";
    const std::string shown = std::to_string(outcome.error->line) + ":" + std::to_string(outcome.error->column) +
                              ": " + outcome.error->message;
    return replace_all(shown, dir.path().string(), "$DIR");
}

// "code: message" of the error the server answers with.
std::string run_request(const std::string& source) {
    const nlohmann::json request = nlohmann::json::parse(source, nullptr, false);
    if (request.is_discarded()) return "(the example is not JSON)";
    Server server{};
    const HandleOutcome outcome = server.handle(request);
    for (const nlohmann::json& message : outcome.messages) {
        const auto error = message.find("error");
        if (error == message.end() || !error->is_object()) continue;
        const auto code = error->find("code");
        const auto text = error->find("message");
        if (code == error->end() || !code->is_number_integer() || text == error->end() || !text->is_string()) {
            return "(malformed error response)";
        }
        return std::to_string(code->get<int64_t>()) + ": " + text->get<std::string>();
    }
    return "no error";
}

// The description of the framing error that ends the server.
std::string run_frame(const std::string& source) {
    const std::optional<std::string> bytes = expand(source);
    if (!bytes) return "(malformed ${...} in the example)";
    std::istringstream in(*bytes);
    const auto read = read_message(in);
    return read ? std::string("no error") : read.error().description;
}

std::string run(const Example& example) {
    switch (example.kind) {
        case ExampleKind::Program: return run_program(example.source);
        case ExampleKind::Request: return run_request(example.source);
        case ExampleKind::Frame: return run_frame(example.source);
    }
    return {};
}

// ---- Headings as patterns ----

bool is_placeholder_at(std::string_view text, size_t at, size_t& end) {
    if (text[at] != '{' || at + 1 >= text.size()) return false;
    size_t i = at + 1;
    if (!(std::isalpha(static_cast<unsigned char>(text[i])) || text[i] == '_')) return false;
    while (i < text.size() && (std::isalnum(static_cast<unsigned char>(text[i])) || text[i] == '_')) ++i;
    if (i >= text.size() || text[i] != '}') return false;
    end = i + 1;
    return true;
}

// The literal pieces between the placeholders; a pattern with n placeholders has n + 1 pieces.
std::vector<std::string> literal_pieces(std::string_view pattern) {
    std::vector<std::string> pieces(1);
    for (size_t i = 0; i < pattern.size();) {
        size_t end = 0;
        if (is_placeholder_at(pattern, i, end)) {
            pieces.emplace_back();
            i = end;
        } else {
            pieces.back() += pattern[i++];
        }
    }
    return pieces;
}

// Whether `text` is `pattern` with each {placeholder} standing for any text.
bool fits(std::string_view pattern, std::string_view text) {
    const std::vector<std::string> pieces = literal_pieces(pattern);
    if (pieces.size() == 1) return text == pieces.front();
    if (!text.starts_with(pieces.front()) || !text.ends_with(pieces.back())) return false;
    if (pieces.front().size() + pieces.back().size() > text.size()) return false;
    size_t at = pieces.front().size();
    const size_t limit = text.size() - pieces.back().size();
    for (size_t i = 1; i + 1 < pieces.size(); ++i) {
        const size_t found = text.substr(0, limit).find(pieces[i], at);
        if (found == std::string_view::npos) return false;
        at = found + pieces[i].size();
    }
    return true;
}

// ---- The registries ----

// Every stage's table of message kinds.
const std::vector<MessageRegistry>& registries() {
    static const std::vector<MessageRegistry> all{kLexRegistry, kParseRegistry, kModuleRegistry, kServerRegistry,
                                                  typeck::kTypeRegistry};
    return all;
}

// Messages that two stages raise alike, under one entry: the loader reports a module that imports itself
// before the checker runs, and the checker keeps the same check for callers that give it modules directly.
constexpr std::string_view kHeadingsOfTwoStages[] = {"module '{name}' cannot import itself"};
// Entries that describe how messages are shown rather than a message of their own.
constexpr std::string_view kHeadingsThatAreNoKind[] = {"{the first 8 KiB of a longer message}…"};

template <size_t N>
bool is_any(std::string_view text, const std::string_view (&candidates)[N]) {
    return std::find(std::begin(candidates), std::end(candidates), text) != std::end(candidates);
}

std::string heading_of(const MessageKind& kind) { return as_heading(kind.text); }
std::string heading_of(ModuleDiag kind) { return heading_of(kModuleDiagnostics[static_cast<size_t>(kind)]); }
std::string heading_of(ServerDiag kind) { return heading_of(kServerDiagnostics[static_cast<size_t>(kind)]); }

// `outer` with its placeholder `slot` standing for the template `inner`.
std::string inside(const std::string& outer, std::string_view slot, const std::string& inner) {
    const size_t at = outer.find(slot);
    if (at == std::string::npos) return outer;
    return outer.substr(0, at) + inner + outer.substr(at + slot.size());
}

// A diagnostic's message fits its heading as it is, wrapped as an error of another file or module, or,
// for a reason a file is not read, as the reason of a failed import or read.
bool fits_heading(const std::string& heading, const Example& example, const std::string& expected) {
    std::string_view message = expected;
    if (example.kind != ExampleKind::Frame) {
        const size_t colon = message.find(": ");
        if (colon == std::string_view::npos) return false;
        message = message.substr(colon + 2);
    }
    std::vector<std::string> forms{heading};
    for (const ModuleDiag read_failure : {ModuleDiag::CannotImport, ModuleDiag::CannotRead}) {
        forms.push_back(inside(heading_of(read_failure), "{error}", heading));
    }
    const size_t own_forms = forms.size();
    for (size_t i = 0; i < own_forms; ++i) {
        for (const ServerDiag elsewhere : {ServerDiag::ErrorInOtherFile, ServerDiag::ErrorInOtherModule}) {
            forms.push_back(inside(heading_of(elsewhere), "{message}", forms[i]));
        }
    }
    return std::any_of(forms.begin(), forms.end(), [&](const std::string& form) { return fits(form, message); });
}

std::string where(const Entry& entry) {
    return "docs/messages.md:" + std::to_string(entry.line) + ": " + entry.heading;
}

// ---- Tests ----

TEST(Catalogue, IsWellFormed) {
    const Catalogue& read = catalogue();
    ASSERT_FALSE(read.entries.empty()) << "no entries read from " << catalogue_path();
    for (const std::string& problem : read.problems) ADD_FAILURE() << problem;

    std::set<std::string> headings;
    for (const Entry& entry : read.entries) {
        SCOPED_TRACE(where(entry));
        EXPECT_TRUE(headings.insert(entry.heading).second) << "message catalogued twice";
        if (entry.unreachable) {
            EXPECT_TRUE(entry.examples.empty()) << "an unreachable message has no example";
            continue;
        }
        EXPECT_FALSE(entry.examples.empty() && !entry.abridged) << "entry without an example";
        for (const Example& example : entry.examples) {
            SCOPED_TRACE("example at line " + std::to_string(example.line));
            EXPECT_TRUE(example.expected.has_value()) << "example without its '> error' line";
            EXPECT_EQ(example.kind != ExampleKind::Program, entry.not_a_program_error)
                << "protocol examples belong to entries marked '> not a program error', and only they";
        }
    }
}

TEST(Catalogue, EveryHeadingFitsItsExamples) {
    for (const Entry& entry : catalogue().entries) {
        SCOPED_TRACE(where(entry));
        for (const Example& example : entry.examples) {
            if (!example.expected) continue;
            EXPECT_TRUE(fits_heading(entry.heading, example, *example.expected))
                << "example at line " << example.line << " shows: " << *example.expected;
        }
    }
}

TEST(Catalogue, EveryExampleProducesItsMessage) {
    for (const Entry& entry : catalogue().entries) {
        if (entry.abridged) continue;
        SCOPED_TRACE(where(entry));
        for (const Example& example : entry.examples) {
            if (!example.expected) continue;
            SCOPED_TRACE("example at line " + std::to_string(example.line));
            const std::string produced = run(example);
            if (entry.known_difference) {
                EXPECT_NE(produced, *example.expected)
                    << "the difference is gone: remove the '> known difference' mark";
            } else {
                // Printed raw rather than escaped, so that a wrong dash or arrow reads as it does in the file.
                EXPECT_TRUE(produced == *example.expected)
                    << "\n  produced:   " << produced << "\n  catalogued: " << *example.expected;
            }
        }
    }
}


// The string literals of a C++ source that hold " — ", the mark of a message: ordinary literals with
// their escapes resolved, and raw literals as written.
std::vector<std::string> message_fragments(const std::string& source) {
    std::vector<std::string> found;
    for (size_t i = 0; i < source.size(); ++i) {
        if (source[i] == '/' && i + 1 < source.size() && source[i + 1] == '/') {
            i = std::min(source.find('\n', i), source.size());
            continue;
        }
        if (source[i] == '\'') {
            // A character literal, possibly '"' or an escape.
            i = std::min(source.find('\'', i + (source[i + 1] == '\\' ? 3 : 2)), source.size());
            continue;
        }
        if (source[i] != '"') continue;
        std::string text;
        if (i > 0 && source[i - 1] == 'R') {
            const size_t open = source.find('(', i);
            const std::string close = std::string(")") + source.substr(i + 1, open - i - 1) + "\"";
            const size_t end = source.find(close, open);
            text = source.substr(open + 1, end - open - 1);
            i = end + close.size() - 1;
        } else {
            for (++i; i < source.size() && source[i] != '"'; ++i) {
                if (source[i] != '\\') {
                    text += source[i];
                    continue;
                }
                const char escaped = source[++i];
                text += escaped == 'n' ? '\n' : escaped == 't' ? '\t' : escaped;
            }
        }
        if (text.find("\u2014") != std::string::npos) found.push_back(text);
    }
    return found;
}

// Every kind of every registry has its entry: the heading is the kind's template as a message shows it,
// and the entry has an example (which the tests above run) or says why it has none.
TEST(Catalogue, HasAnEntryForEveryKind) {
    std::map<std::string, const Entry*> by_heading;
    for (const Entry& entry : catalogue().entries) by_heading.emplace(entry.heading, &entry);
    std::map<std::string, std::string> kind_of_heading;
    size_t kinds = 0;
    for (const MessageRegistry& registry : registries()) {
        for (const MessageKind& kind : registry.kinds) {
            ++kinds;
            const std::string name = std::string(registry.stage) + " " + std::string(kind.name);
            SCOPED_TRACE(name);
            const std::string heading = heading_of(kind);
            const auto [other, first] = kind_of_heading.emplace(heading, name);
            EXPECT_TRUE(first || is_any(heading, kHeadingsOfTwoStages))
                << "the same message as " << other->second << ": " << heading;
            const auto entry = by_heading.find(heading);
            if (entry == by_heading.end()) {
                ADD_FAILURE() << "no catalogue entry is headed `" << heading << "`";
                continue;
            }
            const Entry& found = *entry->second;
            EXPECT_TRUE(!found.examples.empty() || found.unreachable || found.abridged)
                << where(found) << ": no example, and not marked unreachable or abridged";
        }
    }
    EXPECT_GT(kinds, 100u);
}

// Every entry is a kind of a registry, so that a message that changes or goes cannot leave its entry
// behind.
TEST(Catalogue, EveryEntryIsAKind) {
    std::set<std::string> headings;
    for (const MessageRegistry& registry : registries()) {
        for (const MessageKind& kind : registry.kinds) headings.insert(heading_of(kind));
    }
    for (const Entry& entry : catalogue().entries) {
        if (is_any(entry.heading, kHeadingsThatAreNoKind)) continue;
        EXPECT_TRUE(headings.contains(entry.heading)) << where(entry) << ": no registry declares this message";
    }
}

struct SourceFragment {
    fs::path file;
    std::string text;
};

std::vector<SourceFragment> fragments_under(const char* folder) {
    const fs::path repository = catalogue_path().parent_path().parent_path();
    std::vector<SourceFragment> found;
    for (const auto& entry : fs::recursive_directory_iterator(repository / folder)) {
        if (entry.path().extension() != ".cpp") continue;
        std::ifstream file(entry.path(), std::ios::binary);
        const std::string source((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        for (std::string& fragment : message_fragments(source)) found.push_back({entry.path(), std::move(fragment)});
    }
    return found;
}

// The stages with a registry write no message text where they raise one: a literal that looks like a
// message (it holds " — ") in their sources is one that bypassed the registry.
TEST(Catalogue, StagesWithARegistryWriteNoMessageTextsOfTheirOwn) {
    for (const char* folder : {"lexer/src", "parser/src", "modules/src", "typeck/src", "lsp/src"}) {
        for (const SourceFragment& fragment : fragments_under(folder)) {
            ADD_FAILURE() << fragment.file.string() << ": a message text outside the registry: " << fragment.text;
        }
    }
}

}  // namespace
}  // namespace quellin::lsp
