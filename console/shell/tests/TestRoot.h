// Shared by the shell's tests: a fresh program folder per test with Database/ in it,
// and the one QApplication of a window test program.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#ifdef QT_WIDGETS_LIB
#include <QApplication>
#endif

namespace parlix::console::test {

// <tmp>/parlix-<kind>-<pid>-<test name>, empty, with its Database/ folder.
inline std::filesystem::path makeTestRoot(const std::string& kind) {
    const auto root = std::filesystem::temp_directory_path() /
                      ("parlix-" + kind + "-" + std::to_string(::getpid()) + "-" +
                       ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(root);
    std::filesystem::create_directories(root / "Database");
    return root;
}

#ifdef QT_WIDGETS_LIB
inline void ensureApplication() {
    static int argc = 1;
    static char name[] = "test";
    static char* argv[] = {name, nullptr};
    if (!QApplication::instance()) new QApplication(argc, argv);
}
#endif

}  // namespace parlix::console::test
