#pragma once

#include <chrono>
#include <iosfwd>
#include <string>

namespace vantrel::cli {

/// A single progress line redrawn in place on a terminal (at most ten times a second);
/// silent when the stream is not a terminal.
class ProgressLine {
  public:
    ProgressLine(std::ostream& stream, bool enabled);
    ~ProgressLine();
    void update(const std::string& text, bool force = false);
    /// Clears the line so that ordinary output can follow.
    void finish();

  private:
    std::ostream& m_stream;
    bool m_enabled;
    bool m_drawn = false;
    std::size_t m_width = 0;
    std::chrono::steady_clock::time_point m_last{};
};

/// "1,043": whole number with thousands separators.
std::string groupedNumber(long long value);

}  // namespace vantrel::cli
