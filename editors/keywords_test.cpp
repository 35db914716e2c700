// Every editor's grammar highlights exactly the reserved words of the lexer's keyword table, so a
// keyword added to the language cannot be forgotten in one editor.
//
// Each grammar keeps its reserved words in one recognisable place:
// - the TextMate grammar (VS Code): the `patterns` of the repository entry "keywords", each a `match`
//   of the form \b(w1|w2|...)\b or \b(?:w1|w2|...)\b;
// - the Vim syntax file: the words of its `syntax keyword` lines, except the groups of the truth
//   values and the builtin type names;
// - the Emacs mode: the strings of the list `quellin-mode-keywords`.

#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <fstream>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "lexer/expected.hpp"
#include "lexer/token.hpp"

namespace quellin {
namespace {

using WordSet = std::set<std::string>;
using Words = Expected<WordSet, std::string>;

WordSet reserved_words() {
    WordSet words;
    for (int kw = 0; kw < Keyword::count; ++kw) words.emplace(Keyword::text(static_cast<Keyword::Value>(kw)));
    return words;
}

bool is_word(const std::string_view text) {
    if (text.empty() || std::isdigit(static_cast<unsigned char>(text[0]))) return false;
    for (const char c : text) {
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_') return false;
    }
    return true;
}

std::string_view trim_left(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    return text;
}

std::vector<std::string> split_whitespace(const std::string& line) {
    std::istringstream in(line);
    std::vector<std::string> out;
    for (std::string token; in >> token;) out.push_back(token);
    return out;
}

// ---- TextMate ----

// The words of one `match` of the form \b(w1|...)\b or \b(?:w1|...)\b.
Words alternation_words(std::string_view match) {
    const std::string_view suffix = ")\\b";
    std::string_view inner = match;
    if (inner.starts_with("\\b(?:")) {
        inner.remove_prefix(5);
    } else if (inner.starts_with("\\b(")) {
        inner.remove_prefix(3);
    } else {
        return unexpected("the keyword pattern '" + std::string(match) + "' is not of the form \\b(w1|w2|...)\\b");
    }
    if (!inner.ends_with(suffix)) {
        return unexpected("the keyword pattern '" + std::string(match) + "' is not of the form \\b(w1|w2|...)\\b");
    }
    inner.remove_suffix(suffix.size());
    WordSet words;
    for (;;) {
        const std::size_t bar = inner.find('|');
        const std::string_view word = inner.substr(0, bar);
        if (!is_word(word)) {
            return unexpected("the keyword pattern '" + std::string(match) + "' holds '" + std::string(word) +
                              "', which is not a plain word");
        }
        words.emplace(word);
        if (bar == std::string_view::npos) return words;
        inner.remove_prefix(bar + 1);
    }
}

Words textmate_keywords(const std::string& grammar_text) {
    const nlohmann::json grammar = nlohmann::json::parse(grammar_text, nullptr, false);
    if (grammar.is_discarded()) return unexpected(std::string("the grammar is not valid JSON"));
    const nlohmann::json* patterns = &grammar;
    for (const char* key : {"repository", "keywords", "patterns"}) {
        if (!patterns->is_object() || !patterns->contains(key)) {
            return unexpected(std::string("the grammar has no repository.keywords.patterns"));
        }
        patterns = &(*patterns)[key];
    }
    if (!patterns->is_array() || patterns->empty()) {
        return unexpected(std::string("repository.keywords.patterns is not a non-empty array"));
    }
    WordSet words;
    for (const nlohmann::json& pattern : *patterns) {
        if (!pattern.is_object() || !pattern.contains("match") || !pattern["match"].is_string()) {
            return unexpected("a keyword pattern has no \"match\": " + pattern.dump());
        }
        const Words found = alternation_words(pattern["match"].get<std::string>());
        if (!found) return found;
        words.insert(found->begin(), found->end());
    }
    return words;
}

// ---- Vim ----

// Groups on `syntax keyword` lines that hold words which are not reserved.
const std::set<std::string, std::less<>> kVimOtherGroups = {"quellinBoolean", "quellinType"};
// Arguments of `syntax keyword` that are options, not keywords; options with a value hold '='.
const std::set<std::string, std::less<>> kVimOptions = {"contained", "transparent", "skipwhite", "skipnl",
                                                        "skipempty", "conceal",     "fold",      "display",
                                                        "extend",    "oneline",     "keepend",   "excludenl"};

// The file's lines with continuation lines (those starting with '\') joined to the line before.
std::vector<std::string> vim_logical_lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        const std::string_view rest = trim_left(line);
        if (rest.starts_with("\\") && !lines.empty()) {
            lines.back() += " ";
            lines.back() += rest.substr(1);
        } else {
            lines.push_back(line);
        }
    }
    return lines;
}

