#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "model/RideStore.h"
#include "model/RideStoreSchema.h"
#include "model/SqlDialect.h"

namespace vantrel {

/// The store's statements, built from the column tables in one database's dialect. A statement
/// that reads records gives `id` first and then the columns in table order (without the detail
/// columns where it says so). Parameters are numbered from 1 in the order the comment gives.
class StoreStatements {
  public:
    explicit constexpr StoreStatements(const SqlDialect& dialect) : m_dialect(dialect) {}

    /// Both tables and their indexes.
    std::string createTables() const;

    /// The rows `query` asks for; its values are appended to `parameters` in placeholder order.
    std::string selectRides(const RideQuery& query, bool applyLimit,
                            std::vector<StoreValue>& parameters) const;
    std::string countRides(const RideQuery& query, std::vector<StoreValue>& parameters) const;
    /// 1: rideID. Live rows only, by ascending id.
    std::string selectLiveByRideID() const;
    /// 1: rideID. The id alone.
    std::string selectRowIDOfRideID() const;
    /// 1: id.
    std::string selectRide(bool withDetails) const;
    /// 1: id. The id and the detail columns alone.
    std::string selectDetails() const;
    /// 1: id.
    std::string selectRouteData() const;
    /// 1: id. routeData, powerData and the series mark (NULL in a store without marks).
    std::string selectSeries(bool withMarks) const;
    /// 1: the record's id. id, then the photo columns, by ascending id.
    std::string selectPhotos() const;

    /// 1…n: every ride column.
    std::string insertRide() const;
    /// 1…n: the columns with these indexes into `rideColumns()`; n+1: id.
    std::string updateRide(std::span<const std::size_t> columns) const;
    /// 1: id.
    std::string deleteRide() const;
    /// 1: new rideID, 2: id.
    std::string renameRideID() const;
    /// 1…n: every photo column; n+1: the record's id.
    std::string insertPhoto() const;
    /// 1…n: every photo column; n+1: id.
    std::string updatePhoto() const;
    /// 1: id.
    std::string deletePhoto() const;

  private:
    std::string name(const char* identifier) const { return m_dialect.name(identifier); }
    std::string rideTable() const { return name("PersistedRide"); }
    std::string photoTable() const { return name("RidePhoto"); }
    std::string rideSelectList(bool withDetails) const;
    std::string whereClause(const RideQuery& query, std::vector<StoreValue>& parameters) const;
    template <typename Record>
    std::string tableSQL(const char* table, std::span<const StoreColumn<Record>> columns,
                         const std::string& trailer) const;
    template <typename Record>
    std::string insertSQL(const char* table, std::span<const StoreColumn<Record>> columns,
                          const char* extraColumn) const;
    template <typename Record>
    std::string updateSQL(const char* table, std::span<const StoreColumn<Record>> columns,
                          std::span<const std::size_t> indexes) const;

    const SqlDialect& m_dialect;
};

/// Runs `write`, which writes one record, in a savepoint of its own. When it fails on the
/// record's own values (`isRecordFault` says so after the error), only its changes are undone and
/// the error's text is returned, so that the transaction and the other records in it go on.
/// Any other failure passes on, for the whole transaction to be rolled back.
std::optional<std::string> tryInSavepoint(const std::function<void(const std::string&)>& execute,
                                          const std::function<bool()>& isRecordFault,
                                          const std::function<void()>& write);

}  // namespace vantrel
