#include "import/ParallelMemberParser.h"

#include <algorithm>
#include <exception>

#include "import/ActivityImporter.h"

namespace vantrel {

ParallelMemberParser::ParallelMemberParser(std::filesystem::path archive,
                                           std::vector<ZipMember> members,
                                           std::optional<std::string> sourceLabel, int threads,
                                           std::uint64_t sizeLimit)
    : m_archive(std::move(archive)),
      m_members(std::move(members)),
      m_label(std::move(sourceLabel)),
      m_sizeLimit(sizeLimit),
      m_workerCount(std::min<std::size_t>(std::max(threads, 1), m_members.size())),
      m_window(std::max<std::size_t>(m_workerCount, 1) * kInFlightPerWorker),
      m_slots(m_window) {
    if (m_workerCount <= 1) {
        m_inlineReader = std::make_unique<ZipArchiveReader>(m_archive);
        return;
    }
    m_workers.reserve(m_workerCount);
    for (std::size_t worker = 0; worker < m_workerCount; ++worker) {
        m_workers.emplace_back([this] { work(); });
    }
}

ParallelMemberParser::~ParallelMemberParser() {
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_changed.notify_all();
    for (auto& worker : m_workers) worker.join();
}

std::optional<ParsedMember> ParallelMemberParser::next() {
    if (m_consumed >= m_members.size()) return std::nullopt;
    if (m_inlineReader) return parse(*m_inlineReader, m_members[m_consumed++]);
    std::unique_lock lock(m_mutex);
    auto& slot = m_slots[m_consumed % m_window];
    m_changed.wait(lock, [&] { return slot.has_value(); });
    ParsedMember outcome = std::move(*slot);
    slot.reset();
    ++m_consumed;
    lock.unlock();
    m_changed.notify_all();
    return outcome;
}

ParsedMember ParallelMemberParser::parse(ZipArchiveReader& reader, const ZipMember& member) const {
    ParsedMember outcome{member.fileName(), {}, {}, {}};
    try {
        Bytes bytes = reader.read(member, m_sizeLimit);
        ImportedLegs legs = importActivityLegs(bytes, outcome.fileName, m_label);
        for (auto& leg : legs.rides)
            outcome.rides.push_back(std::make_shared<PersistedRide>(std::move(leg)));
        outcome.warning = std::move(legs.warning);
    } catch (const std::exception& error) {
        outcome.error = error.what();
    } catch (...) {
        outcome.error = "unknown error";
    }
    return outcome;
}

bool ParallelMemberParser::mayClaim() const {
    return m_stopping || m_nextClaim >= m_members.size() || m_nextClaim < m_consumed + m_window;
}

// Workers claim the next member in archive order as soon as the window allows, so a large file
// never holds up the small ones behind it, and the member the caller waits for is always the
// oldest claimed one: the window can never deadlock. Each worker's claims only move forward,
// so its own sequential reader never has to rewind.
void ParallelMemberParser::work() {
    ZipArchiveReader reader(m_archive);
    for (;;) {
        std::size_t position = 0;
        {
            std::unique_lock lock(m_mutex);
            m_changed.wait(lock, [&] { return mayClaim(); });
            if (m_stopping || m_nextClaim >= m_members.size()) return;
            position = m_nextClaim++;
        }
        ParsedMember outcome = parse(reader, m_members[position]);
        {
            std::lock_guard lock(m_mutex);
            m_slots[position % m_window] = std::move(outcome);
        }
        m_changed.notify_all();
    }
}

}  // namespace vantrel
