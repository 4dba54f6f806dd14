#include "import/ActivityReader.h"

#include "import/FileBytes.h"

namespace vantrel {

ImportedActivity ActivityReader::parseFile(const std::filesystem::path& file) {
    return parseFileContent(readWholeFile(file));
}

}  // namespace vantrel
