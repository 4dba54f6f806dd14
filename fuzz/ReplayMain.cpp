// Replays every saved input of a fuzz target once, so crashes found by fuzzing stay fixed.
// Each argument is a folder of inputs (searched recursively) or one input file. A replay that
// finds nothing to run fails: a moved or empty corpus must not pass as "0 failed".
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

namespace fs = std::filesystem;

/// Runs one input; false when it cannot be read.
bool replayFile(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) return false;
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) return false;
    LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    return true;
}

struct Tally {
    int replayed = 0;
    int failed = 0;
};

/// Replays what `root` holds; false when it is missing, unreadable or holds no input.
bool replayRoot(const fs::path& root, Tally& tally) {
    std::error_code error;
    if (fs::is_regular_file(root, error)) {
        if (replayFile(root)) {
            ++tally.replayed;
            return true;
        }
        std::fprintf(stderr, "replay: cannot read %s\n", root.c_str());
        return false;
    }
    if (!fs::is_directory(root, error)) {
        std::fprintf(stderr, "replay: no such input folder: %s\n", root.c_str());
        return false;
    }
    int found = 0;
    fs::recursive_directory_iterator it(root, error);
    for (; !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
        if (!it->is_regular_file(error)) continue;
        ++found;
        if (replayFile(it->path())) {
            ++tally.replayed;
        } else {
            std::fprintf(stderr, "replay: cannot read %s\n", it->path().c_str());
            ++tally.failed;
        }
    }
    if (error) {
        std::fprintf(stderr, "replay: cannot list %s: %s\n", root.c_str(), error.message().c_str());
        return false;
    }
    if (found == 0) {
        std::fprintf(stderr, "replay: no inputs in %s\n", root.c_str());
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s FOLDER_OR_FILE...\n", argv[0]);
        return 2;
    }
    Tally tally;
    bool everyRootReplayed = true;
    for (int i = 1; i < argc; ++i)
        everyRootReplayed = replayRoot(argv[i], tally) && everyRootReplayed;
    std::printf("replayed %d inputs\n%d passed, %d failed\n", tally.replayed, tally.replayed,
                tally.failed);
    return everyRootReplayed && tally.failed == 0 && tally.replayed > 0 ? 0 : 1;
}
