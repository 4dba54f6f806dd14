#include "watch/PendingFiles.h"

#include <utility>

namespace vantrel {

void PendingFiles::noticed(const std::filesystem::path& file, std::size_t place,
                           Clock::time_point when, Clock::duration quietPeriod, bool writing,
                           std::optional<FileState> state) {
    Entry& entry = m_files[file];
    entry.place = place;
    entry.due = when + quietPeriod;
    entry.quietPeriod = quietPeriod;
    entry.writing = entry.writing || writing;
    // An event says that the file changed: what a scan saw of it before no longer counts.
    entry.state = state;
}

void PendingFiles::closed(const std::filesystem::path& file, std::size_t place,
                          Clock::time_point when, Clock::duration quietPeriod) {
    noticed(file, place, when, quietPeriod, false);
    m_files[file].writing = false;
}

void PendingFiles::retryAt(const std::filesystem::path& file, std::size_t place,
                           Clock::time_point when) {
    Entry& entry = m_files[file];
    entry.place = place;
    entry.due = when;
    entry.writing = false;
    entry.state.reset();
}

void PendingFiles::forget(const std::filesystem::path& file) {
    m_files.erase(file);
}

void PendingFiles::forgetPlace(std::size_t place) {
    std::erase_if(m_files, [place](const auto& item) { return item.second.place == place; });
}

void PendingFiles::forgetBelow(const std::filesystem::path& folder) {
    auto prefix = folder.native() + "/";
    std::erase_if(m_files, [&prefix](const auto& item) {
        return item.first.native().compare(0, prefix.size(), prefix) == 0;
    });
}

std::optional<PendingFiles::Clock::time_point> PendingFiles::nextDeadline() const {
    std::optional<Clock::time_point> next;
    for (const auto& [file, entry] : m_files) {
        if (entry.writing) continue;
        if (!next || entry.due < *next) next = entry.due;
    }
    return next;
}

std::vector<std::filesystem::path> PendingFiles::takeVanished() {
    return std::exchange(m_vanished, {});
}

}  // namespace vantrel
