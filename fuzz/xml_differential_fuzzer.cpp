// Runs the in-place XML reader and expat over the same bytes, in both namespace modes, and
// aborts when they differ: the in-place reader must either decline (expat then decides) or
// read exactly expat's events, and never read a document expat refuses.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "import/ExpatXmlReader.h"
#include "import/FastXmlReader.h"
// Shared with the reader's tests, which keep what this target found.
#include "../tests/support/XmlEventLog.h"

namespace {

using vantrel::XmlEventLog;

void compare(const std::uint8_t* data, std::size_t size, bool namespaces, bool someText) {
    XmlEventLog fast(someText);
    bool read = vantrel::readXmlFast(data, size, namespaces, fast);
    XmlEventLog expat(someText);
    auto error = vantrel::readXmlWithExpat(data, size, namespaces, expat);
    if (!read) {
        if (!fast.log().empty()) {
            std::fprintf(stderr, "declined after emitting events\n");
            std::abort();
        }
        return;
    }
    if (error) {
        std::fprintf(stderr, "in-place reader read what expat refuses: %s\n", error->c_str());
        std::abort();
    }
    if (fast.log() != expat.log()) {
        std::fprintf(stderr, "events differ (namespaces %d)\n--- in place\n%s--- expat\n%s",
                     namespaces, fast.log().c_str(), expat.log().c_str());
        std::abort();
    }
}

}  // namespace

// The name is libFuzzer's.
extern "C" int LLVMFuzzerTestOneInput(  // NOLINT(readability-identifier-naming)
    const std::uint8_t* data, std::size_t size) {
    for (bool namespaces : {false, true}) {
        for (bool someText : {false, true}) compare(data, size, namespaces, someText);
    }
    return 0;
}
