#pragma once

#include <atomic>
#include <memory>

namespace vantrel {

/// Shared flag a long flow checks between steps; `cancel()` may be called from any thread.
class CancellationToken {
  public:
    void cancel() { m_cancelled.store(true); }
    bool isCancelled() const { return m_cancelled.load(); }

  private:
    std::atomic<bool> m_cancelled{false};
};

using CancellationTokenRef = std::shared_ptr<CancellationToken>;

}  // namespace vantrel
