#pragma once
// Hover text: the signature and doc comment of the function named under the cursor.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "ast/ast.hpp"

namespace quellin::lsp {

// How hover text is written: Markdown with the signature in a code block, or plain text for clients
// that cannot show Markdown.
enum class HoverFormat { Markdown, Plaintext };

// The format asked for by the `capabilities` of a client's `initialize` params. Plain text only when
// `textDocument.hover.contentFormat` is an array naming at least one format and never "markdown";
// any other shape, an empty array, or no capabilities at all keep Markdown.
HoverFormat hover_format(const nlohmann::json& capabilities);

// The MarkupContent kind of a format: "markdown" or "plaintext".
const char* markup_kind(HoverFormat format);

// A written type as a user would write it: "Map[Text, List[Int]]", "fn(Int) -> Bool", "geo.Point".
std::string type_text(const ast::TypeExpr& type);

// "fn {name}[{type params}]({params}) -> {ret}" for a declaration shown under `display_name`.
std::string signature(const ast::StmtKind::FnDecl& fn, std::string_view display_name);

// The hover: the signature (in Markdown, inside a quellin code block), then a blank line and the
// doc comment if there is one.
std::string hover_text(const ast::StmtKind::FnDecl& fn, std::string_view display_name,
                       HoverFormat format = HoverFormat::Markdown);

// The name (letters, digits, '_', with dots for qualified names) at a 0-based line and character of
// `text`, where characters are Unicode scalar values and a cursor just past a name still finds it.
// Absent when there is no such name or it starts with a digit.
std::optional<std::string> word_at(std::string_view text, uint64_t line, uint64_t character);

}  // namespace quellin::lsp
