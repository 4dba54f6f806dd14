#include "import/XmlActivityReader.h"

#include "import/BlankSkippingSource.h"
#include "import/FileBytes.h"
#include "import/RideImportError.h"

namespace vantrel {

ImportedActivity XmlActivityReader::parseDocument(const std::uint8_t* data, std::size_t size) {
    reservePoints(size);
    if (auto error = readXml(data, size, m_namespaceProcessing, *this)) {
        throw RideImportError::parsingFailed(*error);
    }
    return finish();
}

ImportedActivity XmlActivityReader::parse(const XmlSource& source, std::size_t sizeHint) {
    reservePoints(sizeHint);
    if (auto error = readXml(source, sizeHint, m_namespaceProcessing, *this)) {
        throw RideImportError::parsingFailed(*error);
    }
    return finish();
}

ImportedActivity XmlActivityReader::parseFileContent(const Bytes& bytes) {
    std::size_t start = documentStart(bytes);
    return parse(bytes.data() + start, bytes.size() - start);
}

ImportedActivity XmlActivityReader::parseFile(const std::filesystem::path& file) {
    FileReader reader(file);
    BlankSkippingSource blankSkipping(reader);
    XmlSource source = [&blankSkipping](char* buffer, std::size_t capacity) {
        return blankSkipping.read(buffer, capacity);
    };
    return parse(source, reader.sizeWhenOpened());
}

}  // namespace vantrel
