// quellin-gen: writes generated QUELLIN programs for benchmarking and profiling.
//
//   quellin-gen --lines N [--seed S] --out FILE                one entry file of N lines
//   quellin-gen --lines N --modules M [--seed S] --out DIR     M files of N lines (M-1 libraries + main.qn)
//   quellin-gen --lines N --modules M --graph tree --out DIR   M libraries importing as a binary tree
//                                                              (mod000.qn is the root)
//   quellin-gen --shape NAME --size N --out FILE               a pathological program:
//       enum (N variants), chain (N records), ladder (N records, two fields each),
//       blocks (N nested ifs), parens (N nested parentheses), ops (N operator terms)

#include <charconv>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>

#include "gen/generate.hpp"

namespace {

std::optional<uint64_t> number(std::string_view text) {
    uint64_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

int usage() {
    std::fputs("usage: quellin-gen --lines N [--modules M [--graph dag|tree]] [--seed S] --out DIR|FILE\n"
               "       quellin-gen --shape enum|chain|ladder|blocks|parens|ops --size N --out FILE\n",
               stderr);
    return 2;
}

std::optional<std::string> shape_program(std::string_view shape, uint32_t size) {
    using namespace quellin::gen;
    if (shape == "enum") return wide_enum_program(size);
    if (shape == "chain") return value_chain_program(size, 1);
    if (shape == "ladder") return value_chain_program(size, 2);
    if (shape == "blocks") return nested_blocks_program(size);
    if (shape == "parens") return nested_parens_program(size);
    if (shape == "ops") return operator_chain_program(size);
    return std::nullopt;
}

}  // namespace

int main(int argc, char** argv) {
    std::optional<uint64_t> lines, modules, size;
    uint64_t seed = 1;
    std::string out, shape, graph = "dag";
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (i + 1 >= argc) return usage();
        const std::string_view value = argv[++i];
        if (arg == "--lines") {
            lines = number(value);
        } else if (arg == "--modules") {
            modules = number(value);
        } else if (arg == "--size") {
            size = number(value);
        } else if (arg == "--seed") {
            const auto s = number(value);
            if (!s) return usage();
            seed = *s;
        } else if (arg == "--out") {
            out = value;
        } else if (arg == "--graph") {
            graph = value;
        } else if (arg == "--shape") {
            shape = value;
        } else {
            return usage();
        }
    }
    if (out.empty()) return usage();
    constexpr uint64_t limit = 10'000'000;

    if (!shape.empty()) {
        if (!size || *size > limit) return usage();
        const auto text = shape_program(shape, static_cast<uint32_t>(*size));
        if (!text) return usage();
        std::ofstream file(out, std::ios::binary | std::ios::trunc);
        file << *text;
        return file ? 0 : 1;
    }

    if (!lines || *lines > limit) return usage();
    if (modules) {
        if (*modules == 0 || *modules > 10'000) return usage();
        if (graph != "dag" && graph != "tree") return usage();
        const auto count = static_cast<uint32_t>(*modules);
        const auto files = graph == "tree"
                               ? quellin::gen::generate_module_tree(count, static_cast<uint32_t>(*lines), seed)
                               : quellin::gen::generate_module_graph(count, static_cast<uint32_t>(*lines), seed);
        if (quellin::gen::write_files(out, files).empty()) {
            std::fprintf(stderr, "quellin-gen: cannot write into %s\n", out.c_str());
            return 1;
        }
        return 0;
    }
    std::ofstream file(out, std::ios::binary | std::ios::trunc);
    file << quellin::gen::generate_program(static_cast<uint32_t>(*lines), seed);
    if (!file) {
        std::fprintf(stderr, "quellin-gen: cannot write %s\n", out.c_str());
        return 1;
    }
    return 0;
}
