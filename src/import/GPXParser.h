#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "import/XmlActivityReader.h"

namespace vantrel {

/// Reads the track points, track name and activity type of a GPX document. Elements are matched
/// by local name, so an extension's prefixed `hr` counts. Single use: make one per document.
class GPXParser : public XmlActivityReader {
  public:
    GPXParser() : XmlActivityReader(true) {}

  private:
    void startElement(std::string_view name, const char** attributes) override;
    void characters(std::string_view text) override;
    void endElement(std::string_view name) override;
    void reservePoints(std::size_t documentSize) override;
    ImportedActivity finish() override;
    void startTrackpoint(const char** attributes);
    void finishTrackpoint();
    void endExtensionValue(std::string_view name);
    /// The character data of the element just closed, trimmed.
    std::string_view elementText() const;

    ImportedActivity m_result;
    std::optional<std::string> m_trackType;
    std::optional<double> m_currentLat;
    std::optional<double> m_currentLon;
    std::optional<double> m_currentEle;
    std::optional<Date> m_currentTime;
    std::optional<double> m_currentHR;
    std::optional<double> m_currentPower;
    std::optional<double> m_currentCadence;
    std::string m_characterBuffer;
    std::size_t m_openTextElements = 0;
    std::size_t m_openExtensions = 0;
    bool m_insideTrackpoint = false;
    bool m_insideName = false;
    bool m_insideType = false;
};

}  // namespace vantrel
