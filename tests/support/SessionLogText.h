#pragma once

#include <string>

#include "logging/PersistentLogger.h"
#include "support/TestSupport.h"

namespace vantrel::test {

/// What `logger` has written in its current session so far; empty before it has a file.
inline std::string sessionLogText(PersistentLogger& logger = PersistentLogger::shared()) {
    logger.flush();
    auto file = logger.currentLogFile();
    return file ? readFileText(*file) : std::string();
}

}  // namespace vantrel::test
