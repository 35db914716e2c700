#pragma once
// The type checker's messages, in the form described in common/message.hpp.
//
// Where the checker writes a message for either of two declarations (a record or an enum, a record
// pattern or a variant pattern), each is a kind of its own, so that every text reads here whole. A
// placeholder stands for what the message quotes of the program: names, types as written, counts, and
// the lists and forms the checker composes from them (`{variants}`, `{form}`, `{cases}`).

#include <cstdint>
#include <string>

#include "common/message.hpp"

namespace quellin::typeck {

// clang-format off
#define QN_TYPE_DIAGNOSTICS(X)                                                                                    \
    /* Declarations and modules */                                                                                \
    X(ImportAfterDeclaration, "imports live at the top of the file — move 'import {module}' above the first "     \
                              "declaration")                                                                      \
    X(ImportedTwice, "'{module}' is imported twice — one import per module")                                      \
    X(ImportsItself, "module '{name}' cannot import itself")                                                      \
    X(UnknownImportedModule, "unknown module '{module}' — expected {module}.qn next to this file")                \
    X(ImportedModuleHasTopLevelCode, "imported modules contain declarations only — top-level code runs in the "   \
                                     "entry file; move this into a function")                                     \
    X(BuiltinRecordName, "'{name}' is a builtin name — pick another record name")                                 \
    X(BuiltinEnumName, "'{name}' is a builtin name — pick another enum name")                                     \
    X(RecordDeclaredTwice, "record '{name}' is declared twice")                                                   \
    X(EnumNamedLikeRecord, "'{name}' is already a record — pick another enum name")                               \
    X(RecordNamedLikeEnum, "'{name}' is already an enum — pick another record name")                              \
    X(EnumDeclaredTwice, "enum '{name}' is declared twice")                                                       \
    X(RecordNamedLikeModule, "'{name}' is an imported module — pick another record name")                         \
    X(EnumNamedLikeModule, "'{name}' is an imported module — pick another enum name")                             \
    X(TypeDeclaredTwice, "type '{name}' is declared twice")                                                       \
    X(DuplicateRecordField, "duplicate field '{field}' in record '{record}'")                                     \
    X(RecordTypeParamUnused, "type parameter '{param}' of record '{record}' appears in no field — "               \
                             "constructions could never infer it; use it in a field or remove it")                \
    X(BuiltinVariantName, "'{variant}' is a builtin constructor — pick another variant name")                     \
    X(DuplicateVariant, "duplicate variant '{variant}' in enum '{enum}'")                                         \
    X(DuplicateVariantField, "duplicate field '{field}' in variant '{enum}.{variant}'")                           \
    X(EnumTypeParamUnused, "type parameter '{param}' of enum '{enum}' appears in no variant payload — "           \
                           "constructions could never infer it; use it in a payload or remove it")                \
    X(TypeContainsItself, "{kind} '{name}' contains itself (via {path}) — with value semantics that would be "    \
                          "infinite; break the cycle with Option[...] or List[...]")                              \
    X(ReservedFunctionName, "'{name}' is a reserved builtin name — pick another function name")                   \
    X(FunctionDeclaredTwice, "function '{name}' is declared twice")                                               \
    X(FunctionNamedLikeRecord, "'{name}' is already a record — pick another function name")                       \
    X(FunctionNamedLikeEnum, "'{name}' is already an enum — pick another function name")                          \
    X(FunctionNamedLikeModule, "'{name}' is an imported module — pick another function name")                     \
    X(TypeParamShadowsType, "type parameter '{param}' shadows the declared type '{param}' — pick another letter") \
    X(DuplicateParam, "duplicate parameter name '{name}'")                                                        \
    X(FunctionTypeParamUnused, "type parameter '{param}' of '{function}' appears in no parameter type — calls "   \
                               "could never infer it; use it in a parameter or remove it")                        \
    X(MainSignature, "'main' is the program entry point and must be declared as 'fn main() -> Void' with no "     \
                     "parameters")                                                                                \
    X(ExportExposesPrivateType, "{item} uses {type} — exportable signatures and pub-type fields use builtin "     \
                                "types or this module's own pub types; mark it pub or keep the item private")     \
    X(PrivateModuleFunction, "'{name}' exists in module '{module}' but is not public — mark it 'pub fn' (with "   \
                             "a /// doc comment) in {module}.qn")                                                 \
    X(PrivateModuleType, "'{name}' exists in module '{module}' but is not public — mark it 'pub record' / "       \
                         "'pub enum' (with a /// doc comment) in {module}.qn")                                    \
    X(NoSuchPubType, "module '{module}' has no pub type '{name}' — available: {types}")                           \
    X(NoSuchPubTypeNoneExported, "module '{module}' has no pub type '{name}' — mark a record or enum pub in "     \
                                 "{module}.qn to export it")                                                      \
    X(ModuleHasNoPubTypes, "module '{module}' has no pub types yet — mark a record or enum pub in {module}.qn")   \
    X(NoSuchPubFunction, "module '{module}' has no pub function '{name}' — available: {functions}")               \
    X(ModuleHasNoPubFunctions, "module '{module}' has no pub functions yet — add one in {module}.qn")             \
    /* Types */                                                                                                   \
    X(TypeParamWithTypeArgs, "type parameter '{name}' takes no type arguments — v1 generics have no "             \
                             "higher-kinded types")                                                               \
    X(BuiltinTypeWithTypeArgs, "'{name}' takes no type arguments, found {count} argument(s)")                     \
    X(ListTypeArity, "'List' takes exactly one type argument, e.g. List[Int], found {count} argument(s)")         \
    X(SetTypeArity, "'Set' takes exactly one type argument, e.g. Set[Text], found {count} argument(s)")           \
    X(OptionTypeArity, "'Option' takes exactly one type argument, e.g. Option[Int], found {count} argument(s)")   \
    X(MapTypeArity, "'Map' takes exactly two type arguments, e.g. Map[Text, Int], found {count} argument(s)")     \
    X(ResultTypeArity, "'Result' takes exactly two type arguments, e.g. Result[Int, Text], found {count} "        \
                       "argument(s)")                                                                             \
    X(TupleWithoutElements, "'Tuple' needs its element types, e.g. Tuple[Int, Text]")                             \
    X(NumDeferred, "'Num' is deferred in v0.1 — choose Int or Float explicitly")                                  \
    X(ByteType, "there is no single-byte type — use Bytes buffers (§20) and Int values 0–255")                    \
    X(NonGenericTypeWithTypeArgs, "'{name}' takes no type arguments — it is not generic, found {count} "          \
                                  "argument(s)")                                                                  \
    X(QualifiedNonGenericTypeWithTypeArgs, "'{name}' takes no type arguments — it is not generic")                \
    X(GenericTypeArity, "'{name}' is generic — write {name}[{params}] with {count} type argument(s), found "      \
                        "{found}")                                                                                \
    X(UnknownType, "unknown type '{name}' — v0.1 types are {types}, or a declared record or enum name")           \
    X(ModuleNotImported, "unknown module '{module}' — add 'import {module}' at the top of the file")              \
    /* Statements */                                                                                              \
    X(ReservedVariableName, "'{name}' is a reserved builtin name — pick another name")                            \
    X(VariableNamedLikeFunction, "'{name}' is already a top-level function — pick another name")                  \
    X(VariableNamedLikeRecord, "'{name}' is a record name — pick another name")                                   \
    X(VariableNamedLikeEnum, "'{name}' is an enum name — pick another name")                                      \
    X(VariableNamedLikeModule, "'{name}' is an imported module — pick another name")                              \
    X(AlreadyDeclaredInScope, "'{name}' is already declared in this scope — QUELLIN has no same-scope "           \
                              "shadowing; use a new name (or 'mut' if you want to reassign)")                     \
    X(FunctionMissingReturn, "not every path in '{function}' returns {type} — add a final return or an else "     \
                             "branch")                                                                            \
    X(ConditionNotBool, "condition must be Bool, found {type} — QUELLIN has no truthiness; write an explicit "    \
                        "comparison")                                                                             \
    X(BindVoid, "cannot bind a Void value — this expression produces no value")                                   \
    X(AssignToCaptured, "'{name}' is captured by value in this lambda — mutating it would only change the "       \
                        "lambda's copy; produce the result via the return value instead")                         \
    X(AssignToImmutable, "cannot assign to immutable '{name}' — declare it with 'mut {name} = ...' to allow "     \
                         "reassignment")                                                                          \
    X(AssignToFunction, "cannot assign to function '{name}'")                                                     \
    X(TopLevelVariableInFunction, "'{name}' is a top-level variable — functions only see their parameters and "   \
                                  "locals in QUELLIN; pass it as a parameter")                                    \
    X(UnknownAssignTarget, "unknown name '{name}' — declare it first with 'let' or 'mut'")                        \
    X(AssignIntoUnnamed, "cannot assign into this expression — element and field assignment need a named "        \
                         "value at the root, e.g. xs[0] = 1 or user.name = \"x\"")                                \
    X(ModifyImmutable, "cannot modify immutable '{name}' — declare it with 'mut' to allow element or field "      \
                       "assignment")                                                                              \
    X(AssignToExpression, "cannot assign to this expression — assignment targets are names, fields, or index "    \
                          "slots")                                                                                \
    X(NestedFunction, "nested functions are not supported in v0.1 — declare '{name}' at the top level")           \
    X(NestedRecord, "records are declared at the top level — move '{name}' out of this block")                    \
    X(NestedEnum, "enums are declared at the top level — move '{name}' out of this block")                        \
    X(NestedImport, "imports live at the top of the file — move 'import {module}' out of this block")             \
    X(NestedTest, "tests are declared at the top level — move \"{name}\" out of this block")                      \
    X(TestDeclaredTwice, "test \"{name}\" is declared twice — test names are unique so failures point at one "    \
                         "block")                                                                                 \
    X(AssertNotBool, "assert needs a Bool, found {type} — QUELLIN has no truthiness; write an explicit "          \
                     "comparison")                                                                                \
    X(MatchOnVoid, "cannot match on a Void value — this expression produces no value")                            \
    X(GuardNotBool, "a guard must be Bool, found {type} — QUELLIN has no truthiness; write an explicit "          \
                    "comparison")                                                                                 \
    X(ReturnOutsideFunction, "'return' outside a function")                                                       \
    X(ReturnWithoutValue, "this function returns {type} — 'return' needs a value")                                \
    X(BreakOutsideLoop, "'break' outside a loop")                                                                 \
    X(ContinueOutsideLoop, "'continue' outside a loop")                                                           \
    X(ForOverNonIterable, "'for' iterates List, Set, Map (its keys), Text, or Bytes values, found {type}")        \
    X(ResultDiscarded, "this {type} result is discarded — bind it with 'let' or return it")                       \
    /* Expressions */                                                                                             \
    X(TypeMismatch, "expected {expected}, found {found}")                                                         \
    X(InterpolateVoid, "cannot interpolate a Void value — this expression produces no value")                     \
    X(InterpolateFunction, "cannot interpolate a function value — call it and interpolate the result")            \
    X(NoneNotExpected, "'None' is an Option value, but {expected} is expected here")                              \
    X(NoneUninferable, "cannot infer the type of 'None' here — annotate the target, e.g. 'let x: Option[Int] "    \
                       "= None'")                                                                                 \
    X(ConstructorAsValue, "'{name}' is a constructor — call it with a value: {name}(...)")                        \
    X(ModuleAsValue, "'{name}' is a module — use its functions qualified: {name}.function(...)")                  \
    X(EnumAsValue, "'{name}' is an enum — write one of its variants: {variants}")                                 \
    X(GenericFunctionAsValue, "generic '{name}' has no single type — call it directly, or wrap it: fn(x: Int) "   \
                              "-> Int = {name}(x)")                                                               \
    X(BuiltinAsValue, "'{name}' is a builtin, not a value — call {name}(...)")                                    \
    X(TopLevelVariableInTest, "'{name}' is a top-level variable — tests are self-contained in QUELLIN; "          \
                              "declare the value inside the test")                                                \
    X(UnknownName, "unknown name '{name}'")                                                                       \
    X(EnumConstructedAsRecord, "'{name}' is an enum — construct one of its variants: {variants}")                 \
    X(FunctionConstructedAsRecord, "'{name}' is a function — named arguments construct records; call it "         \
                                   "positionally: {name}(...)")                                                   \
    X(UnknownRecord, "unknown record '{name}'")                                                                   \
    X(RecordConstructedAsVariant, "records have no variants — '{name}' is a record; construct it directly: "      \
                                  "{name}(field: ...)")                                                           \
    X(UnknownEnum, "unknown enum '{name}'")                                                                       \
    X(EmptyListUninferable, "cannot infer the element type of an empty list — annotate the target, e.g. 'let "    \
                            "xs: List[Int] = []'")                                                                \
    X(EmptyMapUninferable, "cannot infer the type of an empty map '{}' — annotate the target, e.g. 'let m: "      \
                           "Map[Text, Int] = {}'")                                                                \
    X(WithOnNonRecord, "'with' updates records, found {type} — enums are rebuilt via their variants, "            \
                       "collections via their methods")                                                           \
    X(WithFieldTwice, "field '{field}' is listed twice in this 'with'")                                           \
    X(WithUnknownField, "{record} has no field '{field}' — its fields are: {fields}")                             \
    X(WithFieldType, "field '{field}' of {record} is {type}, found {found}")                                      \
    X(NegateNonNumber, "'-' negates Int or Float, found {type}")                                                  \
    X(PlusOnText, "there is no '+' on Text — concatenate with interpolation: \"{{a}}{{b}}\"")                     \
    X(ArithmeticOnNonNumber, "operator '{op}' needs Int or Float operands (no implicit conversion), found "       \
                             "{type}")                                                                            \
    X(CompareFunctions, "function values cannot be compared — compare the results of calling them instead")       \
    X(OrderNonOrdered, "operator '{op}' compares Int, Float, or Text values, found {type}")                       \
    X(LambdaMissingReturn, "not every path in this lambda returns {type} — add a final return or an else branch") \
    X(IndexNonIndexable, "values of type {type} cannot be indexed — List, Map, Text, and Bytes can")              \
    X(RecordReferencedWithoutFields, "records are constructed with named fields: {form}")                         \
    X(UnknownField, "record {record} has no field '{field}' — its fields are: {fields}")                          \
    X(MethodWithoutCall, "'{name}' is a method — call it with parentheses: .{name}(...)")                         \
    X(EnumValueFieldRead, "values of type {type} have no fields — read a variant payload by matching: 'case "     \
                          "{type}.Variant(field: binding):'")                                                     \
    X(FieldReadOnNonRecord, "values of type {type} have no fields — only records do")                             \
    X(TryInLambda, "'?' is not available inside a lambda in v0.1 — propagate errors in a named function")         \
    X(TryOutsideFunction, "'?' can only be used inside a function")                                               \
    X(TryOptionInNonOption, "'?' on an Option needs the function to return an Option, but it returns {type}")     \
    X(TryErrorTypeMismatch, "'?' propagates the error, but the value has error type {type} while the function "   \
                            "returns error type {expected}")                                                      \
    X(TryResultInNonResult, "'?' on a Result needs the function to return a Result, but it returns {type}")       \
    X(TryOnNonFallible, "'?' needs an Option or Result value, found {type}")                                      \
    /* Calls and constructions */                                                                                 \
    X(CallArity, "'{name}' takes {count} argument(s), found {found}")                                             \
    X(FunctionValueArity, "this function value takes {count} argument(s), found {found}")                         \
    X(OkUninferable, "cannot infer the error type of 'Ok(...)' here — annotate the target, e.g. 'let r: "         \
                     "Result[Int, Text] = Ok(1)'")                                                                \
    X(ErrUninferable, "cannot infer the value type of 'Err(...)' here — annotate the target, e.g. 'let r: "       \
                      "Result[Int, Text] = Err(\"boom\")'")                                                       \
    X(NoneCalled, "'None' takes no arguments — write plain 'None'")                                               \
    X(CallNonFunctionName, "'{name}' has type {type} — it cannot be called")                                      \
    X(EnumCalled, "enums are constructed via their qualified variants: {variants}")                               \
    X(UnqualifiedModuleFunction, "'{name}' lives in module '{module}' — module functions are called "             \
                                 "qualified: {module}.{name}(...)")                                               \
    X(UnknownFunction, "unknown function '{name}' — v0.1 resolves calls to top-level functions and the "          \
                       "builtin print(Text)")                                                                     \
    X(PositionalVariantPayload, "variant payloads use named fields in declaration order: {form}")                 \
    X(UnitVariantWithParens, "'{enum}.{variant}' is a unit variant — write it without parentheses: "              \
                             "{enum}.{variant}")                                                                  \
    X(UnknownVariant, "enum {enum} has no variant '{variant}' — its variants are: {variants}")                    \
    X(JoinNonText, "join(separator) works on List[Text] — found {type}; interpolate the elements into Text "      \
                   "first")                                                                                       \
    X(SortedNonOrdered, "sorted() orders Int, Float, or Text elements — found {type}")                            \
    X(FilterArity, "'filter' takes 1 argument (a predicate), found {count}")                                      \
    X(FoldArity, "'fold' takes 2 arguments (initial value, combining function), found {count}")                   \
    X(FoldVoidInitial, "fold's initial value must be a value — this expression produces no value")                \
    X(MapArity, "'map' takes 1 argument (a function), found {count}")                                             \
    X(MapNonFunction, "map takes a function — found {type}; write fn(x: {element}) -> U = ...")                   \
    X(MapWrongFunction, "map on {type} needs a fn({element}) -> U, found fn({params}) -> {result}")               \
    X(MapperReturnsVoid, "the mapper must produce a value, but it returns Void — use a 'for' loop for side "      \
                         "effects")                                                                               \
    X(RecordMethodUnknownField, "records have no methods in v0.1, and {record} has no field '{name}'")            \
    X(RecordMethodPlainField, "records have no methods in v0.1 — '{name}' is a field; access it without "         \
                              "parentheses: .{name}")                                                             \
    X(RecordMethodFnField, "'{name}' is a fn-typed field, not a method — bind it first: 'let f = "                \
                           "value.{name}' then f(...)")                                                           \
    X(UnknownMethod, "no method '{name}' on {type} — available methods: {methods}")                               \
    X(NoMethods, "values of type {type} have no methods in v0.1")                                                 \
    X(MutateUnnamedReceiver, "'{name}' mutates its receiver, which needs a named value — bind it first: 'mut "    \
                             "xs = ...' then xs.{name}(...)")                                                     \
    X(MutateImmutableReceiver, "cannot call mutating '{name}' on immutable '{variable}' — declare it with 'mut'") \
    X(CallNonFunctionValue, "this expression has type {type} — only functions and fn-typed values can be called") \
    X(RecordFieldCount, "record {record} is constructed with all fields in declaration order: {form}")            \
    X(RecordFieldOrder, "record fields are written in declaration order — expected '{declared}' here, found "     \
                        "'{given}'; the canonical form is {form}")                                                \
    X(VariantFieldCount, "variant {enum}.{variant} is constructed with all payload fields in declaration "        \
                         "order: {form}")                                                                         \
    X(VariantFieldOrder, "variant fields are written in declaration order — expected '{declared}' here, found "   \
                         "'{given}'; the canonical form is {form}")                                               \
    X(VariantPayloadMissing, "'{enum}.{variant}' carries a payload — construct it with named fields: {form}")     \
    /* Patterns */                                                                                                \
    X(BareVariantPattern, "'{name}' here is a binding that matches anything — variants are matched qualified: "   \
                          "'case {enum}.{name}'")                                                                 \
    X(PatternTypeMismatch, "this pattern matches {what}, but the subject has type {type}")                        \
    X(ConstructorPatternWithoutValue, "'{name}' patterns carry a value — write {name}(inner_pattern)")            \
    X(UnqualifiedVariantPattern, "variants are matched qualified — write 'case {enum}.{variant}(...)'")           \
    X(PositionalRecordPattern, "record patterns use named fields — write {name}(field: pattern, ...) with all "   \
                               "fields in declaration order")                                                     \
    X(UnknownPatternConstructor, "unknown constructor '{name}' in pattern — v0.1 patterns support "               \
                                 "Some/None/Ok/Err, record patterns, qualified enum variants, literals, '_', "    \
                                 "and bindings")                                                                  \
    X(RecordPatternFieldCount, "record patterns list all fields in declaration order — {record} has {count} "     \
                               "field(s); ignore one with '_'")                                                   \
    X(RecordPatternFieldOrder, "record pattern fields are written in declaration order — expected "               \
                               "'{declared}' here, found '{given}'")                                              \
    X(EnumNamePattern, "'{name}' is an enum — match one of its variants: 'case {name}.Variant:'")                 \
    X(UnitVariantPatternWithParens, "'{enum}.{variant}' is a unit variant — match it without parentheses: "       \
                                    "'case {enum}.{variant}:'")                                                   \
    X(VariantPatternFieldCount, "variant patterns list all payload fields in declaration order — "                \
                                "{enum}.{variant} has {count} field(s); ignore one with '_'")                     \
    X(VariantPatternFieldOrder, "variant pattern fields are written in declaration order — expected "             \
                                "'{declared}' here, found '{given}'")                                             \
    X(MatchNotExhaustive, "this match on {type} is not exhaustive — cover {cases} or finish with a 'case _:' "    \
                          "arm")                                                                                  \
    /* Generics */                                                                                                \
    X(GenericCallUninferable, "cannot infer '{function}': argument {index} is {type}, but the arguments so "      \
                              "far need {needed}")                                                                \
    X(GenericRecordUninferable, "cannot infer {record}: field '{field}' is {type}, but the fields so far need "   \
                                "{needed}")                                                                       \
    X(GenericVariantUninferable, "cannot infer {enum}.{variant}: field '{field}' is {type}, but the fields so "   \
                                 "far need {needed}")                                                             \
    X(TypeParamUninferable, "cannot infer '{param}' for {enum}.{variant} — annotate the binding, e.g. 'let x: "   \
                            "{enum}[...] = {enum}.{variant}'")                                                    \
    X(TypeArgsUninferable, "cannot infer the type arguments for {enum}.{variant} — annotate the binding, e.g. "   \
                           "'let x: {enum}[...] = {enum}.{variant}'")                                             \
    /* Limits: the bound is the checker's kMaxTypeChars */                                                        \
    X(TypeTooLarge, "this type grows too large (more than 4096 characters) — add type annotations or simplify "   \
                    "the generic nesting")
// clang-format on

enum class TypeDiag : uint8_t { QN_TYPE_DIAGNOSTICS(QN_MESSAGE_KIND_ENUM) };

inline constexpr MessageKind kTypeDiagnostics[] = {QN_TYPE_DIAGNOSTICS(QN_MESSAGE_KIND_ENTRY)};
inline constexpr MessageRegistry kTypeRegistry{"checker", kTypeDiagnostics};

template <class... Args>
std::string type_message(TypeDiag kind, const Args&... args) {
    return fill(kTypeDiagnostics, kind, args...);
}

}  // namespace quellin::typeck
