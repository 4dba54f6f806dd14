#pragma once

#include <string>
#include <string_view>

namespace vantrel {

/// `text` with every byte that does not belong to a valid UTF-8 sequence replaced by U+FFFD.
/// Strict JSON readers refuse a whole document over one such byte, so texts of outside origin
/// are cleaned before they are written.
std::string validUtf8(std::string_view text);

/// Appends `text` as a JSON string after cleaning it as `validUtf8` does.
void appendText(std::string& out, std::string_view text);

}  // namespace vantrel
