#pragma once

// A folder of this test process under the test temp dir, removed when the process ends. CTest
// runs the cases as separate processes side by side, so each needs a folder of its own.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <unistd.h>

inline const std::filesystem::path& testTempDir() {
    struct SDir {
        std::filesystem::path path;
        SDir() {
            path = std::filesystem::path(::testing::TempDir()) /
                   ("cm3d-test-" + std::to_string(::getpid()));
            std::filesystem::create_directories(path);
        }
        ~SDir() {
            std::error_code ignored;
            std::filesystem::remove_all(path, ignored);
        }
    };
    static const SDir dir;
    return dir.path;
}
