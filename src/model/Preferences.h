#pragma once

#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vantrel {

/// Per-user key-value preferences (texts and booleans) in one JSON object file, shared by the
/// app and the CLI. Every read sees changes other processes wrote (the file is re-read when
/// its modification time or size changes); every write replaces the file atomically.
/// Thread-safe.
class Preferences {
  public:
    explicit Preferences(std::filesystem::path file);

    /// The process-wide preferences at `defaultPreferencesPath()` (or the one set for tests).
    /// For the entry points only (the app's application object, the command line's context),
    /// which hand them to everything else; tools and tests use it to stand in for them.
    static Preferences& shared();
    /// Points `shared()` at another file for the rest of the process (tools that run against a
    /// folder of their own); tests use `ScopedSharedPreferences`, which restores it.
    static void setSharedPath(const std::filesystem::path& file);

    std::optional<std::string> string(std::string_view key);
    void setString(std::string_view key, std::string_view value);
    /// Absent or non-boolean reads as false.
    bool boolean(std::string_view key);
    /// Absent or non-boolean reads as `whenAbsent`: for switches that are on until turned off.
    bool boolean(std::string_view key, bool whenAbsent);
    void setBoolean(std::string_view key, bool value);
    void remove(std::string_view key);
    /// A JSON array's strings (other elements left out); a single string reads as a list of one,
    /// anything else as an empty list.
    std::vector<std::string> stringList(std::string_view key);
    void setStringList(std::string_view key, const std::vector<std::string>& values);

    const std::filesystem::path& path() const { return m_file; }

  private:
    std::filesystem::path m_file;
    std::mutex m_mutex;
    struct Value {
        bool isBool = false;
        bool boolValue = false;
        /// A value of another JSON type, kept verbatim so that rewriting the file loses nothing.
        bool isRaw = false;
        std::string text;
    };
    std::map<std::string, Value, std::less<>> m_values;
    std::filesystem::file_time_type m_loadedTime{};
    std::uintmax_t m_loadedSize = 0;
    bool m_loaded = false;
    /// The file on disk did not parse; it is set aside before the next write replaces it.
    bool m_unreadable = false;
    void reloadIfChanged();
    void write();
};

/// Points `Preferences::shared()` at another file for its lifetime, and back at the instance it
/// replaced when it ends, so that a test leaves the process as it found it. Guards nest; end
/// them in reverse order. References taken from `shared()` meanwhile stay valid.
class ScopedSharedPreferences {
  public:
    explicit ScopedSharedPreferences(const std::filesystem::path& file);
    ~ScopedSharedPreferences();
    ScopedSharedPreferences(const ScopedSharedPreferences&) = delete;
    ScopedSharedPreferences& operator=(const ScopedSharedPreferences&) = delete;

  private:
    /// The instance replaced; null when none had been made yet.
    std::unique_ptr<Preferences> m_previous;
};

/// Preference keys.
inline constexpr std::string_view kUnitSystemKey = "unitSystem";
inline constexpr std::string_view kLogLevelKey = "logLevel";
inline constexpr std::string_view kMigrationDoneKey = "rideCompressionMigrationV1Done";
inline constexpr std::string_view kSplitDistancePrefix = "splitDistance_";
inline constexpr std::string_view kSyncFolderKey = "syncFolder";
inline constexpr std::string_view kNominatimURLKey = "nominatimURL";
inline constexpr std::string_view kOverpassURLKey = "overpassURL";
inline constexpr std::string_view kWeatherURLKey = "weatherURL";
inline constexpr std::string_view kAirQualityURLKey = "airQualityURL";
inline constexpr std::string_view kFetchWeatherAfterImportKey = "fetchWeatherAfterImport";

}  // namespace vantrel
