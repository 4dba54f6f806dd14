#include "services/RequestPacer.h"

#include <thread>

namespace vantrel {

RequestPacer::RequestPacer(std::chrono::milliseconds interval, Sleep sleep)
    : m_interval(interval), m_sleep(std::move(sleep)) {
    if (!m_sleep) m_sleep = [](Clock::duration d) { std::this_thread::sleep_for(d); };
}

void RequestPacer::awaitTurn() {
    std::lock_guard lock(m_mutex);
    if (m_last) {
        auto due = *m_last + m_interval;
        auto now = Clock::now();
        if (now < due) m_sleep(due - now);
    }
    m_last = Clock::now();
}

}  // namespace vantrel
