#include "import/XmlReader.h"

#include <expat.h>
#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <memory>
#include <type_traits>

#include "import/ExpatXmlReader.h"
#include "import/FastXmlReader.h"
#include "import/PageBuffer.h"

namespace vantrel {

namespace {

// expat takes int lengths.
constexpr std::size_t kLargestSlice = INT_MAX / 2;

// Cannot occur in UTF-8, so it never collides with a character of a namespace URI.
constexpr char kNamespaceSeparator = '\xFF';

struct ParserDeleter {
    void operator()(XML_Parser parser) const { XML_ParserFree(parser); }
};
using ParserHandle = std::unique_ptr<std::remove_pointer_t<XML_Parser>, ParserDeleter>;

struct ReaderState {
    XML_Parser parser = nullptr;
    XmlEventHandler* handler = nullptr;
    bool namespaces = false;
    std::optional<std::string> refusal;
    bool charactersOn = true;
    /// The declared encoding expat asked about, to name it if it cannot be read.
    std::optional<std::string> unknownEncoding;
};

std::string_view localName(const ReaderState& state, const XML_Char* name) {
    if (state.namespaces) {
        // The namespace URI before the separator is long and never looked at; the C library's
        // vectorised search skips it faster than measuring the whole name and looking back.
        if (const char* separator = std::strrchr(name, kNamespaceSeparator)) name = separator + 1;
    }
    return std::string_view(name);
}

void XMLCALL onCharacters(void* data, const XML_Char* text, int length) {
    auto* state = static_cast<ReaderState*>(data);
    state->handler->characters(std::string_view(text, static_cast<std::size_t>(length)));
}

void followCharacterWish(ReaderState& state) {
    bool wanted = state.handler->wantsCharacters();
    if (wanted == state.charactersOn) return;
    XML_SetCharacterDataHandler(state.parser, wanted ? onCharacters : nullptr);
    state.charactersOn = wanted;
}

void XMLCALL onStart(void* data, const XML_Char* name, const XML_Char** attributes) {
    auto* state = static_cast<ReaderState*>(data);
    state->handler->startElement(localName(*state, name), attributes);
    followCharacterWish(*state);
}

void XMLCALL onEnd(void* data, const XML_Char* name) {
    auto* state = static_cast<ReaderState*>(data);
    state->handler->endElement(localName(*state, name));
    followCharacterWish(*state);
}

// Activity files never need entities; refusing their declarations rules out both
// exponential expansion and references to outside resources.
void XMLCALL onEntityDeclaration(void* data, const XML_Char*, int, const XML_Char*, int,
                                 const XML_Char*, const XML_Char*, const XML_Char*,
                                 const XML_Char*) {
    auto* state = static_cast<ReaderState*>(data);
    if (state->refusal) return;
    state->refusal = "entity declarations are not allowed";
    XML_StopParser(state->parser, XML_FALSE);
}

struct IconvHandle {
    iconv_t descriptor;
    explicit IconvHandle(const char* from) : descriptor(iconv_open("UTF-32LE", from)) {}
    ~IconvHandle() {
        if (valid()) iconv_close(descriptor);
    }
    IconvHandle(const IconvHandle&) = delete;
    IconvHandle& operator=(const IconvHandle&) = delete;
    bool valid() const { return descriptor != reinterpret_cast<iconv_t>(-1); }
};

enum class ByteMeaning { character, invalid, partOfLonger };

// What one byte on its own stands for in the encoding: a character (its code point), a byte
// the encoding does not use, or the start of a longer sequence (so not a single-byte encoding).
ByteMeaning decodeByte(IconvHandle& converter, unsigned char byte, int& codePoint) {
    iconv(converter.descriptor, nullptr, nullptr, nullptr, nullptr);
    char input = static_cast<char>(byte);
    char* in = &input;
    std::size_t inLeft = 1;
    unsigned char output[16] = {};
    char* out = reinterpret_cast<char*>(output);
    std::size_t outLeft = sizeof output;
    std::size_t done = iconv(converter.descriptor, &in, &inLeft, &out, &outLeft);
    if (done == static_cast<std::size_t>(-1)) {
        return errno == EILSEQ ? ByteMeaning::invalid : ByteMeaning::partOfLonger;
    }
    // A byte that yields no character or several (a shift state, a ligature) is not one
    // character of a single-byte encoding.
    if (sizeof output - outLeft != 4) return ByteMeaning::partOfLonger;
    codePoint = output[0] | output[1] << 8 | output[2] << 16 | output[3] << 24;
    return ByteMeaning::character;
}

// expat knows UTF-8, UTF-16, ISO-8859-1 and US-ASCII itself; older tools also write
// windows-1252 or ISO-8859-15. Any single-byte encoding the C library can convert is handed to
// expat as a table of 256 code points. Multi-byte ones are refused, naming the encoding.
int XMLCALL onUnknownEncoding(void* data, const XML_Char* name, XML_Encoding* info) {
    auto* state = static_cast<ReaderState*>(data);
    state->unknownEncoding = name;
    IconvHandle converter(name);
    if (!converter.valid()) return XML_STATUS_ERROR;
    for (int byte = 0; byte < 256; ++byte) {
        int codePoint = -1;
        switch (decodeByte(converter, static_cast<unsigned char>(byte), codePoint)) {
            case ByteMeaning::character:
                info->map[byte] = codePoint;
                break;
            case ByteMeaning::invalid:
                info->map[byte] = -1;
                break;
            case ByteMeaning::partOfLonger:
                return XML_STATUS_ERROR;
        }
    }
    info->data = nullptr;
    info->convert = nullptr;
    info->release = nullptr;
    return XML_STATUS_OK;
}

ParserHandle makeParser(ReaderState& state) {
    ParserHandle parser(state.namespaces ? XML_ParserCreateNS(nullptr, kNamespaceSeparator)
                                         : XML_ParserCreate(nullptr));
    if (!parser) return parser;
    state.parser = parser.get();
    XML_SetUserData(parser.get(), &state);
    XML_SetElementHandler(parser.get(), onStart, onEnd);
    state.charactersOn = state.handler->wantsCharacters();
    XML_SetCharacterDataHandler(parser.get(), state.charactersOn ? onCharacters : nullptr);
    XML_SetEntityDeclHandler(parser.get(), onEntityDeclaration);
    XML_SetUnknownEncodingHandler(parser.get(), onUnknownEncoding, &state);
#ifdef XML_DTD
    XML_SetParamEntityParsing(parser.get(), XML_PARAM_ENTITY_PARSING_NEVER);
#endif
    return parser;
}

std::string describeError(XML_Parser parser, const ReaderState& state) {
    std::string what = state.refusal ? *state.refusal : XML_ErrorString(XML_GetErrorCode(parser));
    // expat also refuses a table that does not keep ASCII where XML markup needs it.
    if (XML_GetErrorCode(parser) == XML_ERROR_UNKNOWN_ENCODING && state.unknownEncoding) {
        what = "unsupported encoding \"" + *state.unknownEncoding +
               "\": only UTF-8, UTF-16 and single-byte encodings are read";
    }
    return what + " at line " + std::to_string(XML_GetCurrentLineNumber(parser)) + ", column " +
           std::to_string(XML_GetCurrentColumnNumber(parser) + 1);
}

std::optional<std::string> streamThroughExpat(const XmlSource& source, std::size_t expectedSize,
                                              bool namespaceProcessing, XmlEventHandler& handler) {
    ReaderState state;
    state.handler = &handler;
    state.namespaces = namespaceProcessing;
    ParserHandle parser = makeParser(state);
    if (!parser) return std::string("out of memory");
    // The whole expected document goes straight into expat's own buffer and is parsed in one
    // final call: expat then neither copies it nor recounts lines between calls. One byte more
    // than expected shows the end; a document that turns out longer follows in slices.
    std::size_t want = std::clamp(expectedSize + 1, kXmlSliceSize, kLargestSlice);
    for (;;) {
        auto* buffer = static_cast<char*>(XML_GetBuffer(parser.get(), static_cast<int>(want)));
        if (!buffer) return std::string("out of memory");
        std::size_t filled = 0;
        bool isFinal = false;
        while (filled < want && !isFinal) {
            std::size_t length = std::min(source(buffer + filled, want - filled), want - filled);
            filled += length;
            isFinal = length == 0;
        }
        if (XML_ParseBuffer(parser.get(), static_cast<int>(filled), isFinal) != XML_STATUS_OK) {
            return describeError(parser.get(), state);
        }
        if (isFinal) return std::nullopt;
        want = kXmlSliceSize;
    }
}

/// A document read ahead from its source, as far as the in-place reader's limit.
struct ReadAhead {
    explicit ReadAhead(std::size_t expectedSize) : buffer(kFastXmlSizeLimit + 1, expectedSize) {}

