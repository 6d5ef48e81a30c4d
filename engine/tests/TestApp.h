// The one QApplication of an engine window test program.
#pragma once

#include <QApplication>

namespace parlix::engine::testing {

inline QApplication& app() {
    static int argc = 1;
    static char name[] = "parlix_engine_window_tests";
    static char* argv[] = {name, nullptr};
    // Never destroyed: tearing Qt down from a static destructor crashes at exit.
    static QApplication* instance = new QApplication(argc, argv);
    return *instance;
}

}  // namespace parlix::engine::testing
