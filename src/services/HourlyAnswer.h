#pragma once

#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "model/Date.h"

namespace vantrel {

/// One location's hours from a weather service answer: the instants (UTC, ascending) and, for
/// each variable asked for, one value per hour, absent where the service has no data.
struct HourlySeries {
    std::vector<Date> times;
    /// In the order in which the variables were asked for.
    std::vector<std::vector<std::optional<double>>> values;
};

/// An answer that cannot be read as hourly series; `what()` says what is wrong with it.
class WeatherAnswerError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

/// Reader of the JSON answers of an Open-Meteo style hourly service ("timezone=GMT"): an
/// object for one location, an array of such objects for several.
namespace HourlyAnswer {

/// The series of every location of the answer, in the order asked. Throws WeatherAnswerError
/// when the text is not JSON, lacks the times or a variable, has arrays of different lengths,
/// times that are malformed or out of order, values that are neither numbers nor null, or
/// times in another zone than GMT.
std::vector<HourlySeries> parse(std::string_view json, std::span<const std::string_view> variables);

/// The "reason" of an error answer (`{"error": true, "reason": "…"}`); absent for anything else.
std::optional<std::string> errorReason(std::string_view json);

}  // namespace HourlyAnswer

}  // namespace vantrel
