#pragma once

#include <QAbstractItemModel>
#include <cstdint>
#include <map>
#include <optional>
#include <vector>

#include "app/sidebar/YearSection.h"
#include "model/RideStore.h"
#include "model/UnitSystem.h"

namespace vantrel {

/// The sidebar's tree: one top-level item per year summary, newest first, whose children are
/// that year's activities once the section has been opened (a single "loading" child before).
class HistoryModel : public QAbstractItemModel {
    Q_OBJECT
  public:
    enum class ItemKind { year, ride, loading };
    static constexpr int kItemKindRole = Qt::UserRole + 1;
    static constexpr int kCountRole = Qt::UserRole + 2;

    HistoryModel(RideStore& store, QObject* parent = nullptr);

    void setSummaries(const std::vector<YearSummary>& summaries);
    void setUnitSystem(UnitSystem system);
    UnitSystem unitSystem() const { return m_unitSystem; }
    /// Loads the year's list when it is not loaded yet.
    void loadYear(int yearRow);
    bool isYearLoaded(int yearRow) const;
    /// The number of activities of the year (whatever the filter shows).
    std::int64_t yearCount(int yearRow) const;

    QModelIndex yearIndex(int year) const;
    int yearOf(const QModelIndex& index) const;
    ItemKind kindOf(const QModelIndex& index) const;
    RideRef rideAt(const QModelIndex& index) const;
    QModelIndex indexOfRide(std::int64_t objectID) const;
    /// While a filter is set, the year headers count its matches (years not listed: none);
    /// absent gives back the years' own counts.
    void setMatchCounts(std::optional<std::map<int, std::int64_t>> counts);

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

  private:
    QVariant yearData(const YearSection& section, int role) const;
    QVariant rideData(const PersistedRide& ride, int role) const;

    RideStore& m_store;
    std::vector<YearSection> m_years;
    UnitSystem m_unitSystem = UnitSystem::imperial;
    std::optional<std::map<int, std::int64_t>> m_matchCounts;
};

}  // namespace vantrel
