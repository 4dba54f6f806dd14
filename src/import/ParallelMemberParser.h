#pragma once

#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "import/ZipArchiveReader.h"
#include "model/PersistedRide.h"

namespace vantrel {

/// What one archive member became: a new record, or the reason it could not be one.
struct ParsedMember {
    std::string fileName;
    /// One per leg of a multisport file; empty when reading or importing failed.
    std::vector<RideRef> rides;
    std::string error;
    /// Why a multisport file was kept as one activity.
    std::optional<std::string> warning;
};

/// Reads and imports the members of one archive on a pool of worker threads (each with its own
/// archive reader) and hands the outcomes back in member order, so that a caller working through
/// `next()` sees exactly what a one-thread run would. Workers run at most a few members ahead of
/// the caller, which bounds memory however large the archive is. With one thread everything
/// happens inside `next()` on the caller's thread.
class ParallelMemberParser {
  public:
    ParallelMemberParser(std::filesystem::path archive, std::vector<ZipMember> members,
                         std::optional<std::string> sourceLabel, int threads,
                         std::uint64_t sizeLimit);
    /// Stops the workers and waits for them; outcomes not yet taken are dropped.
    ~ParallelMemberParser();
    ParallelMemberParser(const ParallelMemberParser&) = delete;
    ParallelMemberParser& operator=(const ParallelMemberParser&) = delete;

    /// The outcome of the next member in order; absent after the last one.
    std::optional<ParsedMember> next();

    /// Members a worker may run ahead of the caller.
    static constexpr std::size_t kInFlightPerWorker = 4;

  private:
    ParsedMember parse(ZipArchiveReader& reader, const ZipMember& member) const;
    void work();
    bool mayClaim() const;

    std::filesystem::path m_archive;
    std::vector<ZipMember> m_members;
    std::optional<std::string> m_label;
    std::uint64_t m_sizeLimit;
    std::size_t m_workerCount;
    std::size_t m_window;
    std::size_t m_consumed = 0;
    std::size_t m_nextClaim = 0;
    bool m_stopping = false;
    std::vector<std::optional<ParsedMember>> m_slots;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::unique_ptr<ZipArchiveReader> m_inlineReader;
    std::vector<std::thread> m_workers;
};

}  // namespace vantrel
