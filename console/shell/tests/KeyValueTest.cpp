#include <gtest/gtest.h>

#include "console/shell/core/KeyValue.h"

using namespace parlix::console;
using namespace parlix::registry;

TEST(GetKeyValue, ValuesByType) {
    FakeRegistry reg;
    reg.setText(HKEY_LOCAL_MACHINE, "K", "Text", "/usr/bin/hardinfo");  // stored with its zero
    reg.setRaw(HKEY_LOCAL_MACHINE, "K", "Bare", {REG_SZ, "no zero"});
    reg.setDword(HKEY_LOCAL_MACHINE, "K", "D256", 256);  // bytes 00 01 00 00
    reg.setDword(HKEY_LOCAL_MACHINE, "K", "DMax", 0xFFFFFFFFu);
    reg.setDword(HKEY_LOCAL_MACHINE, "K", "D0", 0);
    reg.setRaw(HKEY_LOCAL_MACHINE, "K", "Bin", {REG_BINARY, "\x01\x02"});

    struct Case {
        const char* name;
        bool ok;
        std::string value;
    } cases[] = {
        {"Text", true, "/usr/bin/hardinfo"},
        {"Bare", true, "no zero"},
        {"D256", true, "256"},
        {"DMax", true, "4294967295"},
        {"D0", true, "0"},
        {"Bin", true, "before"},   // other types leave the text as it was
        {"Missing", false, ""},
    };
    for (const auto& c : cases) {
        std::string v = "before";
        EXPECT_EQ(GetKeyValue(HKEY_LOCAL_MACHINE, "K", c.name, v), c.ok) << c.name;
        EXPECT_EQ(v, c.value) << c.name;
    }
    std::string v = "before";
    EXPECT_FALSE(GetKeyValue(HKEY_LOCAL_MACHINE, "No\\Such\\Key", "Text", v));
    EXPECT_EQ(v, "");
    // Only read rights were ever asked for.
    for (auto access : reg.accessAsked) EXPECT_EQ(access, KEY_READ);
}
