#pragma once

#include <filesystem>
#include <stdexcept>

#include "model/Bytes.h"

namespace vantrel {

/// A file that could not be read; `what()` is the user-facing description.
class FileReadError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

/// The whole file in one buffer, read once. Throws `FileReadError` ("Cannot read file: " and
/// the system's reason) for a missing, unreadable or non-regular file.
Bytes readWholeFile(const std::filesystem::path& file);

}  // namespace vantrel
