#pragma once
// A fresh directory under the system's temporary directory, removed with everything in it when the
// object goes away. Benchmarks and tests write generated module graphs into one.

#include <filesystem>
#include <string>
#include <system_error>
#include <unistd.h>

namespace quellin::gen {

class TempDir {
public:
    TempDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "quellin-bench-XXXXXX").string();
        if (mkdtemp(pattern.data()) != nullptr) path_ = pattern;
    }
    ~TempDir() {
        std::error_code ec;
        if (!path_.empty()) std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    // Empty when the directory could not be made.
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

}  // namespace quellin::gen
