#pragma once
// Loading ahead in the passes over a module's top-level statements.
//
// The parser gives each declaration's node the next place in the tree's arena and carves the nodes of
// its parameters and body after it, so consecutive declarations lie kilobytes apart: too far apart for
// the processor to see a pass coming. Once a tree outgrows the caches (a file of 100,000 lines makes a
// tree of about 30 MiB), every declaration a pass reaches, and every body the checker enters, would
// wait for memory. These hints ask for that memory a little earlier. They change no result: a
// prefetch never faults, and an address that turns out not to be needed costs one cache line.
//
// Every helper here is inlined by force. GCC counts a prefetch as free of side effects, so it finds
// a function that only prefetches to do nothing and drops calls to it that are not inlined first.

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "ast/ast.hpp"

namespace quellin::typeck {

// How many statements ahead of the one being handled a declaration pass asks for a declaration's
// node, and then, once that has arrived, for the list the node points to (parameters or fields).
inline constexpr std::size_t kNodesAhead = 16;
inline constexpr std::size_t kListsAhead = 8;
// The most asked for at once: a node, or the first entries of a list.
inline constexpr std::size_t kNodeBytes = 512;
// The most the checker asks for ahead of a body: a long function's remaining nodes are found in time
// by the processor itself once the checker walks through them in order.
inline constexpr std::size_t kBodyBytes = 16 * 1024;

[[gnu::always_inline]] inline void prefetch_bytes(const void* from, std::size_t bytes) {
    constexpr std::size_t kLine = 64;
    const char* const first = static_cast<const char*>(from);
    for (std::size_t offset = 0; offset < bytes; offset += kLine) __builtin_prefetch(first + offset);
}

// The node of the function, record or enum that `stmt` declares; null for any other statement.
[[gnu::always_inline]] inline const void* declaration_node(const ast::Stmt& stmt) {
    if (const auto* fn = ast::as<ast::StmtKind::FnDecl>(stmt)) return fn;
    if (const auto* record = ast::as<ast::StmtKind::RecordDecl>(stmt)) return record;
    return ast::as<ast::StmtKind::EnumDecl>(stmt);
}

// The list a declaration's checking starts from: a function's parameters, a record's fields, an
// enum's variants.
inline const auto& first_list(const ast::StmtKind::FnDecl& fn) { return fn.params; }
inline const auto& first_list(const ast::StmtKind::RecordDecl& record) { return record.fields; }
inline const auto& first_list(const ast::StmtKind::EnumDecl& enum_decl) { return enum_decl.variants; }

// In a pass over the declarations of the kind `Decl`, while at stmts[i]: asks for the node of such a
// declaration a few statements on, and for the first list of one nearer, whose node came in by now.
template <class Decl>
[[gnu::always_inline]] inline void prefetch_declarations_ahead(const ast::Vec<ast::Stmt>& stmts, std::size_t i) {
    if (i + kNodesAhead < stmts.size()) {
        if (const Decl* node = ast::as<Decl>(stmts[i + kNodesAhead])) prefetch_bytes(node, sizeof(Decl));
    }
    if (i + kListsAhead < stmts.size()) {
        if (const Decl* node = ast::as<Decl>(stmts[i + kListsAhead])) {
            const auto& list = first_list(*node);
            prefetch_bytes(list.data(), std::min(list.size() * sizeof(list[0]), kNodeBytes));
        }
    }
}

// Before checking stmts[i], when stmts[i + 1] declares a function: asks for everything parsed for
// that function, from its node up to the node of the declaration after it (at most kBodyBytes), so
// that it arrives while stmts[i] is checked.
[[gnu::always_inline]] inline void prefetch_next_function(const ast::Vec<ast::Stmt>& stmts, std::size_t i) {
    if (i + 1 >= stmts.size()) return;
    const auto* fn = ast::as<ast::StmtKind::FnDecl>(stmts[i + 1]);
    if (fn == nullptr) return;
    std::size_t bytes = kNodeBytes;
    if (i + 2 < stmts.size()) {
        if (const void* next = declaration_node(stmts[i + 2])) {
            const auto from = reinterpret_cast<std::uintptr_t>(fn);
            const auto to = reinterpret_cast<std::uintptr_t>(next);
            // The next declaration may sit in another arena block, anywhere in memory, so only a short
            // forward span is taken for the function's own.
            if (to > from && to - from <= kBodyBytes) bytes = static_cast<std::size_t>(to - from);
        }
    }
    prefetch_bytes(fn, bytes);
}

}  // namespace quellin::typeck
