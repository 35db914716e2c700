// The builtin methods of the builtin types: one table serves both signature lookup and the
// method lists shown when a call names an unknown method.

#include <array>

#include "check/checker.hpp"

namespace quellin::typeck {

namespace {

using Kind = Type::Kind;

// A type in a signature, built from the receiver: Elem is T of List/Set/Option/Result and K of Map,
// Second is V of Map, Self is the receiver type itself.
enum class Base : uint8_t { Int, Float, Text, Bool, Bytes, Elem, Second, Self };
enum class Wrap : uint8_t { None, List, Option };

struct Slot {
    Base base;
    Wrap wrap = Wrap::None;
};

enum class Form : uint8_t {
    Returns,
    Mutates,
    // The list methods that take a function; the call checker types them from their argument.
    Map,
    Filter,
    Fold,
};

// What a list method asks of the element type. A method for Int elements only is missing on other
// lists; join and sorted are on every list, and refuse the elements they cannot use with a message.
enum class Elements : uint8_t { Any, IntOnly, TextOrRefused, OrderedOrRefused };

struct MethodRow {
    Kind receiver;
    std::string_view name;
    Form form;
    uint8_t arity;
    Slot param0;
    Slot param1;
    Slot result;
    Elements elements = Elements::Any;
};

constexpr Slot kInt{Base::Int};
constexpr Slot kFloat{Base::Float};
constexpr Slot kText{Base::Text};
constexpr Slot kBool{Base::Bool};
constexpr Slot kBytes{Base::Bytes};
constexpr Slot kElem{Base::Elem};
constexpr Slot kSelf{Base::Self};
constexpr Slot kOptElem{Base::Elem, Wrap::Option};
constexpr Slot kOptSecond{Base::Second, Wrap::Option};
constexpr Slot kListElem{Base::Elem, Wrap::List};
constexpr Slot kListSecond{Base::Second, Wrap::List};
constexpr Slot kListText{Base::Text, Wrap::List};
constexpr Slot kListInt{Base::Int, Wrap::List};
constexpr Slot kOptInt{Base::Int, Wrap::Option};
constexpr Slot kOptFloat{Base::Float, Wrap::Option};
constexpr Slot kOptText{Base::Text, Wrap::Option};

constexpr MethodRow ret0(Kind k, std::string_view name, Slot result, Elements elements = Elements::Any) {
    return {k, name, Form::Returns, 0, kInt, kInt, result, elements};
}
constexpr MethodRow ret1(Kind k, std::string_view name, Slot p0, Slot result, Elements elements = Elements::Any) {
    return {k, name, Form::Returns, 1, p0, kInt, result, elements};
}
constexpr MethodRow ret2(Kind k, std::string_view name, Slot p0, Slot p1, Slot result) {
    return {k, name, Form::Returns, 2, p0, p1, result};
}
constexpr MethodRow mut1(Kind k, std::string_view name, Slot p0) {
    return {k, name, Form::Mutates, 1, p0, kInt, kInt};
}
constexpr MethodRow takes_fn(std::string_view name, Form form) {
    return {Kind::List, name, form, 0, kInt, kInt, kInt};
}

// Rows of one receiver stay together and in the order the method lists show them.
constexpr std::array kMethods{
    ret0(Kind::Int, "abs", kInt),
    ret0(Kind::Int, "to_float", kFloat),

    ret0(Kind::Float, "abs", kFloat),
    ret0(Kind::Float, "sqrt", kFloat),
    ret0(Kind::Float, "sin", kFloat),
    ret0(Kind::Float, "cos", kFloat),
    ret0(Kind::Float, "round", kInt),
    ret0(Kind::Float, "floor", kInt),
    ret0(Kind::Float, "ceil", kInt),
    ret0(Kind::Float, "to_int", kInt),

    ret0(Kind::Text, "len", kInt),
    ret0(Kind::Text, "upper", kText),
    ret0(Kind::Text, "lower", kText),
    ret0(Kind::Text, "trim", kText),
    ret1(Kind::Text, "contains", kText, kBool),
    ret1(Kind::Text, "starts_with", kText, kBool),
    ret1(Kind::Text, "ends_with", kText, kBool),
    ret1(Kind::Text, "split", kText, kListText),
    ret2(Kind::Text, "replace", kText, kText, kText),
    ret0(Kind::Text, "chars", kListText),
    ret0(Kind::Text, "to_int", kOptInt),
    ret0(Kind::Text, "to_float", kOptFloat),
    ret0(Kind::Text, "to_bytes", kBytes),

    ret0(Kind::Bytes, "len", kInt),
    ret1(Kind::Bytes, "get", kInt, kOptInt),
    ret2(Kind::Bytes, "slice", kInt, kInt, kBytes),
    ret0(Kind::Bytes, "to_list", kListInt),
    ret0(Kind::Bytes, "to_text", kOptText),
    ret0(Kind::Bytes, "to_hex", kText),

    ret0(Kind::List, "len", kInt),
    ret0(Kind::List, "is_empty", kBool),
    ret1(Kind::List, "contains", kElem, kBool),
    ret0(Kind::List, "first", kOptElem),
    ret0(Kind::List, "last", kOptElem),
    ret0(Kind::List, "reversed", kSelf),
    ret0(Kind::List, "sorted", kSelf, Elements::OrderedOrRefused),
    ret1(Kind::List, "join", kText, kText, Elements::TextOrRefused),
    takes_fn("map", Form::Map),
    takes_fn("filter", Form::Filter),
    takes_fn("fold", Form::Fold),
    ret0(Kind::List, "to_bytes", kBytes, Elements::IntOnly),
    mut1(Kind::List, "push", kElem),

    ret0(Kind::Map, "len", kInt),
    ret0(Kind::Map, "is_empty", kBool),
    ret1(Kind::Map, "has", kElem, kBool),
    ret1(Kind::Map, "get", kElem, kOptSecond),
    ret0(Kind::Map, "keys", kListElem),
    ret0(Kind::Map, "values", kListSecond),

    ret0(Kind::Set, "len", kInt),
    ret0(Kind::Set, "is_empty", kBool),
    ret1(Kind::Set, "contains", kElem, kBool),
    mut1(Kind::Set, "add", kElem),

    ret0(Kind::Option, "is_some", kBool),
    ret0(Kind::Option, "is_none", kBool),
    ret1(Kind::Option, "unwrap_or", kElem, kElem),

    ret0(Kind::Result, "is_ok", kBool),
    ret0(Kind::Result, "is_err", kBool),
    ret1(Kind::Result, "unwrap_or", kElem, kElem),
};

Type build(Slot slot, const Type& receiver) {
    Type base;
    switch (slot.base) {
        case Base::Int: base = Type::int_(); break;
        case Base::Float: base = Type::float_(); break;
        case Base::Text: base = Type::text(); break;
        case Base::Bool: base = Type::bool_(); break;
        case Base::Bytes: base = Type::bytes(); break;
        case Base::Elem: base = receiver.elem(); break;
        case Base::Second: base = receiver.second(); break;
        case Base::Self: base = receiver; break;
    }
    switch (slot.wrap) {
        case Wrap::None: return base;
        case Wrap::List: return Type::list(std::move(base));
        case Wrap::Option: return Type::option(std::move(base));
    }
    return base;
}

constexpr size_t kKindCount = static_cast<size_t>(Kind::TypeParam) + 1;

}  // namespace

std::optional<BuiltinMethod> find_method(const Type& receiver, std::string_view method) {
    for (const MethodRow& row : kMethods) {
        if (row.receiver != receiver.kind || row.name != method) continue;
        BuiltinMethod found;
        switch (row.elements) {
            case Elements::Any: break;
            case Elements::IntOnly:
                if (receiver.elem() != Type::int_()) return std::nullopt;
                break;
            case Elements::TextOrRefused:
                if (receiver.elem() != Type::text()) found.refusal = TypeDiag::JoinNonText;
                break;
            case Elements::OrderedOrRefused: {
                const Type& elem = receiver.elem();
                if (elem != Type::int_() && elem != Type::float_() && elem != Type::text()) {
                    found.refusal = TypeDiag::SortedNonOrdered;
                }
                break;
            }
        }
        switch (row.form) {
            case Form::Returns:
            case Form::Mutates: break;
            case Form::Map: found.form = MethodForm::Map; return found;
            case Form::Filter: found.form = MethodForm::Filter; return found;
            case Form::Fold: found.form = MethodForm::Fold; return found;
        }
        if (row.arity > 0) found.sig.params.push_back(build(row.param0, receiver));
        if (row.arity > 1) found.sig.params.push_back(build(row.param1, receiver));
        if (row.form == Form::Returns) found.sig.result = build(row.result, receiver);
        return found;
    }
    return std::nullopt;
}

std::optional<MethodSig> method_sig(const Type& receiver, std::string_view method) {
    std::optional<BuiltinMethod> found = find_method(receiver, method);
    if (!found || found->form != MethodForm::Signature) return std::nullopt;
    return std::move(found->sig);
}

std::string_view methods_of(const Type& receiver) {
    static const std::array<std::string, kKindCount> lists = [] {
        std::array<std::string, kKindCount> out;
        for (const MethodRow& row : kMethods) {
            std::string& list = out[static_cast<size_t>(row.receiver)];
            if (!list.empty()) list += ", ";
            list += row.name;
        }
        return out;
    }();
    return lists[static_cast<size_t>(receiver.kind)];
}

std::optional<std::string> root_ident(const ast::Expr& expr) {
    const ast::Expr* cur = &expr;
    while (true) {
        if (const auto* ident = ast::as<ast::ExprKind::Ident>(*cur)) return ident->name;
        if (const auto* field = ast::as<ast::ExprKind::Field>(*cur)) {
            cur = &field->base.get();
        } else if (const auto* index = ast::as<ast::ExprKind::Index>(*cur)) {
            cur = &index->base.get();
        } else {
            return std::nullopt;
        }
    }
}

}  // namespace quellin::typeck
