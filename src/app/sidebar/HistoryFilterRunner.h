#pragma once

#include <QObject>
#include <QString>
#include <QThreadPool>
#include <memory>

#include "model/Cancellation.h"
#include "model/HistoryFilterIndex.h"

namespace vantrel {

class RideStore;

/// Keeps the sidebar filter's index of the store and answers filters from it off the main
/// thread: the index is rebuilt (on its own connection to the store) whenever the store
/// changes, and a new filter cancels the search still running for the previous one.
class HistoryFilterRunner : public QObject {
    Q_OBJECT
  public:
    using ResultRef = std::shared_ptr<const HistoryFilterIndex::Result>;

    explicit HistoryFilterRunner(RideStore& store, QObject* parent = nullptr);
    ~HistoryFilterRunner() override;
    HistoryFilterRunner(const HistoryFilterRunner&) = delete;
    HistoryFilterRunner& operator=(const HistoryFilterRunner&) = delete;

    /// The store changed: builds the index again; a filter set meanwhile is answered after.
    void rebuild();
    /// Searches for `filter`, dropping the answer of any earlier search.
    void search(const QString& filter);
    bool hasIndex() const { return m_index != nullptr; }

  signals:
    /// The answer to the latest filter (on the main thread).
    void resultReady(const vantrel::HistoryFilterRunner::ResultRef& result);

  private:
    void indexBuilt(std::shared_ptr<const HistoryFilterIndex> index);

    RideStore& m_store;
    QThreadPool m_pool;
    std::shared_ptr<const HistoryFilterIndex> m_index;
    CancellationTokenRef m_buildCancel;
    CancellationTokenRef m_searchCancel;
    QString m_filter;
};

}  // namespace vantrel
