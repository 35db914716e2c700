// Placeholders until calls, patterns and generics land; this file is deleted then.
#include "check/checker.hpp"

namespace quellin::typeck {

TResult<Type> Checker::check_call(const ast::Expr&, const std::vector<ast::Expr>&, const std::optional<Type>& expected,
                                  Span) {
    return expected ? *expected : Type::void_();
}
TResult<Type> Checker::check_method_call(const ast::Expr&, const std::string&, const std::vector<ast::Expr>&, Span) {
    return Type::void_();
}
TResult<Type> Checker::check_fn_value_call(const std::string&, const std::vector<Type>&, const Type& result,
                                           const std::vector<ast::Expr>&, Span) {
    return result;
}
TResult<Type> Checker::check_record_construction(const std::string&, const std::string& key, const ast::FieldInits&,
                                                 Span) {
    return Type::record(key);
}
TResult<Type> Checker::check_variant_construction(const std::string&, const std::string& key, const std::string&,
                                                  const ast::FieldInits&, Span) {
    return Type::enum_(key);
}
TResult<Type> Checker::check_unit_variant_ref(const std::string&, const std::string& key, const std::string&,
                                              const std::optional<Type>&, Span) {
    return Type::enum_(key);
}
Status Checker::check_pattern(const ast::Pattern&, const Type&) { return {}; }
Status Checker::check_record_pattern(const std::string&, const ast::FieldPatterns&, const Type&, Span) { return {}; }
bool Checker::match_exhaustive(const Type&, const std::vector<ast::MatchArm>&) const { return true; }
std::string Checker::missing_cases_hint(const Type&, const std::vector<ast::MatchArm>&) const { return {}; }
bool Checker::unify_m(const Type& d, const Type& a, Bindings&) const { return d == a; }
Type Checker::subst_ty(const Type& ty, const Bindings&) { return ty; }
Type Checker::clone_subst_view(const Type& ty, const Bindings&) const { return ty; }
bool Checker::mentions_generic_m(const Type&, const std::string&) const { return true; }
bool Checker::mentions_any_generic_m(const Type&) const { return false; }
std::string Checker::register_instance(const std::string& generic, std::vector<Type> args) {
    return mangle_key(generic, args);
}
TResult<Type> Checker::check_generic_call(Span, const std::optional<std::string>&, const std::string&,
                                          const FnSig& sig, const std::vector<ast::Expr>&) {
    return sig.ret;
}
TResult<Type> Checker::check_generic_record_construction(Span, const std::string&, const std::string& key,
                                                         const ast::FieldInits&) {
    return Type::record(key);
}
TResult<Type> Checker::check_generic_variant_construction(Span, const std::string&, const std::string& key,
                                                          const std::string&, const ast::FieldInits&,
                                                          const std::optional<Type>&) {
    return Type::enum_(key);
}
TResult<Type> Checker::check_generic_unit_variant_ref(Span, const std::string&, const std::string& key,
                                                      const std::string&, const std::optional<Type>&) {
    return Type::enum_(key);
}
bool pattern_irrefutable(const ast::Pattern&) { return true; }
std::string canonical_form(const std::string& head, const Fields&) { return head; }

}  // namespace quellin::typeck
