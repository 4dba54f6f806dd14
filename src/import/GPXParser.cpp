#include "import/GPXParser.h"

#include "import/SensorReading.h"
#include "import/XmlText.h"

namespace vantrel {

void GPXParser::reservePoints(std::size_t documentSize) {
    // Real tracks spend well over this per point, so the list is not copied as it grows; the
    // part never filled is address space only, not memory in use.
    constexpr std::size_t kFewestBytesPerPoint = 128;
    m_result.trackpoints.reserve(documentSize / kFewestBytesPerPoint);
}

ImportedActivity GPXParser::finish() {
    if (m_trackType) m_result.activityType = activityTypeFromText(*m_trackType);
    return std::move(m_result);
}

namespace {

// Elements whose text may be read at their end. Text is read up to the last element start, so
// it is collected while any of them is open, whatever opens inside it.
bool mayHoldText(std::string_view name) {
    return isName(name, "ele") || isName(name, "time") || isName(name, "hr") ||
           isName(name, "name") || isName(name, "type") || isName(name, "cad") ||
           isName(name, "power") || isName(name, "PowerInWatts");
}

}  // namespace

void GPXParser::startElement(std::string_view name, const char** attributes) {
    m_characterBuffer.clear();
    if (mayHoldText(name)) ++m_openTextElements;
    wantCharacters(m_openTextElements > 0);
    if (isName(name, "trkpt")) {
        startTrackpoint(attributes);
    } else if (isName(name, "name")) {
        if (!m_insideTrackpoint) m_insideName = true;
    } else if (isName(name, "type")) {
        if (!m_insideTrackpoint) m_insideType = true;
    } else if (isName(name, "extensions")) {
        if (m_insideTrackpoint) ++m_openExtensions;
    }
}

void GPXParser::startTrackpoint(const char** attributes) {
    m_insideTrackpoint = true;
    // Attribute values count as they stand: a padded "lat" does not read.
    auto lat = xmlAttribute(attributes, "lat");
    auto lon = xmlAttribute(attributes, "lon");
    m_currentLat = lat ? parseDecimal(*lat) : std::nullopt;
    m_currentLon = lon ? parseDecimal(*lon) : std::nullopt;
    m_currentEle.reset();
    m_currentTime.reset();
    m_currentHR.reset();
    m_currentPower.reset();
    m_currentCadence.reset();
    m_openExtensions = 0;
}

void GPXParser::characters(std::string_view text) {
    m_characterBuffer.append(text);
}

void GPXParser::endElement(std::string_view name) {
    if (m_openTextElements > 0 && mayHoldText(name)) --m_openTextElements;
    wantCharacters(m_openTextElements > 0);
    if (isName(name, "trkpt")) {
        finishTrackpoint();
    } else if (isName(name, "ele")) {
        if (m_insideTrackpoint) m_currentEle = parseDecimal(elementText());
    } else if (isName(name, "time")) {
        if (m_insideTrackpoint) m_currentTime = parseISO8601Either(elementText());
    } else if (isName(name, "hr")) {
        if (m_insideTrackpoint) m_currentHR = parseDecimal(elementText());
    } else if (isName(name, "name")) {
        if (m_insideName) m_result.name = std::string(elementText());
        m_insideName = false;
    } else if (isName(name, "type")) {
        if (m_insideType) m_trackType = std::string(elementText());
        m_insideType = false;
    } else if (m_openExtensions > 0) {
        endExtensionValue(name);
    }
}

// Power comes as Garmin's power extension (declared under more than one namespace URI in real
// files, so only its local name counts) or as a bare <power> element; cadence in the track point
// extension, v1 and v2 alike.
void GPXParser::endExtensionValue(std::string_view name) {
    if (isName(name, "extensions")) {
        --m_openExtensions;
    } else if (isName(name, "PowerInWatts") || isName(name, "power")) {
        m_currentPower = plausiblePower(parseDecimal(elementText()));
    } else if (isName(name, "cad")) {
        m_currentCadence = plausibleCadence(parseDecimal(elementText()));
    }
}

std::string_view GPXParser::elementText() const {
    return trimmedXmlText(m_characterBuffer);
}

void GPXParser::finishTrackpoint() {
    if (m_currentLat && m_currentLon && m_currentTime &&
        isValidPosition(*m_currentLat, *m_currentLon)) {
        m_result.trackpoints.push_back({*m_currentLat, *m_currentLon, m_currentEle, *m_currentTime,
                                        m_currentHR, m_currentPower, m_currentCadence});
    }
    m_insideTrackpoint = false;
    m_openExtensions = 0;
}

}  // namespace vantrel
