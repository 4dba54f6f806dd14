// Feeds arbitrary bytes to the reader of weather and air-quality service answers and reads the
// hours it accepts at instants around them: every input must read as series or be refused with
// a reason, never crash, hang or read outside the arrays.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "services/HourlyAnswer.h"
#include "services/WeatherAtInstant.h"

namespace {

template <typename Variables, typename Read>
void readAnswer(std::string_view text, const Variables& variables, Read read) {
    try {
        for (const auto& series : vantrel::HourlyAnswer::parse(text, variables)) {
            if (series.times.empty()) continue;
            vantrel::Date first = series.times.front();
            vantrel::Date last = series.times.back();
            for (vantrel::Date instant :
                 {first - 1, first, first + 1800, (first + last) / 2, last - 900, last, last + 1}) {
                (void)read(series, instant);
            }
        }
    } catch (const vantrel::WeatherAnswerError&) {
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(  // NOLINT(readability-identifier-naming)
    const std::uint8_t* data, std::size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    readAnswer(text, vantrel::kWeatherVariables, vantrel::weatherAt);
    readAnswer(text, vantrel::kAirQualityVariables, vantrel::aqiAt);
    (void)vantrel::HourlyAnswer::errorReason(text);
    return 0;
}
