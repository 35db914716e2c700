#include "ast/ast.hpp"

namespace quellin::ast {

namespace {

bool fields_equal(const FieldPatterns& a, const FieldPatterns& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (a[i].name != b[i].name || !(a[i].pattern == b[i].pattern)) return false;
    }
    return true;
}

struct KindEqual {
    const PatternKind& other;

    bool operator()(const PatternKind::Wildcard&) const { return true; }
    bool operator()(const PatternKind::Name& a) const {
        return a.name == std::get<PatternKind::Name>(other.v).name;
    }
    bool operator()(const PatternKind::Int& a) const { return a.value == std::get<PatternKind::Int>(other.v).value; }
    bool operator()(const PatternKind::Bool& a) const { return a.value == std::get<PatternKind::Bool>(other.v).value; }
    bool operator()(const PatternKind::Text& a) const { return a.value == std::get<PatternKind::Text>(other.v).value; }
    bool operator()(const PatternKind::Constructor& a) const {
        const auto& b = std::get<PatternKind::Constructor>(other.v);
        if (a.name != b.name || a.inner.has_value() != b.inner.has_value()) return false;
        return !a.inner || **a.inner == **b.inner;
    }
    bool operator()(const PatternKind::Record& a) const {
        const auto& b = std::get<PatternKind::Record>(other.v);
        return a.name == b.name && fields_equal(a.fields, b.fields);
    }
    bool operator()(const PatternKind::Variant& a) const {
        const auto& b = *alternative<PatternKind::Variant>(other.v);
        return a.enum_name == b.enum_name && a.variant == b.variant && a.module == b.module &&
               fields_equal(a.fields, b.fields);
    }
};

}  // namespace

bool operator==(const PatternKind& a, const PatternKind& b) {
    if (a.v.index() != b.v.index()) return false;
    return visit_kind(KindEqual{b}, a.v);
}

bool operator==(const Pattern& a, const Pattern& b) { return a.span == b.span && a.kind == b.kind; }

}  // namespace quellin::ast
