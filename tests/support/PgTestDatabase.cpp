#include "support/PgTestDatabase.h"

#include <libpq-fe.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <stdexcept>

namespace vantrel::test {

namespace {

const char* serverURL() {
    const char* url = std::getenv("VANTREL_TEST_PG_URL");
    return url && *url ? url : nullptr;
}

/// The server URL with another database name.
std::string withDatabase(const std::string& url, const std::string& name) {
    auto authority = url.find("//") + 2;
    auto path = url.find('/', authority);
    auto query = url.find('?', authority);
    std::string rest = query == std::string::npos ? "" : url.substr(query);
    return url.substr(0, std::min(path, query)) + "/" + name + rest;
}

PGconn* connectOrThrow(const std::string& url) {
    PGconn* connection = PQconnectdb(url.c_str());
    if (PQstatus(connection) != CONNECTION_OK) {
        std::string message = PQerrorMessage(connection);
        PQfinish(connection);
        throw std::runtime_error("test server: " + message);
    }
    return connection;
}

std::string run(PGconn* connection, const std::string& sql, std::vector<std::string>* rows) {
    PGresult* result = PQexec(connection, sql.c_str());
    auto status = PQresultStatus(result);
    std::string error;
    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) {
        error = PQresultErrorMessage(result);
    } else if (rows) {
        for (int row = 0; row < PQntuples(result); ++row)
            rows->emplace_back(PQgetisnull(result, row, 0) ? "NULL" : PQgetvalue(result, row, 0));
    }
    PQclear(result);
    return error;
}

}  // namespace

bool PgTestDatabase::available() {
    return serverURL() != nullptr;
}

const char* PgTestDatabase::skipReason() {
    return "VANTREL_TEST_PG_URL is not set: the PostgreSQL cases are skipped (scripts/test "
           "starts a test server and sets it)";
}

PgTestDatabase::PgTestDatabase() {
    static std::atomic<int> counter{0};
    if (!available()) throw std::runtime_error(skipReason());
    m_name = "vantrel_test_" + std::to_string(getpid()) + "_" + std::to_string(++counter);
    PGconn* admin = connectOrThrow(serverURL());
    std::string error = run(admin, "CREATE DATABASE " + m_name, nullptr);
    PQfinish(admin);
    if (!error.empty()) throw std::runtime_error("test server: " + error);
    m_url = withDatabase(serverURL(), m_name);
    m_connection = connectOrThrow(m_url);
}

PgTestDatabase::~PgTestDatabase() {
    PQfinish(static_cast<PGconn*>(m_connection));
    if (PGconn* admin = PQconnectdb(serverURL()); PQstatus(admin) == CONNECTION_OK) {
        run(admin, "DROP DATABASE IF EXISTS " + m_name + " WITH (FORCE)", nullptr);
        PQfinish(admin);
    } else {
        PQfinish(admin);
    }
}

void PgTestDatabase::exec(const std::string& sql) {
    std::string error = run(static_cast<PGconn*>(m_connection), sql, nullptr);
    if (!error.empty()) throw std::runtime_error(error);
}

std::vector<std::string> PgTestDatabase::column(const std::string& sql) {
    std::vector<std::string> rows;
    std::string error = run(static_cast<PGconn*>(m_connection), sql, &rows);
    if (!error.empty()) throw std::runtime_error(error);
    return rows;
}

}  // namespace vantrel::test
