#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
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

    bool wantsCharacters() const { return m_wantsCharacters; }

  protected:
    /// Turns the delivery of character data off and on again from within the element events.
    /// Most of a document's text is the indentation between elements; not being handed it
    /// spares a call for every line.
    void wantCharacters(bool wanted) { m_wantsCharacters = wanted; }

  private:
    bool m_wantsCharacters = true;
};

/// Supplies a document piece by piece: writes up to `capacity` further bytes to `buffer` and
/// returns how many; 0 means the document has ended. May throw to abandon the reading.
using XmlSource = std::function<std::size_t(char* buffer, std::size_t capacity)>;

/// How much more a source is asked for once a document has outgrown its expected size.
inline constexpr std::size_t kXmlSliceSize = std::size_t{64} * 1024;

/// Reads a document from `source`, with the same refusals and result as the in-memory form
/// below. `expectedSize` (0 if unknown) sizes the first request; a document expected small
/// enough for the in-place reader is read whole first.
std::optional<std::string> readXml(const XmlSource& source, std::size_t expectedSize,
                                   bool namespaceProcessing, XmlEventHandler& handler);

/// Reads a document held in memory: in place where that reads the same, with expat otherwise,
/// the events and error texts being expat's either way. Entity declarations are
/// refused (so no entity can expand, internally or from outside) and no external entity or DTD
/// is ever loaded. Returns the description of the first error, or nothing for a well-formed
/// document.
std::optional<std::string> readXml(const std::uint8_t* data, std::size_t size,
                                   bool namespaceProcessing, XmlEventHandler& handler);

/// Value of the attribute named exactly `name`, or nothing.
std::optional<std::string_view> xmlAttribute(const char** attributes, std::string_view name);

}  // namespace vantrel
