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

// Names are looked up for nearly every node checked, and nearly all of them are at most 16 bytes
// long: those are read in two overlapping fixed-size loads that together cover every byte, instead
// of a loop over the bytes. Longer names, which could share their ends, hash every byte.
struct NameHash {
    using is_transparent = void;

    std::size_t operator()(std::string_view name) const noexcept {
        const std::size_t size = name.size();
        const char* const bytes = name.data();
        uint64_t first = 0;
        uint64_t last = 0;
        if (size > 16) return std::hash<std::string_view>{}(name);
        if (size >= 8) {
            std::memcpy(&first, bytes, 8);
            std::memcpy(&last, bytes + size - 8, 8);
        } else if (size >= 4) {
            uint32_t head = 0;
            uint32_t tail = 0;
            std::memcpy(&head, bytes, 4);
            std::memcpy(&tail, bytes + size - 4, 4);
            first = head;
            last = tail;
        } else if (size > 0) {
            first = uint64_t{static_cast<unsigned char>(bytes[0])} |
                    uint64_t{static_cast<unsigned char>(bytes[size / 2])} << 8 |
                    uint64_t{static_cast<unsigned char>(bytes[size - 1])} << 16;
        }
        uint64_t mixed = (first ^ (uint64_t{size} << 56)) * 0x9E3779B97F4A7C15u;
        mixed = (mixed ^ last) * 0xC2B2AE3D27D4EB4Fu;
        return static_cast<std::size_t>(mixed ^ (mixed >> 32));
    }
};

template <class Value>
using NameMap = std::unordered_map<std::string, Value, NameHash, std::equal_to<>>;
using NameSet = std::unordered_set<std::string, NameHash, std::equal_to<>>;

}  // namespace quellin::typeck
