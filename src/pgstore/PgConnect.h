#pragma once

#include <libpq-fe.h>

#include <string>

namespace vantrel {

/// Connects to `url` with a ten-second connect timeout unless the URL sets one, and with
/// server notices silenced (they would land on the user's terminal). The caller owns the
/// connection, also a failed one (check `PQstatus`).
PGconn* connectToServer(const std::string& url);

/// The first line of libpq's last error on the connection.
std::string connectionError(const PGconn* connection);

}  // namespace vantrel
