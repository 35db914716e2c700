// Arbitrary sets of small module files on disk through the multi-module pipeline. The input is split
// into files at bytes 0x00: the first piece is main.qn, the next ones a.qn, b.qn, c.qn and, under
// vendor/, d.qn; the rest is ignored.
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "lsp/pipeline.hpp"

namespace fs = std::filesystem;

namespace {

const fs::path& work_dir() {
    static const fs::path dir = [] {
        fs::path d = fs::temp_directory_path() / ("quellin-fuzz-modules-" + std::to_string(::getpid()));
        fs::create_directories(d / "vendor");
        fs::create_directories(d / "std");
        return d;
    }();
    return dir;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const char* const names[] = {"main.qn", "a.qn", "b.qn", "c.qn", "vendor/d.qn", "std/e.qn"};
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const fs::path& dir = work_dir();
    std::string main_text;
    size_t start = 0;
    for (size_t i = 0; i < std::size(names); ++i) {
        const size_t end = std::min(input.find('\0', start), input.size());
        const std::string_view piece = start <= input.size() ? input.substr(start, end - start) : "";
        std::error_code ec;
        fs::remove(dir / names[i], ec);
        if (start <= input.size()) {
            std::ofstream(dir / names[i], std::ios::binary) << piece;
            if (i == 0) main_text = std::string(piece);
        }
        start = end + 1;
    }
    (void)quellin::lsp::check_document(main_text, dir / "main.qn", dir / "std");
    return 0;
}
