#include "import/TCXParser.h"

#include "import/SensorReading.h"
#include "import/XmlText.h"

namespace vantrel {

ImportedActivity TCXParser::finish() {
    m_result.activityType = activityType();
    return std::move(m_result);
}

void TCXParser::reservePoints(std::size_t documentSize) {
    // Real trackpoints take well over this, so the list is not copied as it grows; the part
    // never filled is address space only, not memory in use.
    constexpr std::size_t kFewestBytesPerPoint = 192;
    m_result.trackpoints.reserve(documentSize / kFewestBytesPerPoint);
}

std::optional<ActivityType> TCXParser::activityType() const {
    if (!m_activitySport) return std::nullopt;
    if (*m_activitySport == "Biking") return ActivityType::cycling;
    if (*m_activitySport == "Running") return ActivityType::running;
    return ActivityType::other;
}

namespace {

// The name without its namespace prefix: exporters write the activity extension's elements
// under whatever prefix they declared ("ns3:Watts", "x:Watts").
std::string_view localPart(std::string_view name) {
    auto colon = name.rfind(':');
    return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

bool isSensorValue(std::string_view name) {
    std::string_view local = localPart(name);
    return isName(local, "Cadence") || isName(local, "Watts") || isName(local, "RunCadence");
}

// Elements whose text may be read at their end. Text is read up to the last element start, so
// it is collected while any of them is open, whatever opens inside it.
bool mayHoldText(std::string_view name) {
    switch (name.size()) {
        case 4:
            return isName(name, "Time");
        case 5:
            return isName(name, "Value");
        case 8:
            return isName(name, "Calories");
        case 14:
            return isName(name, "DistanceMeters") || isName(name, "AltitudeMeters");
        case 15:
            return isName(name, "LatitudeDegrees");
        case 16:
            return isName(name, "TotalTimeSeconds") || isName(name, "LongitudeDegrees");
        default:
            return false;
    }
}

}  // namespace

void TCXParser::pushElement(std::string_view name) {
    if (m_depth == m_elementStack.size()) m_elementStack.emplace_back();
    m_elementStack[m_depth++].assign(name);
    if (isName(name, "Trackpoint")) ++m_openTrackpoints;
}

void TCXParser::popElement() {
    if (m_depth == 0) return;
    if (isName(m_elementStack[--m_depth], "Trackpoint")) --m_openTrackpoints;
}

void TCXParser::startElement(std::string_view name, const char** attributes) {
    m_characterBuffer.clear();
    pushElement(name);
    if (mayHoldText(name) || isSensorValue(name)) ++m_openTextElements;
    wantCharacters(m_openTextElements > 0);
    if (isName(name, "Activity")) {
        auto sport = xmlAttribute(attributes, "Sport");
        m_activitySport = sport ? std::optional<std::string>(*sport) : std::nullopt;
    } else if (isName(name, "Lap")) {
        m_lap = ImportedLapSummary{};
    } else if (isName(name, "Trackpoint")) {
        m_currentDistance.reset();
        m_currentLat.reset();
        m_currentLon.reset();
        m_currentAlt.reset();
        m_currentTime.reset();
        m_currentHR.reset();
        m_currentPower.reset();
        m_currentCadence.reset();
    }
}

void TCXParser::characters(std::string_view text) {
    m_characterBuffer.append(text);
}

void TCXParser::endElement(std::string_view name) {
    if (m_openTextElements > 0 && (mayHoldText(name) || isSensorValue(name))) {
        --m_openTextElements;
    }
    wantCharacters(m_openTextElements > 0);
    bool inTrackpoint = m_openTrackpoints > 0;
    if (isName(name, "Lap")) {
        m_result.lapSummaries.push_back(m_lap);
    } else if (isName(name, "Trackpoint")) {
        finishTrackpoint();
    } else if (isName(name, "Value")) {
        endHeartRateValue(inTrackpoint);
    } else if (inTrackpoint) {
        endTrackpointValue(name);
    } else {
        endLapValue(name);
    }
    popElement();
}

void TCXParser::endLapValue(std::string_view name) {
    if (isName(name, "TotalTimeSeconds")) {
        m_lap.totalTimeSeconds = parseDecimal(elementText()).value_or(0);
    } else if (isName(name, "DistanceMeters")) {
        m_lap.distanceMeters = parseDecimal(elementText()).value_or(0);
    } else if (isName(name, "Calories")) {
        m_lap.calories = parseDecimal(elementText()).value_or(0);
    }
}

void TCXParser::endTrackpointValue(std::string_view name) {
    if (isName(name, "Time")) {
        m_currentTime = parseISO8601Either(elementText());
    } else if (isName(name, "LatitudeDegrees")) {
        m_currentLat = parseDecimal(elementText());
    } else if (isName(name, "LongitudeDegrees")) {
        m_currentLon = parseDecimal(elementText());
    } else if (isName(name, "AltitudeMeters")) {
        m_currentAlt = parseDecimal(elementText());
    } else if (isName(name, "DistanceMeters")) {
        m_currentDistance = parseDecimal(elementText());
    } else if (isSensorValue(name)) {
        endSensorValue(localPart(name));
    }
}

void TCXParser::endSensorValue(std::string_view localName) {
    if (isName(localName, "Watts")) {
        m_currentPower = plausiblePower(parseDecimal(elementText()));
    } else {
        // Bike cadence stands in the trackpoint, a run's in the activity extension.
        m_currentCadence = plausibleCadence(parseDecimal(elementText()));
    }
}

void TCXParser::endHeartRateValue(bool inTrackpoint) {
    if (m_depth < 2) return;
    const std::string& parent = m_elementStack[m_depth - 2];
    if (!inTrackpoint && isName(parent, "AverageHeartRateBpm")) {
        m_lap.averageHeartRate = parseDecimal(elementText());
    } else if (!inTrackpoint && isName(parent, "MaximumHeartRateBpm")) {
        m_lap.maxHeartRate = parseDecimal(elementText());
    } else if (inTrackpoint && isName(parent, "HeartRateBpm")) {
        m_currentHR = parseDecimal(elementText());
    }
}

std::string_view TCXParser::elementText() const {
    return trimmedXmlText(m_characterBuffer);
}

void TCXParser::finishTrackpoint() {
    if (!m_currentTime) return;
    bool placed = m_currentLat && m_currentLon && isValidPosition(*m_currentLat, *m_currentLon);
    auto& points = placed ? m_result.trackpoints : m_result.unplacedPoints;
    ImportedTrackpoint& point = points.emplace_back();
    if (placed) {
        point.latitude = *m_currentLat;
        point.longitude = *m_currentLon;
    }
    point.altitude = m_currentAlt;
    point.timestamp = *m_currentTime;
    point.heartRate = m_currentHR;
    point.power = m_currentPower;
    point.cadence = m_currentCadence;
    point.distance = m_currentDistance;
}

}  // namespace vantrel
