// Feeds arbitrary bytes to the reader of the watcher's memory of seen files, as a damaged cache
// file would: every entry it keeps is written back to a line that reads as the same entry.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "watch/SeenFiles.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    for (const auto& [path, seen] : vantrel::parseSeenFiles(text)) {
        auto again = vantrel::parseSeenFiles(vantrel::seenFileLine(path, seen));
        if (again.size() != 1 || again.begin()->first != path || again.begin()->second != seen)
            std::abort();
    }
    return 0;
}
