#pragma once

#include <QFutureWatcher>
#include <QMetaObject>
#include <QPointer>
#include <QtConcurrent>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "model/RideStore.h"

namespace vantrel {

/// What a background task gives back: its result, or the description of what it threw.
template <typename Result>
struct TaskOutcome {
    Result value{};
    std::optional<std::string> error;
};

/// Runs `work` on a pool thread with a store connection of its own on the same file (as the
/// command-line tool would), then hands its outcome to `done` on `context`'s thread. The
/// window's own connection sees the changes through the store's data version.
template <typename Result>
void runWithOwnStore(QObject* context, const std::filesystem::path& storePath,
                     std::function<Result(RideStore&)> work,
                     std::function<void(TaskOutcome<Result>)> done) {
    auto* watcher = new QFutureWatcher<TaskOutcome<Result>>(context);
    QObject::connect(watcher, &QFutureWatcher<TaskOutcome<Result>>::finished, context,
                     [watcher, done] {
                         done(watcher->result());
                         watcher->deleteLater();
                     });
    watcher->setFuture(QtConcurrent::run([storePath, work] {
        TaskOutcome<Result> outcome;
        try {
            std::unique_ptr<RideStore> store = RideStore::open(storePath);
            outcome.value = work(*store);
        } catch (const std::exception& error) {
            outcome.error = error.what();
        }
        return outcome;
    }));
}

/// Calls `update` on `context`'s thread from any thread; dropped when the context is gone.
inline void postToMain(QObject* context, std::function<void()> update) {
    QMetaObject::invokeMethod(context, std::move(update), Qt::QueuedConnection);
}

}  // namespace vantrel
