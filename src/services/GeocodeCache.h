#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace vantrel {

/// The look-up services' answers, kept for a while in an SQLite file of their own so that the
/// same question (the same few home routes, a place searched twice) is asked only once. The
/// file holds nothing that cannot be asked again: a damaged or foreign file is started afresh,
/// and a file that is locked or cannot be written is done without, the answers of this object's
/// life then kept in memory. Nothing here ever fails or throws.
///
/// Not thread-safe: use it from one thread at a time.
class GeocodeCache {
  public:
    /// How long an answer is trusted; places and park boundaries change slowly.
    static constexpr std::chrono::hours kLifetime{24 * 90};

    /// One question to one service: the service's URL, the kind of question ("reverse",
    /// "search", "areas", "places") and its wording (a rounded coordinate, a query and region).
    struct Question {
        std::string service;
        std::string kind;
        std::string text;
    };
    using Clock = std::chrono::system_clock;
    using Now = std::function<Clock::time_point()>;

    /// cacheFolder()/geocode.sqlite
    static std::filesystem::path defaultFile();

    /// Opens or creates the file (and its folder); `now` tells the time answers are stored at
    /// and judged by (the system clock when empty).
    explicit GeocodeCache(std::filesystem::path file, Now now = {});
    ~GeocodeCache();
    GeocodeCache(const GeocodeCache&) = delete;
    GeocodeCache& operator=(const GeocodeCache&) = delete;

    /// The answer stored for the question within the last `kLifetime`, if any.
    std::optional<std::string> find(const Question& question);
    /// Keeps an answer (replacing an older one). Only answers go here, never failures.
    void store(const Question& question, std::string_view answer);

    /// False when the answers live in memory only, the file being unusable.
    bool persistent() const;

    struct Impl;

  private:
    std::unique_ptr<Impl> m_impl;
};

}  // namespace vantrel
