#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <set>
#include <utility>

#include "ast/arena.hpp"
#include "ast/ast.hpp"

namespace quellin::ast {
namespace {

bool aligned(const void* p, std::size_t align) { return reinterpret_cast<std::uintptr_t>(p) % align == 0; }

TEST(Arena, HandsOutAlignedDistinctMemoryAcrossBlocks) {
    Arena arena;
    std::set<const void*> seen;
    // Small requests, a run long enough to fill several blocks, and requests large enough for a block
    // of their own.
    for (const std::size_t size : {0u, 1u, 8u, 24u, 72u, 328u, 4095u, 4096u, 20000u, 100000u}) {
        for (int i = 0; i < 64; ++i) {
            for (const std::size_t align : {std::size_t{1}, std::size_t{8}, alignof(std::max_align_t)}) {
                void* p = arena.allocate(size, align);
                ASSERT_TRUE(aligned(p, align)) << size << " " << align;
                ASSERT_TRUE(seen.insert(p).second) << size;
                std::memset(p, 0xAB, size);  // under AddressSanitizer, a short block would show here
                if (size == 0) {
                    // An empty request may be given back like any other without touching its neighbours.
                    arena.deallocate(p, 0, align);
                    seen.erase(p);
                }
            }
        }
    }
}

TEST(Arena, ReusesGivenBackSlotsOfTheSameSizeClass) {
    Arena arena;
    void* small = arena.allocate(48, 8);
    arena.deallocate(small, 48, 8);
    EXPECT_EQ(arena.allocate(41, 8), small);   // same 8-byte class
    void* other = arena.allocate(48, 8);       // the slot is taken again
    EXPECT_NE(other, small);
    arena.deallocate(other, 48, 8);
    EXPECT_NE(arena.allocate(56, 8), other);   // a larger class does not take it
    void* big = arena.allocate(50000, 8);      // a block of its own, freed at once
    arena.deallocate(big, 50000, 8);
    void* next = arena.allocate(64, 8);
    EXPECT_NE(next, nullptr);
    void* empty = arena.allocate(0, 8);        // an empty request has a slot of its own
    EXPECT_NE(empty, arena.allocate(8, 8));
}

// A list or a box is made in the arena it is given, and on the heap without one; copies of either are
// on the heap, and moving a list takes its arena along.
TEST(Arena, ListsAndBoxesLiveWhereTheyAreMade) {
    Arena arena;
    Vec<Expr> in_arena{ArenaAllocator<Expr>(&arena)};
    in_arena.push_back(Expr{ExprKind{ExprKind::Int{1}}, {1, 1}});
    EXPECT_EQ(in_arena.get_allocator(), ArenaAllocator<Expr>(&arena));
    EXPECT_EQ(Vec<Expr>().get_allocator(), ArenaAllocator<Expr>());

    const Vec<Expr> copied = in_arena;
    EXPECT_EQ(copied.get_allocator(), ArenaAllocator<Expr>());
    Vec<Expr> moved;
    moved = std::move(in_arena);
    EXPECT_EQ(moved.get_allocator(), ArenaAllocator<Expr>(&arena));

    // Boxes in the arena are never freed one by one (AddressSanitizer would report a free of memory the
    // heap did not give); the copy of one is.
    const Box<Expr> boxed(arena, std::in_place, Expr{ExprKind{ExprKind::Int{2}}, {1, 1}});
    const Box<Expr> copy = boxed;
    EXPECT_EQ(std::get<ExprKind::Int>(copy->kind.v).value, 2);
}

// A tree built in an arena and copied must not share memory with the arena: the copy outlives it
// (AddressSanitizer reports any read of the freed blocks).
TEST(Arena, CopiesOutliveTheArena) {
    Expr copy{ExprKind{ExprKind::Unit{}}, {1, 1}};
    Vec<Stmt> stmts_copy;
    {
        Arena arena;
        Vec<Expr> args{ArenaAllocator<Expr>(&arena)};
        for (int i = 0; i < 40; ++i) args.push_back(Expr{ExprKind{ExprKind::Int{i}}, {1, 1}});
        Box<Expr> callee(arena, std::in_place, Expr{ExprKind{ExprKind::Ident{"a_name_longer_than_fifteen"}}, {1, 1}});
        const Expr built{ExprKind{ExprKind::Call{std::move(callee), std::move(args)}}, {1, 1}};
        Vec<Stmt> stmts{ArenaAllocator<Stmt>(&arena)};
        stmts.push_back(Stmt{StmtKind{StmtKind::Expr{built}}, {2, 1}});
        copy = built;
        stmts_copy = stmts;
    }
    const auto& call = std::get<ExprKind::Call>(copy.kind.v);
    ASSERT_EQ(call.args.size(), 40u);
    EXPECT_EQ(std::get<ExprKind::Int>(call.args[39].kind.v).value, 39);
    EXPECT_EQ(std::get<ExprKind::Ident>(call.callee->kind.v).name, "a_name_longer_than_fifteen");
    ASSERT_EQ(stmts_copy.size(), 1u);
    const auto& kept = std::get<StmtKind::Expr>(stmts_copy[0].kind.v).expr;
    EXPECT_EQ(std::get<ExprKind::Call>(kept.kind.v).args.size(), 40u);
}

}  // namespace
}  // namespace quellin::ast
