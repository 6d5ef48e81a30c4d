#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/registry/Registry.h"

using namespace parlix::registry;
namespace fs = std::filesystem;

namespace {

const char* kMsInfo = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";

struct TempDir {
    fs::path path;
    TempDir() {
        char tmpl[] = "/tmp/parlix-registry-XXXXXX";
        path = mkdtemp(tmpl);
    }
    ~TempDir() { fs::remove_all(path); }
    fs::path program(const std::string& name, bool executable) {
        fs::path p = path / name;
        std::ofstream(p) << "#!/bin/sh\n";
        ::chmod(p.c_str(), executable ? 0755 : 0644);
        return p;
    }
};

struct PathGuard {
    std::string old;
    explicit PathGuard(const std::string& value) {
        const char* p = std::getenv("PATH");
        old = p ? p : "";
        ::setenv("PATH", value.c_str(), 1);
    }
    ~PathGuard() { ::setenv("PATH", old.c_str(), 1); }
};

}  // namespace

// The Linux stand-in finds the first listed program on PATH, in list order and not in
// folder order, skips files that cannot be run, and answers like the registry.
TEST(SystemRegistry, MsInfoPathIsFirstListedProgramOnPath) {
    TempDir a, b;
    a.program("gnome-system-monitor", true);
    a.program("hardinfo", false);  // not executable: skipped
    const fs::path kinfo = b.program("kinfocenter", true);
    PathGuard guard(a.path.string() + "::" + b.path.string());

    SystemRegistry reg;
    RegValue v;
    ASSERT_EQ(reg.queryValue(HKEY_LOCAL_MACHINE, "software\\microsoft\\SHARED TOOLS\\msinfo", KEY_READ, "Path", 1024, v),
              ERROR_SUCCESS);
    EXPECT_EQ(v.type, REG_SZ);
    EXPECT_EQ(v.data, kinfo.string() + std::string(1, '\0'));

    // Write rights are refused even where the value exists; the second key never exists.
    EXPECT_EQ(reg.queryValue(HKEY_LOCAL_MACHINE, kMsInfo, KEY_ALL_ACCESS, "PATH", 1024, v), ERROR_ACCESS_DENIED);
    EXPECT_EQ(reg.queryValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Shared Tools Location", KEY_READ, "MSINFO",
                             1024, v),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(reg.queryValue(HKEY_CURRENT_USER, kMsInfo, KEY_READ, "PATH", 1024, v), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(reg.queryValue(HKEY_LOCAL_MACHINE, kMsInfo, KEY_READ, "PATH", 4, v), ERROR_MORE_DATA);
}

TEST(SystemRegistry, NoProgramMeansNoKey) {
    TempDir empty;
    PathGuard guard(empty.path.string());
    SystemRegistry reg;
    RegValue v;
    EXPECT_EQ(reg.queryValue(HKEY_LOCAL_MACHINE, kMsInfo, KEY_READ, "PATH", 1024, v), ERROR_FILE_NOT_FOUND);
}

TEST(FakeRegistry, InstallsItselfStoresRawBytesAndRecordsAccess) {
    Registry* before = &registry();
    {
        FakeRegistry fake;
        EXPECT_EQ(&registry(), &fake);
        fake.setDword(HKEY_LOCAL_MACHINE, "K", "V", 256);
        RegValue v;
        ASSERT_EQ(registry().queryValue(HKEY_LOCAL_MACHINE, "k", KEY_READ, "v", 1024, v), ERROR_SUCCESS);
        EXPECT_EQ(v.type, REG_DWORD);
        EXPECT_EQ(v.data, std::string("\x00\x01\x00\x00", 4));
        EXPECT_EQ(registry().queryValue(HKEY_LOCAL_MACHINE, "K", 0x2003F, "V", 1024, v), ERROR_ACCESS_DENIED);
        EXPECT_EQ(fake.accessAsked, (std::vector<std::uint32_t>{KEY_READ, 0x2003F}));
    }
    EXPECT_EQ(&registry(), before);
}
