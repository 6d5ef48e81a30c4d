// parlix-makedb: makes the shared database file when it is missing. Without --upgrade an
// existing file is never changed; one that is not a Parlix database (empty, foreign,
// damaged, another key) is reported and the tool fails.
//   parlix-makedb <root>          -> <root>/Database/Parlix.db
//   parlix-makedb --file <path>   -> that file
//   parlix-makedb --doc           -> prints the database description (Markdown)
//   parlix-makedb --upgrade <root> -> brings an existing file up to the current indexes
#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>

#include "database/Schema.h"

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "--doc") == 0) {
        std::cout << parlix::schema::documentation();
        return 0;
    }
    if (argc == 3 && std::strcmp(argv[1], "--upgrade") == 0) {
        const std::string file = parlix::schema::databasePath(argv[2]);
        try {
            auto r = parlix::schema::upgradeDatabase(file);
            std::cout << "parlix-makedb: " << file << " is up to date";
            if (!r.indexesAdded.empty()) std::cout << " (" << r.indexesAdded.size() << " indexes added)";
            if (!r.indexesDropped.empty()) std::cout << " (" << r.indexesDropped.size() << " indexes dropped)";
            std::cout << "\n";
            return 0;
        } catch (const std::exception& e) {
            std::cerr << "parlix-makedb: " << e.what() << "\n";
            return 1;
        }
    }
    std::string path;
    if (argc == 3 && std::strcmp(argv[1], "--file") == 0) {
        path = argv[2];
    } else if (argc == 2 && argv[1][0] != '-') {
        std::string folder = std::string(argv[1]) + "/" + parlix::schema::kDatabaseFolder;
        if (::mkdir(folder.c_str(), 0755) != 0 && errno != EEXIST) {
            std::cerr << "parlix-makedb: cannot create folder " << folder << ": " << std::strerror(errno) << "\n";
            return 1;
        }
        path = parlix::schema::databasePath(argv[1]);
    } else {
        std::cerr << "usage: parlix-makedb <root> | --file <path> | --upgrade <root> | --doc\n";
        return 2;
    }
    try {
        if (parlix::schema::createDatabase(path)) {
            std::cout << "parlix-makedb: created " << path << "\n";
        } else if (const std::string why = parlix::schema::checkDatabase(path); !why.empty()) {
            // Never overwritten: it may be the only copy of someone's data.
            std::cerr << "parlix-makedb: " << path << " is not a Parlix database (" << why
                      << "); nothing was changed. Move it away and run parlix-makedb again to make a new one.\n";
            return 1;
        } else {
            std::cout << "parlix-makedb: " << path << " exists, left as it is\n";
        }
    } catch (const std::exception& e) {
        std::cerr << "parlix-makedb: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
