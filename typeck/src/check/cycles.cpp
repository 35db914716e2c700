// Records and enums hold their fields and payloads by value, so a type that contains itself
// (other than through a collection, an option, a result or a function) would be infinitely large.

#include <algorithm>

#include "check/checker.hpp"

namespace quellin::typeck {

namespace {

using Kind = Type::Kind;

// Appends the record or enum names that `type` contains by value (tuples looked through).
void append_value_deps(const Type& type, std::vector<std::string>& out) {
    if (type.is(Kind::Record) || type.is(Kind::Enum)) {
        out.push_back(type.name);
    } else if (type.is(Kind::Tuple)) {
        for (const Type& elem : type.args) append_value_deps(elem, out);
    }
}

struct DeclSite {
    bool found = false;
    Span span{0, 0};
};

DeclSite find_decl(const ast::Program& program, const std::string& name) {
    for (const ast::Stmt& stmt : program.stmts) {
        const auto* record = ast::as<ast::StmtKind::RecordDecl>(stmt);
        const auto* enum_decl = ast::as<ast::StmtKind::EnumDecl>(stmt);
        if ((record && record->name == name) || (enum_decl && enum_decl->name == name)) return {true, stmt.span};
    }
    return {};
}

// One name being explored: the names it contains by value, and how far through them we are.
struct Frame {
    std::vector<std::string> deps;
    size_t next = 0;
};

}  // namespace

Status Checker::check_value_cycle(const std::string& name, std::vector<std::string>& path,
                                  const ast::Program& program) {
    if (acyclic_.contains(name)) return {};

    // Every name contained by value, field by field (or variant by variant), from the first table
    // that has the name; a name in none of them (an instance not materialised yet) contains nothing.
    const auto contained = [this](const std::string& n) {
        std::vector<std::string> deps;
        if (const auto r = records.find(n); r != records.end()) {
            for (const auto& field : r->second) append_value_deps(field.second, deps);
        } else if (const auto e = enums.find(n); e != enums.end()) {
            for (const auto& variant : e->second) {
                for (const auto& field : variant.second) append_value_deps(field.second, deps);
            }
        } else if (const auto gr = generic_records.find(n); gr != generic_records.end()) {
            for (const auto& field : gr->second.fields) append_value_deps(field.second, deps);
        } else if (const auto ge = generic_enums.find(n); ge != generic_enums.end()) {
            for (const auto& variant : ge->second.variants) {
                for (const auto& field : variant.second) append_value_deps(field.second, deps);
            }
        }
        return deps;
    };

    // Depth-first with an explicit stack: a long chain of records must not exhaust the call stack.
    // A name whose exploration completes reaches no cycle and cannot lead back onto any path that
    // reaches it, so it is remembered and never explored again; the first error found is unchanged.
    NameSet on_path(path.begin(), path.end());
    std::vector<std::pair<std::string, Frame>> stack;
    stack.emplace_back(name, Frame{contained(name), 0});
    while (!stack.empty()) {
        auto& [current, frame] = stack.back();
        if (frame.next == frame.deps.size()) {
            acyclic_.insert(current);
            stack.pop_back();
            if (!stack.empty()) {
                on_path.erase(path.back());
                path.pop_back();
            }
            continue;
        }
        std::string dep = frame.deps[frame.next++];
        if (on_path.contains(dep)) {
            if (path.empty()) internal_fault("cycle path starts at the checked name");
            const std::string& start = path.front();
            const bool is_record = records.contains(start) || generic_records.contains(start);
            const DeclSite site = find_decl(program, start);
            return fail(TypeDiag::TypeContainsItself, site.found ? site.span : Span{0, 0},
                        is_record ? "record" : "enum", start, join(path, " → "));
        }
        if (acyclic_.contains(dep)) continue;
        on_path.insert(dep);
        path.push_back(dep);
        Frame next{contained(dep), 0};
        stack.emplace_back(std::move(dep), std::move(next));
    }
    return {};
}

Status Checker::check_value_cycles(const ast::Program& program) {
    // The module's own declarations in source order decide which of several cycles is reported;
    // everything else (types installed from imports) follows in a fixed, sorted order.
    std::vector<std::string> order;
    NameSet own;
    for (const ast::Stmt& stmt : program.stmts) {
        const std::string* name = nullptr;
        if (const auto* record = ast::as<ast::StmtKind::RecordDecl>(stmt)) name = &record->name;
        if (const auto* enum_decl = ast::as<ast::StmtKind::EnumDecl>(stmt)) name = &enum_decl->name;
        if (name && own.insert(*name).second) order.push_back(*name);
    }
    std::vector<std::string> others;
    const auto collect = [&](const auto& table) {
        for (const auto& entry : table) {
            if (!own.contains(entry.first)) others.push_back(entry.first);
        }
    };
    collect(records);
    collect(enums);
    collect(generic_records);
    collect(generic_enums);
    std::sort(others.begin(), others.end());
    others.erase(std::unique(others.begin(), others.end()), others.end());
    order.insert(order.end(), others.begin(), others.end());

    for (const std::string& name : order) {
        std::vector<std::string> path{name};
        QN_TRY(check_value_cycle(name, path, program));
    }
    return {};
}

}  // namespace quellin::typeck
