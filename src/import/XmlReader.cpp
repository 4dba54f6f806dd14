#include "import/XmlReader.h"

#include <expat.h>

#include <climits>
#include <cstring>
#include <memory>
#include <type_traits>

namespace vantrel {

namespace {

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
};

std::string_view localName(const ReaderState& state, const XML_Char* name) {
    std::string_view full(name);
    if (!state.namespaces) return full;
    auto separator = full.rfind(kNamespaceSeparator);
    return separator == std::string_view::npos ? full : full.substr(separator + 1);
}

void XMLCALL onStart(void* data, const XML_Char* name, const XML_Char** attributes) {
    auto* state = static_cast<ReaderState*>(data);
    state->handler->startElement(localName(*state, name), attributes);
}

void XMLCALL onEnd(void* data, const XML_Char* name) {
    auto* state = static_cast<ReaderState*>(data);
    state->handler->endElement(localName(*state, name));
}

void XMLCALL onCharacters(void* data, const XML_Char* text, int length) {
    auto* state = static_cast<ReaderState*>(data);
    state->handler->characters(std::string_view(text, static_cast<std::size_t>(length)));
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

ParserHandle makeParser(ReaderState& state) {
    ParserHandle parser(state.namespaces ? XML_ParserCreateNS(nullptr, kNamespaceSeparator)
                                         : XML_ParserCreate(nullptr));
    if (!parser) return parser;
    state.parser = parser.get();
    XML_SetUserData(parser.get(), &state);
    XML_SetElementHandler(parser.get(), onStart, onEnd);
    XML_SetCharacterDataHandler(parser.get(), onCharacters);
    XML_SetEntityDeclHandler(parser.get(), onEntityDeclaration);
#ifdef XML_DTD
    XML_SetParamEntityParsing(parser.get(), XML_PARAM_ENTITY_PARSING_NEVER);
#endif
    return parser;
}

std::string describeError(XML_Parser parser, const ReaderState& state) {
    std::string what = state.refusal ? *state.refusal : XML_ErrorString(XML_GetErrorCode(parser));
    return what + " at line " + std::to_string(XML_GetCurrentLineNumber(parser)) + ", column " +
           std::to_string(XML_GetCurrentColumnNumber(parser) + 1);
}

}  // namespace

std::optional<std::string> readXml(const std::uint8_t* data, std::size_t size,
                                   bool namespaceProcessing, XmlEventHandler& handler) {
    ReaderState state{nullptr, &handler, namespaceProcessing, std::nullopt};
    ParserHandle parser = makeParser(state);
    if (!parser) return std::string("out of memory");
    // expat takes int lengths; larger documents go in slices of the same buffer.
    constexpr std::size_t kSlice = INT_MAX / 2;
    const char* text = reinterpret_cast<const char*>(data);
    do {
        std::size_t length = size < kSlice ? size : kSlice;
        bool isFinal = length == size;
        if (XML_Parse(parser.get(), text, static_cast<int>(length), isFinal) != XML_STATUS_OK) {
            return describeError(parser.get(), state);
        }
        text += length;
        size -= length;
    } while (size > 0);
    return std::nullopt;
}

std::optional<std::string_view> xmlAttribute(const char** attributes, std::string_view name) {
    for (; attributes && attributes[0]; attributes += 2) {
        if (name == attributes[0]) return std::string_view(attributes[1]);
    }
    return std::nullopt;
}

}  // namespace vantrel
