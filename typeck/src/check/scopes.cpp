// Scopes, name declaration and lookup, and the checking of function bodies in isolation from the
// top-level code.

#include <algorithm>

#include "check/checker.hpp"

namespace quellin::typeck {

namespace {

// Parks the top-level scopes while a function body is checked, and puts everything back on every
// way out, so a failed body leaves the checker as it found it.
class FnBodyScope {
public:
    FnBodyScope(Checker& c, Type ret, std::vector<std::string> type_params)
        : c_(c), saved_ret_(std::move(c.ret)), saved_type_params_(std::move(c.type_params)) {
        c_.ret = std::move(ret);
        c_.type_params = std::move(type_params);
        c_.park_top_level_scopes();
    }
    FnBodyScope(const FnBodyScope&) = delete;
    FnBodyScope& operator=(const FnBodyScope&) = delete;
    ~FnBodyScope() {
        c_.restore_top_level_scopes();
        c_.ret = std::move(saved_ret_);
        c_.type_params = std::move(saved_type_params_);
    }

private:
    Checker& c_;
    std::optional<Type> saved_ret_;
    std::vector<std::string> saved_type_params_;
};

bool if_definitely_returns(const ast::StmtKind::If& s) {
    if (!s.else_block || !block_definitely_returns(s.else_block->stmts)) return false;
    return std::all_of(s.branches.begin(), s.branches.end(),
                       [](const ast::IfBranch& b) { return block_definitely_returns(b.block.stmts); });
}

bool match_definitely_returns(const ast::StmtKind::Match& s) {
    return std::all_of(s.arms.begin(), s.arms.end(),
                       [](const ast::MatchArm& arm) { return block_definitely_returns(arm.body.stmts); });
}

}  // namespace

Scope::Scope(std::initializer_list<std::pair<std::string, VarInfo>> entries) {
    for (const auto& [name, info] : entries) add(name, info);
}

const VarInfo* Scope::find(const std::string& name) const {
    if (!index_.empty()) {
        const auto it = index_.find(name);
        return it == index_.end() ? nullptr : &entries_[it->second].second;
    }
    for (auto entry = entries_.rbegin(); entry != entries_.rend(); ++entry) {
        if (entry->first == name) return &entry->second;
    }
    return nullptr;
}

void Scope::add(std::string name, VarInfo info) {
    // Most blocks declare a few names: one allocation instead of growing one name at a time.
    if (entries_.empty()) entries_.reserve(4);
    entries_.emplace_back(std::move(name), std::move(info));
    if (entries_.size() == kIndexedFrom) {
        for (std::size_t i = 0; i < entries_.size(); ++i) index_.emplace(entries_[i].first, i);
    } else if (entries_.size() > kIndexedFrom) {
        index_.emplace(entries_.back().first, entries_.size() - 1);
    }
}

bool SeenNames::insert(std::string_view name) {
    const auto scanned_end = first_.begin() + static_cast<std::ptrdiff_t>(count_);
    if (count_ < kScanned) {
        if (std::find(first_.begin(), scanned_end, name) != scanned_end) return false;
        first_[count_++] = name;
        return true;
    }
    if (all_.empty()) all_.insert(first_.begin(), first_.end());
    return all_.insert(name).second;
}

Checker::Checker(std::string module_name) : scopes(1), module(std::move(module_name)) {}

Status Checker::declare(const std::string& name, Type ty, bool is_mutable, Span pos) {
    if (!untaken_names_.contains(name)) {
        QN_TRY(check_name_free(name, NameUse::Variable, pos));
        if (declarations_collected_) untaken_names_.insert(name);
    }
    if (scopes.empty()) internal_fault("scope stack never empty");
    Scope& innermost = scopes.back();
    if (innermost.contains(name)) return fail(TypeDiag::AlreadyDeclaredInScope, pos, name);
    innermost.add(name, VarInfo{std::move(ty), is_mutable});
    return {};
}

const VarInfo* Checker::lookup(const std::string& name) const {
    for (auto scope = scopes.rbegin(); scope != scopes.rend(); ++scope) {
        if (const VarInfo* info = scope->find(name)) return info;
    }
    return nullptr;
}

TResult<Type> Checker::conform(const std::optional<Type>& expected, Type found, Span pos) const {
    if (!expected || *expected == found) return found;
    return fail(TypeDiag::TypeMismatch, pos, *expected, found);
}

bool Checker::captured_in_lambda(const std::string& name) const {
    if (lambda_bases.empty()) return false;
    const size_t base = lambda_bases.back();
    for (size_t i = scopes.size(); i-- > 0;) {
        if (scopes[i].contains(name)) return i < base;
    }
    return false;
}

void Checker::park_top_level_scopes() {
    std::swap(scopes, outer_scopes);
    scopes.clear();
    scopes.emplace_back();
}

void Checker::restore_top_level_scopes() {
    std::swap(scopes, outer_scopes);
    outer_scopes.clear();
}

bool Checker::in_outer_scopes(const std::string& name) const {
    return std::any_of(outer_scopes.begin(), outer_scopes.end(),
                       [&](const Scope& scope) { return scope.contains(name); });
}

const FnSig& Checker::signature_of(const ast::StmtKind::FnDecl& decl) {
    if (next_collected_sig_ < collected_sigs_.size() && collected_sigs_[next_collected_sig_].first == &decl) {
        return *collected_sigs_[next_collected_sig_++].second;
    }
    const auto found = fns.find(decl.name);
    if (found == fns.end()) internal_fault("signature collected in the first pass");
    return found->second;
}

Status Checker::check_fn(const ast::StmtKind::FnDecl& decl, Span pos) {
    const FnSig& sig = signature_of(decl);

    const FnBodyScope body_scope(*this, sig.ret, decl.type_params);
    const size_t declared = std::min(decl.params.size(), sig.params.size());
    for (size_t i = 0; i < declared; ++i) {
        QN_TRY(declare(decl.params[i].name, sig.params[i], false, decl.params[i].span));
    }

    if (const auto* block = std::get_if<ast::FnBody::Block>(&decl.body.v)) {
        for (const ast::Stmt& stmt : block->block.stmts) QN_TRY(check_stmt(stmt));
        if (sig.ret != Type::void_() && !block_definitely_returns(block->block.stmts)) {
            return fail(TypeDiag::FunctionMissingReturn, pos, decl.name, sig.ret);
        }
        return {};
    }
    const auto& body = std::get<ast::FnBody::Expr>(decl.body.v);
    QN_TRY(check_expr(body.expr, sig.ret));
    return {};
}

bool block_definitely_returns(const ast::Vec<ast::Stmt>& stmts) {
    return std::any_of(stmts.begin(), stmts.end(), [](const ast::Stmt& stmt) {
        if (ast::as<ast::StmtKind::Return>(stmt)) return true;
        if (const auto* s = ast::as<ast::StmtKind::If>(stmt)) return if_definitely_returns(*s);
        if (const auto* s = ast::as<ast::StmtKind::Match>(stmt)) return match_definitely_returns(*s);
        return false;
    });
}

}  // namespace quellin::typeck
