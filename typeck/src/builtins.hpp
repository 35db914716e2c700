#pragma once
// The names the language defines before any declaration: the builtin types, the builtin functions and
// the constructors of Option and Result, in one table. Everything that knows a builtin name reads it
// here: resolving a written type, the rules for the names declarations may take, calls and values,
// constructions and patterns, the list of types the unknown-type message offers, and the names types
// are shown with.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "typeck/diagnostics.hpp"
#include "typeck/types.hpp"

namespace quellin::typeck {

enum class BuiltinRole : uint8_t {
    Type,         // a type taking exactly `arity` type arguments
    Tuple,        // Tuple, which takes `arity` or more element types
    RefusedType,  // a type name kept from use, refused with its own message
    Function,     // a function with a fixed signature
    Constructor,  // Some, None, Ok or Err, whose types come from where they are used
};

enum class Constructor : uint8_t { Some, None, Ok, Err };

// Makes one type of a builtin function's signature.
using TypeMaker = Type (*)();

struct BuiltinName {
    std::string_view name;
    BuiltinRole role;
    // Type, Tuple: the kind of the type the name stands for.
    Type::Kind kind = Type::Kind::Void;
    // Type, Tuple: the number of type arguments; Function: the number of parameters.
    uint8_t arity = 0;
    // Type: the message for another number of type arguments; Tuple: for none; RefusedType: for any use.
    TypeDiag refusal = TypeDiag::UnknownType;
    // Type, Tuple: how the unknown-type message lists the type; empty when it does not.
    std::string_view listed_as = {};
    // Function: the parameter types (the first `arity`) and the result type.
    std::array<TypeMaker, 2> params = {};
    TypeMaker result = nullptr;
    // Constructor: which one.
    Constructor constructor = Constructor::Some;

