// The workbooks of make_fixtures.py, made once per test program in a temporary folder.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace parlix::workbook::testing {

// The folder of this header, where the scripts live (the build passes absolute paths).
inline std::string toolsDir() { return std::filesystem::path(__FILE__).parent_path().string(); }

// Runs a command, returns its standard output ("" and a test failure when it fails).
inline std::string run(const std::string& command) {
    std::string out;
    FILE* p = ::popen(command.c_str(), "r");
    if (!p) return out;
    char buf[4096];
    for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, p)) > 0;) out.append(buf, n);
    const int rc = ::pclose(p);
    EXPECT_EQ(rc, 0) << command;
    return out;
}

// Made once per version of the script and shared by the test programs: built in a
// folder of its own, then renamed into place (the first one to finish wins).
inline const std::filesystem::path& fixtures() {
    static const std::filesystem::path dir = [] {
        std::ifstream script(toolsDir() + "/make_fixtures.py", std::ios::binary);
        std::stringstream ss;
        ss << script.rdbuf();
        const auto tmp = std::filesystem::temp_directory_path();
        const auto d = tmp / ("parlix-workbooks-" + std::to_string(std::hash<std::string>{}(ss.str())));
        if (std::filesystem::exists(d / "contacts.xlsx")) return d;
        const auto work = tmp / ("parlix-workbooks-work-" + std::to_string(::getpid()));
        run("/usr/bin/python3 '" + toolsDir() + "/make_fixtures.py' '" + work.string() + "'");
        std::error_code ec;
        std::filesystem::rename(work, d, ec);
        if (ec) std::filesystem::remove_all(work);
        return d;
    }();
    return dir;
}

inline std::string fixture(const std::string& name) { return (fixtures() / name).string(); }

// Workbooks written by other programs, taken from public test suites (data/public/SOURCES.md).
inline std::string publicWorkbook(const std::string& name) { return toolsDir() + "/data/public/" + name; }

}  // namespace parlix::workbook::testing
