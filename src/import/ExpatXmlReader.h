#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "import/XmlReader.h"

namespace vantrel {

/// expat alone over a document held in memory: what `readXml` falls back to whenever the
/// in-place reader declines, and the reference the differential fuzzer compares it with.
std::optional<std::string> readXmlWithExpat(const std::uint8_t* data, std::size_t size,
                                            bool namespaceProcessing, XmlEventHandler& handler);

}  // namespace vantrel
