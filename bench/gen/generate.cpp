#include "gen/generate.hpp"

#include <algorithm>
#include <array>
#include <cstdio>
#include <fstream>
#include <optional>
#include <string_view>
#include <system_error>

#include "gen/templates.hpp"

namespace quellin::gen {
namespace {

// splitmix64: a tiny, well-mixed generator, so the same seed gives the same program everywhere.
class Rng {
public:
    explicit Rng(uint64_t seed) : state_(seed) {}

    uint64_t next() {
        uint64_t z = (state_ += 0x9e3779b97f4a7c15ULL);
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
        return z ^ (z >> 31);
    }

    // A number from lo to hi, both included.
    uint64_t between(uint64_t lo, uint64_t hi) { return lo + next() % (hi - lo + 1); }

private:
    uint64_t state_;
};

// The values that fill one template's placeholders.
struct Fill {
    std::string unit;
    bool is_pub = false;
    std::string chain;
    std::array<std::string, 5> constants;
    std::string module;       // bridges: the imported module
    uint64_t module_first = 0;  // bridges: the number of its first unit
};

std::string expand(std::string_view tmpl, const Fill& fill) {
    std::string out;
    out.reserve(tmpl.size() + tmpl.size() / 8);
    const std::string& unit = fill.unit;
    for (size_t i = 0; i < tmpl.size(); ++i) {
        const char c = tmpl[i];
        if (c == '@') {
            out += unit;
            continue;
        }
        if (c != '$' || i + 1 == tmpl.size()) {
            out += c;
            continue;
        }
        const char key = tmpl[++i];
        switch (key) {
            case 'P': out += fill.is_pub ? "pub " : ""; break;
            case 'C': out += fill.chain; break;
            case 'M': out += fill.module; break;
            case 'F': out += std::to_string(fill.module_first); break;
            case '1': case '2': case '3': case '4': case '5':
                out += fill.constants[static_cast<size_t>(key - '1')];
                break;
            default: out += c; out += key; break;
        }
    }
    return out;
}

enum class UnitKind { Inventory, Geometry, Text };

std::string_view template_of(UnitKind kind) {
    switch (kind) {
        case UnitKind::Inventory: return inventory_unit;
        case UnitKind::Geometry: return geometry_unit;
        case UnitKind::Text: return text_unit;
    }
    return inventory_unit;
}

Fill fill_for(uint64_t seed, uint64_t unit, bool is_pub) {
    Rng rng(seed * 0x100000001b3ULL ^ unit);
    Fill fill;
    fill.unit = std::to_string(unit);
    fill.is_pub = is_pub;
    fill.constants = {
        std::to_string(rng.between(3, 9)),      // small thresholds; also the integer part of floats
        std::to_string(rng.between(2, 7)),      // divisors and multipliers
        std::to_string(rng.between(1, 50)),     // fractional digits and factors
        std::to_string(rng.between(100, 2000)), // prices and limits
        std::to_string(rng.between(0, 20)),     // offsets
    };
    return fill;
}

// Builds one file unit by unit within a budget of lines; whatever the units leave is filled with small
// helper functions, and the last few lines with one-line ones, so that the file has exactly the
// requested size.
class FileBuilder {
public:
    FileBuilder(uint64_t seed, uint32_t file_id, bool library, uint32_t budget)
        : seed_(seed), file_id_(file_id), library_(library), budget_(budget) {}

    uint32_t remaining() const { return used_ >= budget_ ? 0 : budget_ - used_; }

    void append(const std::string& text) {
        out_ += text;
        used_ += count_lines(text);
    }

    // A unit of the given kind; `force` appends it even past the budget (the entry points of a
    // file must exist whatever its size). Returns whether it was appended.
    bool add_unit(uint64_t unit, UnitKind kind, uint32_t reserve, bool force) {
        Fill fill = fill_for(seed_, unit, library_);
        fill.chain = last_unit_ ? "score_" + std::to_string(unit) + "(n) + score_" +
                                      std::to_string(*last_unit_) + "(n / 2)"
                                : "score_" + std::to_string(unit) + "(n) + 1";
        const std::string text = expand(template_of(kind), fill);
        if (!force && count_lines(text) + reserve > remaining()) return false;
        append(text);
        last_unit_ = unit;
        return true;
    }

    bool add_bridge(uint64_t unit, const std::string& module, uint64_t module_first, uint32_t reserve) {
        Fill fill = fill_for(seed_, unit, library_);
        fill.module = module;
        fill.module_first = module_first;
        const std::string text = expand(bridge_unit, fill);
        if (count_lines(text) + reserve > remaining()) return false;
        append(text);
        return true;
    }

    // Small helpers while any fits, then one-line functions for the last few lines.
    void pad(uint32_t reserve) {
        uint32_t n = 0;
        for (bool placed = true; placed;) {
            placed = false;
            for (const std::string_view filler : filler_units) {
                Fill fill = fill_for(seed_, file_id_ * 7919ULL + n, false);
                fill.unit = std::to_string(file_id_) + "_" + std::to_string(n);
                const std::string text = expand(filler, fill);
                if (count_lines(text) + reserve > remaining()) continue;
                append(text);
                ++n;
                placed = true;
            }
        }
        while (remaining() > reserve) {
            append("fn pad_" + std::to_string(file_id_) + "_" + std::to_string(n) + "(x: Int) -> Int = x * " +
                   std::to_string(n % 7 + 2) + " + 1\n");
            ++n;
        }
    }

