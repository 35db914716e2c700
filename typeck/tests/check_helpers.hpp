#pragma once
// Shared helpers for checker tests: programs are written as QUELLIN source, parsed, then checked.
//
// Typical use, table-driven:
//
//     const ErrorCase cases[] = {
//         {"let x = 1\nx = 2\n", "cannot assign to immutable 'x' — ...", 2, 1},
//         {"let x = 1\n", "", 0, 0},  // an empty message expects the program to check cleanly
//     };
//     for (const auto& c : cases) expect_check(c);
//
// Several modules (dependencies first, the entry module last):
//
//     expect_check(ModuleErrorCase{{{"util", "pub fn f() -> Int = 1\n"}, {"main", "import util\n"}},
//                                  "main", "message", 1, 1});

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "parser/parser.hpp"
#include "typeck/check.hpp"

namespace quellin::typeck::testing {

// (module name, source text) in the loader's order.
using Sources = std::vector<std::pair<std::string, std::string>>;

// Parses every source and checks them as one program. A source that does not parse fails the
// current test and is reported as an error of that module whose message starts with "parse error: ",
// so the caller's own expectation fails too instead of passing by accident.
inline std::optional<ModuleTypeError> check_sources(const Sources& modules) {
    std::vector<ModuleInput> inputs;
    inputs.reserve(modules.size());
    for (const auto& [name, source] : modules) {
        auto parsed = parse(source);
        if (!parsed) {
            ADD_FAILURE() << "module '" << name << "' does not parse: " << parsed.error().message << " at "
                          << parsed.error().span.line << ":" << parsed.error().span.col << "\n"
                          << source;
            return ModuleTypeError{name, TypeError{"parse error: " + parsed.error().message, parsed.error().span}};
        }
        inputs.emplace_back(name, std::make_shared<const ast::Program>(std::move(parsed).value()));
    }
    auto result = check_modules(inputs);
    if (result) return std::nullopt;
    return std::move(result).error();
}

// Parses and checks one source as the entry module "main" (through check_program).
inline std::optional<TypeError> check_source(const std::string& source) {
    auto parsed = parse(source);
    if (!parsed) {
        ADD_FAILURE() << "source does not parse: " << parsed.error().message << " at " << parsed.error().span.line
                      << ":" << parsed.error().span.col << "\n"
                      << source;
        return TypeError{"parse error: " + parsed.error().message, parsed.error().span};
    }
    auto result = check_program(*parsed);
    if (result) return std::nullopt;
    return std::move(result).error();
}

// One single-file case: the expected first error, or an empty message when the source must check.
struct ErrorCase {
    std::string source;
    std::string message;
    uint32_t line = 0;
    uint32_t col = 0;
};

// One multi-module case: the expected failing module and its error, or an empty message for success.
struct ModuleErrorCase {
    Sources modules;
    std::string module;
    std::string message;
    uint32_t line = 0;
    uint32_t col = 0;
};

inline void expect_check(const ErrorCase& c) {
    SCOPED_TRACE("source:\n" + c.source);
    const auto error = check_source(c.source);
    if (c.message.empty()) {
        EXPECT_FALSE(error.has_value()) << "unexpected error at " << error->span.line << ":" << error->span.col << ": "
                                        << error->message;
        return;
    }
    ASSERT_TRUE(error.has_value()) << "expected error: " << c.message;
    EXPECT_EQ(error->message, c.message);
    EXPECT_EQ(error->span.line, c.line) << error->message;
    EXPECT_EQ(error->span.col, c.col) << error->message;
}

inline void expect_check(const ModuleErrorCase& c) {
    std::string trace;
    for (const auto& [name, source] : c.modules) trace += "--- " + name + ".qn\n" + source;
    SCOPED_TRACE(trace);
    const auto error = check_sources(c.modules);
    if (c.message.empty()) {
        EXPECT_FALSE(error.has_value()) << "unexpected error in module '" << error->module << "' at "
                                        << error->error.span.line << ":" << error->error.span.col << ": "
                                        << error->error.message;
        return;
    }
    ASSERT_TRUE(error.has_value()) << "expected error: " << c.message;
    EXPECT_EQ(error->module, c.module);
    EXPECT_EQ(error->error.message, c.message);
    EXPECT_EQ(error->error.span.line, c.line) << error->error.message;
    EXPECT_EQ(error->error.span.col, c.col) << error->error.message;
}

// Shorthands for a source that must check cleanly.
inline void expect_ok(const std::string& source) { expect_check(ErrorCase{source, "", 0, 0}); }
inline void expect_ok(const Sources& modules) { expect_check(ModuleErrorCase{modules, "", "", 0, 0}); }

}  // namespace quellin::typeck::testing
