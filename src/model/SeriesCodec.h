#pragma once

#include <cstddef>
#include <optional>
#include <vector>

#include "model/Bytes.h"
#include "model/Samples.h"

namespace vantrel {

/// Packs series JSON: bytes starting with 0x00 or shorter than 128 bytes come back unchanged,
/// anything else becomes 0x00 followed by a raw DEFLATE stream. Never fails (a compressor
/// failure returns the input).
Bytes compressSeriesData(const Bytes& bytes);
/// A stored series inflating beyond this is refused rather than exhausting memory; a day of
/// 1 Hz samples inflates to well under a tenth of it.
inline constexpr std::size_t kMaximumInflatedSeriesSize = std::size_t{1} << 30;

/// Inflates the raw DEFLATE stream after the first byte; absent below 2 bytes, on failure, or
/// when the output would exceed `kMaximumInflatedSeriesSize`. Memory stays within twice the
/// output (or eight times the input, when that is more).
std::optional<Bytes> decompressSeriesData(const Bytes& bytes);
/// The same with another output limit.
std::optional<Bytes> decompressSeriesData(const Bytes& bytes, std::size_t maximumSize);

/// The JSON array of a series (keys exactly the field names, upper-case UUIDs, shortest
/// round-trip numbers); absent when a value is not finite.
std::optional<Bytes> encodeSeriesJSON(const std::vector<RoutePoint>& points);
std::optional<Bytes> encodeSeriesJSON(const std::vector<HeartRateSample>& samples);
std::optional<Bytes> encodeSeriesJSON(const std::vector<PowerSample>& samples);

/// Encodes then packs; absent for an empty list or when encoding fails (the stored field
/// is then absent).
std::optional<Bytes> packSeries(const std::vector<RoutePoint>& points);
std::optional<Bytes> packSeries(const std::vector<HeartRateSample>& samples);
std::optional<Bytes> packSeries(const std::vector<PowerSample>& samples);

/// Strict decoding of a stored series (plain JSON, or 0x00 + DEFLATE). Absent for empty or
/// absent bytes, a failed inflation, or any missing key / wrong type / bad UUID in any element.
std::optional<std::vector<RoutePoint>> decodeRoutePoints(const std::optional<Bytes>& bytes);
std::optional<std::vector<HeartRateSample>> decodeHeartRateSamples(
    const std::optional<Bytes>& bytes);
std::optional<std::vector<PowerSample>> decodePowerSamples(const std::optional<Bytes>& bytes);

}  // namespace vantrel
