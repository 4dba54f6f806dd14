#pragma once

#include <cstddef>
#include <cstdint>

#include "import/XmlReader.h"

namespace vantrel {

/// The largest document read in place: its two copies and tree (five times it) stay below 50 MB.
inline constexpr std::size_t kFastXmlSizeLimit = std::size_t{8} * 1024 * 1024;

/// Reads a document held in memory with an in-place tree parser, well ahead of expat in speed,
/// emitting exactly the events expat would. Returns false, having emitted nothing, for an
/// ill-formed document and for anything in it whose reading has not been shown to match expat's
/// (entities, a document type, other encodings, non-ASCII names…): the caller then runs expat.
bool readXmlFast(const std::uint8_t* data, std::size_t size, bool namespaceProcessing,
                 XmlEventHandler& handler);

}  // namespace vantrel
