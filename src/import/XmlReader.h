#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vantrel {

/// Receives the events of one XML document. Names are local names when namespace processing
/// is on, the names as written otherwise. `attributes` is expat's null-terminated list of
/// name/value pairs.
class XmlEventHandler {
  public:
    virtual ~XmlEventHandler() = default;
    virtual void startElement(std::string_view name, const char** attributes) = 0;
    virtual void characters(std::string_view text) = 0;
    virtual void endElement(std::string_view name) = 0;
};

/// Runs expat over a document held in memory, without copying it. Entity declarations are
/// refused (so no entity can expand, internally or from outside) and no external entity or DTD
/// is ever loaded. Returns the description of the first error, or nothing for a well-formed
/// document.
std::optional<std::string> readXml(const std::uint8_t* data, std::size_t size,
                                   bool namespaceProcessing, XmlEventHandler& handler);

/// Value of the attribute named exactly `name`, or nothing.
std::optional<std::string_view> xmlAttribute(const char** attributes, std::string_view name);

}  // namespace vantrel
