#include "typeck/types.hpp"

#include <utility>

namespace quellin::typeck {

Type Type::list(Type elem) { return Type{Kind::List, {}, {std::move(elem)}}; }
Type Type::set(Type elem) { return Type{Kind::Set, {}, {std::move(elem)}}; }
Type Type::option(Type inner) { return Type{Kind::Option, {}, {std::move(inner)}}; }
Type Type::map(Type key, Type value) { return Type{Kind::Map, {}, {std::move(key), std::move(value)}}; }
Type Type::result(Type ok, Type err) { return Type{Kind::Result, {}, {std::move(ok), std::move(err)}}; }
Type Type::tuple(std::vector<Type> elems) { return Type{Kind::Tuple, {}, std::move(elems)}; }

Type Type::fn(std::vector<Type> params, Type ret) {
    params.push_back(std::move(ret));
    return Type{Kind::Fn, {}, std::move(params)};
}

namespace {

void append_list(std::string& out, const std::vector<Type>& types, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        if (i > 0) out += ", ";
        out += types[i].to_string();
    }
}

std::string bracketed(std::string_view head, const std::vector<Type>& args) {
    std::string out(head);
    out += '[';
    append_list(out, args, args.size());
    out += ']';
    return out;
}

}  // namespace

std::string Type::to_string() const {
    switch (kind) {
        case Kind::Int: return "Int";
        case Kind::Float: return "Float";
        case Kind::Text: return "Text";
        case Kind::Bytes: return "Bytes";
        case Kind::Bool: return "Bool";
        case Kind::Void: return "Void";
        case Kind::List: return bracketed("List", args);
        case Kind::Map: return bracketed("Map", args);
        case Kind::Set: return bracketed("Set", args);
        case Kind::Tuple: return bracketed("Tuple", args);
        case Kind::Option: return bracketed("Option", args);
        case Kind::Result: return bracketed("Result", args);
        case Kind::Record:
        case Kind::Enum:
        case Kind::TypeParam: return name;
        case Kind::Fn: {
            std::string out = "fn(";
            append_list(out, args, fn_arity());
            out += ") -> ";
            out += fn_ret().to_string();
            return out;
        }
    }
    return name;
}

std::string type_list(const std::vector<Type>& types) {
    std::string out;
    append_list(out, types, types.size());
    return out;
}

std::string mangle_key(const std::string& generic_name, const std::vector<Type>& args) {
    return bracketed(generic_name, args);
}

}  // namespace quellin::typeck
