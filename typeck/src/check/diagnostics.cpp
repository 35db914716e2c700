// Making the checker's messages from their kinds, once an error is reported.

#include <string>
#include <vector>

#include "check/checker.hpp"

namespace quellin::typeck {

std::string DiagArg::text() const {
    if (type_ != nullptr) return type_->to_string();
    if (is_count_) return std::to_string(count_);
    return std::string(text_);
}

TypeError type_error_of(TypeDiag kind, Span pos, std::initializer_list<DiagArg> args) {
    // The texts of types and counts live here while the message is filled.
    std::vector<std::string> texts;
    texts.reserve(args.size());
    for (const DiagArg& arg : args) texts.push_back(arg.text());
    const std::string_view tmpl = kTypeDiagnostics[static_cast<std::size_t>(kind)].text;
    switch (texts.size()) {
        case 0: return TypeError{fill(tmpl, {}), pos};
        case 1: return TypeError{fill(tmpl, {texts[0]}), pos};
        case 2: return TypeError{fill(tmpl, {texts[0], texts[1]}), pos};
        case 3: return TypeError{fill(tmpl, {texts[0], texts[1], texts[2]}), pos};
        case 4: return TypeError{fill(tmpl, {texts[0], texts[1], texts[2], texts[3]}), pos};
        case 5: return TypeError{fill(tmpl, {texts[0], texts[1], texts[2], texts[3], texts[4]}), pos};
        default: internal_fault("a message of the checker takes at most five arguments");
    }
}

}  // namespace quellin::typeck
