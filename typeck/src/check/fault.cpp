#include <cstdio>
#include <cstdlib>

#include "check/checker.hpp"

namespace quellin::typeck {

// An earlier pass guarantees what is asserted here, so reaching this is a bug in the checker itself:
// stop loudly rather than turn it into a message the user cannot act on.
void internal_fault(std::string_view what) {
    std::fprintf(stderr, "internal checker fault: %.*s\n", static_cast<int>(what.size()), what.data());
    std::abort();
}

}  // namespace quellin::typeck
