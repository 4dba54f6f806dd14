#include "import/GPXParser.h"

#include "import/RideImportError.h"
#include "import/XmlText.h"

namespace vantrel {

ImportedActivity GPXParser::parse(const Bytes& bytes) {
    return parse(bytes.data(), bytes.size());
}

ImportedActivity GPXParser::parse(const std::uint8_t* data, std::size_t size) {
    if (auto error = readXml(data, size, true, *this)) throw RideImportError::parsingFailed(*error);
    if (m_trackType) m_result.activityType = activityTypeFromText(*m_trackType);
    return std::move(m_result);
}

void GPXParser::startElement(std::string_view name, const char** attributes) {
    m_characterBuffer.clear();
    if (isName(name, "trkpt")) {
        startTrackpoint(attributes);
    } else if (isName(name, "name")) {
        if (!m_insideTrackpoint) m_insideName = true;
    } else if (isName(name, "type")) {
        if (!m_insideTrackpoint) m_insideType = true;
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
}

void GPXParser::characters(std::string_view text) {
    m_characterBuffer.append(text);
}

void GPXParser::endElement(std::string_view name) {
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
    }
}

std::string_view GPXParser::elementText() const {
    return trimmedXmlText(m_characterBuffer);
}

void GPXParser::finishTrackpoint() {
    if (m_currentLat && m_currentLon && m_currentTime) {
        m_result.trackpoints.push_back(
            {*m_currentLat, *m_currentLon, m_currentEle, *m_currentTime, m_currentHR});
    }
    m_insideTrackpoint = false;
}

}  // namespace vantrel
