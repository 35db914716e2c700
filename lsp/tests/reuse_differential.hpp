#pragma once
// Two servers, one taking work over from earlier checks and one checking every time from scratch,
// given the same messages while the files on disk change between them: every answer must be the same.
// The steps are chosen by a source of numbers (a seeded generator in the test, the input bytes in the
// fuzz target) over a small world: project modules that import each other (cycles, self-imports and
// missing modules included), a vendor module, standard-library modules, documents opened, changed,
// saved, closed and hovered. Shared by lsp/tests/reuse_differential_test.cpp and fuzz/fuzz_reuse.cpp.

#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
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
    ReuseDifferential() {
        std::string pattern = (std::filesystem::temp_directory_path() / "quellin-reuse-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) return;
        root_ = pattern;
        std::error_code ec;
        std::filesystem::create_directories(root_ / "p" / "vendor", ec);
        std::filesystem::create_directories(root_ / "std", ec);
        // Every module is there to begin with; steps change, remove and add them.
        SeededChoices first(0);
        for (const char* name : kProject) write(file_of(name), module_text(first, name));
        write(file_of("v0"), module_text(first, "v0"));
        for (const char* name : kStdlib) write(root_ / "std" / (std::string(name) + ".qn"), module_text(first, name));
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
        const uint32_t pick = c.below(40);
        if (pick < 8) {
            write_module(c);
        } else if (pick < 12) {
            touch_module(c);
        } else if (pick < 13) {
            remove_module(c);
        } else if (pick < 15) {
            write_stdlib(c);
        } else if (pick < 18) {
            return open(c);
        } else if (pick < 27) {
            return change(c);
        } else if (pick < 29) {
            return save(c);
        } else if (pick < 30) {
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
    // diagnostics naming another file, clean checks of documents that import, hovers that found a
    // function, and (summed over the steps) results of imported modules held for reuse.
    struct Seen {
        uint64_t own_errors = 0;
        uint64_t other_file_errors = 0;
        uint64_t clean_with_imports = 0;
        uint64_t hover_texts = 0;
        uint64_t results_held = 0;
    };
    const Seen& seen() const { return seen_; }

private:
    static constexpr const char* kProject[] = {"m0", "m1", "m2", "m3", "m4"};
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
    static std::string imported_by(Choices& c, const std::string& self) {
        static const char* const project[] = {"m0", "m1", "m2", "m3", "m4", "v0", "s0", "s1"};
        static const char* const library[] = {"s0", "s1", "m1"};
        const bool in_library = self == "v0" || self == "s0" || self == "s1";
        const char* const* names = in_library ? library : project;
        const uint32_t count = in_library ? 3 : 8;
        if (c.below(48) == 0) return c.below(2) == 0 ? "nowhere" : self;
        uint32_t after = 0;
        while (after < count && names[after] != self) ++after;
        if (after + 1 < count && c.below(6) != 0) return names[after + 1 + c.below(count - after - 1)];
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
    // imports, and now and then a mistake of some kind.
    static std::string module_text(Choices& c, const std::string& self) {
        std::vector<std::string> imports;
        for (uint32_t n = c.below(3); n > 0; --n) {
            std::string name = imported_by(c, self);
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
                case 4: text += "fn hidden_" + name + "() -> Int = " + name + ".hidden()\n"; break;
                default: break;
            }
        }
        text += "fn hidden() -> Int = 2\n";
        switch (c.below(24)) {
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
    static std::string document_text(Choices& c, const std::string& self) {
        std::vector<std::string> imports;
        for (uint32_t n = c.below(4); n > 0; --n) {
            std::string name = imported_by(c, self);
            if (std::find(imports.begin(), imports.end(), name) == imports.end()) imports.push_back(name);
        }
        std::string text;
        for (const std::string& name : imports) text += "import " + name + "\n";
        text += "/// Local.\nfn local(x: Int) -> Int = x\n";
        for (const std::string& name : imports) {
            switch (c.below(8)) {
                case 0: case 1: case 2: case 3: text += "let a_" + name + " = " + name + ".f(1)\n"; break;
                case 4: text += "let b_" + name + ": Int = " + name + ".make().v\n"; break;
                case 5: text += "let c_" + name + " = " + name + ".boxed().item\n"; break;
                default: break;
            }
        }
        if (c.below(16) == 0) text += "let broken = (\n";
        return text;
    }

    void write_module(Choices& c) {
        const uint32_t pick = c.below(6);
        const std::string name = pick < 5 ? kProject[pick] : "v0";
        write(file_of(name), module_text(c, name));
    }

    // A change that leaves the interface alone: a comment added or taken away.
    void touch_module(Choices& c) {
        const std::string name = kProject[c.below(5)];
        std::ifstream in(file_of(name), std::ios::binary);
        if (!in) return;
        std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        const std::string note = "// note\n";
        if (text.ends_with(note)) {
            text.resize(text.size() - note.size());
        } else {
            text += note;
        }
        write(file_of(name), text);
    }

    void remove_module(Choices& c) {
        const uint32_t pick = c.below(6);
        const std::string name = pick < 5 ? kProject[pick] : "v0";
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
        write(root_ / "std" / (name + ".qn"), module_text(c, name));
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
        if (name != "untitled" && c.below(6) != 0) write(root_ / "p" / (name + ".qn"), text);
        open_.insert(uri);
        buffers_[uri] = text;
        return both({{"jsonrpc", "2.0"},
                     {"method", "textDocument/didOpen"},
                     {"params", {{"textDocument", {{"uri", uri}, {"text", text}}}}}});
    }

    std::optional<std::string> change(Choices& c) {
        const std::string uri = pick_open(c);
        // Mostly typing at the end: a new line, or a new character on the last one.
        std::string text = buffers_.count(uri) ? buffers_[uri] : document_text(c, document_name(uri));
        switch (c.below(10)) {
            case 0: text = document_text(c, document_name(uri)); break;
            case 1: case 2: text += "let z" + std::to_string(++lines_typed_) + " = local(2)\n"; break;
            case 3: text += "let y" + std::to_string(++lines_typed_) + " = unknown\n"; break;
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
        if (uri.starts_with("file://")) write(uri.substr(7), buffers_[uri]);
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

    // Anywhere, but mostly on a line of the buffer, where the names are.
    std::optional<std::string> hover(Choices& c) {
        const std::string uri = pick_open(c);
        const std::string& text = buffers_[uri];
        std::vector<std::string> lines(1);
        for (const char ch : text) {
            if (ch == '\n') {
                lines.emplace_back();
            } else {
                lines.back() += ch;
            }
        }
        const uint32_t line = c.below(static_cast<uint32_t>(lines.size()) + 1);
        const uint32_t width = line < lines.size() ? static_cast<uint32_t>(lines[line].size()) : 0;
        const uint32_t character = c.below(4) == 0 ? c.below(40) : c.below(width + 2);
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
            for (const nlohmann::json& answer : reused.messages) count(answer, reused.check);
        }
        seen_.results_held += reusing_.caches.results.live();
        return held_beyond_use();
    }

    void count(const nlohmann::json& answer, const CheckOutcome& check) {
        if (answer.contains("result")) {
            seen_.hover_texts += answer["result"].is_null() ? 0 : 1;
            return;
        }
        const nlohmann::json& diagnostics = answer["params"]["diagnostics"];
        if (diagnostics.empty()) {
            seen_.clean_with_imports += check.work && !check.work->trees.empty() ? 1 : 0;
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
