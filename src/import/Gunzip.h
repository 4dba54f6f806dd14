#pragma once

#include <cstddef>
#include <cstdint>

#include "model/Bytes.h"

namespace vantrel {

/// Largest output `gunzip` produces; longer content is cut off there.
inline constexpr std::size_t kGunzipMaximumOutput = 100'000'000;
/// Output capacity when the trailer's size field is 0.
inline constexpr std::size_t kGunzipUnknownSizeOutput = 1'000'000;

/// Decodes the first member of a gzip file into a buffer sized by the trailer's size field
/// (capped as above). Throws `RideImportError::decompressFailed` with "File too small to be
/// gzip", "Not a gzip file", "Truncated gzip data" or "Decompression produced no output".
/// Neither checksum is verified.
Bytes gunzip(const Bytes& bytes);
Bytes gunzip(const std::uint8_t* data, std::size_t size);

}  // namespace vantrel
