// Writes a store of generated activities for timing the command-line tool on a long history:
//   build/bench/history_store_maker STORE COUNT
// (see bench/list_memory.sh).
#include <charconv>
#include <cstdio>
#include <cstring>
#include <exception>

#include "HistoryStoreGenerator.h"

int main(int argc, char** argv) {
    long long count = 0;
    if (argc != 3 ||
        std::from_chars(argv[2], argv[2] + std::strlen(argv[2]), count).ec != std::errc() ||
        count < 1) {
        std::fprintf(stderr, "usage: history_store_maker STORE COUNT\n");
        return 2;
    }
    try {
        vantrel::bench::generateHistoryStore(argv[1], count);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
    return 0;
}
