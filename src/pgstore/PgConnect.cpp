#include "pgstore/PgConnect.h"

namespace vantrel {

namespace {

void ignoreNotice(void*, const char*) {}

}  // namespace

PGconn* connectToServer(const std::string& url) {
    // Later parameters override earlier ones: the URL's own settings win over these defaults.
    const char* keywords[] = {"connect_timeout", "fallback_application_name", "dbname", nullptr};
    const char* values[] = {"10", "vantrel", url.c_str(), nullptr};
    PGconn* connection = PQconnectdbParams(keywords, values, 1);
    if (connection) PQsetNoticeProcessor(connection, ignoreNotice, nullptr);
    return connection;
}

std::string connectionError(const PGconn* connection) {
    std::string message = connection ? PQerrorMessage(connection) : "out of memory";
    while (!message.empty() && (message.back() == '\n' || message.back() == ' '))
        message.pop_back();
    auto newline = message.find('\n');
    return newline == std::string::npos ? message : message.substr(0, newline);
}

}  // namespace vantrel
