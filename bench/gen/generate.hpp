#pragma once
// Deterministic generators of QUELLIN programs for the benchmarks: realistic code of a requested size
// (one file, or a graph of modules that import each other) and the pathological shapes that probe the
// bounds of each stage. Every program produced here checks clean.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace quellin::gen {

// One generated source file: the module name (its file stem) and its text.
struct SourceFile {
    std::string name;
    std::string text;
};

// A single entry file of exactly `lines` lines (more only when `lines` is too small to hold the smallest
// program with a `main`). Records, enums, generics, lambdas, matches, loops, text interpolation and
// method calls appear in the proportions of ordinary application code.
std::string generate_program(uint32_t lines, uint64_t seed = 1);

// `modules` files of `lines_per_module` lines each: `modules - 1` library modules ("mod000", ...) that
// import each other without cycles (every import points to a higher-numbered module, so the import
// chains stay short), and last the entry module "main", which imports the first library modules and
// declares `main`. The order is the file order, not the loader's order.
std::vector<SourceFile> generate_module_graph(uint32_t modules, uint32_t lines_per_module, uint64_t seed = 1);

// `modules` library modules ("mod000", ...) of `lines_per_module` lines each, importing each other as a
// binary tree: module k imports modules 2k+1 and 2k+2 when they exist, so "mod000" is the root that
// reaches them all and no module is reached twice. The order is the file order.
std::vector<SourceFile> generate_module_tree(uint32_t modules, uint32_t lines_per_module, uint64_t seed = 1);

// Writes each file as "{name}.qn" into `dir` (created if needed). Returns the path of the last file
// (the entry module), or an empty path when a file could not be written.
std::filesystem::path write_files(const std::filesystem::path& dir, const std::vector<SourceFile>& files);

// Pathological shapes.

// An enum of `variants` variants (every other one with a payload) matched exhaustively, arm by arm.
std::string wide_enum_program(uint32_t variants);

// `records` records, each holding the previous one by value in `fanout` fields (1: a plain chain;
// 2: a ladder whose number of containment paths doubles with every rung).
std::string value_chain_program(uint32_t records, uint32_t fanout = 1);

// `depth` `if` blocks nested inside one function body.
std::string nested_blocks_program(uint32_t depth);

// `depth` nested parentheses inside one expression: ((((x + 1) * 2 + 1) * 2 ...).
std::string nested_parens_program(uint32_t depth);

// One expression-bodied function whose body is a chain of `terms` terms joined by + and *.
std::string operator_chain_program(uint32_t terms);

// The number of line feeds in `text`.
uint32_t count_lines(const std::string& text);

}  // namespace quellin::gen
