// Arbitrary sets of small module files on disk through the multi-module pipeline. The input is split
// into files at bytes 0x00: the first piece is main.qn, the next ones a.qn, b.qn, c.qn, vendor/d.qn,
// and in the standard-library directory std/ e.qn and a.qn (which clashes with the a.qn beside main
// when both are imported); the rest is ignored.
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "common/utf8.hpp"
#include "lsp/pipeline.hpp"

namespace fs = std::filesystem;

namespace {

// A scratch directory for this process, removed again when the fuzzer exits normally.
class WorkDir {
public:
    WorkDir() : path_(fs::temp_directory_path() / ("quellin-fuzz-modules-" + std::to_string(::getpid()))) {
        fs::create_directories(path_ / "vendor");
        fs::create_directories(path_ / "std");
    }
    WorkDir(const WorkDir&) = delete;
    WorkDir& operator=(const WorkDir&) = delete;
    ~WorkDir() {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const char* const names[] = {"main.qn", "a.qn", "b.qn", "c.qn", "vendor/d.qn", "std/e.qn", "std/a.qn"};
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    static const WorkDir work_dir;
    const fs::path& dir = work_dir.path();
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
    const quellin::lsp::CheckOutcome outcome = quellin::lsp::check_document(main_text, dir / "main.qn", dir / "std");
    // Files that are not UTF-8 are refused and the paths are ASCII, so every message must be UTF-8.
    if (outcome.error && !quellin::is_valid_utf8(outcome.error->message)) __builtin_trap();
    return 0;
}
