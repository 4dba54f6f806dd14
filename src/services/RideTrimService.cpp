#include "services/RideTrimService.h"

#include <simdjson.h>

#include <algorithm>
#include <array>
#include <bitset>
#include <cmath>

#include "analysis/GeodesicDistance.h"
#include "analysis/RideAnalysis.h"
#include "import/ElevationCalculator.h"
#include "model/Base64.h"
#include "model/JsonWriter.h"
#include "model/SeriesCodec.h"
#include "model/UnitSystem.h"

namespace vantrel::RideTrimService {

namespace {

struct NumberField {
    std::string_view key;
    double PreTrimBackup::*member;
};

struct BytesField {
    std::string_view key;
    std::optional<Bytes> PreTrimBackup::*member;
};

constexpr std::array<BytesField, 3> kBytesFields = {{
    {"routeData", &PreTrimBackup::routeData},
    {"heartRateData", &PreTrimBackup::heartRateData},
    {"powerData", &PreTrimBackup::powerData},
}};

constexpr std::array<NumberField, 9> kNumberFields = {{
    {"duration", &PreTrimBackup::duration},
    {"distance", &PreTrimBackup::distance},
    {"elevationGain", &PreTrimBackup::elevationGain},
    {"activeTime", &PreTrimBackup::activeTime},
    {"averageHeartRate", &PreTrimBackup::averageHeartRate},
    {"maxHeartRate", &PreTrimBackup::maxHeartRate},
    {"averagePower", &PreTrimBackup::averagePower},
    {"maxPower", &PreTrimBackup::maxPower},
    {"averageCadence", &PreTrimBackup::averageCadence},
}};

bool readBytesField(simdjson::ondemand::value value, std::optional<Bytes>& out) {
    if (value.is_null()) {
        out.reset();
        return true;
    }
    std::string_view text;
    if (value.get_string().get(text)) return false;
    out = base64Decode(text);
    return out.has_value();
}

/// Reads one key of the backup object; false when its value has the wrong type.
bool readField(std::string_view key, simdjson::ondemand::value value, PreTrimBackup& backup,
               std::bitset<kNumberFields.size()>& seen) {
    for (const auto& field : kBytesFields) {
        if (key == field.key) return readBytesField(value, backup.*field.member);
    }
    for (std::size_t i = 0; i < kNumberFields.size(); ++i) {
        if (key != kNumberFields[i].key) continue;
        seen.set(i);
        return !value.get_double().get(backup.*kNumberFields[i].member);
    }
    return true;
}

template <typename Sample>
std::vector<Sample> samplesUpTo(const std::vector<Sample>& samples, Date cut) {
    std::vector<Sample> kept;
    std::copy_if(samples.begin(), samples.end(), std::back_inserter(kept),
                 [cut](const Sample& sample) { return sample.timestamp <= cut; });
    return kept;
}

/// The three series as stored; absent when a present field does not decode.
struct DecodedSeries {
    std::vector<RoutePoint> route;
    std::vector<HeartRateSample> heartRate;
    std::vector<PowerSample> power;
};

template <typename Sample>
bool decodeInto(const std::optional<Bytes>& bytes,
                std::optional<std::vector<Sample>> (*decode)(const std::optional<Bytes>&),
                std::vector<Sample>& out) {
    if (!bytes) return true;
    auto decoded = decode(bytes);
    if (!decoded) return false;
    out = std::move(*decoded);
    return true;
}

std::optional<DecodedSeries> decodeSeries(const PersistedRide& ride) {
    DecodedSeries series;
    if (!decodeInto(ride.routeData, decodeRoutePoints, series.route) ||
        !decodeInto(ride.heartRateData, decodeHeartRateSamples, series.heartRate) ||
        !decodeInto(ride.powerData, decodePowerSamples, series.power)) {
        return std::nullopt;
    }
    return series;
}

void keepRoute(PersistedRide& ride, const std::vector<RoutePoint>& route) {
    ride.setRoutePoints(route);
    double distance = 0;
    ElevationCalculator elevation;
    for (std::size_t i = 0; i < route.size(); ++i) {
        if (i > 0) distance += geodesicDistance(route[i - 1].coordinate, route[i].coordinate);
        elevation.addAltitude(route[i].altitude);
    }
    ride.distance = distance;
    ride.elevationGain = elevation.totalElevationGain();
    ride.activeTime = RideAnalysis::activeTime(RideAnalysis::activeSegments(route));
}

struct MeanAndMax {
    double mean = 0;
    double max = 0;
};

template <typename Sample, typename Value>
MeanAndMax meanAndMax(const std::vector<Sample>& samples, Value value) {
    if (samples.empty()) return {};
    double total = 0;
    double highest = value(samples.front());
    for (const auto& sample : samples) {
        total += value(sample);
        highest = std::max(highest, value(sample));
    }
    return {total / static_cast<double>(samples.size()), highest};
}

void keepHeartRate(PersistedRide& ride, const std::vector<HeartRateSample>& samples) {
    ride.setHeartRateSamples(samples);
    auto bpm = meanAndMax(samples, [](const HeartRateSample& sample) { return sample.bpm; });
    ride.averageHeartRate = bpm.mean;
    ride.maxHeartRate = bpm.max;
}

void keepPower(PersistedRide& ride, const std::vector<PowerSample>& samples) {
    ride.setPowerSamples(samples);
    auto watts = meanAndMax(samples, [](const PowerSample& sample) { return sample.watts; });
    ride.averagePower = watts.mean;
    ride.maxPower = watts.max;
}

Date cutOverActiveTime(const std::vector<RoutePoint>& route, double progress, Date fallback) {
    auto segments = RideAnalysis::activeSegments(route);
    if (segments.empty()) return fallback;
    double target = progress * RideAnalysis::activeTime(segments);
    double elapsed = 0;
    for (const auto& segment : segments) {
        if (target <= elapsed + segment.length()) return segment.start + (target - elapsed);
        elapsed += segment.length();
    }
    return segments.back().end;
}

Date cutOverWallClock(const PersistedRide& ride, double progress) {
    auto power = ride.powerSamples();
    auto heartRate = ride.heartRateSamples();
    Date start = !power.empty()       ? power.front().timestamp
                 : !heartRate.empty() ? heartRate.front().timestamp
                                      : ride.date;
    Date lastPower = power.empty() ? start : power.back().timestamp;
    Date lastHeartRate = heartRate.empty() ? start : heartRate.back().timestamp;
    Date end = std::max(ride.date + ride.duration, std::max(lastPower, lastHeartRate));
    return start + progress * (end - start);
}

double finiteOrZero(double value) {
    return std::isfinite(value) ? value : 0.0;
}

}  // namespace

PreTrimBackup backupOf(const PersistedRide& ride) {
    return {ride.routeData,    ride.heartRateData, ride.powerData,  ride.duration,
            ride.distance,     ride.elevationGain, ride.activeTime, ride.averageHeartRate,
            ride.maxHeartRate, ride.averagePower,  ride.maxPower,   ride.averageCadence};
}

Bytes encodeBackup(const PreTrimBackup& backup) {
    JsonWriter writer;
    writer.beginObject();
    for (const auto& field : kBytesFields) {
        if (!(backup.*field.member)) continue;
        writer.key(field.key);
        writer.value(base64Encode(*(backup.*field.member)));
    }
    for (const auto& field : kNumberFields) {
        writer.key(field.key);
        writer.value(finiteOrZero(backup.*field.member));
    }
    writer.endObject();
    return bytesOf(writer.text());
}

std::optional<PreTrimBackup> decodeBackup(const Bytes& json) {
    simdjson::ondemand::parser parser;
    simdjson::padded_string padded(reinterpret_cast<const char*>(json.data()), json.size());
    simdjson::ondemand::document document;
    simdjson::ondemand::object object;
    if (parser.iterate(padded).get(document) || document.get_object().get(object)) {
        return std::nullopt;
    }
    PreTrimBackup backup;
    std::bitset<kNumberFields.size()> seen;
    for (auto entry : object) {
        simdjson::ondemand::field field;
        std::string_view key;
        if (std::move(entry).get(field) || field.unescaped_key().get(key)) return std::nullopt;
        if (!readField(key, field.value(), backup, seen)) return std::nullopt;
    }
    if (!seen.all()) return std::nullopt;
    return backup;
}

Date cutTime(const PersistedRide& ride, double progress) {
    double p = std::isnan(progress) ? 0.0 : std::clamp(progress, 0.0, 1.0);
    auto route = ride.routePoints();
    if (route.size() >= 2) return cutOverActiveTime(route, p, ride.date);
    return cutOverWallClock(ride, p);
}

bool trim(PersistedRide& ride, Date cut, Date now) {
    auto series = decodeSeries(ride);
    if (!series) return false;
    Bytes backup = encodeBackup(backupOf(ride));
    keepRoute(ride, samplesUpTo(series->route, cut));
    ride.duration = std::max(0.0, cut - ride.date);
    keepHeartRate(ride, samplesUpTo(series->heartRate, cut));
    keepPower(ride, samplesUpTo(series->power, cut));
    ride.averageCadence = 0;
    ride.preTrimBackup = std::move(backup);
    ride.trimmedAt = now;
    return true;
}

bool canUndoTrim(const PersistedRide& ride, Date now) {
    return ride.trimmedAt && ride.preTrimBackup && now - *ride.trimmedAt < kUndoWindow;
}

bool undoTrim(PersistedRide& ride, Date now) {
    if (!ride.preTrimBackup) return false;
    auto backup = decodeBackup(*ride.preTrimBackup);
    if (!backup || !canUndoTrim(ride, now)) return false;
    ride.routeData = std::move(backup->routeData);
    ride.heartRateData = std::move(backup->heartRateData);
    ride.powerData = std::move(backup->powerData);
    ride.duration = backup->duration;
    ride.distance = backup->distance;
    ride.elevationGain = backup->elevationGain;
    ride.activeTime = backup->activeTime;
    ride.averageHeartRate = backup->averageHeartRate;
    ride.maxHeartRate = backup->maxHeartRate;
    ride.averagePower = backup->averagePower;
    ride.maxPower = backup->maxPower;
    ride.averageCadence = backup->averageCadence;
    ride.preTrimBackup.reset();
    ride.trimmedAt.reset();
    return true;
}

void purgeExpiredBackup(PersistedRide& ride, Date now) {
    if (ride.trimmedAt && now - *ride.trimmedAt >= kUndoWindow) ride.preTrimBackup.reset();
}

std::string_view trimConfirmationTitle() {
    return "Trim This Activity?";
}

std::string trimConfirmationMessage(const PersistedRide& ride, std::optional<double> progress) {
    if (!progress) return "Everything after the scrubber position will be removed.";
    double kept = std::max(0.0, cutTime(ride, *progress) - ride.date);
    return "Keep only the first " + formatDuration(kept) +
           " of this activity. Route, heart rate, and power data after that point will be "
           "removed.\n\nYou can Undo Trim for 30 days.";
}

std::string_view trimButtonTitle() {
    return "Trim";
}
std::string_view cancelButtonTitle() {
    return "Cancel";
}
std::string_view trimNeedsScrubberTitle() {
    return "Drag the Scrubber First";
}

std::string_view trimNeedsScrubberMessage() {
    return "Drag across the chart to choose the point where you want the activity to end, then "
           "try again.";
}

std::string_view undoTrimTitle() {
    return "Undo Trim?";
}
std::string_view undoTrimMessage() {
    return "Restore the full activity as it was before the last trim.";
}
std::string_view undoButtonTitle() {
    return "Undo";
}

std::string_view trimHint() {
    return "Use the heart rate / elevation scrubber to set the point where the activity will be "
           "trimmed. Everything after that point is removed; you can undo for 30 days.";
}

}  // namespace vantrel::RideTrimService
