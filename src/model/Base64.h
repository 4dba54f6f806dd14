#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "model/Bytes.h"

namespace vantrel {

/// Standard Base64 (RFC 4648) with padding, no line breaks.
std::string base64Encode(const Bytes& bytes);
/// Strict reading of the padded form; absent for any other character or a bad length.
std::optional<Bytes> base64Decode(std::string_view text);

}  // namespace vantrel
