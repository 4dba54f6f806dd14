#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <optional>
#include <string>

#include "model/Bytes.h"
#include "model/Uuid.h"

namespace vantrel {

/// A prepared statement owned by the connection's cache; `Use` resets and clears its bindings
/// when it goes out of scope so the next user starts clean.
class SqliteStatement {
  public:
    explicit SqliteStatement(sqlite3_stmt* statement) : m_statement(statement) {}
    ~SqliteStatement() {
        sqlite3_reset(m_statement);
        sqlite3_clear_bindings(m_statement);
    }
    SqliteStatement(const SqliteStatement&) = delete;
    SqliteStatement& operator=(const SqliteStatement&) = delete;

    sqlite3_stmt* get() const { return m_statement; }
    /// Steps once: true for a row, false when done; errors come back as the sqlite code.
    int step() { return sqlite3_step(m_statement); }

  private:
    sqlite3_stmt* m_statement;
};

// Binding and reading of the value types the records use. Absent optionals are NULL.
void bindValue(sqlite3_stmt* statement, int index, double value);
void bindValue(sqlite3_stmt* statement, int index, std::int64_t value);
void bindValue(sqlite3_stmt* statement, int index, const std::optional<double>& value);
void bindValue(sqlite3_stmt* statement, int index, const Uuid& value);
void bindValue(sqlite3_stmt* statement, int index, const std::optional<Uuid>& value);
void bindValue(sqlite3_stmt* statement, int index, const std::optional<std::string>& value);
void bindValue(sqlite3_stmt* statement, int index, const std::optional<Bytes>& value);

void readValue(sqlite3_stmt* statement, int index, double& value);
void readValue(sqlite3_stmt* statement, int index, std::int64_t& value);
void readValue(sqlite3_stmt* statement, int index, std::optional<double>& value);
void readValue(sqlite3_stmt* statement, int index, Uuid& value);
void readValue(sqlite3_stmt* statement, int index, std::optional<Uuid>& value);
void readValue(sqlite3_stmt* statement, int index, std::optional<std::string>& value);
void readValue(sqlite3_stmt* statement, int index, std::optional<Bytes>& value);

}  // namespace vantrel
