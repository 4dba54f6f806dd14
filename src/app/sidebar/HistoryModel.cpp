#include "app/sidebar/HistoryModel.h"

#include <algorithm>

#include "app/sidebar/RideHistoryRow.h"
#include "app/widgets/DisplayFormat.h"

namespace vantrel {

namespace {
// Child indexes carry their year's row + 1; top-level indexes carry 0.
constexpr quintptr kTopLevel = 0;
}  // namespace

HistoryModel::HistoryModel(RideStore& store, QObject* parent)
    : QAbstractItemModel(parent), m_store(store) {}

void HistoryModel::setSummaries(const std::vector<YearSummary>& summaries) {
    beginResetModel();
    m_years.clear();
    for (const auto& summary : summaries) m_years.emplace_back(summary.year, summary.count);
    endResetModel();
}

void HistoryModel::setUnitSystem(UnitSystem system) {
    if (system == m_unitSystem) return;
    m_unitSystem = system;
    for (int row = 0; row < static_cast<int>(m_years.size()); ++row) {
        int children = rowCount(index(row, 0));
        if (children > 0)
            emit dataChanged(index(0, 0, index(row, 0)), index(children - 1, 0, index(row, 0)));
    }
}

void HistoryModel::loadYear(int yearRow) {
    if (yearRow < 0 || yearRow >= static_cast<int>(m_years.size()) || isYearLoaded(yearRow)) return;
    YearSection& section = m_years[static_cast<size_t>(yearRow)];
    std::vector<RideRef> rides = YearSection::fetch(m_store, section.year());
    QModelIndex parentIndex = index(yearRow, 0);
    beginRemoveRows(parentIndex, 0, 0);
    section.setRides({});
    endRemoveRows();
    if (rides.empty()) return;
    // All rows in one step, so that the view lays the section out once.
    beginInsertRows(parentIndex, 0, static_cast<int>(rides.size()) - 1);
    section.setRides(std::move(rides));
    endInsertRows();
}

bool HistoryModel::isYearLoaded(int yearRow) const {
    return m_years[static_cast<size_t>(yearRow)].isLoaded();
}

std::int64_t HistoryModel::yearCount(int yearRow) const {
    return m_years[static_cast<size_t>(yearRow)].count();
}

QModelIndex HistoryModel::yearIndex(int year) const {
    for (int row = 0; row < static_cast<int>(m_years.size()); ++row) {
        if (m_years[static_cast<size_t>(row)].year() == year) return index(row, 0);
    }
    return {};
}

int HistoryModel::yearOf(const QModelIndex& index) const {
    if (!index.isValid()) return 0;
    size_t row =
        index.internalId() == kTopLevel ? static_cast<size_t>(index.row()) : index.internalId() - 1;
    return m_years[row].year();
}

HistoryModel::ItemKind HistoryModel::kindOf(const QModelIndex& index) const {
    if (index.internalId() == kTopLevel) return ItemKind::year;
    return m_years[index.internalId() - 1].isLoaded() ? ItemKind::ride : ItemKind::loading;
}

RideRef HistoryModel::rideAt(const QModelIndex& index) const {
    if (!index.isValid() || kindOf(index) != ItemKind::ride) return nullptr;
    const auto& rides = m_years[index.internalId() - 1].rides();
    return static_cast<size_t>(index.row()) < rides.size() ? rides[static_cast<size_t>(index.row())]
                                                           : nullptr;
}

QModelIndex HistoryModel::indexOfRide(std::int64_t objectID) const {
    for (int yearRow = 0; yearRow < static_cast<int>(m_years.size()); ++yearRow) {
        const auto& rides = m_years[static_cast<size_t>(yearRow)].rides();
        for (int row = 0; row < static_cast<int>(rides.size()); ++row) {
            if (rides[static_cast<size_t>(row)]->objectID == objectID)
                return index(row, 0, index(yearRow, 0));
        }
    }
    return {};
}

void HistoryModel::setMatchCounts(std::optional<std::map<int, std::int64_t>> counts) {
    m_matchCounts = std::move(counts);
    if (!m_years.empty())
        emit dataChanged(index(0, 0), index(static_cast<int>(m_years.size()) - 1, 0));
}

QModelIndex HistoryModel::index(int row, int column, const QModelIndex& parent) const {
    if (row < 0 || column != 0) return {};
    if (!parent.isValid()) {
        return row < static_cast<int>(m_years.size()) ? createIndex(row, 0, kTopLevel)
                                                      : QModelIndex();
    }
    if (parent.internalId() != kTopLevel || row >= rowCount(parent)) return {};
    return createIndex(row, 0, static_cast<quintptr>(parent.row()) + 1);
}

QModelIndex HistoryModel::parent(const QModelIndex& child) const {
    if (!child.isValid() || child.internalId() == kTopLevel) return {};
    return createIndex(static_cast<int>(child.internalId() - 1), 0, kTopLevel);
}

int HistoryModel::rowCount(const QModelIndex& parent) const {
    if (!parent.isValid()) return static_cast<int>(m_years.size());
    if (parent.internalId() != kTopLevel) return 0;
    const YearSection& section = m_years[static_cast<size_t>(parent.row())];
    return section.isLoaded() ? static_cast<int>(section.rides().size()) : 1;
}

int HistoryModel::columnCount(const QModelIndex&) const {
    return 1;
}

QVariant HistoryModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) return {};
    if (role == kItemKindRole) return static_cast<int>(kindOf(index));
    switch (kindOf(index)) {
        case ItemKind::year:
            return yearData(m_years[static_cast<size_t>(index.row())], role);
        case ItemKind::ride:
            return rideData(*rideAt(index), role);
        case ItemKind::loading:
            return role == Qt::DisplayRole || role == Qt::AccessibleTextRole
                       ? QStringLiteral("Loading…")
                       : QVariant();
    }
    return {};
}

QVariant HistoryModel::yearData(const YearSection& section, int role) const {
    std::int64_t count = section.count();
    if (m_matchCounts) {
        auto found = m_matchCounts->find(section.year());
        count = found == m_matchCounts->end() ? 0 : found->second;
    }
    switch (role) {
        case Qt::DisplayRole:
            return QString::number(section.year());
        case kCountRole:
            return DisplayFormat::activityCount(count);
        case Qt::AccessibleTextRole:
            return QStringLiteral("%1, %2")
                .arg(section.year())
                .arg(DisplayFormat::activityCount(count));
        default:
            return {};
    }
}

QVariant HistoryModel::rideData(const PersistedRide& ride, int role) const {
    if (role == Qt::DisplayRole) return RideHistoryRow::make(ride, m_unitSystem).date;
    if (role == Qt::AccessibleTextRole)
        return RideHistoryRow::make(ride, m_unitSystem).accessibleDescription;
    if (role == Qt::ToolTipRole) {
        // Tool tips take anything that looks like markup as markup; the place name is no markup.
        QString text = RideHistoryRow::make(ride, m_unitSystem).accessibleDescription;
        return QStringLiteral("<qt>%1</qt>").arg(text.toHtmlEscaped());
    }
    return {};
}

Qt::ItemFlags HistoryModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    if (kindOf(index) == ItemKind::ride) return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    return Qt::ItemIsEnabled;
}

}  // namespace vantrel
