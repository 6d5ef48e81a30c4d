#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <thread>

#include "platform/launch/Launch.h"

using namespace parlix::launch;

// The real launcher runs a program that outlives nothing of ours: it leaves a mark.
TEST(Launch, StartsProgramDetachedAndReportsMissingOne) {
    const std::string dir = std::filesystem::temp_directory_path() / ("parlix-launch-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const std::string script = dir + "/mark.sh", mark = dir + "/marked";
    std::ofstream(script) << "#!/bin/sh\ntouch '" << mark << "'\n";
    std::filesystem::permissions(script, std::filesystem::perms::owner_all);

    ASSERT_TRUE(startProgram(script));
    for (int i = 0; i < 200 && !std::filesystem::exists(mark); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_TRUE(std::filesystem::exists(mark));
    EXPECT_FALSE(startProgram(dir + "/no-such-program"));
    std::filesystem::remove_all(dir);
}

TEST(Launch, RecordingLauncherStartsNothing) {
    RecordingLauncher rec;
    rec.succeed = false;
    EXPECT_FALSE(startProgram("/usr/bin/hardinfo"));
    EXPECT_EQ(rec.started, std::vector<std::string>{"/usr/bin/hardinfo"});
}
