#include "services/CancellableWait.h"

#include <algorithm>
#include <thread>

namespace vantrel {

bool waitUnlessCancelled(std::chrono::milliseconds duration, const CancellationToken& token) {
    using namespace std::chrono;
    constexpr auto kSlice = milliseconds(10);
    auto deadline = steady_clock::now() + duration;
    while (!token.isCancelled()) {
        auto now = steady_clock::now();
        if (now >= deadline) return true;
        std::this_thread::sleep_for(std::min<steady_clock::duration>(kSlice, deadline - now));
    }
    return false;
}

}  // namespace vantrel