bool is_syntax_command(const std::string_view word) {
    return word.size() >= 2 && std::string_view("syntax").starts_with(word);
}

Words vim_keywords(const std::string& syntax_text) {
    WordSet words;
    bool any_keyword_line = false;
    for (const std::string& line : vim_logical_lines(syntax_text)) {
        const std::vector<std::string> tokens = split_whitespace(line);
        if (tokens.size() < 3 || !is_syntax_command(tokens[0]) || tokens[1] != "keyword") continue;
        any_keyword_line = true;
        if (kVimOtherGroups.contains(tokens[2])) continue;
        for (std::size_t i = 3; i < tokens.size(); ++i) {
            if (kVimOptions.contains(tokens[i]) || tokens[i].find('=') != std::string::npos) continue;
            words.insert(tokens[i]);
        }
    }
    if (!any_keyword_line) return unexpected(std::string("the syntax file has no 'syntax keyword' lines"));
    return words;
}

// ---- Emacs ----

Words emacs_keywords(const std::string& mode_text) {
    const std::string_view head = "(defconst quellin-mode-keywords";
    const std::size_t start = mode_text.find(head);
    if (start == std::string::npos) return unexpected(std::string("the mode has no (defconst quellin-mode-keywords"));
    std::size_t i = start + head.size();
    while (i < mode_text.size() && std::isspace(static_cast<unsigned char>(mode_text[i]))) ++i;
    if (mode_text.compare(i, 2, "'(") != 0) {
        return unexpected(std::string("quellin-mode-keywords is not a quoted list '(\"let\" ...)"));
    }
    WordSet words;
    for (i += 2; i < mode_text.size(); ++i) {
        const char c = mode_text[i];
        if (c == ')') return words;
        if (std::isspace(static_cast<unsigned char>(c))) continue;
        if (c == ';') {
            i = mode_text.find('\n', i);
            if (i == std::string::npos) break;
            continue;
        }
        if (c != '"') {
            return unexpected("quellin-mode-keywords holds something other than strings at '" +
                              mode_text.substr(i, 12) + "'");
        }
        std::string word;
        for (++i; i < mode_text.size() && mode_text[i] != '"'; ++i) {
            if (mode_text[i] == '\\' && i + 1 < mode_text.size()) ++i;
            word.push_back(mode_text[i]);
        }
        if (i == mode_text.size()) break;
        words.insert(word);
    }
    return unexpected(std::string("the list quellin-mode-keywords is not closed"));
}

// ---- Comparison ----

std::string listed(const std::vector<std::string>& words) {
    std::string out;
    for (const std::string& word : words) out += (out.empty() ? "" : ", ") + word;
    return out;
}

// Empty when `words` are exactly the reserved words; otherwise which are missing and which are extra.
std::string difference(const WordSet& words, const WordSet& reserved) {
    std::vector<std::string> missing, extra;
    for (const std::string& word : reserved) {
        if (!words.contains(word)) missing.push_back(word);
    }
    for (const std::string& word : words) {
        if (!reserved.contains(word)) extra.push_back(word);
    }
    std::string out;
    if (!missing.empty()) out += "missing reserved words: " + listed(missing);
    if (!extra.empty()) out += std::string(out.empty() ? "" : "; ") + "words that are not reserved: " + listed(extra);
    return out;
}

struct Grammar {
    const char* path;  // below the editors folder
    Words (*keywords)(const std::string&);
};

const Grammar kGrammars[] = {
    {"vscode/syntaxes/quellin.tmLanguage.json", textmate_keywords},
    {"vim/syntax/quellin.vim", vim_keywords},
    {"emacs/quellin-mode.el", emacs_keywords},
};