    constexpr bool is_type() const { return role == BuiltinRole::Type || role == BuiltinRole::Tuple; }
};

namespace builtin_rows {

constexpr BuiltinName type(std::string_view name, Type::Kind kind, uint8_t arity, TypeDiag wrong_arity,
                           std::string_view listed_as) {
    return {name, BuiltinRole::Type, kind, arity, wrong_arity, listed_as};
}

constexpr BuiltinName refused(std::string_view name, TypeDiag refusal) {
    return {name, BuiltinRole::RefusedType, Type::Kind::Void, 0, refusal};
}

constexpr BuiltinName function(std::string_view name, std::array<TypeMaker, 2> params, uint8_t arity,
                               TypeMaker result) {
    return {name, BuiltinRole::Function, Type::Kind::Void, arity, TypeDiag::UnknownType, {}, params, result};
}

constexpr BuiltinName constructor(std::string_view name, Constructor which) {
    return {name, BuiltinRole::Constructor, Type::Kind::Void, 0, TypeDiag::UnknownType, {}, {}, nullptr, which};
}

constexpr auto make_table() {
    using Kind = Type::Kind;
    return std::array{
        type("Int", Kind::Int, 0, TypeDiag::BuiltinTypeWithTypeArgs, "Int"),
        type("Float", Kind::Float, 0, TypeDiag::BuiltinTypeWithTypeArgs, "Float"),
        type("Text", Kind::Text, 0, TypeDiag::BuiltinTypeWithTypeArgs, "Text"),
        type("Bool", Kind::Bool, 0, TypeDiag::BuiltinTypeWithTypeArgs, "Bool"),
        type("Void", Kind::Void, 0, TypeDiag::BuiltinTypeWithTypeArgs, "Void"),
        // The unknown-type message lists the types of version 0.1, which had no Bytes.
        type("Bytes", Kind::Bytes, 0, TypeDiag::BuiltinTypeWithTypeArgs, ""),
        type("List", Kind::List, 1, TypeDiag::ListTypeArity, "List[T]"),
        type("Map", Kind::Map, 2, TypeDiag::MapTypeArity, "Map[K, V]"),
        type("Set", Kind::Set, 1, TypeDiag::SetTypeArity, "Set[T]"),
        BuiltinName{"Tuple", BuiltinRole::Tuple, Kind::Tuple, 1, TypeDiag::TupleWithoutElements, "Tuple[...]"},
        type("Option", Kind::Option, 1, TypeDiag::OptionTypeArity, "Option[T]"),
        type("Result", Kind::Result, 2, TypeDiag::ResultTypeArity, "Result[T, E]"),
        refused("Num", TypeDiag::NumDeferred),
        refused("Byte", TypeDiag::ByteType),

        function("print", {&Type::text}, 1, &Type::void_),
        function("env", {&Type::text}, 1, +[] { return Type::option(Type::text()); }),
        function("args", {}, 0, +[] { return Type::list(Type::text()); }),
        function("read_file", {&Type::text}, 1, +[] { return Type::result(Type::bytes(), Type::text()); }),
        function("write_file", {&Type::text, &Type::bytes}, 2,
                 +[] { return Type::result(Type::int_(), Type::text()); }),

        constructor("Some", Constructor::Some),
        constructor("None", Constructor::None),
        constructor("Ok", Constructor::Ok),
        constructor("Err", Constructor::Err),
    };
}

}  // namespace builtin_rows

inline constexpr auto kBuiltins = builtin_rows::make_table();

namespace builtin_rows {

constexpr std::size_t kLongest = [] {
    std::size_t longest = 0;
    for (const BuiltinName& row : kBuiltins) longest = row.name.size() > longest ? row.name.size() : longest;
    return longest;
}();

// An open-addressed table of the rows, hashed on a name's length and its first and last characters,
// so that a lookup compares one or two names, and an ordinary identifier usually none.
constexpr std::size_t kSlots = 64;
constexpr uint8_t kNoRow = 0xFF;
static_assert(kBuiltins.size() * 2 < kSlots, "the table stays at most half full");

constexpr std::size_t slot_of(std::string_view name) {
    return (name.size() * 5 + static_cast<unsigned char>(name.front()) * 3 + static_cast<unsigned char>(name.back())) %
           kSlots;
}

constexpr std::array<uint8_t, kSlots> make_slots() {
    std::array<uint8_t, kSlots> slots{};
    for (uint8_t& slot : slots) slot = kNoRow;
    for (std::size_t row = 0; row < kBuiltins.size(); ++row) {
        std::size_t slot = slot_of(kBuiltins[row].name);
        while (slots[slot] != kNoRow) slot = (slot + 1) % kSlots;
        slots[slot] = static_cast<uint8_t>(row);
    }
    return slots;
}

inline constexpr std::array<uint8_t, kSlots> kSlotRows = make_slots();

// The display name of each builtin type kind; empty for the kinds that are not builtin types.
constexpr auto make_kind_names() {
    std::array<std::string_view, static_cast<std::size_t>(Type::Kind::TypeParam) + 1> names{};
    for (const BuiltinName& row : kBuiltins) {
        if (row.is_type()) names[static_cast<std::size_t>(row.kind)] = row.name;
    }
    return names;
}

inline constexpr auto kKindNames = make_kind_names();

}  // namespace builtin_rows

// The row of a builtin name, or null. Asked for nearly every name the checker meets.
inline const BuiltinName* find_builtin(std::string_view name) {
    if (name.empty() || name.size() > builtin_rows::kLongest) return nullptr;
    for (std::size_t slot = builtin_rows::slot_of(name);; slot = (slot + 1) % builtin_rows::kSlots) {
        const uint8_t row = builtin_rows::kSlotRows[slot];
        if (row == builtin_rows::kNoRow) return nullptr;
        if (kBuiltins[row].name == name) return &kBuiltins[row];
    }
}

// Which of Some, None, Ok and Err `name` is, if any.
inline std::optional<Constructor> builtin_constructor(std::string_view name) {
    const BuiltinName* row = find_builtin(name);
    if (row == nullptr || row->role != BuiltinRole::Constructor) return std::nullopt;
    return row->constructor;
}

// The name a builtin type of `kind` is shown with: "Int", "List"; empty for records, enums, functions
// and type parameters.
constexpr std::string_view builtin_type_name(Type::Kind kind) {
    return builtin_rows::kKindNames[static_cast<std::size_t>(kind)];
}

// Names that no record or enum may take: every builtin name.
bool is_builtin_name(std::string_view name);
// Names that no function, variable or enum variant may take: the builtin functions and constructors.
bool is_reserved_builtin_name(std::string_view name);

// The builtin types as the unknown-type message lists them: "Int, Float, ..., Result[T, E]".
std::string_view listed_builtin_types();

}  // namespace quellin::typeck
