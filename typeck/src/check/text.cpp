#include "check/checker.hpp"

namespace quellin::typeck {

std::string join(const std::vector<std::string>& items, std::string_view sep) {
    std::string out;
    for (size_t i = 0; i < items.size(); ++i) {
        if (i > 0) out += sep;
        out += items[i];
    }
    return out;
}

}  // namespace quellin::typeck
