#include "lsp/hover.hpp"

#include <algorithm>
#include <type_traits>
#include <variant>
#include <vector>

#include "common/text.hpp"
#include "common/utf8.hpp"
#include "lsp/server.hpp"

namespace quellin::lsp {

namespace {

// Built by appending: GCC 12 misreports `"[" + std::string&&` under -O3 as an overlapping copy.
std::string type_args_text(const ast::Vec<ast::TypeExpr>& args) {
    if (args.empty()) return "";
    std::string out = "[";
    out += join(args, type_text);
    out += ']';
    return out;
}

bool in_word(const char32_t c) { return is_ascii_word_char(c) || c == '.'; }

// The text of line `line` (a final empty line after a trailing line feed counts), carriage return kept.
std::optional<std::string_view> line_text(const std::string_view text, const uint64_t line) {
    std::size_t start = 0;
    for (uint64_t i = 0; i < line; ++i) {
        const std::size_t feed = text.find('\n', start);
        if (feed == std::string_view::npos) return std::nullopt;
        start = feed + 1;
    }
    const std::size_t end = std::min(text.find('\n', start), text.size());
    return text.substr(start, end - start);
}

const ast::StmtKind::FnDecl* find_function(const ast::Program& program, const std::string_view name) {
    for (const ast::Stmt& stmt : program.stmts) {
        if (const auto* fn = ast::as<ast::StmtKind::FnDecl>(stmt); fn != nullptr && fn->name == name) return fn;
    }
    return nullptr;
}

}  // namespace

std::string type_text(const ast::TypeExpr& type) {
    return ast::visit_kind(
        [](const auto& kind) -> std::string {
            using Kind = std::decay_t<decltype(kind)>;
            if constexpr (std::is_same_v<Kind, ast::TypeExprKind::Named>) {
                return kind.name + type_args_text(kind.args);
            } else if constexpr (std::is_same_v<Kind, ast::TypeExprKind::Fn>) {
                return "fn(" + join(kind.params, type_text) + ") -> " + type_text(*kind.ret);
            } else {
                return kind.module + "." + kind.name + type_args_text(kind.args);
            }
        },
        type.kind.v);
}

std::string signature(const ast::StmtKind::FnDecl& fn, const std::string_view display_name) {
    std::string out = "fn ";
    out += display_name;
    if (!fn.type_params.empty()) {
        out += '[';
        out += join(fn.type_params, [](const std::string& name) { return name; });
        out += ']';
    }
    out += '(';
    out += join(fn.params, [](const ast::Param& p) { return p.name + ": " + type_text(p.ty); });
    out += ") -> ";
    out += type_text(fn.ret);
    return out;
}

HoverFormat hover_format(const nlohmann::json& capabilities) {
    const nlohmann::json* formats = &capabilities;
    for (const char* key : {"textDocument", "hover", "contentFormat"}) {
        if (!formats->is_object()) return HoverFormat::Markdown;
        const auto it = formats->find(key);
        if (it == formats->end()) return HoverFormat::Markdown;
        formats = &*it;
    }
    if (!formats->is_array()) return HoverFormat::Markdown;
    bool names_a_format = false;
    for (const nlohmann::json& kind : *formats) {
        if (!kind.is_string()) continue;
        if (kind.get_ref<const std::string&>() == "markdown") return HoverFormat::Markdown;
        names_a_format = true;
    }
    return names_a_format ? HoverFormat::Plaintext : HoverFormat::Markdown;
}

const char* markup_kind(const HoverFormat format) {
    return format == HoverFormat::Plaintext ? "plaintext" : "markdown";
}

std::string hover_text(const ast::StmtKind::FnDecl& fn, const std::string_view display_name,
                       const HoverFormat format) {
    std::string out = format == HoverFormat::Plaintext ? signature(fn, display_name)
                                                       : "```quellin\n" + signature(fn, display_name) + "\n```";
    if (fn.doc) {
        out += "\n\n";
        out += trim(*fn.doc);
    }
    return out;
}

std::optional<std::string> word_at(const std::string_view text, const uint64_t line, const uint64_t character) {
    const std::optional<std::string_view> piece = line_text(text, line);
    if (!piece) return std::nullopt;
    const std::vector<char32_t> chars = scalars(*piece);
    if (chars.empty() || character > chars.size()) return std::nullopt;

    std::size_t p = std::min<std::size_t>(character, chars.size() - 1);
    if (!in_word(chars[p]) && p > 0) --p;
    if (!in_word(chars[p])) return std::nullopt;

    std::size_t first = p;
    while (first > 0 && in_word(chars[first - 1])) --first;
    std::size_t last = p + 1;
    while (last < chars.size() && in_word(chars[last])) ++last;
    while (first < last && chars[first] == '.') ++first;
    while (last > first && chars[last - 1] == '.') --last;
    if (first == last || (chars[first] >= '0' && chars[first] <= '9')) return std::nullopt;

    // Every character of a word is ASCII, so each one is its own byte.
    std::string word;
    for (std::size_t i = first; i < last; ++i) word.push_back(static_cast<char>(chars[i]));
    return word;
}

std::optional<std::string> Server::hover(const std::string& uri, const uint64_t line, const uint64_t character) const {
    const auto document = documents.find(uri);
    if (document == documents.end()) return std::nullopt;
    const std::optional<std::string> word = word_at(document->second, line, character);
    if (!word) return std::nullopt;
    const auto recorded = hover_modules.find(uri);
    if (recorded == hover_modules.end() || recorded->second.empty()) return std::nullopt;
    const ModuleList& modules = recorded->second;

    const std::size_t dot = word->find('.');
    if (dot == std::string::npos) {
        // Unqualified names are looked up only in the document's own module, private ones included.
        const ast::StmtKind::FnDecl* fn = find_function(*modules.back().second, *word);
        if (fn == nullptr) return std::nullopt;
        return hover_text(*fn, *word, hover_markup);
    }

    const std::string_view qualifier = std::string_view(*word).substr(0, dot);
    const std::string_view rest = std::string_view(*word).substr(dot + 1);
    const auto module = std::find_if(modules.begin(), modules.end(),
                                     [&](const typeck::ModuleInput& m) { return m.first == qualifier; });
    if (module == modules.end()) return std::nullopt;
    const ast::StmtKind::FnDecl* fn = find_function(*module->second, rest);
    if (fn == nullptr || !fn->is_pub) return std::nullopt;
    return hover_text(*fn, *word, hover_markup);
}

}  // namespace quellin::lsp
