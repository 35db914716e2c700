// Checking `case` patterns against the subject's type, and the per-type coverage rule of `match`.

#include <algorithm>
#include <cstddef>
#include <string_view>
#include <unordered_set>

#include "check/checker.hpp"

namespace quellin::typeck {

namespace {

using Kind = Type::Kind;

// Up to this many (variant, arm) pairs, coverage is checked by scanning the arms for each variant.
constexpr size_t kScannedCoverage = 256;

// A generic instance's name without its type arguments: "Opt" for "Opt[Int]", "geo.Pair" for
// "geo.Pair[Int, Text]". Patterns are written with this name, never with the arguments.
std::string without_type_args(const std::string& name) { return name.substr(0, name.find('[')); }

// `what` is the values the pattern matches: "Int values", "Point records".
[[gnu::cold, gnu::noinline]] TypeError matches_err(std::string_view what, const Type& subject, Span pos) {
    return type_error(TypeDiag::PatternTypeMismatch, pos, what, subject);
}

// An Int, Bool or Text literal matches values of its own type only; `values` names them in the message.
Status check_literal_pattern(Kind literal, std::string_view values, const Type& subject, Span pos) {
    if (!subject.is(literal)) return unexpected(matches_err(values, subject, pos));
    return {};
}

bool all_irrefutable(const ast::FieldPatterns& fields) {
    return std::all_of(fields.begin(), fields.end(),
                       [](const ast::FieldPattern& f) { return pattern_irrefutable(f.pattern); });
}

// True when some unguarded arm's pattern satisfies `covers`.
template <class Pred>
bool some_arm(const ast::Vec<ast::MatchArm>& arms, Pred covers) {
    return std::any_of(arms.begin(), arms.end(),
                       [&](const ast::MatchArm& arm) { return !arm.guard && covers(arm.pattern); });
}

bool is_constructor(const ast::Pattern& p, Constructor constructor, bool inner_irrefutable) {
    const auto* c = ast::as<ast::PatternKind::Constructor>(p);
    if (!c || builtin_constructor(c->name) != constructor) return false;
    if (!inner_irrefutable) return true;
    return c->inner && pattern_irrefutable(**c->inner);
}

bool is_bool(const ast::Pattern& p, bool value) {
    const auto* b = ast::as<ast::PatternKind::Bool>(p);
    return b && b->value == value;
}

// A variant pattern naming `variant` whose payload patterns all match anything.
bool covers_variant(const ast::Pattern& p, const std::string& variant) {
    const auto* v = ast::as<ast::PatternKind::Variant>(p);
    return v && v->variant == variant && all_irrefutable(v->fields);
}

}  // namespace

bool pattern_irrefutable(const ast::Pattern& pattern) {
    if (ast::as<ast::PatternKind::Wildcard>(pattern) || ast::as<ast::PatternKind::Name>(pattern)) return true;
    if (const auto* record = ast::as<ast::PatternKind::Record>(pattern)) return all_irrefutable(record->fields);
    return false;
}

// The variants of an enum type for coverage; an instance not materialised yet is read from its
// generic declaration, whose variant names and payload field names are the same.
const Variants* Checker::enum_variants(const std::string& name) const {
    if (const auto found = enums.find(name); found != enums.end()) return &found->second;
    const auto inst = instances.find(name);
    if (inst == instances.end()) return nullptr;
    const auto generic = generic_enums.find(inst->second.generic);
    return generic == generic_enums.end() ? nullptr : &generic->second.variants;
}

Status Checker::check_fields_in_order(const std::string& owner, const std::string* variant,
                                      const ast::FieldPatterns& given, const Fields& declared, Span pos) {
    if (given.size() != declared.size()) {
        if (variant) return fail(TypeDiag::VariantPatternFieldCount, pos, owner, *variant, declared.size());
        return fail(TypeDiag::RecordPatternFieldCount, pos, owner, declared.size());
    }
    for (size_t i = 0; i < given.size(); ++i) {
        if (given[i].name != declared[i].first) {
            return fail(variant ? TypeDiag::VariantPatternFieldOrder : TypeDiag::RecordPatternFieldOrder,
                        given[i].pattern.span, declared[i].first, given[i].name);
        }
        QN_TRY(check_pattern(given[i].pattern, declared[i].second));
    }
    return {};
}

Status Checker::check_pattern(const ast::Pattern& pattern, const Type& subject) {
    const Span pos = pattern.span;
    if (ast::as<ast::PatternKind::Wildcard>(pattern)) return {};
    if (const auto* name = ast::as<ast::PatternKind::Name>(pattern)) {
        return check_binding_pattern(name->name, subject, pos);
    }
    if (ast::as<ast::PatternKind::Int>(pattern)) return check_literal_pattern(Kind::Int, "Int values", subject, pos);
    if (ast::as<ast::PatternKind::Bool>(pattern)) return check_literal_pattern(Kind::Bool, "Bool values", subject, pos);
    if (ast::as<ast::PatternKind::Text>(pattern)) return check_literal_pattern(Kind::Text, "Text values", subject, pos);
    if (const auto* constructor = ast::as<ast::PatternKind::Constructor>(pattern)) {
        return check_constructor_pattern(*constructor, subject, pos);
    }
    if (const auto* record = ast::as<ast::PatternKind::Record>(pattern)) {
        return check_local_record_pattern(*record, subject, pos);
    }
    return check_variant_pattern(*ast::as<ast::PatternKind::Variant>(pattern), subject, pos);
}

Status Checker::check_binding_pattern(const std::string& name, const Type& subject, Span pos) {
    // The parser reads a bare Some, Ok or Err as a name; it is a constructor missing its value.
    if (const auto constructor = builtin_constructor(name); constructor && *constructor != Constructor::None) {
        return fail(TypeDiag::ConstructorPatternWithoutValue, pos, name);
    }
    if (subject.is(Kind::Enum)) {
        ensure_type(subject.name);
        const Variants* variants = enum_variants(subject.name);
        if (variants && find_variant(*variants, name)) {
            return fail(TypeDiag::BareVariantPattern, pos, name, without_type_args(subject.name));
        }
    }
    return declare(name, subject, false, pos);
}

Status Checker::check_constructor_pattern(const ast::PatternKind::Constructor& pattern, const Type& subject,
                                          Span pos) {
    const std::string& name = pattern.name;
    const std::optional<Constructor> builtin = builtin_constructor(name);
    const bool is_some = builtin == Constructor::Some;
    const bool is_result = builtin == Constructor::Ok || builtin == Constructor::Err;
    if ((is_some || is_result) && !pattern.inner) return fail(TypeDiag::ConstructorPatternWithoutValue, pos, name);
    if (is_some || (builtin == Constructor::None && !pattern.inner)) {
        if (!subject.is(Kind::Option)) return unexpected(matches_err("Option values", subject, pos));
        if (pattern.inner) return check_pattern(**pattern.inner, subject.elem());
        return {};
    }
    if (is_result) {
        if (!subject.is(Kind::Result)) return unexpected(matches_err("Result values", subject, pos));
        return check_pattern(**pattern.inner, builtin == Constructor::Ok ? subject.elem() : subject.second());
    }
    // Any other name with a value in parentheses: say what was meant.
    if (subject.is(Kind::Enum)) {
        ensure_type(subject.name);
        const Variants* variants = enum_variants(subject.name);
        if (variants && find_variant(*variants, name)) {
            return fail(TypeDiag::UnqualifiedVariantPattern, pos, without_type_args(subject.name), name);
        }
    }
    if (records.contains(name) || generic_records.contains(name)) {
        return fail(TypeDiag::PositionalRecordPattern, pos, name);
    }
    return fail(TypeDiag::UnknownPatternConstructor, pos, name);
}

Status Checker::check_local_record_pattern(const ast::PatternKind::Record& pattern, const Type& subject, Span pos) {
    const std::string& record_name = pattern.name;
    if (subject.is(Kind::Record) && subject.name == record_name) {
        ensure_type(record_name);
        const auto found = records.find(record_name);
        if (found == records.end()) internal_fault("installed record has its fields");
        const Fields declared = found->second;
        return check_fields_in_order(record_name, nullptr, pattern.fields, declared, pos);
    }
    if (subject.is(Kind::Enum)) {
        ensure_type(subject.name);
        const Variants* variants = enum_variants(subject.name);
        if (variants && find_variant(*variants, record_name)) {
            return fail(TypeDiag::UnqualifiedVariantPattern, pos, without_type_args(subject.name), record_name);
        }
    }
    return unexpected(matches_err(record_name + " records", subject, pos));
}

Status Checker::check_variant_pattern(const ast::PatternKind::Variant& pattern, const Type& subject, Span pos) {
    const std::string& enum_name = pattern.enum_name;
    const std::string& variant_name = pattern.variant;

    std::string key = enum_name;
    if (pattern.module) {
        const std::string& module = *pattern.module;
        if (!modules.contains(module)) return fail(TypeDiag::ModuleNotImported, pos, module);
        key = module + "." + enum_name;
        if (!enums.contains(key) && !generic_enums.contains(key)) {
            return unexpected(module_member_err(module, enum_name, pos));
        }
    } else if (modules.contains(enum_name)) {
        // m.R(field: ...) of an imported record reads like a variant pattern.
        const std::string qualified = enum_name + "." + variant_name;
        if (records.contains(qualified) || generic_records.contains(qualified)) {
            return check_record_pattern(qualified, pattern.fields, subject, pos);
        }
        if (enums.contains(qualified) || generic_enums.contains(qualified)) {
            return fail(TypeDiag::EnumNamePattern, pos, qualified);
        }
        return unexpected(module_member_err(enum_name, variant_name, pos));
    }

    if (!subject.is(Kind::Enum) || without_type_args(subject.name) != key) {
        return unexpected(matches_err(key + " values", subject, pos));
    }
    ensure_type(subject.name);
    const auto found = enums.find(subject.name);
    if (found == enums.end()) internal_fault("installed enum has its variants");
    const Fields* declared = find_variant(found->second, variant_name);
    if (!declared) {
        return fail(TypeDiag::UnknownVariant, pos, key, variant_name, variant_list(key, subject.name));
    }
    const Fields payload = *declared;
    if (payload.empty()) {
        if (pattern.fields.empty()) return {};
        return fail(TypeDiag::UnitVariantPatternWithParens, pos, key, variant_name);
    }
    return check_fields_in_order(key, &variant_name, pattern.fields, payload, pos);
}

Status Checker::check_record_pattern(const std::string& qualified, const ast::FieldPatterns& fields,
                                     const Type& subject, Span pos) {
    if (!subject.is(Kind::Record) || without_type_args(subject.name) != qualified) {
        return unexpected(matches_err(qualified + " records", subject, pos));
    }
    ensure_type(subject.name);
    const auto found = records.find(subject.name);
    if (found == records.end()) internal_fault("installed record has its fields");
    const Fields declared = found->second;
    return check_fields_in_order(qualified, nullptr, fields, declared, pos);
}

bool Checker::match_exhaustive(const Type& subject, const ast::Vec<ast::MatchArm>& arms) const {
    if (some_arm(arms, [](const ast::Pattern& p) { return pattern_irrefutable(p); })) return true;

    switch (subject.kind) {
        case Kind::Bool:
            return some_arm(arms, [](const ast::Pattern& p) { return is_bool(p, true); }) &&
                   some_arm(arms, [](const ast::Pattern& p) { return is_bool(p, false); });
        case Kind::Option:
            return some_arm(arms, [](const ast::Pattern& p) { return is_constructor(p, Constructor::Some, true); }) &&
                   some_arm(arms, [](const ast::Pattern& p) { return is_constructor(p, Constructor::None, false); });
        case Kind::Result:
            return some_arm(arms, [](const ast::Pattern& p) { return is_constructor(p, Constructor::Ok, true); }) &&
                   some_arm(arms, [](const ast::Pattern& p) { return is_constructor(p, Constructor::Err, true); });
        case Kind::Enum: {
            const Variants* variants = enum_variants(subject.name);
            if (!variants) return false;
            if (variants->size() * arms.size() <= kScannedCoverage) {
                return std::all_of(variants->begin(), variants->end(), [&](const auto& variant) {
                    return some_arm(arms, [&](const ast::Pattern& p) { return covers_variant(p, variant.first); });
                });
            }
            // A wide enum matched arm by arm: note each arm's variant once instead of scanning every arm
            // for every variant.
            std::unordered_set<std::string_view> covered;
            for (const ast::MatchArm& arm : arms) {
                const auto* v = ast::as<ast::PatternKind::Variant>(arm.pattern);
                if (!arm.guard && v && all_irrefutable(v->fields)) covered.insert(v->variant);
            }
            return std::all_of(variants->begin(), variants->end(),
                               [&](const auto& variant) { return covered.contains(variant.first); });
        }
        case Kind::Record: {
            if (subject.name.find('.') == std::string::npos) return false;
            const std::string name = without_type_args(subject.name);
            return some_arm(arms, [&](const ast::Pattern& p) {
                const auto* v = ast::as<ast::PatternKind::Variant>(p);
                return v && !v->module && v->enum_name + "." + v->variant == name && all_irrefutable(v->fields);
            });
        }
        default: return false;
    }
}

std::string Checker::missing_cases_hint(const Type& subject, const ast::Vec<ast::MatchArm>& arms) const {
    switch (subject.kind) {
        case Kind::Bool: return "both 'case true:' and 'case false:'";
        case Kind::Option: return "both 'case Some(...):' and 'case None:'";
        case Kind::Result: return "both 'case Ok(...):' and 'case Err(...):'";
        case Kind::Enum: {
            const Variants* variants = enum_variants(subject.name);
            if (!variants) break;
            const std::string e = without_type_args(subject.name);
            std::vector<std::string> missing;
            for (const auto& variant : *variants) {
                const bool covered =
                    some_arm(arms, [&](const ast::Pattern& p) { return covers_variant(p, variant.first); });
                if (covered) continue;
                missing.push_back("'case " + e + "." + variant.first + (variant.second.empty() ? "" : "(...)") + ":'");
            }
            return join(missing);
        }
        default: break;
    }
    return "all remaining values with a binding";
}

}  // namespace quellin::typeck
