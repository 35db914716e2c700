#pragma once
// The parser's messages, in the form described in common/message.hpp.
//
// A message that reports a missing token is a kind of its own for each place the token is expected, so
// that the whole text, the token's name included, reads here as the user sees it. The parser's
// `expect(tag, kind)` raises such a kind with the token it found instead, `{token}`; a template it raises
// starts with "expected " and the expected token's display form.

#include <cstdint>
#include <string>

#include "common/message.hpp"

namespace quellin {

// clang-format off
#define QN_PARSE_DIAGNOSTICS(X)                                                                                  \
    /* Bounds */                                                                                                 \
    X(NestsTooDeeply, "this code nests too deeply (more than 256 levels) — move inner parts into functions or "  \
                      "intermediate 'let' bindings")                                                             \
    X(ChainsTooManyOperations, "this expression chains too many operations (more than 1024) — split it with "    \
                               "intermediate 'let' bindings")                                                    \
    /* Blocks, type parameters and doc comments */                                                               \
    X(AssignWhereColonExpected, "found '=' where ':' was expected — assignment is a statement in QUELLIN; use "   \
                                "'==' to compare values")                                                        \
    X(ExpectedBlockColon, "expected Colon ':' to start the block, found {token}")                                \
    X(ExpectedBlockNewline, "expected Newline after ':' — QUELLIN blocks always start on the next line, "        \
                            "indented by 4 spaces, found {token}")                                               \
    X(ExpectedBlockIndent, "expected Indent — expected an indented block (4 spaces); empty blocks are not "      \
                           "allowed, found {token}")                                                             \
    X(ExpectedTypeParamName, "expected a type parameter name — generic declarations are 'name[T, U]', found "    \
                             "{token}")                                                                          \
    X(DuplicateTypeParam, "type parameter '{name}' is declared twice")                                           \
    X(ExpectedTypeParamsClose, "expected RBracket ']' to close the type parameter list, found {token}")          \
    X(ExpectedDocCommentNewline, "expected Newline after the doc comment, found {token}")                         \
    X(DocCommentWithoutDeclaration, "doc comments (///) must be followed by a function, record, or enum "        \
                                    "declaration, found {token}")                                                \
    /* Functions */                                                                                              \
    X(ExpectedFnKeyword, "expected keyword 'fn' to declare a function, found {token}")                           \
    X(ExpectedFunctionName, "expected a function name after 'fn', found {token}")                                \
    X(PublicFunctionWithoutDoc, "public function '{name}' is missing its doc comment — QUELLIN requires /// "    \
                                "documentation on public items")                                                 \
    X(ExpectedParamsOpen, "expected LParen '(' after the function name, found {token}")                          \
    X(ExpectedParamsClose, "expected RParen ')' to close the parameter list, found {token}")                     \
    X(ExpectedReturnArrow, "expected Arrow '->' after the parameter list — every function declares its return "  \
                           "type explicitly, e.g. '-> Void', found {token}")                                     \
    X(ExpectedExprBodyNewline, "expected Newline to end the expression-body function, found {token}")            \
    X(ExpectedFunctionBody, "expected ':' for a block body or '=' for an expression body, found {token}")        \
    X(ExpectedParamName, "expected a parameter name, found {token}")                                             \
    X(ExpectedParamColon, "expected Colon ':' after the parameter name — every parameter declares its type as "  \
                          "'name: Type', found {token}")                                                         \
    /* Records */                                                                                                \
    X(ExpectedRecordKeyword, "expected keyword 'record' to declare a record, found {token}")                     \
    X(ExpectedRecordName, "expected a record name after 'record', found {token}")                                \
    X(PublicRecordWithoutDoc, "public record '{name}' is missing its doc comment — QUELLIN requires /// "        \
                              "documentation on public items")                                                   \
    X(ExpectedRecordColon, "expected Colon ':' to start the record body, found {token}")                         \
    X(ExpectedRecordNewline, "expected Newline after ':' — record fields start on the next line, indented by 4 " \
                             "spaces, found {token}")                                                            \
    X(ExpectedRecordIndent, "expected Indent — expected indented record fields ('name: Type', one per line), "   \
                            "found {token}")                                                                     \
    X(ExpectedFieldName, "expected a field name, found {token}")                                                 \
    X(ExpectedRecordFieldColon, "expected Colon ':' after the field name — record fields are 'name: Type', "     \
                                "found {token}")                                                                 \
    X(ExpectedRecordFieldNewline, "expected Newline to end the field, found {token}")                            \
    /* Enums */                                                                                                  \
    X(ExpectedEnumKeyword, "expected keyword 'enum' to declare an enum, found {token}")                          \
    X(ExpectedEnumName, "expected an enum name after 'enum', found {token}")                                     \
    X(PublicEnumWithoutDoc, "public enum '{name}' is missing its doc comment — QUELLIN requires /// "            \
                            "documentation on public items")                                                     \
    X(ExpectedEnumColon, "expected Colon ':' to start the enum body, found {token}")                             \
    X(ExpectedEnumNewline, "expected Newline after ':' — enum variants start on the next line, indented by 4 "   \
                           "spaces, found {token}")                                                              \
    X(ExpectedEnumIndent, "expected Indent — expected indented enum variants, one per line, found {token}")      \
    X(ExpectedVariantName, "expected a variant name, found {token}")                                             \
    X(ExpectedPayloadFieldColon, "expected Colon ':' after the field name — variant payloads are 'name: Type', " \
                                 "found {token}")                                                                \
    X(ExpectedPayloadClose, "expected RParen ')' to close the variant payload, found {token}")                   \
    X(EmptyVariantPayload, "unit variants are written without parentheses")                                      \
    X(ExpectedVariantNewline, "expected Newline to end the variant, found {token}")                              \
    /* Statements */                                                                                             \
    X(ExpectedBreakNewline, "expected Newline after 'break', found {token}")                                     \
    X(ExpectedContinueNewline, "expected Newline after 'continue', found {token}")                               \
    X(ExpectedAssertNewline, "expected Newline to end the assert statement, found {token}")                      \
    X(ExpectedModuleName, "expected a module name after 'import' — 'import utils' loads utils.qn, found "        \
                          "{token}")                                                                             \
    X(ExpectedImportNewline, "expected Newline to end the import, found {token}")                                \
    X(ExpectedStatementNewline, "expected Newline to end the statement, found {token}")                          \
    X(BranchWithoutIf, "'{keyword}' without a matching 'if' — 'elif'/'else' must follow an 'if' block at the "   \
                       "same indentation")                                                                       \
    X(KeywordAtStatementStart, "unexpected keyword '{keyword}' at statement start")                              \
    X(ReservedKeyword, "'{keyword}' is reserved but not yet supported in QUELLIN v0.1")                          \
    X(CaseOutsideMatch, "'case' outside 'match' — case arms live indented under 'match subject:'")               \
    X(ExpectedBindingName, "expected a name after 'let'/'mut', found {token}")                                   \
    X(ExpectedBindingAssign, "expected Assign '=' after the declared name — every declaration initializes its "  \
                             "value, found {token}")                                                             \
    X(ExpectedBindingNewline, "expected Newline to end the declaration, found {token}")                          \
    X(ExpectedReturnNewline, "expected Newline to end the return statement, found {token}")                      \
    X(ExpectedLoopVariable, "expected a loop variable name after 'for', found {token}")                          \
    X(ExpectedInKeyword, "expected keyword 'in' between the loop variable and the iterable, found {token}")      \
    X(ExpectedMatchColon, "expected Colon ':' to start the match block, found {token}")                          \
    X(ExpectedMatchNewline, "expected Newline after ':' — case arms start on the next line, indented by 4 "      \
                            "spaces, found {token}")                                                             \
    X(ExpectedMatchIndent, "expected Indent — expected indented 'case pattern:' arms, found {token}")            \
    X(ExpectedCaseKeyword, "expected keyword 'case' — every match arm starts with 'case pattern:', found "       \
                           "{token}")                                                                            \
    X(MatchWithoutArms, "'match' needs at least one 'case' arm")                                                 \
    X(ExpectedTestKeyword, "expected keyword 'test' to declare a test, found {token}")                           \
    X(ExpectedTestName, "expected a test name after 'test' — 'test \"what it does\":' — found {token}")          \
    X(EmptyTestName, "test names describe the behavior under test — write 'test \"what it does\":'")             \
    X(InterpolatedTestName, "test names are plain text — interpolation is not allowed here")                     \
    X(InvalidAssignmentTarget, "cannot assign to this expression — assignment targets are names, fields (a.b), " \
                               "or index slots (a[i])")                                                          \
    X(ExpectedAssignmentNewline, "expected Newline to end the assignment, found {token}")                        \
    /* Expressions */                                                                                            \
    X(ExpectedWithFieldName, "expected a field name after 'with', found {token}")                                \
    X(ExpectedWithFieldColon, "expected Colon ':' after the field name — 'with field: value', found {token}")    \
    X(RepeatedWith, "one 'with' clause per expression — combine the fields:                  'point with x: 1, " \
                    "y: 2'")                                                                                     \
    X(ChainedComparison, "comparison chaining like 'a < b < c' is not allowed — write 'a < b and b < c'")        \
    X(KeywordInExpression, "unexpected keyword '{keyword}' in an expression")                                    \
    X(ExpectedExpression, "expected an expression, found {token}")                                               \
    X(ExpectedParenClose, "expected RParen ')' to close the parenthesized expression, found {token}")            \
    X(ExpectedTupleClose, "expected RParen ')' to close the tuple literal, found {token}")                       \
    X(ExpectedListClose, "expected RBracket ']' to close the list literal, found {token}")                       \
    X(ExpectedMapColon, "expected Colon ':' between the map key and its value, found {token}")                   \
    X(ExpectedMapClose, "expected RBrace '}' to close the map literal, found {token}")                           \
    X(ExpectedSetClose, "expected RBrace '}' to close the set literal, found {token}")                           \
    X(InInterpolation, "in string interpolation: {message}")                                                     \
    X(TokenAfterInterpolation, "unexpected {token} after the expression in a string interpolation")              \
    X(NamedLambda, "lambdas have no name — declare '{name}' as a top-level function, or drop the name: "         \
                   "'fn(x: Int) -> Int = ...'")                                                                  \
    X(ExpectedLambdaParamsOpen, "expected LParen '(' after 'fn' — lambdas are 'fn(name: Type, ...) -> Ret = "    \
                                "expr', found {token}")                                                          \
    X(ExpectedLambdaParamsClose, "expected RParen ')' to close the lambda parameters, found {token}")            \
    X(ExpectedLambdaArrow, "expected Arrow '->' after the parameters — lambdas declare their return type "       \
                           "explicitly, e.g. '-> Int', found {token}")                                           \
    X(BlockLambdaOutsideBinding, "a block-bodied lambda can only be the entire right side of a binding — write " \
                                 "'let f = fn(...) -> T:' with an indented block, or use '= expr' here")         \
    X(ExpectedLambdaAssign, "expected Assign '=' before the lambda body — 'fn(x: Int) -> Int = x * 2', found "   \
                            "{token}")                                                                           \
    X(ExpectedMemberName, "expected a field or method name after '.', found {token}")                            \
    X(ExpectedIndexClose, "expected RBracket ']' to close the index, found {token}")                             \
    X(NamedArgumentsOutsideConstruction, "named arguments construct records or enum variants — write "           \
                                         "'Name(field: ...)' or 'Enum.Variant(field: ...)'")                     \
    X(ExpectedNamedFieldColon, "expected Colon ':' after the field name — named fields are 'name: value', "      \
                               "found {token}")                                                                  \
    X(ExpectedNamedFieldsClose, "expected RParen ')' to close the named-field list, found {token}")              \
    X(ExpectedArgumentsClose, "expected RParen ')' to close the argument list, found {token}")                   \
    /* Patterns */                                                                                               \
    X(ExpectedIntAfterMinus, "expected an integer literal after '-' in this pattern, found {token}")             \
    X(InterpolatedTextPattern, "text patterns cannot contain interpolation — match against a plain literal")     \
    X(ExpectedPattern, "expected a pattern (literal, name, '_', Some/None/Ok/Err, or a record), found {token}")  \
    X(ExpectedPatternVariantName, "expected a variant name after '.', found {token}")                            \
    X(UnitVariantPatternWithParens, "unit variants are written without parentheses — 'case {enum}.{variant}:'") \
    X(ExpectedFieldPatternColon, "expected Colon ':' after the field name, found {token}")                       \
    X(ExpectedVariantPatternClose, "expected RParen ')' to close the variant pattern, found {token}")            \
    X(ExpectedRecordPatternClose, "expected RParen ')' to close the record pattern, found {token}")              \
    X(ExpectedConstructorPatternClose, "expected RParen ')' to close the constructor pattern, found {token}")    \
    /* Types */                                                                                                  \
    X(ExpectedFnTypeParamsOpen, "expected LParen '(' after 'fn' — function types mirror declarations: "          \
                                "'fn(ParamTypes) -> Ret', found {token}")                                        \
    X(ExpectedFnTypeParamsClose, "expected RParen ')' to close the function-type parameters, found {token}")     \
    X(ExpectedFnTypeArrow, "expected Arrow '->' after the parameters — function types declare their result: "    \
                           "'fn(Int) -> Bool', found {token}")                                                   \
    X(ExpectedTypeName, "expected a type name, found {token}")                                                   \
    X(ExpectedQualifiedTypeName, "expected a type name after '.', found {token}")                                \
    X(ExpectedTypeArgsClose, "expected RBracket ']' to close the type arguments, found {token}")
// clang-format on

enum class ParseDiag : uint8_t { QN_PARSE_DIAGNOSTICS(QN_MESSAGE_KIND_ENUM) };

inline constexpr MessageKind kParseDiagnostics[] = {QN_PARSE_DIAGNOSTICS(QN_MESSAGE_KIND_ENTRY)};
inline constexpr MessageRegistry kParseRegistry{"parser", kParseDiagnostics};

template <class... Args>
std::string parse_message(ParseDiag kind, const Args&... args) {
    return fill(kParseDiagnostics, kind, args...);
}

}  // namespace quellin
