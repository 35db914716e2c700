#pragma once
// The byte-level transport: JSON messages behind Content-Length headers.

#include <cstddef>
#include <istream>
#include <optional>
#include <ostream>
#include <string>

#include <nlohmann/json.hpp>

#include "lexer/expected.hpp"

namespace quellin::lsp {

// Bounds on what a client may send. A header block or body beyond them ends the session like any
// other malformed frame, before anything of the announced size is allocated.
inline constexpr std::size_t kMaxContentLength = std::size_t{64} << 20;
inline constexpr std::size_t kMaxHeaderLine = std::size_t{64} << 10;
// The JSON parser builds values without recursion, but printing and destroying them recurses.
inline constexpr std::size_t kMaxJsonDepth = 512;
// A value in memory takes tens of times the bytes of its text ("{}," becomes a map of its own), so
// a body within the length bound could still ask for gigabytes; real messages hold a few hundred.
inline constexpr std::size_t kMaxJsonValues = std::size_t{1} << 20;

enum class IoErrorKind {
    InvalidData,    // a malformed frame or body
    UnexpectedEof,  // the input ended inside a body
    WriteFailed,
};

struct IoError {
    IoErrorKind kind;
    std::string description;
};

// Reads the next framed message: its JSON value, or nothing at the end of the input (also when the
// input ends inside a header block).
Expected<std::optional<nlohmann::json>, IoError> read_message(std::istream& in);

// Writes one framed message and flushes.
Expected<void, IoError> write_message(std::ostream& out, const nlohmann::json& message);

// The compact wire form of a value. Strings that are not valid UTF-8 (file paths, system error
// texts) are written with replacement characters rather than failing.
std::string serialize(const nlohmann::json& value);

}  // namespace quellin::lsp
