#pragma once

#include <stdexcept>
#include <string>

namespace vantrel {

/// Why an archive could not be encoded or decoded; `what()` is the user-facing description and
/// names the failing key (as a path such as rides[2].date) or value.
class ArchiveError : public std::runtime_error {
  public:
    enum class Kind {
        invalidNumber,
        dataCorrupted,
        keyNotFound,
        typeMismatch,
        invalidValue,
        duplicateKey
    };

    static ArchiveError invalidNumber(const std::string& path, double value);
    static ArchiveError dataCorrupted(const std::string& detail, const std::string& path);
    static ArchiveError keyNotFound(const std::string& path);
    static ArchiveError typeMismatch(const std::string& path, const std::string& expected,
                                     const std::string& found);
    static ArchiveError invalidValue(const std::string& path, const std::string& value,
                                     const std::string& expected);
    /// A key that appears twice in the object at `path` (empty for the top level).
    static ArchiveError duplicateKey(const std::string& path, const std::string& key);

    Kind kind() const { return m_kind; }
    /// The key path of the failing value; empty for the document as a whole.
    const std::string& path() const { return m_path; }

  private:
    ArchiveError(Kind kind, std::string path, const std::string& description)
        : std::runtime_error(description), m_kind(kind), m_path(std::move(path)) {}
    Kind m_kind;
    std::string m_path;
};

}  // namespace vantrel
