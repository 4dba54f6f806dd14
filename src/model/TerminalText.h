#pragma once

#include <string>
#include <string_view>

namespace vantrel {

/// `text` made safe to print on a terminal, written as the log writes such characters: line
/// feed, carriage return and tab as "\n", "\r" and "\t", other C0 controls, DEL and bytes that
/// are no valid UTF-8 as "\xHH", C1 controls and the line and paragraph separators as "\uHHHH".
/// Text from files, archives and look-up services passes through it before any human-readable
/// output, so that it can neither drive the terminal nor start a line of its own.
std::string terminalText(std::string_view text);

}  // namespace vantrel
