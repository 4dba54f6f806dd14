#include "cli/ProgressLine.h"

#include <ostream>

#include "model/TerminalText.h"

namespace vantrel::cli {

ProgressLine::ProgressLine(std::ostream& stream, bool enabled)
    : m_stream(stream), m_enabled(enabled) {}

ProgressLine::~ProgressLine() {
    finish();
}

void ProgressLine::update(const std::string& running, bool force) {
    if (!m_enabled) return;
    auto now = std::chrono::steady_clock::now();
    if (!force && m_drawn && now - m_last < std::chrono::milliseconds(100)) return;
    m_last = now;
    // Running texts name places and files; only the line's own return may move the cursor.
    std::string text = terminalText(running);
    std::string line = "\r" + text;
    if (text.size() < m_width) line.append(m_width - text.size(), ' ');
    m_width = text.size();
    m_stream << line << std::flush;
    m_drawn = true;
}

void ProgressLine::finish() {
    if (!m_enabled || !m_drawn) return;
    m_stream << "\r" << std::string(m_width, ' ') << "\r" << std::flush;
    m_drawn = false;
    m_width = 0;
}

std::string groupedNumber(long long value) {
    std::string digits = std::to_string(value < 0 ? -value : value);
    std::string out;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
        out += digits[i];
    }
    return value < 0 ? "-" + out : out;
}

}  // namespace vantrel::cli