std::optional<std::string> read_file(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST(EditorKeywords, EveryGrammarListsExactlyTheLexersReservedWords) {
    const WordSet reserved = reserved_words();
    ASSERT_EQ(reserved.size(), static_cast<std::size_t>(Keyword::count)) << "the keyword table repeats a word";
    for (const Grammar& grammar : kGrammars) {
        SCOPED_TRACE(grammar.path);
        const std::optional<std::string> text = read_file(std::filesystem::path(QUELLIN_EDITORS_DIR) / grammar.path);
        if (!text) {
            ADD_FAILURE() << "editors/" << grammar.path
                          << " cannot be read: every editor's grammar must list the reserved words";
            continue;
        }
        const Words words = grammar.keywords(*text);
        if (!words) {
            ADD_FAILURE() << "editors/" << grammar.path << ": " << words.error();
            continue;
        }
        EXPECT_EQ(difference(*words, reserved), "") << "editors/" << grammar.path;
    }
}

// The extractors themselves, on small samples of each format.

struct Sample {
    const char* what;
    Words (*keywords)(const std::string&);
    std::string text;
    std::optional<WordSet> words;  // absent: the sample is refused
};

TEST(EditorKeywords, ExtractorsReadEachGrammarsKeywordList) {
    const Sample samples[] = {
        {"textmate: both group forms", textmate_keywords,
         R"json({"repository": {"keywords": {"patterns": [
              {"name": "a", "match": "\\b(if|else)\\b"}, {"name": "b", "match": "\\b(?:let)\\b"}]},
            "constants": {"patterns": [{"match": "\\b(true|false)\\b"}]}}})json",
         WordSet{"if", "else", "let"}},
        {"textmate: no keywords entry", textmate_keywords, R"json({"repository": {"constants": {"patterns": []}}})json",
         std::nullopt},
        {"textmate: empty patterns", textmate_keywords, R"json({"repository": {"keywords": {"patterns": []}}})json",
         std::nullopt},
        {"textmate: a pattern without match", textmate_keywords,
         R"json({"repository": {"keywords": {"patterns": [{"include": "#other"}]}}})json", std::nullopt},
        {"textmate: a pattern that is not a word list", textmate_keywords,
         R"json({"repository": {"keywords": {"patterns": [{"match": "\\b(if|el.*)\\b"}]}}})json", std::nullopt},
        {"textmate: no word boundary", textmate_keywords,
         R"json({"repository": {"keywords": {"patterns": [{"match": "(if|else)"}]}}})json", std::nullopt},
        {"textmate: an empty alternative", textmate_keywords,
         R"json({"repository": {"keywords": {"patterns": [{"match": "\\b(if||else)\\b"}]}}})json", std::nullopt},
        {"textmate: not JSON", textmate_keywords, "{\"repository\": ", std::nullopt},

        {"vim: groups, abbreviations, options and continuations", vim_keywords,
         "\" syntax keyword quellinComment commented out\n"
         "syntax keyword quellinStorage let mut\n"
         "syn keyword quellinKeyword fn contained nextgroup=quellinName skipwhite\n"
         "  sy keyword quellinRepeat for\n"
         "      \\ while\n"
         "syntax keyword quellinBoolean true false\n"
         "syntax keyword quellinType Int Text\n"
         "syntax match quellinOperator /->/\n"
         "syntax keywords quellinOther nope\n"
         "s keyword quellinOther nope\n",
         WordSet{"let", "mut", "fn", "for", "while"}},
        {"vim: no keyword lines", vim_keywords, "syntax match quellinNumber /\\d\\+/\n", std::nullopt},

        {"emacs: the quoted list, with a comment", emacs_keywords,
         "(defconst quellin-mode-constants '(\"true\"))\n"
         "(defconst quellin-mode-keywords\n"
         "  '(\"let\" \"mut\" ; bindings\n"
         "    \"fn\")\n"
         "  \"The reserved words.\")\n",
         WordSet{"let", "mut", "fn"}},
        {"emacs: missing", emacs_keywords, "(defconst quellin-mode-constants '(\"true\"))\n", std::nullopt},
        {"emacs: not a quoted list", emacs_keywords, "(defconst quellin-mode-keywords (list \"let\"))\n",
         std::nullopt},
        {"emacs: a symbol in the list", emacs_keywords, "(defconst quellin-mode-keywords '(\"let\" mut))\n",
         std::nullopt},
        {"emacs: unclosed", emacs_keywords, "(defconst quellin-mode-keywords '(\"let\" \"mut\"", std::nullopt},
    };
    for (const Sample& sample : samples) {
        SCOPED_TRACE(sample.what);
        const Words words = sample.keywords(sample.text);
        if (sample.words) {
            ASSERT_TRUE(words.has_value()) << words.error();
            EXPECT_EQ(*words, *sample.words);
        } else {
            EXPECT_FALSE(words.has_value());
        }
    }
}

TEST(EditorKeywords, TheDifferenceNamesMissingAndExtraWords) {
    const WordSet reserved = {"fn", "let", "mut"};
    EXPECT_EQ(difference({"fn", "let", "mut"}, reserved), "");
    EXPECT_EQ(difference({"fn"}, reserved), "missing reserved words: let, mut");
    EXPECT_EQ(difference({"fn", "let", "mut", "true"}, reserved), "words that are not reserved: true");
    EXPECT_EQ(difference({"let", "var"}, reserved),
              "missing reserved words: fn, mut; words that are not reserved: var");
}

}  // namespace
}  // namespace quellin