    PageBuffer buffer;
    std::size_t size = 0;
    /// The source has nothing more: the buffer holds the whole document.
    bool ended = false;
};

void readAhead(const XmlSource& source, ReadAhead& ahead) {
    for (std::size_t room; (room = ahead.buffer.capacity() - ahead.size) > 0;) {
        std::size_t length = std::min(source(ahead.buffer.data() + ahead.size, room), room);
        if (length == 0) {
            ahead.ended = true;
            return;
        }
        ahead.size += length;
    }
}

}  // namespace

std::optional<std::string> readXml(const XmlSource& source, std::size_t expectedSize,
                                   bool namespaceProcessing, XmlEventHandler& handler) {
    if (expectedSize == 0 || expectedSize > kFastXmlSizeLimit) {
        return streamThroughExpat(source, expectedSize, namespaceProcessing, handler);
    }
    ReadAhead ahead(expectedSize);
    readAhead(source, ahead);
    if (ahead.ended && readXmlFast(reinterpret_cast<const std::uint8_t*>(ahead.buffer.data()),
                                   ahead.size, namespaceProcessing, handler)) {
        return std::nullopt;
    }
    // expat from the start: first what was read ahead, then whatever the source still holds.
    std::size_t served = 0;
    XmlSource resumed = [&](char* buffer, std::size_t capacity) -> std::size_t {
        if (served == ahead.size) return ahead.ended ? 0 : source(buffer, capacity);
        std::size_t length = std::min(capacity, ahead.size - served);
        std::memcpy(buffer, ahead.buffer.data() + served, length);
        served += length;
        return length;
    };
    return streamThroughExpat(resumed, expectedSize, namespaceProcessing, handler);
}

std::optional<std::string> readXml(const std::uint8_t* data, std::size_t size,
                                   bool namespaceProcessing, XmlEventHandler& handler) {
    if (readXmlFast(data, size, namespaceProcessing, handler)) return std::nullopt;
    return readXmlWithExpat(data, size, namespaceProcessing, handler);
}

std::optional<std::string> readXmlWithExpat(const std::uint8_t* data, std::size_t size,
                                            bool namespaceProcessing, XmlEventHandler& handler) {
    ReaderState state;
    state.handler = &handler;
    state.namespaces = namespaceProcessing;
    ParserHandle parser = makeParser(state);
    if (!parser) return std::string("out of memory");
    // expat takes int lengths; larger documents go in slices of the same buffer.
    const char* text = reinterpret_cast<const char*>(data);
    do {
        std::size_t length = std::min(size, kLargestSlice);
        bool isFinal = length == size;
        if (XML_Parse(parser.get(), text, static_cast<int>(length), isFinal) != XML_STATUS_OK) {
            return describeError(parser.get(), state);
        }
        text += length;
        size -= length;
    } while (size > 0);
    return std::nullopt;
}

namespace {

// Whether the null-terminated `text` is exactly `name`, without measuring `text` first.
bool equalsName(const char* text, std::string_view name) {
    for (char c : name) {
        if (*text != c || c == '\0') return false;
        ++text;
    }
    return *text == '\0';
}

}  // namespace

std::optional<std::string_view> xmlAttribute(const char** attributes, std::string_view name) {
    for (; attributes && attributes[0]; attributes += 2) {
        if (equalsName(attributes[0], name)) return std::string_view(attributes[1]);
    }
    return std::nullopt;
}

}  // namespace vantrel
