#include "typeck/types.hpp"

#include <utility>

#include "type_printer.hpp"

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

std::string Type::to_string() const {
    std::string out;
    TextSink sink(out);
    print_type(*this, sink);
    return out;
}

std::string type_list(const std::vector<Type>& types) {
    std::string out;
    TextSink sink(out);
    print_types(types, types.size(), sink);
    return out;
}

std::string mangle_key(const std::string& generic_name, const std::vector<Type>& args) {
    std::string out;
    TextSink sink(out);
    print_applied(generic_name, args, sink);
    return out;
}

}  // namespace quellin::typeck
