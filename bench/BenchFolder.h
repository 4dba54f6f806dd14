#pragma once

#include <unistd.h>

#include <filesystem>
#include <string>
#include <system_error>

namespace vantrel::bench {

/// A private folder for a benchmark's generated stores and caches, removed when the run ends.
struct BenchFolder {
    explicit BenchFolder(const std::string& name)
        : path(std::filesystem::temp_directory_path() /
               ("vantrel-" + name + "-bench-" + std::to_string(getpid()))) {
        std::filesystem::create_directories(path);
    }
    ~BenchFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    BenchFolder(const BenchFolder&) = delete;
    BenchFolder& operator=(const BenchFolder&) = delete;

    std::filesystem::path path;
};

}  // namespace vantrel::bench
