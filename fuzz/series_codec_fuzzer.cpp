// Stored series arrive from other devices and from archives: any bytes must decode or be refused.
#include <cstddef>
#include <cstdint>

#include "model/SeriesCodec.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    vantrel::Bytes bytes(data, data + size);
    if (auto points = vantrel::decodeRoutePoints(bytes)) {
        // What decodes must encode again and read back the same.
        if (auto again = vantrel::packSeries(*points)) {
            if (vantrel::decodeRoutePoints(again) != points) __builtin_trap();
        }
    }
    vantrel::decodeHeartRateSamples(bytes);
    vantrel::decodePowerSamples(bytes);
    vantrel::decompressSeriesData(bytes);
    return 0;
}
