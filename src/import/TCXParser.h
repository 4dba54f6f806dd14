#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "import/XmlActivityReader.h"

namespace vantrel {

/// Reads the trackpoints, laps and sport of a Training Center XML file. Element names are
/// matched as written (no namespace processing). Single use: make one per file.
class TCXParser : public XmlActivityReader {
  public:
    TCXParser() : XmlActivityReader(false) {}

  private:
    void startElement(std::string_view name, const char** attributes) override;
    void characters(std::string_view text) override;
    void endElement(std::string_view name) override;
    void reservePoints(std::size_t documentSize) override;
    ImportedActivity finish() override;
    void pushElement(std::string_view name);
    void popElement();
    void endLapValue(std::string_view name);
    void endTrackpointValue(std::string_view name);
    void endHeartRateValue(bool inTrackpoint);
    void endSensorValue(std::string_view localName);
    /// The character data since the last element start, trimmed.
    std::string_view elementText() const;
    void finishTrackpoint();
    std::optional<ActivityType> activityType() const;

    ImportedActivity m_result;
    // Open element names, outermost first. Only the first m_depth entries are live; the
    // others keep their storage so that deep documents do not allocate per element.
    std::vector<std::string> m_elementStack;
    std::size_t m_depth = 0;
    std::size_t m_openTrackpoints = 0;
    std::string m_characterBuffer;
    std::size_t m_openTextElements = 0;
    std::optional<double> m_currentLat;
    std::optional<double> m_currentLon;
    std::optional<double> m_currentAlt;
    std::optional<Date> m_currentTime;
    std::optional<double> m_currentHR;
    std::optional<double> m_currentDistance;
    std::optional<double> m_currentPower;
    std::optional<double> m_currentCadence;
    ImportedLapSummary m_lap;
    std::optional<std::string> m_activitySport;
};

}  // namespace vantrel
