#include "app/sidebar/HistoryFilterRunner.h"

#include <QLocale>

#include "model/RideStore.h"

namespace vantrel {

namespace {

// The dates are matched in the words the list writes them with, which follow the locale.
HistoryFilterText::MonthNames localMonthNames() {
    HistoryFilterText::MonthNames names;
    QLocale locale;
    for (int month = 1; month <= 12; ++month) {
        auto slot = static_cast<size_t>(month - 1);
        names.shortNames[slot] = locale.monthName(month, QLocale::ShortFormat).toStdString();
        names.longNames[slot] = locale.monthName(month, QLocale::LongFormat).toStdString();
    }
    return names;
}

}  // namespace

HistoryFilterRunner::HistoryFilterRunner(RideStore& store, QObject* parent)
    : QObject(parent), m_store(store) {
    // One thread for the index and one for searches, so that typing never waits for a rebuild.
    m_pool.setMaxThreadCount(2);
}

HistoryFilterRunner::~HistoryFilterRunner() {
    if (m_buildCancel) m_buildCancel->cancel();
    if (m_searchCancel) m_searchCancel->cancel();
    m_pool.waitForDone();
}

void HistoryFilterRunner::rebuild() {
    if (m_buildCancel) m_buildCancel->cancel();
    auto cancel = std::make_shared<CancellationToken>();
    m_buildCancel = cancel;
    std::filesystem::path location = m_store.path();
    HistoryFilterText::MonthNames months = localMonthNames();
    m_pool.start([this, cancel, location, months] {
        std::shared_ptr<const HistoryFilterIndex> index;
        try {
            // The main thread's connection is not to be shared; a second one reads alongside.
            std::unique_ptr<RideStore> store = RideStore::open(location);
            auto built = HistoryFilterIndex::build(*store, months, cancel.get());
            if (!built) return;
            index = std::make_shared<const HistoryFilterIndex>(std::move(*built));
        } catch (const std::exception&) {
            // Left to the main thread's own connection below.
        }
        QMetaObject::invokeMethod(
            this,
            [this, cancel, index, months] {
                if (cancel->isCancelled()) return;
                if (index) {
                    indexBuilt(index);
                    return;
                }
                // A store a second connection cannot open (gone, locked) is read here
                // instead: a slow filter is better than one that finds nothing.
                try {
                    auto built = HistoryFilterIndex::build(m_store, months);
                    indexBuilt(std::make_shared<const HistoryFilterIndex>(std::move(*built)));
                } catch (const std::exception&) {
                    indexBuilt(std::make_shared<const HistoryFilterIndex>(months));
                }
            },
            Qt::QueuedConnection);
    });
}

void HistoryFilterRunner::indexBuilt(std::shared_ptr<const HistoryFilterIndex> index) {
    m_index = std::move(index);
    if (!m_filter.isEmpty()) search(m_filter);
}

void HistoryFilterRunner::search(const QString& filter) {
    m_filter = filter;
    if (m_searchCancel) m_searchCancel->cancel();
    if (!m_index) return;  // answered once the index is there
    auto cancel = std::make_shared<CancellationToken>();
    m_searchCancel = cancel;
    std::shared_ptr<const HistoryFilterIndex> index = m_index;
    std::string text = filter.toStdString();
    m_pool.start([this, cancel, index, text] {
        auto result = index->search(text, cancel.get());
        if (!result) return;
        ResultRef shared = std::make_shared<const HistoryFilterIndex::Result>(std::move(*result));
        QMetaObject::invokeMethod(
            this,
            [this, cancel, shared] {
                if (!cancel->isCancelled()) emit resultReady(shared);
            },
            Qt::QueuedConnection);
    });
}

}  // namespace vantrel
