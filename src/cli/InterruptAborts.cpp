#include "cli/InterruptAborts.h"

#include <atomic>

namespace vantrel::cli {

namespace {

std::atomic<CancellationToken*> interruptedRun{nullptr};

extern "C" void cancelOnInterrupt(int) {
    if (auto* token = interruptedRun.load()) token->cancel();
}

}  // namespace

InterruptAborts::InterruptAborts(CancellationToken& token) {
    interruptedRun = &token;
    struct sigaction action {};
    action.sa_handler = cancelOnInterrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, &m_previous);
}

InterruptAborts::~InterruptAborts() {
    sigaction(SIGINT, &m_previous, nullptr);
    interruptedRun = nullptr;
}

}  // namespace vantrel::cli
