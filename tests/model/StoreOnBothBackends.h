#pragma once

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <memory>
#include <string>
#include <vector>

#include "model/RideStore.h"
#include "support/PgTestDatabase.h"
#include "support/TestSupport.h"

namespace vantrel::test {

/// A store on an SQLite file or on a PostgreSQL database, by the parameter "sqlite" or
/// "postgresql". Checks go through a connection of their own (raw SQL, quoted identifiers read
/// the same in both), as another process or computer would see the store.
class StoreOnBothBackends : public ::testing::TestWithParam<std::string> {
  public:
    IsolatedEnvironment environment;
    std::unique_ptr<PgTestDatabase> database;
    std::string location;
    std::unique_ptr<RideStore> store;

    bool onServer() const { return GetParam() == "postgresql"; }

    void SetUp() override {
        if (onServer()) {
            if (!PgTestDatabase::available()) GTEST_SKIP() << PgTestDatabase::skipReason();
            database = std::make_unique<PgTestDatabase>();
            location = database->url();
        } else {
            location = (environment.root() / "store.sqlite").string();
        }
        store = RideStore::open(location);
    }

    void reopen() {
        store.reset();
        store = RideStore::open(location);
    }

    void exec(const std::string& sql) {
        if (onServer()) {
            database->exec(sql);
        } else {
            executeSql(location, sql);
        }
    }

    /// The first column of every row the query gives, as text ("NULL" for a null).
    std::vector<std::string> column(const std::string& sql) {
        if (onServer()) return database->column(sql);
        sqlite3* db = nullptr;
        sqlite3_open(location.c_str(), &db);
        sqlite3_stmt* statement = nullptr;
        sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr);
        std::vector<std::string> values;
        while (sqlite3_step(statement) == SQLITE_ROW) {
            auto text = sqlite3_column_text(statement, 0);
            values.emplace_back(text ? reinterpret_cast<const char*>(text) : "NULL");
        }
        sqlite3_finalize(statement);
        sqlite3_close(db);
        return values;
    }
};

}  // namespace vantrel::test
