// A program folder for console window tests: a fresh database, the error log beside
// it, scripted message boxes.
#pragma once

#include <gtest/gtest.h>
#include <QApplication>
#include <cstdlib>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "console/shell/core/ConnectDB.h"
#include "console/shell/core/Error.h"
#include "database/Schema.h"

namespace parlix::console::testing {

// The application of a window test, offscreen also when the test list is read.
inline QApplication& TestApp() {
    static int argc = 1;
    static char arg0[] = "parlix-test";
    static char* argv[] = {arg0, nullptr};
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    // Never destroyed: Qt's thread storage is gone by the time static objects end.
    static QApplication* app = new QApplication(argc, argv);
    return *app;
}

class ConsoleFolder {
public:
    explicit ConsoleFolder(bool withDatabase = true) {
        static int serial = 0;
        dir = std::filesystem::temp_directory_path() /
              ("parlix-console-" + std::to_string(::getpid()) + "-" + std::to_string(++serial));
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir / schema::kDatabaseFolder);
        SetAppPath(dir.string());
        if (withDatabase) schema::createDatabase(schema::databasePath(dir.string()));
        ConnectDB(DbConnection);
    }
    ~ConsoleFolder() {
        DbConnection.close();
        std::filesystem::remove_all(dir);
    }
    std::string errorLog() const {
        std::ifstream in(dir / kErrorLogName, std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }
    // The "Error Location: " lines of the log, in order.
    std::vector<std::string> logLocations() const {
        std::vector<std::string> out;
        std::stringstream ss(errorLog());
        for (std::string line; std::getline(ss, line);)
            if (line.rfind("Error Location: ", 0) == 0) {
                line = line.substr(16);
                if (!line.empty() && line.back() == '\r') line.pop_back();
                out.push_back(line);
            }
        return out;
    }
    std::filesystem::path dir;
};

}  // namespace parlix::console::testing
