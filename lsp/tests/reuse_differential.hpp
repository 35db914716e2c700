#pragma once
// Two servers, one taking work over from earlier checks and one checking every time from scratch,
// given the same messages while the files on disk change between them: every answer must be the same.
// The steps are chosen by a source of numbers (a seeded generator in the test, the input bytes in the
// fuzz target) over a small world: three to eight project modules that import each other (cycles,
// self-imports and missing modules included), a vendor module, standard-library modules, documents
// opened, changed, saved, closed and hovered. Modules are mostly written clean, so that many checks
// succeed and have imported modules' results to take over; mistakes of every stage come and go.
// Shared by lsp/tests/reuse_differential_test.cpp and fuzz/fuzz_reuse.cpp.

#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "lsp/server.hpp"

namespace quellin::lsp::testing {

// Where the steps' choices come from.
class Choices {
public:
    virtual ~Choices() = default;
    // A number below `n` (n > 0).
    virtual uint32_t below(uint32_t n) = 0;
    // Whether the choices have run out (the fuzzer's input is finite).
    virtual bool exhausted() const { return false; }
};

// A seeded generator, the same on every platform: SplitMix64.
class SeededChoices : public Choices {
public:
    explicit SeededChoices(uint64_t seed) : state_(seed) {}
    uint32_t below(const uint32_t n) override {
        state_ += 0x9E3779B97F4A7C15u;
        uint64_t z = state_;
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9u;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
        return static_cast<uint32_t>((z ^ (z >> 31)) % n);
    }

private:
    uint64_t state_;
};

// The fuzzer's input, a byte per choice.
class ByteChoices : public Choices {
public:
    ByteChoices(const uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    uint32_t below(const uint32_t n) override {
        if (at_ >= size_) return 0;
        return data_[at_++] % n;
    }
    bool exhausted() const override { return at_ >= size_; }

private:
    const uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

class ReuseDifferential {
public:
    // The world's shape (how many project modules, what each holds at first) comes from `c`.
    explicit ReuseDifferential(Choices& c) {
        for (uint32_t n = 3 + c.below(6), k = 0; k < n; ++k) project_.push_back("m" + std::to_string(k));
        std::string pattern = (std::filesystem::temp_directory_path() / "quellin-reuse-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) return;
        root_ = pattern;
        std::error_code ec;
        std::filesystem::create_directories(root_ / "p" / "vendor", ec);
        std::filesystem::create_directories(root_ / "std", ec);
        // Every module is there to begin with; steps change, remove and add them.
        for (const std::string& name : project_) write(file_of(name), module_text(c, name, false, false));
        write(file_of("v0"), module_text(c, "v0", true, false));
        for (const char* name : kStdlib) {
            write(root_ / "std" / (std::string(name) + ".qn"), module_text(c, name, true, false));
        }
        reusing_.stdlib_dir = root_ / "std";
        scratch_.stdlib_dir = root_ / "std";
        scratch_.reuse = false;
    }
    ReuseDifferential(const ReuseDifferential&) = delete;
    ReuseDifferential& operator=(const ReuseDifferential&) = delete;
    ~ReuseDifferential() {
        std::error_code ec;
        if (!root_.empty()) std::filesystem::remove_all(root_, ec);
    }

    bool ok() const { return !root_.empty(); }

    // One step: a change on disk, or a message to both servers. Returns a description of the first
    // difference between their answers, or of memory held beyond what the latest checks used.
    std::optional<std::string> step(Choices& c) {
        const uint32_t pick = c.below(44);
        if (pick < 8) {
            write_module(c);
        } else if (pick < 11) {
            touch_module(c);
        } else if (pick < 14) {
            edit_body(c);
        } else if (pick < 15) {
            remove_module(c);
        } else if (pick < 17) {
            write_stdlib(c);
        } else if (pick < 20) {
            return open(c);
        } else if (pick < 30) {
            return change(c);
        } else if (pick < 32) {
            return save(c);
        } else if (pick < 33) {
            return close(pick_open(c));
        } else {
            return hover(c);
        }
        return std::nullopt;
    }

    // Closes every open document; then nothing may be held for reuse.
    std::optional<std::string> close_all() {
        const std::vector<std::string> open(open_.begin(), open_.end());
        for (const std::string& uri : open) {
            if (auto difference = close(uri)) return difference;
        }
        if (!reusing_.latest_work.empty() || !reusing_.hover_modules.empty()) return "memory held after closing";
        if (reusing_.caches.trees.live() != 0) return "syntax trees live after closing everything";
        if (reusing_.caches.results.live() != 0) return "module results live after closing everything";
        return std::nullopt;
    }

    // The messages sent so far, for reproducing a difference.
    const std::vector<std::string>& log() const { return log_; }

    // What the answers were, so that a run can show it was not vacuous: diagnostics in the document,
    // diagnostics naming another file, checks that loaded a program of several modules and those of
    // them that came out clean, hovers that found something, (summed over the steps) results of
    // imported modules held for reuse, and how often the reusing server took a syntax tree or an
    // imported module's result over instead of parsing or checking again.
    struct Seen {
        uint64_t own_errors = 0;
        uint64_t other_file_errors = 0;
        uint64_t loaded = 0;
        uint64_t clean_with_imports = 0;
        uint64_t hover_texts = 0;
        uint64_t results_held = 0;
        uint64_t trees_taken = 0;
        uint64_t results_taken = 0;

        Seen& operator+=(const Seen& other) {
            own_errors += other.own_errors;
            other_file_errors += other.other_file_errors;
            loaded += other.loaded;
            clean_with_imports += other.clean_with_imports;
            hover_texts += other.hover_texts;
            results_held += other.results_held;
            trees_taken += other.trees_taken;
            results_taken += other.results_taken;
            return *this;
        }
    };
    Seen seen() const {
        Seen seen = seen_;
        seen.trees_taken = reusing_.caches.trees.taken();
        seen.results_taken = reusing_.caches.results.taken();
        return seen;
    }

private:
    static constexpr const char* kStdlib[] = {"s0", "s1", "m1"};

    std::filesystem::path file_of(const std::string& module) const {
        if (module == "v0") return root_ / "p" / "vendor" / "v0.qn";
        return root_ / "p" / (module + ".qn");
    }

    // The module name of a document's URI (its file's stem).
    static std::string document_name(const std::string& uri) {
        return std::filesystem::path(uri).stem().string();
    }

    std::string uri_of(const std::string& name) const {
        if (name == "untitled") return "untitled:scratch";
        return "file://" + (root_ / "p" / (name + ".qn")).string();
    }

    void write(const std::filesystem::path& file, const std::string& text) {
        std::ofstream(file, std::ios::binary | std::ios::trunc) << text;
        log_.push_back("write " + file.filename().string() + ": " + text);
    }

    // A module name a file may import: mostly one that comes after `self` in the order of the names
    // it can find (a project file all of them, a vendor or standard-library file those of the standard
    // library), so that most programs load; now and then any other, which may close a cycle, or one no
    // file has.
    // A file written with `mistakes` off imports only modules after it, and only those a file can find.
    // A vendor or standard-library file (`in_library`) finds only the standard library.
    std::string imported_by(Choices& c, const std::string& self, const bool in_library, const bool mistakes) const {
        std::vector<std::string> names;
        if (!in_library) names = project_;
        if (!in_library) names.push_back("v0");
        names.insert(names.end(), {"s0", "s1"});
        if (in_library) names.push_back("m1");
        const auto count = static_cast<uint32_t>(names.size());
        if (mistakes && c.below(16) == 0) return c.below(2) == 0 ? "nowhere" : self;
        uint32_t after = 0;
        while (after < count && names[after] != self) ++after;
        if (after + 1 < count && (!mistakes || c.below(6) != 0)) return names[after + 1 + c.below(count - after - 1)];
        return names[c.below(count)];
    }

    // The type of a record field: a builtin, or a record of an imported module.
    static std::string field_type(Choices& c, const std::vector<std::string>& imports) {
        const uint32_t pick = c.below(4);
        if (pick == 0 || imports.empty()) return "Int";
        if (pick == 1) return "Text";
        const std::string& from = imports[c.below(static_cast<uint32_t>(imports.size()))];
        return pick == 2 ? from + ".R" : "List[" + from + ".R]";
    }

    static std::string value_of(const std::string& type) {
        if (type == "Int") return "1";
        if (type == "Text") return "\"t\"";
        if (type.starts_with("List[")) return "[]";
        return type.substr(0, type.find('.')) + ".make()";
    }

    // A library module: imports, a record R, an enum E, functions f and make, uses of what it
    // imports, and with `mistakes` now and then a mistake of some kind (a third of such modules).
    std::string module_text(Choices& c, const std::string& self, const bool in_library, const bool mistakes) const {
        std::vector<std::string> imports;
        for (uint32_t n = c.below(3); n > 0; --n) {
            std::string name = imported_by(c, self, in_library, mistakes);
            if (std::find(imports.begin(), imports.end(), name) == imports.end()) imports.push_back(name);
        }
        std::string text;
        for (const std::string& name : imports) text += "import " + name + "\n";
        const std::string type = field_type(c, imports);
        text += "/// A record.\npub record R:\n    v: " + type + "\n";
        text += "/// An enum.\n" + std::string(c.below(4) == 0 ? "" : "pub ") + "enum E:\n    A(x: " +
                field_type(c, imports) + ")\n    B\n";
        text += "/// Adds.\npub fn f(x: Int) -> Int = x + " + std::to_string(c.below(3)) + "\n";
        text += "/// Makes.\npub fn make() -> R = R(v: " + value_of(type) + ")\n";
        for (const std::string& name : imports) {
            switch (c.below(8)) {
                case 0: case 1: case 2: text += "fn use_" + name + "() -> Int = " + name + ".f(1)\n"; break;
                case 3: text += "fn field_" + name + "() -> Int = " + name + ".make().v\n"; break;
                case 4:
                    if (mistakes) text += "fn hidden_" + name + "() -> Int = " + name + ".hidden()\n";
                    break;
                default: break;
            }
        }
        text += "fn hidden() -> Int = 2\n";
        switch (mistakes ? c.below(18) : 6 + c.below(12)) {
            case 0: text += "pub fn (\n"; break;                                     // a syntax error
            case 1: text += "/// Wrong.\npub fn wrong() -> Int = \"no\"\n"; break;  // a type error
            case 2: text += "let top = 1\n"; break;                                 // code at top level
            case 3: text += "record P:\n    q: Int\n/// Leaks.\npub fn leak() -> P = P(q: 1)\n"; break;
            case 4: text += "// \xff\n"; break;                                      // not UTF-8
            case 5: text += "/// A box.\npub record Box[T]:\n    item: T\n/// Boxes.\npub fn boxed() -> Box[Int] = "
                            "Box(item: 1)\n"; break;
            default: break;
        }
        return text;
    }

    // A document: imports, top-level code using them, a function of its own.
    std::string document_text(Choices& c, const std::string& self) const {
        std::vector<std::string> imports;
        for (uint32_t n = c.below(8) == 0 ? 0 : 1 + c.below(3); n > 0; --n) {
            std::string name = imported_by(c, self, false, c.below(4) == 0);
            if (std::find(imports.begin(), imports.end(), name) == imports.end()) imports.push_back(name);
        }
        std::string text;
        for (const std::string& name : imports) text += "import " + name + "\n";
        text += "/// Local.\nfn local(x: Int) -> Int = x\n";
        for (const std::string& name : imports) {
            switch (c.below(8)) {
                case 0: case 1: case 2: case 3: text += "let a_" + name + " = " + name + ".f(1)\n"; break;
                case 4: text += "let b_" + name + " = " + name + ".make().v\n"; break;
                case 5:
                    if (c.below(3) == 0) text += "let c_" + name + " = " + name + ".boxed().item\n";
                    break;
                default: break;
            }
        }
        if (c.below(16) == 0) text += "let broken = (\n";
        return text;
    }

    // A project module's name, or the vendor module's.
    std::string any_module(Choices& c) const {
        const uint32_t pick = c.below(static_cast<uint32_t>(project_.size()) + 1);
        return pick < project_.size() ? project_[pick] : "v0";
    }

    // Half of the time clean, which also mends whatever mistake the module had.
    void write_module(Choices& c) {
        const std::string name = any_module(c);
        write(file_of(name), module_text(c, name, name == "v0", c.below(2) == 0));
    }

    std::optional<std::string> read(const std::filesystem::path& file) const {
        std::ifstream in(file, std::ios::binary);
        if (!in) return std::nullopt;
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }

    // A change inside a function body, which leaves the interface alone: f adds another number.
    void edit_body(Choices& c) {
        const std::string name = any_module(c);
        std::optional<std::string> text = read(file_of(name));
        if (!text) return;
        const std::string body = "(x: Int) -> Int = x + ";
        const std::size_t at = text->find(body);
        if (at == std::string::npos || at + body.size() >= text->size()) return;
        (*text)[at + body.size()] = static_cast<char>('0' + c.below(10));
        write(file_of(name), *text);
    }

    // A change that leaves the interface alone: a comment added or taken away.
    void touch_module(Choices& c) {
        const std::string name = any_module(c);
        std::optional<std::string> read_text = read(file_of(name));
        if (!read_text) return;
        std::string& text = *read_text;
        const std::string note = "// note\n";
        if (text.ends_with(note)) {
            text.resize(text.size() - note.size());
        } else {
            text += note;
        }
        write(file_of(name), text);
    }

    void remove_module(Choices& c) {
        const std::string name = any_module(c);
        std::error_code ec;
        std::filesystem::remove(file_of(name), ec);
        log_.push_back("remove " + name);
    }

    void write_stdlib(Choices& c) {
        const std::string name = kStdlib[c.below(3)];
        if (c.below(4) == 0) {
            std::error_code ec;
            std::filesystem::remove(root_ / "std" / (name + ".qn"), ec);
            log_.push_back("remove std/" + name);
            return;
        }
        write(root_ / "std" / (name + ".qn"), module_text(c, name, true, c.below(2) == 0));
    }

    // A document's name: an entry file, a project module, or a buffer without a file.
    static std::string any_document(Choices& c) {
        static const char* const names[] = {"d0", "d1", "m0", "m2", "untitled"};
        return names[c.below(5)];
    }

    std::string pick_open(Choices& c) const {
        if (open_.empty()) return uri_of("d0");
        auto it = open_.begin();
        std::advance(it, c.below(static_cast<uint32_t>(open_.size())));
        return *it;
    }

    std::optional<std::string> open(Choices& c) {
        const std::string name = any_document(c);
        const std::string uri = uri_of(name);
        std::string text = document_text(c, name);
        // Mostly the saved file and the buffer agree, as just after opening.
        if (name != "untitled" && c.below(12) != 0) write(root_ / "p" / (name + ".qn"), text);
        open_.insert(uri);
        buffers_[uri] = text;
        return both({{"jsonrpc", "2.0"},
                     {"method", "textDocument/didOpen"},
                     {"params", {{"textDocument", {{"uri", uri}, {"text", text}}}}}});
    }

    std::optional<std::string> change(Choices& c) {
        const std::string uri = pick_open(c);
        // Mostly typing at the end: a new line, or a new character on the last one; or taking the last
        // line away, which also takes away the mistake just typed.
        std::string text = buffers_.count(uri) ? buffers_[uri] : document_text(c, document_name(uri));
        switch (c.below(16)) {
            case 0: text = document_text(c, document_name(uri)); break;
            case 1: case 2: case 3: text += "let z" + std::to_string(++lines_typed_) + " = local(2)\n"; break;
            case 4:
                if (c.below(2) == 0) text += "let y" + std::to_string(++lines_typed_) + " = unknown\n";
                break;
            case 5: case 6: case 7: {
                // Only a line typed here: the document's own declarations stay.
                const std::size_t end = text.ends_with('\n') ? text.size() - 1 : text.size();
                const std::size_t start = end == 0 ? std::string::npos : text.rfind('\n', end - 1);
                const std::size_t line = start == std::string::npos ? 0 : start + 1;
                const std::string_view last = std::string_view(text).substr(line);
                if (last.starts_with("let z") || last.starts_with("let y") || last.starts_with("// ")) text.resize(line);
                break;
            }
            default: text += "// " + std::to_string(c.below(10)) + "\n"; break;
        }
        buffers_[uri] = text;
        open_.insert(uri);  // a change with a text stores it, even for a document never opened
        return both({{"jsonrpc", "2.0"},
                     {"method", "textDocument/didChange"},
                     {"params", {{"textDocument", {{"uri", uri}}}, {"contentChanges", {{{"text", text}}}}}}});
    }

    // Writes a document's buffer to its file, as saving does, and checks it again.
    std::optional<std::string> save(Choices& c) {
        const std::string uri = pick_open(c);
        const auto buffer = buffers_.find(uri);
        if (uri.starts_with("file://") && buffer != buffers_.end()) write(uri.substr(7), buffer->second);
        return both({{"jsonrpc", "2.0"},
                     {"method", "textDocument/didChange"},
                     {"params", {{"textDocument", {{"uri", uri}}}, {"contentChanges", nlohmann::json::array()}}}});
    }

    std::optional<std::string> close(const std::string& uri) {
        open_.erase(uri);
        buffers_.erase(uri);
        return both({{"jsonrpc", "2.0"},
                     {"method", "textDocument/didClose"},
                     {"params", {{"textDocument", {{"uri", uri}}}}}});
    }

    // Mostly on a name of the buffer (an import, a module, a function, a field), otherwise anywhere,
    // past the ends of lines and of the text included.
    std::optional<std::string> hover(Choices& c) {
        const std::string uri = pick_open(c);
        const auto buffer = buffers_.find(uri);
        const std::string text = buffer != buffers_.end() ? buffer->second : "";
        std::vector<std::string> lines(1);
        for (const char ch : text) {
            if (ch == '\n') {
                lines.emplace_back();
            } else {
                lines.back() += ch;
            }
        }
        // (line, start, length) of every word.
        std::vector<std::array<uint32_t, 3>> words;
        for (std::size_t l = 0; l < lines.size(); ++l) {
            const std::string& s = lines[l];
            for (std::size_t i = 0; i < s.size();) {
                const auto is_word = [&](const std::size_t k) {
                    return std::isalnum(static_cast<unsigned char>(s[k])) != 0 || s[k] == '_';
                };
                if (!is_word(i)) {
                    ++i;
                    continue;
                }
                std::size_t j = i;
                while (j < s.size() && is_word(j)) ++j;
                words.push_back({static_cast<uint32_t>(l), static_cast<uint32_t>(i), static_cast<uint32_t>(j - i)});
                i = j;
            }
        }
        uint32_t line = 0;
        uint32_t character = 0;
        // Half of the aimed hovers go to the names of functions, which hover can describe.
        std::vector<std::array<uint32_t, 3>> functions;
        for (const auto& word : words) {
            const std::string_view name = std::string_view(lines[word[0]]).substr(word[1], word[2]);
            if (name == "local" || name == "f" || name == "make" || name == "boxed") functions.push_back(word);
        }
        if (!functions.empty() && c.below(2) == 0) words = std::move(functions);
        if (!words.empty() && c.below(4) != 0) {
            const auto& [l, start, length] = words[c.below(static_cast<uint32_t>(words.size()))];
            line = l;
            character = start + c.below(length);
        } else {
            line = c.below(static_cast<uint32_t>(lines.size()) + 1);
            const uint32_t width = line < lines.size() ? static_cast<uint32_t>(lines[line].size()) : 0;
            character = c.below(4) == 0 ? c.below(40) : c.below(width + 2);
        }
        return both({{"jsonrpc", "2.0"},
                     {"id", 7},
                     {"method", "textDocument/hover"},
                     {"params", {{"textDocument", {{"uri", uri}}}, {"position", {{"line", line}, {"character", character}}}}}});
    }

    // Sends `message` to both servers and compares what they answer; then holds the reusing server to
    // keeping no more than its latest checks and hover use.
    std::optional<std::string> both(const nlohmann::json& message) {
        log_.push_back(message.dump());
        {
            // Dropped before what stays held is counted, as the main loop drops them.
            const HandleOutcome reused = reusing_.handle(message);
            const HandleOutcome scratch = scratch_.handle(message);
            if (reused.messages != scratch.messages) {
                return "answers differ:\n  reusing:      " + nlohmann::json(reused.messages).dump() +
                       "\n  from scratch: " + nlohmann::json(scratch.messages).dump();
            }
            for (const nlohmann::json& answer : reused.messages) count(answer, message, reused.check.work.has_value());
        }
        seen_.results_held += reusing_.caches.results.live();
        return held_beyond_use();
    }

    // `loaded`: the check answered loaded its program (for an open document, the server then holds
    // that check's work in place of the earlier one, which the outcome carries away).
    void count(const nlohmann::json& answer, const nlohmann::json& message, const bool loaded_program) {
        if (answer.contains("result")) {
            seen_.hover_texts += answer["result"].is_null() ? 0 : 1;
            return;
        }
        if (message["method"] == "textDocument/didClose") return;
        const std::string uri = answer["params"]["uri"].get<std::string>();
        const auto held = reusing_.latest_work.find(uri);
        const bool loaded = loaded_program && held != reusing_.latest_work.end() && held->second.trees.size() > 1;
        seen_.loaded += loaded ? 1 : 0;
        const nlohmann::json& diagnostics = answer["params"]["diagnostics"];
        if (diagnostics.empty()) {
            seen_.clean_with_imports += loaded ? 1 : 0;
        } else if (diagnostics[0]["message"].get<std::string>().starts_with("[")) {
            ++seen_.other_file_errors;
        } else {
            ++seen_.own_errors;
        }
    }

    std::optional<std::string> held_beyond_use() const {
        std::set<const void*> trees;
        std::set<const void*> results;
        for (const auto& [uri, work] : reusing_.latest_work) {
            for (const auto& tree : work.trees) trees.insert(tree.get());
            for (const auto& result : work.results) results.insert(result.get());
        }
        // Hover keeps the trees of its own latest check, which the cache may hand out again too.
        for (const auto& [uri, modules] : reusing_.hover_modules) {
            for (const auto& [name, tree] : modules) trees.insert(tree.get());
        }
        if (reusing_.caches.trees.live() > trees.size()) return "the parse cache has trees nothing uses";
        if (reusing_.caches.results.live() > results.size()) return "the result cache has results nothing uses";
        for (const auto& [uri, work] : reusing_.latest_work) {
            if (!open_.count(uri)) return "work held for a closed document: " + uri;
        }
        return std::nullopt;
    }

    std::vector<std::string> project_;  // m0, m1, ...
    std::filesystem::path root_;
    Server reusing_;
    Server scratch_;
    std::set<std::string> open_;
    std::map<std::string, std::string> buffers_;
    std::vector<std::string> log_;
    Seen seen_;
    uint32_t lines_typed_ = 0;
};

}  // namespace quellin::lsp::testing
