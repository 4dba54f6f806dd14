#include "model/SqliteStatement.h"

namespace vantrel {

namespace {

bool isNull(sqlite3_stmt* statement, int index) {
    return sqlite3_column_type(statement, index) == SQLITE_NULL;
}

std::string columnText(sqlite3_stmt* statement, int index) {
    auto text = reinterpret_cast<const char*>(sqlite3_column_text(statement, index));
    return text
               ? std::string(text, static_cast<std::size_t>(sqlite3_column_bytes(statement, index)))
               : std::string();
}

}  // namespace

void bindValue(sqlite3_stmt* statement, int index, double value) {
    sqlite3_bind_double(statement, index, value);
}

void bindValue(sqlite3_stmt* statement, int index, std::int64_t value) {
    sqlite3_bind_int64(statement, index, value);
}

void bindValue(sqlite3_stmt* statement, int index, const std::optional<double>& value) {
    if (value) {
        sqlite3_bind_double(statement, index, *value);
    } else {
        sqlite3_bind_null(statement, index);
    }
}

void bindValue(sqlite3_stmt* statement, int index, const Uuid& value) {
    auto text = value.toString();
    sqlite3_bind_text(statement, index, text.data(), static_cast<int>(text.size()),
                      SQLITE_TRANSIENT);
}

void bindValue(sqlite3_stmt* statement, int index, const std::optional<Uuid>& value) {
    if (value) {
        bindValue(statement, index, *value);
    } else {
        sqlite3_bind_null(statement, index);
    }
}

void bindValue(sqlite3_stmt* statement, int index, const std::optional<std::string>& value) {
    if (value) {
        sqlite3_bind_text64(statement, index, value->data(), value->size(), SQLITE_TRANSIENT,
                            SQLITE_UTF8);
    } else {
        sqlite3_bind_null(statement, index);
    }
}

void bindValue(sqlite3_stmt* statement, int index, const std::optional<Bytes>& value) {
    if (!value) {
        sqlite3_bind_null(statement, index);
    } else if (value->empty()) {
        // A null pointer would bind NULL: present-but-empty must stay distinguishable.
        sqlite3_bind_zeroblob(statement, index, 0);
    } else {
        sqlite3_bind_blob64(statement, index, value->data(), value->size(), SQLITE_STATIC);
    }
}

void readValue(sqlite3_stmt* statement, int index, double& value) {
    value = isNull(statement, index) ? 0.0 : sqlite3_column_double(statement, index);
}

void readValue(sqlite3_stmt* statement, int index, std::int64_t& value) {
    value = sqlite3_column_int64(statement, index);
}

void readValue(sqlite3_stmt* statement, int index, std::optional<double>& value) {
    value = isNull(statement, index)
                ? std::nullopt
                : std::optional<double>(sqlite3_column_double(statement, index));
}

void readValue(sqlite3_stmt* statement, int index, Uuid& value) {
    value = Uuid::parse(columnText(statement, index)).value_or(Uuid{});
}

void readValue(sqlite3_stmt* statement, int index, std::optional<Uuid>& value) {
    value = isNull(statement, index) ? std::nullopt : Uuid::parse(columnText(statement, index));
}

void readValue(sqlite3_stmt* statement, int index, std::optional<std::string>& value) {
    value = isNull(statement, index) ? std::nullopt
                                     : std::optional<std::string>(columnText(statement, index));
}

void readValue(sqlite3_stmt* statement, int index, std::optional<Bytes>& value) {
    if (isNull(statement, index)) {
        value.reset();
        return;
    }
    auto data = static_cast<const std::uint8_t*>(sqlite3_column_blob(statement, index));
    auto size = static_cast<std::size_t>(sqlite3_column_bytes(statement, index));
    value = data ? Bytes(data, data + size) : Bytes();
}

}  // namespace vantrel
