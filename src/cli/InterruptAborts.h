#pragma once

#include <csignal>

#include "model/Cancellation.h"

namespace vantrel::cli {

/// Ctrl-C is the command line's "Abort" button: while this guard lives, an interrupt cancels
/// `token`, so that a run stops before its next activity and still reports what it did.
class InterruptAborts {
  public:
    explicit InterruptAborts(CancellationToken& token);
    ~InterruptAborts();
    InterruptAborts(const InterruptAborts&) = delete;
    InterruptAborts& operator=(const InterruptAborts&) = delete;

  private:
    struct sigaction m_previous {};
};

}  // namespace vantrel::cli
