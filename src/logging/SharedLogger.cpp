// The process-wide logger, for the entry points (the app's application object, the command
// line's context) and tests; everything else is handed the logger it logs to.
#include <cstdlib>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

#include "logging/PersistentLogger.h"
#include "model/Preferences.h"

namespace vantrel {

namespace {

struct SharedLoggerSlot {
    std::mutex mutex;
    PersistentLogger* current = nullptr;
    std::unique_ptr<PersistentLogger> processWide;
    // Loggers a guard installed stay alive: callers may still hold references to them.
    std::vector<std::unique_ptr<PersistentLogger>> retired;
};

// Never destroyed, so that lines logged from other threads during exit still have a logger.
SharedLoggerSlot& sharedLoggerSlot() {
    static auto* slot = new SharedLoggerSlot();
    return *slot;
}

void flushSharedLogger() {
    auto& slot = sharedLoggerSlot();
    PersistentLogger* logger = nullptr;
    {
        std::lock_guard lock(slot.mutex);
        logger = slot.current;
    }
    if (logger != nullptr) logger->flush();
}

}  // namespace

PersistentLogger& PersistentLogger::shared() {
    auto& slot = sharedLoggerSlot();
    std::lock_guard lock(slot.mutex);
    if (slot.current == nullptr) {
        if (!slot.processWide) {
            slot.processWide = std::make_unique<PersistentLogger>(
                LogSettings::fromPreferences(Preferences::shared()));
            // Queued lines are flushed at exit so that a short-lived process keeps its last lines.
            // Registered after the logger is made, so that the flush runs before the objects
            // its making set up (the preferences, the JSON parser) are destroyed.
            std::atexit(flushSharedLogger);
        }
        slot.current = slot.processWide.get();
    }
    return *slot.current;
}

ScopedSharedLogger::ScopedSharedLogger() : m_installed(PersistentLogger::createForTesting()) {
    auto& slot = sharedLoggerSlot();
    std::lock_guard lock(slot.mutex);
    m_previous = std::exchange(slot.current, m_installed.get());
}

ScopedSharedLogger::~ScopedSharedLogger() {
    m_installed->flush();
    auto& slot = sharedLoggerSlot();
    std::lock_guard lock(slot.mutex);
    slot.current = m_previous;
    slot.retired.push_back(std::move(m_installed));
}

std::unique_ptr<PersistentLogger> PersistentLogger::createForTesting() {
    return std::make_unique<PersistentLogger>(LogSettings::fromPreferences(Preferences::shared()));
}

}  // namespace vantrel
