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
    /// The archive reader refused the member (too large, encrypted, damaged) rather than the
    /// activity reader its contents.
    bool refused = false;
    /// Why a multisport file was kept as one activity.
    std::optional<std::string> warning;
};

/// How much of an archive the parser may hold.
struct MemberLimits {
    /// Largest member read at all (uncompressed).
    std::uint64_t sizeLimit;
    /// Uncompressed bytes of the members claimed and not yet taken by the caller, over all
    /// workers; a member larger than this is read alone.
    std::uint64_t bytesBudget;
};

/// Reads and imports the members of one archive on a pool of worker threads (each with its own
/// archive reader) and hands the outcomes back in member order, so that a caller working through
/// `next()` sees exactly what a one-thread run would. Workers run at most a few members ahead of
/// the caller, and the members in flight stay within one byte budget, so memory is bounded
/// however large the archive and however many the threads. With one thread everything happens
/// inside `next()` on the caller's thread.
class ParallelMemberParser {
  public:
    ParallelMemberParser(std::filesystem::path archive, std::vector<ZipMember> members,
                         std::optional<std::string> sourceLabel, int threads, MemberLimits limits);
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
    /// What a member counts against the budget and the most it may hold: its declared size, or
    /// the size limit when it declares none (or more).
    std::uint64_t costOf(const ZipMember& member) const;

    std::filesystem::path m_archive;
    std::vector<ZipMember> m_members;
    std::optional<std::string> m_label;
    MemberLimits m_limits;
    std::uint64_t m_bytesInFlight = 0;
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
