// Programs built to stress one stage each: a very wide match, deep value containment, deep block and
// bracket nesting, a very long operator chain.

#include <string>

#include "gen/generate.hpp"

namespace quellin::gen {

std::string wide_enum_program(uint32_t variants) {
    std::string out = "/// Many cases.\nenum Wide:\n";
    for (uint32_t i = 0; i < variants; ++i) {
        out += "    V" + std::to_string(i) + (i % 2 == 1 ? "(n: Int)\n" : "\n");
    }
    out += "\nfn weight(w: Wide) -> Int:\n    match w:\n";
    for (uint32_t i = 0; i < variants; ++i) {
        const std::string v = std::to_string(i);
        if (i % 2 == 1) {
            out += "        case Wide.V" + v + "(n: x):\n            return x + " + v + "\n";
        } else {
            out += "        case Wide.V" + v + ":\n            return " + v + "\n";
        }
    }
    out += "\nfn main() -> Void:\n";
    if (variants > 0) out += "    print(\"{weight(Wide.V0)}\")\n";
    if (variants > 1) out += "    print(\"{weight(Wide.V1(n: 2))}\")\n";
    if (variants < 2) out += "    print(\"few\")\n";
    return out;
}

std::string value_chain_program(uint32_t records, uint32_t fanout) {
    const uint32_t count = records == 0 ? 1 : records;
    // Built by appending only: GCC 12 warns falsely (-Wrestrict) on "literal" + std::to_string(...).
    std::string out = "record R0:\n    value: Int\n\n";
    for (uint32_t i = 1; i < count; ++i) {
        out += "record R";
        out += std::to_string(i);
        out += ":\n";
        for (uint32_t f = 0; f < fanout; ++f) {
            out += "    part";
            out += std::to_string(f);
            out += ": R";
            out += std::to_string(i - 1);
            out += "\n";
        }
        out += "    value: Int\n\n";
    }
    out += "fn top_value(r: R";
    out += std::to_string(count - 1);
    out += ") -> Int = r.value\n";
    return out;
}

std::string nested_blocks_program(uint32_t depth) {
    std::string out = "fn deep(n: Int) -> Int:\n    mut total = 0\n";
    std::string indent = "    ";
    for (uint32_t i = 0; i < depth; ++i) {
        out += indent + "if n > " + std::to_string(i) + ":\n";
        indent += "    ";
    }
    out += indent + "total = total + 1\n";
    out += "    return total\n";
    return out;
}

std::string nested_parens_program(uint32_t depth) {
    std::string body(depth, '(');
    body += "x";
    for (uint32_t i = 0; i < depth; ++i) body += i % 2 == 0 ? " + 1)" : " * 2)";
    return "fn deep(x: Int) -> Int = " + body + "\n";
}

std::string operator_chain_program(uint32_t terms) {
    std::string body = "x";
    for (uint32_t i = 1; i < terms; ++i) {
        body += i % 3 == 0 ? " * " : " + ";
        body += i % 2 == 0 ? "x" : std::to_string(i);
    }
    return "fn long(x: Int) -> Int = " + body + "\n";
}

}  // namespace quellin::gen
