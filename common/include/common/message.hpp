#pragma once
// Message kinds and their templates.
//
// Every message a stage can report is declared once, in that stage's table of kinds: an X-macro list of
// `X(KindName, "template")` entries, one per line, in the stage's public header, e.g.
//
//     #define QN_PARSE_DIAGNOSTICS(X)
//         X(ExpectedColonToStartBlock, "expected Colon ':' to start the block, found {token}")
//         ...
//
// (each line continued with a backslash). From it the stage generates an enum of its kinds and an array
// of `MessageKind`s in the same order, so that a kind's value indexes its entry:
//
//     enum class ParseDiag : uint8_t { QN_PARSE_DIAGNOSTICS(QN_MESSAGE_KIND_ENUM) };
//     inline constexpr MessageKind kParseDiagnostics[] = {QN_PARSE_DIAGNOSTICS(QN_MESSAGE_KIND_ENTRY)};
//
// Code raises a kind with its arguments, and the text is made only then, by `fill`; no message text is
// written where it is raised:
//
//     return error(ParseDiag::ExpectedColonToStartBlock, found());  // the parser's wrapper around
//     fill(kParseDiagnostics, ParseDiag::ExpectedColonToStartBlock, found());
//
// A template reads as the message does, with a placeholder `{name}` (a lower-case letter, then lower-case
// letters, digits or '_') where the message quotes the program. Arguments are given in the order in which
// the names first appear; a name written again repeats its value. `{{` and `}}` stand for one brace; any
// other brace is itself (`'{}'`, `'{'` and `\{ \}` need no escaping). A bound the message states is
// written into the template as a number, next to a static_assert on the constant.
//
// Each stage also offers its table as a `MessageRegistry`; the message catalogue's test walks every
// registry, checks each template against a heading of the catalogue and runs the heading's examples.

#include <cstddef>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quellin {

// One declared kind: its name in the stage's enum and its template.
struct MessageKind {
    std::string_view name;
    std::string_view text;
};

// A stage's table of kinds, for whoever needs all of them at once.
struct MessageRegistry {
    std::string_view stage;
    std::span<const MessageKind> kinds;
};

#define QN_MESSAGE_KIND_ENUM(name, text) name,
#define QN_MESSAGE_KIND_ENTRY(name, text) ::quellin::MessageKind{#name, text},

// The result of filling a template: the text, and whether the arguments matched its placeholders.
// A placeholder without an argument stays as written, `{name}`; an argument without a placeholder is
// appended as ` {unused: value}`, so that a mistake shows in the message rather than vanishing.
struct FilledMessage {
    std::string text;
    bool arguments_match = true;
};

FilledMessage fill_template(std::string_view tmpl, std::initializer_list<std::string_view> args);

// `fill_template`'s text; a mismatch of arguments and placeholders is a programming error and fails an
// assertion in debug builds.
std::string fill(std::string_view tmpl, std::initializer_list<std::string_view> args);

// The message of `kind`, an enum generated from the same list as `table`, filled with `args` (anything a
// std::string_view can be made from).
template <class Kind, class... Args>
std::string fill(std::span<const MessageKind> table, Kind kind, const Args&... args) {
    return fill(table[static_cast<std::size_t>(kind)].text, {std::string_view(args)...});
}

// The distinct placeholder names of a template, in the order of their first appearance: the arguments
// `fill` expects.
std::vector<std::string_view> placeholders(std::string_view tmpl);

// The template as a message would show it with every placeholder left as written: `{{` and `}}` become
// one brace. This is the form the message catalogue's headings take.
std::string as_heading(std::string_view tmpl);

}  // namespace quellin
