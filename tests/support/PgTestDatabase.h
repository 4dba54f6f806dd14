#pragma once

#include <string>
#include <vector>

namespace vantrel::test {

/// A fresh database on the test PostgreSQL server (scripts/test starts one and names it in
/// VANTREL_TEST_PG_URL), dropped with everything in it at destruction, with a connection of its
/// own for checks and forced faults, as another computer would have.
class PgTestDatabase {
  public:
    /// Whether the test server is known; a test program run by hand without it skips the
    /// PostgreSQL cases (with `skipReason`), ctest under scripts/test always has it.
    static bool available();
    static const char* skipReason();

    PgTestDatabase();
    ~PgTestDatabase();
    PgTestDatabase(const PgTestDatabase&) = delete;
    PgTestDatabase& operator=(const PgTestDatabase&) = delete;

    /// The store location of this database.
    const std::string& url() const { return m_url; }
    /// Runs SQL; throws with the server's message.
    void exec(const std::string& sql);
    /// The first column of every row, "NULL" for NULL.
    std::vector<std::string> column(const std::string& sql);

  private:
    std::string m_name;
    std::string m_url;
    void* m_connection = nullptr;
};

}  // namespace vantrel::test
