#pragma once
// Turning check results into the protocol's diagnostics.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

namespace quellin::lsp {

// One error diagnostic covering the single character at a 1-based line and column. Columns count
// characters, exactly as the checker reports them.
nlohmann::json diagnostic(uint32_t line, uint32_t column, const std::string& message);

// The file path of a `file://` URI with its percent escapes decoded; absent when the URI names no
// file, has an escape that is not hexadecimal, or decodes to bytes that are not UTF-8.
std::optional<std::filesystem::path> file_uri_to_path(std::string_view uri);

}  // namespace quellin::lsp
