#pragma once
// The one walk that displays a type: "List[Int]", "fn(Int, Text) -> Bool", "Pair[Int, Text]". It
// writes into a sink, so the same walk builds the text of a message and measures the size a type
// would print at without building it.
//
// A sink has
//   bool put(std::string_view text)   writes text; false stops the walk, which then returns false;
//   bool put_name(const Type& type)   writes a record, enum or type parameter, which is its name for a
//                                     plain display (a measuring sink may print a substitute instead).

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "builtins.hpp"
#include "typeck/types.hpp"

namespace quellin::typeck {

template <class Sink>
bool print_type(const Type& type, Sink& sink);

// The first `count` of `types`, joined by ", ".
template <class Sink>
bool print_types(const std::vector<Type>& types, std::size_t count, Sink& sink) {
    for (std::size_t i = 0; i < count; ++i) {
        if (i > 0 && !sink.put(", ")) return false;
        if (!print_type(types[i], sink)) return false;
    }
    return true;
}

// A head with bracketed type arguments: a generic builtin type, or a generic instance "Pair[Int, Text]".
template <class Sink>
bool print_applied(std::string_view head, const std::vector<Type>& args, Sink& sink) {
    return sink.put(head) && sink.put("[") && print_types(args, args.size(), sink) && sink.put("]");
}

template <class Sink>
bool print_type(const Type& type, Sink& sink) {
    using Kind = Type::Kind;
    switch (type.kind) {
        case Kind::Int:
        case Kind::Float:
        case Kind::Text:
        case Kind::Bytes:
        case Kind::Bool:
        case Kind::Void: return sink.put(builtin_type_name(type.kind));
        case Kind::List:
        case Kind::Map:
        case Kind::Set:
        case Kind::Tuple:
        case Kind::Option:
        case Kind::Result: return print_applied(builtin_type_name(type.kind), type.args, sink);
        case Kind::Fn:
            return sink.put("fn(") && print_types(type.args, type.fn_arity(), sink) && sink.put(") -> ") &&
                   print_type(type.fn_ret(), sink);
        case Kind::Record:
        case Kind::Enum:
        case Kind::TypeParam: break;
    }
    return sink.put_name(type);
}

// Appends the plain display form to a string.
class TextSink {
public:
    explicit TextSink(std::string& out) : out_(out) {}
    bool put(std::string_view text) {
        out_ += text;
        return true;
    }
    bool put_name(const Type& type) { return put(type.name); }

private:
    std::string& out_;
};

}  // namespace quellin::typeck
