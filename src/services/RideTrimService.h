#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "model/Bytes.h"
#include "model/Date.h"
#include "model/PersistedRide.h"

namespace vantrel {

/// Cutting the end of an activity in place, with an undo that lasts 30 days. Every operation
/// takes "now" from the caller, so the clock is the caller's choice.
namespace RideTrimService {

/// The undo window, measured from `trimmedAt`: 30 days.
inline constexpr double kUndoWindow = 2'592'000.0;

/// The series bytes and statistics as they were before the last trim.
struct PreTrimBackup {
    std::optional<Bytes> routeData;
    std::optional<Bytes> heartRateData;
    std::optional<Bytes> powerData;
    double duration = 0;
    double distance = 0;
    double elevationGain = 0;
    double activeTime = 0;
    double averageHeartRate = 0;
    double maxHeartRate = 0;
    double averagePower = 0;
    double maxPower = 0;
    double averageCadence = 0;
    friend bool operator==(const PreTrimBackup&, const PreTrimBackup&) = default;
};

PreTrimBackup backupOf(const PersistedRide& ride);
/// The stored JSON form: one object, byte fields as padded Base64 (left out when absent).
/// A statistic that is not a finite number is written as 0, so that the series bytes stay
/// restorable.
Bytes encodeBackup(const PreTrimBackup& backup);
/// Requires the nine numbers; the byte fields are optional. Absent for anything malformed.
std::optional<PreTrimBackup> decodeBackup(const Bytes& json);

/// The instant a scrubber progress (clamped to 0…1; not a number counts as 0) stands for: over
/// active time when the route has two points or more (never inside a pause), over wall-clock
/// time otherwise.
Date cutTime(const PersistedRide& ride, double progress);

/// Keeps the samples at or before `cut`, recomputes every statistic that depends on them and
/// stores a backup of the previous state. Returns false and changes nothing when a stored
/// series does not decode, since cutting it would destroy data that cannot be read back.
bool trim(PersistedRide& ride, Date cut, Date now);

/// A backup exists and the last trim is less than 30 days old.
bool canUndoTrim(const PersistedRide& ride, Date now);
/// Restores the state before the last trim; false (nothing changed) when there is no usable
/// backup or the undo window has passed.
bool undoTrim(PersistedRide& ride, Date now);
/// Drops a backup older than the undo window; `trimmedAt` stays.
void purgeExpiredBackup(PersistedRide& ride, Date now);

// Texts of the trim dialogs.
std::string_view trimConfirmationTitle();
/// The confirmation text for a scrubber position, or the generic one without a position.
std::string trimConfirmationMessage(const PersistedRide& ride, std::optional<double> progress);
std::string_view trimButtonTitle();
std::string_view cancelButtonTitle();
std::string_view trimNeedsScrubberTitle();
std::string_view trimNeedsScrubberMessage();
std::string_view undoTrimTitle();
std::string_view undoTrimMessage();
std::string_view undoButtonTitle();
std::string_view trimHint();

}  // namespace RideTrimService

}  // namespace vantrel
