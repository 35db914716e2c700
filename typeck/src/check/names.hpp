#pragma once
// The checker's tables keyed by name: functions, records, enums, instances, variables, modules.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

namespace quellin::typeck {

// Names are looked up for nearly every node checked, and nearly all of them are at most 32 bytes long
// (qualified names like 'geometry.Point' included): those are read in fixed-size loads from both ends
// that together cover every byte, instead of a loop over the bytes. Longer names hash every byte.
//
// The call operator is deliberately not noexcept: for a hash that cannot throw, libstdc++'s tables
// keep no hash in their nodes, and then every step along a bucket's chain hashes that node's name
// again to see whether the bucket ended, reading names that are not the one asked for. With the hash
// kept, a lookup passes over other names by comparing numbers. Once the tables hold thousands of
// functions and types and no longer fit the caches, each name read is a wait for memory.
struct NameHash {
    using is_transparent = void;

    std::size_t operator()(std::string_view name) const {
        const std::size_t size = name.size();
        const char* const bytes = name.data();
        if (size > 32) return std::hash<std::string_view>{}(name);
        if (size > 16) {
            // Four words, each mixed in before the next, as the shorter forms below mix their two.
            uint64_t mixed = ((uint64_t{size} << 56) ^ load<uint64_t>(bytes)) * kOdd1;
            mixed = (mixed ^ load<uint64_t>(bytes + 8)) * kOdd2;
            mixed = (mixed ^ load<uint64_t>(bytes + size - 16)) * kOdd1;
            mixed = (mixed ^ load<uint64_t>(bytes + size - 8)) * kOdd2;
            return static_cast<std::size_t>(mixed ^ (mixed >> 32));
        }
        uint64_t first = 0;
        uint64_t last = 0;
        if (size >= 8) {
            first = load<uint64_t>(bytes);
            last = load<uint64_t>(bytes + size - 8);
        } else if (size >= 4) {
            first = load<uint32_t>(bytes);
            last = load<uint32_t>(bytes + size - 4);
        } else if (size > 0) {
            first = uint64_t{static_cast<unsigned char>(bytes[0])} |
                    uint64_t{static_cast<unsigned char>(bytes[size / 2])} << 8 |
                    uint64_t{static_cast<unsigned char>(bytes[size - 1])} << 16;
        }
        uint64_t mixed = (first ^ (uint64_t{size} << 56)) * kOdd1;
        mixed = (mixed ^ last) * kOdd2;
        return static_cast<std::size_t>(mixed ^ (mixed >> 32));
    }

private:
    static constexpr uint64_t kOdd1 = 0x9E3779B97F4A7C15u;
    static constexpr uint64_t kOdd2 = 0xC2B2AE3D27D4EB4Fu;

    template <class Word>
    static uint64_t load(const char* bytes) {
        Word word;
        std::memcpy(&word, bytes, sizeof word);
        return word;
    }
};

template <class Value>
using NameMap = std::unordered_map<std::string, Value, NameHash, std::equal_to<>>;
using NameSet = std::unordered_set<std::string, NameHash, std::equal_to<>>;

}  // namespace quellin::typeck
