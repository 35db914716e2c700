#include "common/message.hpp"

#include <cassert>
#include <utility>

namespace quellin {

namespace {

bool is_name_start(char c) { return c >= 'a' && c <= 'z'; }
bool is_name_char(char c) { return is_name_start(c) || (c >= '0' && c <= '9') || c == '_'; }

// The length of the placeholder `{name}` at `at`, or 0 when none starts there.
std::size_t placeholder_at(std::string_view tmpl, std::size_t at) {
    if (tmpl[at] != '{' || at + 1 >= tmpl.size() || !is_name_start(tmpl[at + 1])) return 0;
    std::size_t end = at + 2;
    while (end < tmpl.size() && is_name_char(tmpl[end])) ++end;
    if (end >= tmpl.size() || tmpl[end] != '}') return 0;
    return end + 1 - at;
}

// Walks the template, handing literal text to `literal` and each placeholder's name to `name`.
template <class Literal, class Name>
void walk(std::string_view tmpl, Literal&& literal, Name&& name) {
    std::size_t start = 0;
    std::size_t i = 0;
    while (i < tmpl.size()) {
        const char c = tmpl[i];
        if ((c == '{' || c == '}') && i + 1 < tmpl.size() && tmpl[i + 1] == c) {
            literal(tmpl.substr(start, i + 1 - start));
            i += 2;
            start = i;
            continue;
        }
        if (const std::size_t length = placeholder_at(tmpl, i); length != 0) {
            literal(tmpl.substr(start, i - start));
            name(tmpl.substr(i + 1, length - 2));
            i += length;
            start = i;
            continue;
        }
        ++i;
    }
    literal(tmpl.substr(start));
}

}  // namespace

std::vector<std::string_view> placeholders(std::string_view tmpl) {
    std::vector<std::string_view> names;
    walk(tmpl, [](std::string_view) {}, [&](std::string_view name) {
        for (const std::string_view seen : names) {
            if (seen == name) return;
        }
        names.push_back(name);
    });
    return names;
}

FilledMessage fill_template(std::string_view tmpl, std::initializer_list<std::string_view> args) {
    const std::vector<std::string_view> names = placeholders(tmpl);
    FilledMessage out;
    out.arguments_match = names.size() == args.size();
    walk(tmpl, [&](std::string_view text) { out.text += text; }, [&](std::string_view name) {
        std::size_t index = 0;
        while (names[index] != name) ++index;
        if (index < args.size()) {
            out.text += args.begin()[index];
        } else {
            out.text += '{';
            out.text += name;
            out.text += '}';
        }
    });
    for (std::size_t i = names.size(); i < args.size(); ++i) {
        out.text += " {unused: ";
        out.text += args.begin()[i];
        out.text += '}';
    }
    return out;
}

std::string fill(std::string_view tmpl, std::initializer_list<std::string_view> args) {
    FilledMessage filled = fill_template(tmpl, args);
    assert(filled.arguments_match && "a message kind raised with the wrong number of arguments");
    return std::move(filled.text);
}

std::string as_heading(std::string_view tmpl) {
    std::string out;
    walk(tmpl, [&](std::string_view text) { out += text; }, [&](std::string_view name) {
        out += '{';
        out += name;
        out += '}';
    });
    return out;
}

}  // namespace quellin