    std::optional<uint64_t> last_unit() const { return last_unit_; }
    std::string take() { return std::move(out_); }

private:
    uint64_t seed_;
    uint32_t file_id_;
    bool library_;
    uint32_t budget_;
    uint32_t used_ = 0;
    std::string out_;
    std::optional<uint64_t> last_unit_;
};

UnitKind kind_of(uint64_t unit_in_file) {
    switch (unit_in_file % 3) {
        case 0: return UnitKind::Inventory;
        case 1: return UnitKind::Geometry;
        default: return UnitKind::Text;
    }
}

std::string main_function(uint64_t first, uint64_t last) {
    const std::string f = std::to_string(first);
    return "\nfn main() -> Void:\n"
           "    let shelf = [\n"
           "        Item" + f + "(name: \"hammer\", price: 1250, qty: 4, kind: Kind" + f + ".Tool),\n"
           "        Item" + f + "(name: \"bread\", price: 300, qty: 10, kind: Kind" + f + ".Food(days_left: 2)),\n"
           "    ]\n"
           "    print(report_" + f + "(shelf))\n"
           "    match taxed_mean_" + f + "(shelf):\n"
           "        case Ok(p):\n"
           "            print(\"mean price {p}\")\n"
           "        case Err(e):\n"
           "            print(\"no mean price: {e}\")\n"
           "    print(\"chain {chain_" + std::to_string(last) + "(10)}\")\n";
}

// The units of one file: the first (an inventory unit, which `main` and importers rely on) always,
// then bridges to the imported modules, then as many further units as fit, then padding.
std::string build_file(uint64_t seed, uint32_t file_id, bool library, uint32_t lines, uint64_t first_unit,
                       const std::vector<std::pair<std::string, uint64_t>>& imports) {
    FileBuilder file(seed, file_id, library, lines);
    for (const auto& [module, module_first] : imports) file.append("import " + module + "\n");
    if (!imports.empty()) file.append("\n");

    // `main` in an entry file is reserved up front; its line count does not depend on the numbers in it.
    const uint32_t reserve = library ? 0 : count_lines(main_function(0, 0));
    file.add_unit(first_unit, UnitKind::Inventory, reserve, true);
    uint64_t next = first_unit + 1;
    for (const auto& [module, module_first] : imports) {
        if (file.add_bridge(next, module, module_first, reserve)) ++next;
    }
    for (uint64_t i = 1;; ++i) {
        if (!file.add_unit(next, kind_of(i), reserve, false)) break;
        ++next;
    }
    file.pad(reserve);
    if (!library) file.append(main_function(first_unit, *file.last_unit()));
    return file.take();
}

std::string module_name(uint32_t index) {
    std::array<char, 16> name{};
    std::snprintf(name.data(), name.size(), "mod%03u", index);
    return name.data();
}

// Unit numbers are spaced per file so that names stay unique across a whole module graph.
constexpr uint64_t units_per_file = 100000;

}  // namespace

uint32_t count_lines(const std::string& text) {
    return static_cast<uint32_t>(std::count(text.begin(), text.end(), '\n'));
}

std::string generate_program(uint32_t lines, uint64_t seed) {
    return build_file(seed, 0, false, lines, 0, {});
}

std::vector<SourceFile> generate_module_graph(uint32_t modules, uint32_t lines_per_module, uint64_t seed) {
    std::vector<SourceFile> files;
    if (modules == 0) return files;
    const uint32_t libraries = modules - 1;
    // Library i imports 2i+1, 2i+2 and 2i+3 when they exist: every edge goes to a higher number, so the
    // graph is acyclic, every library is reachable from mod000, and chains are logarithmically long.
    for (uint32_t i = 0; i < libraries; ++i) {
        std::vector<std::pair<std::string, uint64_t>> imports;
        for (uint32_t j = 2 * i + 1; j <= 2 * i + 3 && j < libraries; ++j) {
            imports.emplace_back(module_name(j), uint64_t{j} * units_per_file);
        }
        files.push_back({module_name(i), build_file(seed, i, true, lines_per_module, uint64_t{i} * units_per_file,
                                                    imports)});
    }
    std::vector<std::pair<std::string, uint64_t>> imports;
    for (uint32_t j = 0; j < std::min<uint32_t>(3, libraries); ++j) {
        imports.emplace_back(module_name(j), uint64_t{j} * units_per_file);
    }
    files.push_back({"main", build_file(seed, libraries, false, lines_per_module,
                                        uint64_t{libraries} * units_per_file, imports)});
    return files;
}

std::vector<SourceFile> generate_module_tree(uint32_t modules, uint32_t lines_per_module, uint64_t seed) {
    std::vector<SourceFile> files;
    for (uint32_t i = 0; i < modules; ++i) {
        std::vector<std::pair<std::string, uint64_t>> imports;
        for (const uint64_t j : {2 * uint64_t{i} + 1, 2 * uint64_t{i} + 2}) {
            if (j < modules) imports.emplace_back(module_name(static_cast<uint32_t>(j)), j * units_per_file);
        }
        files.push_back({module_name(i), build_file(seed, i, true, lines_per_module, uint64_t{i} * units_per_file,
                                                    imports)});
    }
    return files;
}

std::filesystem::path write_files(const std::filesystem::path& dir, const std::vector<SourceFile>& files) {
    if (dir.empty()) return {};
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    std::filesystem::path last;
    for (const SourceFile& file : files) {
        last = dir / (file.name + ".qn");
        std::ofstream out(last, std::ios::binary | std::ios::trunc);
        out << file.text;
        if (!out) return {};
    }
    return last;
}

}  // namespace quellin::gen
