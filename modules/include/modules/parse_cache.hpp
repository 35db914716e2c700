#pragma once
// Syntax trees of the files the loader read, for later loads to take over: a file read again with
// exactly the same bytes keeps its tree instead of being parsed again.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>

#include "ast/ast.hpp"

namespace quellin {

// The cache owns no tree. A tree lives as long as something holds it (a module list, a checker's
// result), and the cache hands it out again only while it lives: so what it keeps is bounded by what
// its users hold, and holding nothing frees everything.
//
// Loads on several threads may share one cache: each call locks it for its own duration. A tree is
// never changed once made, so the threads may read the trees it hands out at the same time.
class ParseCache {
public:
    ParseCache() = default;
    // Moving is not a use: the cache moved from must not be in use on another thread.
    ParseCache(ParseCache&& other) noexcept;
    ParseCache& operator=(ParseCache&& other) noexcept;

    // The tree parsed earlier from exactly `bytes`, read from `path`, if it still lives.
    std::shared_ptr<const ast::Program> find(const std::filesystem::path& path, std::string_view bytes);

    // Remembers `program`, parsed from `text` read from `path`, in place of any earlier tree of that
    // path, and returns it to be held.
    std::shared_ptr<const ast::Program> add(const std::filesystem::path& path, std::string text,
                                            ast::Program program);

    // Remembers `program`, parsed from `text`, as a tree of the file at `path` unless a tree of that
    // path lives already, and returns it to be held either way. For a document parsed from its
    // editor's text: loads that read its file with the same bytes take its tree, while the tree of
    // the file as last read, which loads meet far more often, is never displaced by it. A text that is
    // not UTF-8 is handed back but not kept.
    std::shared_ptr<const ast::Program> offer(const std::filesystem::path& path, std::string text,
                                              ast::Program program);

    // Forgets the trees that no longer live.
    void sweep();

    // How many trees it could hand out now.
    std::size_t live() const;

    // How many times `find` has handed out a tree.
    std::size_t taken() const;

private:
    // A tree and the bytes it was parsed from, in one allocation that goes when the tree does.
    struct Parsed {
        std::string text;
        ast::Program program;
    };

    enum class Keep : uint8_t { Always, UnlessLive, Never };

    // Makes the entry of `program` and `text`, remembers it for `path` as `keep` says, and returns its
    // tree to be held.
    std::shared_ptr<const ast::Program> remember(const std::filesystem::path& path, std::string text,
                                                 ast::Program program, Keep keep);

    mutable std::mutex mutex_;
    // Keyed by the path as the loader built it.
    std::unordered_map<std::string, std::weak_ptr<const Parsed>> files_;
    std::size_t taken_ = 0;
};

}  // namespace quellin
