#include "modules/parse_cache.hpp"

#include <iterator>
#include <utility>

#include "common/utf8.hpp"

namespace quellin {

ParseCache::ParseCache(ParseCache&& other) noexcept : files_(std::move(other.files_)), taken_(other.taken_) {}

ParseCache& ParseCache::operator=(ParseCache&& other) noexcept {
    files_ = std::move(other.files_);
    taken_ = other.taken_;
    return *this;
}

namespace {

// The tree of an entry, holding the whole entry, the bytes with it.
template <class Entry>
std::shared_ptr<const ast::Program> tree_of(std::shared_ptr<const Entry> entry) {
    const ast::Program* tree = &entry->program;
    return std::shared_ptr<const ast::Program>(std::move(entry), tree);
}

}  // namespace

std::shared_ptr<const ast::Program> ParseCache::find(const std::filesystem::path& path, const std::string_view bytes) {
    std::shared_ptr<const Parsed> parsed;
    {
        const std::lock_guard lock(mutex_);
        const auto found = files_.find(path.native());
        if (found == files_.end()) return nullptr;
        parsed = found->second.lock();
        if (parsed == nullptr || parsed->text != bytes) return nullptr;
        ++taken_;
    }
    return tree_of(std::move(parsed));
}

std::shared_ptr<const ast::Program> ParseCache::add(const std::filesystem::path& path, std::string text,
                                                    ast::Program program) {
    return remember(path, std::move(text), std::move(program), Keep::Always);
}

std::shared_ptr<const ast::Program> ParseCache::offer(const std::filesystem::path& path, std::string text,
                                                      ast::Program program) {
    // Loads take the trees of bytes that were text when read, without looking again: a text that is
    // not UTF-8, which no load accepts, is never kept.
    const Keep keep = is_valid_utf8(text) ? Keep::UnlessLive : Keep::Never;
    return remember(path, std::move(text), std::move(program), keep);
}

std::shared_ptr<const ast::Program> ParseCache::remember(const std::filesystem::path& path, std::string text,
                                                         ast::Program program, const Keep keep) {
    // Made apart from its control block, so that the memory goes back as soon as the last holder lets
    // go, however long the cache's weak reference stays.
    std::shared_ptr<const Parsed> parsed(std::make_unique<const Parsed>(Parsed{std::move(text), std::move(program)}));
    if (keep != Keep::Never) {
        const std::lock_guard lock(mutex_);
        const auto [slot, added] = files_.try_emplace(path.native(), parsed);
        if (!added && (keep == Keep::Always || slot->second.expired())) slot->second = parsed;
    }
    return tree_of(std::move(parsed));
}

void ParseCache::sweep() {
    const std::lock_guard lock(mutex_);
    for (auto it = files_.begin(); it != files_.end();) {
        it = it->second.expired() ? files_.erase(it) : std::next(it);
    }
}

std::size_t ParseCache::live() const {
    const std::lock_guard lock(mutex_);
    std::size_t count = 0;
    for (const auto& [path, parsed] : files_) count += parsed.expired() ? 0 : 1;
    return count;
}

std::size_t ParseCache::taken() const {
    const std::lock_guard lock(mutex_);
    return taken_;
}

}  // namespace quellin
