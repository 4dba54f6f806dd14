// Weather snapshots are carried as the recording device wrote them.
#include <cstddef>
#include <cstdint>

#include "model/WeatherSnapshot.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    auto snapshot = vantrel::decodeWeather(vantrel::Bytes(data, data + size));
    if (snapshot) {
        vantrel::conditionDescription(*snapshot);
        vantrel::aqiCategory(*snapshot);
        vantrel::decodeWeather(vantrel::encodeWeather(*snapshot));
    }
    return 0;
}
