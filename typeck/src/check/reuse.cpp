#include "check/reuse.hpp"

#include <algorithm>
#include <iterator>
#include <string_view>
#include <unordered_map>
#include <utility>

namespace quellin::typeck {

namespace {

// Drops the results that no longer live, and the names left with none.
void sweep(std::unordered_map<std::string, std::vector<std::weak_ptr<const ModuleResult>>>& by_name) {
    for (auto it = by_name.begin(); it != by_name.end();) {
        auto& kept = it->second;
        kept.erase(std::remove_if(kept.begin(), kept.end(), [](const auto& result) { return result.expired(); }),
                   kept.end());
        it = kept.empty() ? by_name.erase(it) : std::next(it);
    }
}

}  // namespace

ModuleResults::ModuleResults(ModuleResults&& other) noexcept
    : by_name_(std::move(other.by_name_)), taken_(other.taken_) {}

ModuleResults& ModuleResults::operator=(ModuleResults&& other) noexcept {
    by_name_ = std::move(other.by_name_);
    taken_ = other.taken_;
    return *this;
}

std::size_t ModuleResults::live() const {
    const std::lock_guard lock(mutex_);
    std::size_t count = 0;
    for (const auto& [name, kept] : by_name_) {
        count += static_cast<std::size_t>(
            std::count_if(kept.begin(), kept.end(), [](const auto& result) { return !result.expired(); }));
    }
    return count;
}

std::size_t ModuleResults::taken() const {
    const std::lock_guard lock(mutex_);
    return taken_;
}

void ModuleResults::sweep() {
    const std::lock_guard lock(mutex_);
    typeck::sweep(by_name_);
}

Reuse::Reuse(ModuleResults& results, const std::vector<ModuleInput>& modules)
    : results_(results), modules_(modules), reaches_(modules.size()), interfaces_(modules.size()) {
    {
        const std::lock_guard lock(results_.mutex_);
        sweep(results_.by_name_);
    }
    // A module's import of m refers to the latest module called m before it, as the checker's
    // interfaces by name do; a name not (yet) checked refers to nothing.
    std::unordered_map<std::string_view, uint32_t> latest;
    for (std::size_t i = 0; i < modules_.size(); ++i) {
        std::vector<uint32_t>& reached = reaches_[i];
        for (const ast::Stmt& stmt : modules_[i].second->stmts) {
            const auto* import = ast::as<ast::StmtKind::Import>(stmt);
            if (import == nullptr) continue;
            const auto found = latest.find(import->module);
            if (found == latest.end()) continue;
            reached.push_back(found->second);
            reached.insert(reached.end(), reaches_[found->second].begin(), reaches_[found->second].end());
        }
        std::sort(reached.begin(), reached.end());
        reached.erase(std::unique(reached.begin(), reached.end()), reached.end());
        latest.insert_or_assign(modules_[i].first, static_cast<uint32_t>(i));
    }
}

bool Reuse::imports_match(const std::size_t index, const ModuleResult& result) const {
    const std::vector<uint32_t>& reached = reaches_[index];
    if (result.imported.size() != reached.size()) return false;
    for (std::size_t k = 0; k < reached.size(); ++k) {
        if (result.imported[k] != interfaces_[reached[k]]) return false;
    }
    return true;
}

std::shared_ptr<const ModuleResult> Reuse::find(const std::size_t index) {
    const auto& [name, program] = modules_[index];
    const std::lock_guard lock(results_.mutex_);
    const auto kept = results_.by_name_.find(name);
    if (kept == results_.by_name_.end()) return nullptr;
    for (const auto& weak : kept->second) {
        std::shared_ptr<const ModuleResult> result = weak.lock();
        if (result == nullptr || result->program != program || !imports_match(index, *result)) continue;
        interfaces_[index] = result->api;
        ++results_.taken_;
        return result;
    }
    return nullptr;
}

std::shared_ptr<const ModuleResult> Reuse::add(const std::size_t index, std::shared_ptr<const ModuleApi> api,
                                               std::optional<TypeError> error) {
    const auto& [name, program] = modules_[index];
    const std::lock_guard lock(results_.mutex_);
    std::vector<std::weak_ptr<const ModuleResult>>& kept = results_.by_name_[name];
    if (api != nullptr) {
        for (const auto& weak : kept) {
            const std::shared_ptr<const ModuleResult> earlier = weak.lock();
            if (earlier != nullptr && earlier->api != nullptr && *earlier->api == *api) {
                api = earlier->api;
                break;
            }
        }
    }
    std::vector<std::shared_ptr<const ModuleApi>> imported;
    imported.reserve(reaches_[index].size());
    for (const uint32_t reached : reaches_[index]) imported.push_back(interfaces_[reached]);
    // Made apart from its control block, so that the memory goes back as soon as the last holder lets
    // go, however long the cache's weak reference stays.
    std::shared_ptr<const ModuleResult> result(std::make_unique<const ModuleResult>(
        ModuleResult{name, program, std::move(imported), std::move(api), std::move(error)}));
    kept.push_back(result);
    interfaces_[index] = result->api;
    return result;
}

}  // namespace quellin::typeck
