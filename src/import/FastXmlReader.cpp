#include "import/FastXmlReader.h"

#include <simdjson.h>

#include <cstdlib>
#include <cstring>
#include <optional>
#include <pugixml.hpp>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "import/PageBuffer.h"

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace vantrel {

namespace {

constexpr std::string_view kXmlNamespace = "http://www.w3.org/XML/1998/namespace";
constexpr std::string_view kXmlnsNamespace = "http://www.w3.org/2000/xmlns/";
// The separator expat puts between a namespace URI and a local name.
constexpr char kNamespaceSeparator = '\xFF';
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// Entities are off (a document with '&' goes to expat), so are escapes. Comments, processing
// instructions and document types are kept as nodes only to be checked or refused. Whitespace
// between elements is not kept: a node for every indentation would cost as much as expat;
// where the handler wants it, it is read back from the document.
constexpr unsigned kParseOptions = pugi::parse_cdata | pugi::parse_comments | pugi::parse_pi |
                                   pugi::parse_declaration | pugi::parse_doctype |
                                   pugi::parse_wconv_attribute | pugi::parse_eol |
                                   pugi::parse_fragment | pugi::parse_ws_pcdata_single;

/// What one pass over the raw bytes finds.
struct ByteScan {
    /// A character expat refuses, or an '&' (entities and references are left to expat).
    bool refused = false;
    /// Text could hold "]]>", which expat refuses outside a CDATA section.
    bool hasBracket = false;
    /// Names could hold characters outside ASCII, whose classes only expat knows.
    bool hasNonAscii = false;
};

bool isXmlSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// U+FFFE and U+FFFF are no XML characters; in UTF-8 both start with 0xEF, rare in text.
bool hasNonCharacter(const char* begin, const char* end) {
    for (const char* p = begin;
         (p = static_cast<const char*>(std::memchr(p, '\xEF', static_cast<std::size_t>(end - p))));
         ++p) {
        if (end - p >= 3 && p[1] == '\xBF' && (p[2] == '\xBE' || p[2] == '\xBF')) return true;
    }
    return false;
}

void scanByte(unsigned char c, ByteScan& scan, bool& sawEF) {
    scan.refused |= (c < 0x20 && c != '\t' && c != '\n' && c != '\r') || c == '&';
    scan.hasBracket |= c == ']';
    scan.hasNonAscii |= c >= 0x80;
    sawEF |= c == 0xEF;
}

ByteScan scanBytes(const char* begin, const char* end) {
    ByteScan scan;
    bool sawEF = false;
    const char* p = begin;
#ifdef __SSE2__
    // One pass at memory speed: the checks are few and all per byte.
    __m128i refused = _mm_setzero_si128();
    __m128i bracket = _mm_setzero_si128();
    __m128i high = _mm_setzero_si128();
    __m128i leadEF = _mm_setzero_si128();
    const __m128i lastControl = _mm_set1_epi8(0x1F);
    for (; end - p >= 16; p += 16) {
        __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        __m128i control = _mm_cmpeq_epi8(_mm_min_epu8(v, lastControl), v);
        __m128i allowed = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('\t')),
                                                    _mm_cmpeq_epi8(v, _mm_set1_epi8('\n'))),
                                       _mm_cmpeq_epi8(v, _mm_set1_epi8('\r')));
        refused = _mm_or_si128(refused, _mm_andnot_si128(allowed, control));
        refused = _mm_or_si128(refused, _mm_cmpeq_epi8(v, _mm_set1_epi8('&')));
        bracket = _mm_or_si128(bracket, _mm_cmpeq_epi8(v, _mm_set1_epi8(']')));
        high = _mm_or_si128(high, v);
        leadEF = _mm_or_si128(leadEF, _mm_cmpeq_epi8(v, _mm_set1_epi8('\xEF')));
    }
    scan.refused = _mm_movemask_epi8(refused) != 0;
    scan.hasBracket = _mm_movemask_epi8(bracket) != 0;
    scan.hasNonAscii = _mm_movemask_epi8(high) != 0;
    sawEF = _mm_movemask_epi8(leadEF) != 0;
#endif
    for (; p != end; ++p) scanByte(static_cast<unsigned char>(*p), scan, sawEF);
    if (sawEF && hasNonCharacter(begin, end)) scan.refused = true;
    return scan;
}

bool startsWith(const char* p, const char* end, std::string_view prefix) {
    return static_cast<std::size_t>(end - p) >= prefix.size() &&
           std::memcmp(p, prefix.data(), prefix.size()) == 0;
}

// Skips white space; whether there was any.
bool skipSpace(const char*& p, const char* end) {
    const char* start = p;
    while (p != end && isXmlSpace(*p)) ++p;
    return p != start;
}

// One `S name Eq quoted-value` of the XML declaration.
bool readPseudoAttribute(const char*& p, const char* end, std::string_view name,
                         std::string_view& value) {
    if (!skipSpace(p, end) || !startsWith(p, end, name)) return false;
    p += name.size();
    skipSpace(p, end);
    if (p == end || *p++ != '=') return false;
    skipSpace(p, end);
    if (p == end || (*p != '"' && *p != '\'')) return false;
    char quote = *p++;
    const char* start = p;
    while (p != end && *p != quote) ++p;
    if (p == end) return false;
    value = std::string_view(start, static_cast<std::size_t>(p - start));
    ++p;
    return true;
}

bool equalsIgnoringCase(std::string_view text, std::string_view lowerCase) {
    if (text.size() != lowerCase.size()) return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c =
            text[i] >= 'A' && text[i] <= 'Z' ? static_cast<char>(text[i] - 'A' + 'a') : text[i];
        if (c != lowerCase[i]) return false;
    }
    return true;
}

// Where the document goes on after its XML declaration (its start if it has none), or nullptr
// for anything but a plain declaration of version 1.0 in UTF-8.
const char* afterDeclaration(const char* p, const char* end) {
    if (!startsWith(p, end, "<?")) return p;
    if (!startsWith(p, end, "<?xml") || end - p < 6 || !isXmlSpace(p[5])) return nullptr;
    p += 5;
    std::string_view value;
    if (!readPseudoAttribute(p, end, "version", value) || value != "1.0") return nullptr;
    const char* mark = p;
    if (readPseudoAttribute(p, end, "encoding", value)) {
        if (!equalsIgnoringCase(value, "utf-8")) return nullptr;
        mark = p;
    }
    p = mark;
    if (readPseudoAttribute(p, end, "standalone", value)) {
        if (value != "yes" && value != "no") return nullptr;
        mark = p;
    }
    p = mark;
    skipSpace(p, end);
    return startsWith(p, end, "?>") ? p + 2 : nullptr;
}

bool isAllSpace(const char* text) {
    for (; *text; ++text) {
        if (!isXmlSpace(*text)) return false;
    }
    return true;
}

// "--" cannot occur in a comment, nor can it end with '-'.
bool isWellFormedComment(const char* text) {
    std::size_t length = std::strlen(text);
    return std::strstr(text, "--") == nullptr && (length == 0 || text[length - 1] != '-');
}

/// Where a name has colons, which namespace processing reads as prefix and local name.
struct NameShape {
    std::size_t length = 0;
    std::size_t colon = 0;  // of the first colon, if any
    int colons = 0;         // 0, 1, or 2 for more than one
    /// A digit, '-' or '.' after the colon: a name, but no local name.
    bool localStartsBadly = false;

    // More than one colon, or one at either end, expat's namespace processing refuses.
    bool isQualifiedName() const {
        return colons == 0 || (colons == 1 && colon > 0 && colon + 1 < length && !localStartsBadly);
    }
};

NameShape shapeOf(const char* name) {
    NameShape shape;
    shape.length = std::strlen(name);
    const auto* colon = static_cast<const char*>(std::memchr(name, ':', shape.length));
    if (!colon) return shape;
    shape.colon = static_cast<std::size_t>(colon - name);
    std::size_t rest = shape.length - shape.colon - 1;
    shape.colons = std::memchr(colon + 1, ':', rest) ? 2 : 1;
    char next = colon[1];
    shape.localStartsBadly = (next >= '0' && next <= '9') || next == '-' || next == '.';
    return shape;
}

bool isAscii(const char* text) {
    for (; *text; ++text) {
        if (static_cast<unsigned char>(*text) >= 0x80) return false;
    }
    return true;
}

bool isReservedNamespace(std::string_view uri) {
    return uri == kXmlNamespace || uri == kXmlnsNamespace;
}

/// Walks the tree without recursion, either only checking that expat would read it the same
/// way (no handler) or also handing the handler expat's events.
class TreeWalker {
  public:
    TreeWalker(const char* document, const char* documentEnd, const char* copy,
               const ByteScan& scan, bool namespaces, XmlEventHandler* handler)
        : m_document(document),
          m_documentEnd(documentEnd),
          m_copy(copy),
          m_scan(scan),
          m_namespaces(namespaces),
          m_handler(handler) {}

    bool walk(const pugi::xml_document& tree) {
        if (!findRoot(tree)) return false;
        if (m_handler) m_charactersOn = m_handler->wantsCharacters();
        return walkElements();
    }

  private:
    struct Binding {
        std::string_view prefix;
        std::string_view uri;
    };

    // Outside the root only white space and comments are read the same.
    bool findRoot(const pugi::xml_document& tree) {
        for (pugi::xml_node node = tree.first_child(); node; node = node.next_sibling()) {
            switch (node.type()) {
                case pugi::node_element:
                    if (m_root) return false;
                    m_root = node;
                    break;
                case pugi::node_comment:
                    if (!isWellFormedComment(node.value())) return false;
                    break;
                case pugi::node_pcdata:
                    if (!isAllSpace(node.value())) return false;
                    break;
                default:
                    return false;
            }
        }
        return m_root && endsWithNode(tree.last_child());
    }

    // The parser drops text after the last markup, which expat refuses: the document must end,
    // but for white space, where its last node does.
    bool endsWithNode(pugi::xml_node last) {
        const char* end = nullptr;
        if (last.type() == pugi::node_comment) {
            const char* text = original(last.value());
            std::size_t close =
                std::string_view(text, static_cast<std::size_t>(m_documentEnd - text)).find("-->");
            if (close != std::string_view::npos) end = text + close + 3;
        } else if (last == m_root) {
            end = m_root.first_child() ? afterEndTag(endTagStart(m_root)) : afterChildlessRoot();
        }
        if (!end) return false;
        skipSpace(end, m_documentEnd);
        return end == m_documentEnd;
    }

    // Past the root's end tag "</name S?>" that starts at `tag`, or nullptr.
    const char* afterEndTag(const char* tag) const {
        const char* p = tag;
        std::string_view name(m_root.name());
        if (!startsWith(p, m_documentEnd, "</") || !startsWith(p + 2, m_documentEnd, name)) {
            return nullptr;
        }
        p += 2 + name.size();
        skipSpace(p, m_documentEnd);
        return p != m_documentEnd && *p == '>' ? p + 1 : nullptr;
    }

    // Past "<name attributes/>" or "<name attributes></name>".
    const char* afterChildlessRoot() const {
        const char* p = original(m_root.name()) + std::strlen(m_root.name());
        if (pugi::xml_attribute last = m_root.last_attribute()) {
            const char* value = original(last.value());
            p = static_cast<const char*>(
                std::memchr(value, value[-1], static_cast<std::size_t>(m_documentEnd - value)));
            if (!p) return nullptr;
            ++p;
        }
        skipSpace(p, m_documentEnd);
        if (startsWith(p, m_documentEnd, "/>")) return p + 2;
        return startsWith(p, m_documentEnd, ">") ? afterEndTag(p + 1) : nullptr;
    }

    bool walkElements() {
        if (!enter(m_root)) return false;
        pugi::xml_node parent = m_root;
        pugi::xml_node node = m_root.first_child();
        pugi::xml_node previous;
        for (;;) {
            if (!node) {
                if (previous && previous.type() != pugi::node_pcdata && wantsText()) {
                    deliverSpaceBefore(endTagStart(parent));
                }
                leave(parent);
                if (parent == m_root) return true;
                previous = parent;
                node = parent.next_sibling();
                parent = parent.parent();
                continue;
            }
            pugi::xml_node_type type = node.type();
            if (type != pugi::node_pcdata && previous.type() != pugi::node_pcdata && wantsText()) {
                deliverSpaceBefore(markupStart(node));
            }
            switch (type) {
                case pugi::node_element:
                    if (!enter(node)) return false;
                    if (pugi::xml_node child = node.first_child()) {
                        parent = node;
                        previous = pugi::xml_node();
                        node = child;
                        continue;
                    }
                    leave(node);
                    break;
                case pugi::node_pcdata:
                    if (m_scan.hasBracket && std::strstr(node.value(), "]]>")) return false;
                    deliverText(node.value());
                    break;
                case pugi::node_cdata:
                    deliverText(node.value());
                    break;
                case pugi::node_comment:
                    if (!isWellFormedComment(node.value())) return false;
                    break;
                default:
                    return false;
            }
            previous = node;
            node = node.next_sibling();
        }
    }

    bool wantsText() const { return m_handler && m_charactersOn; }

    void deliverText(const char* text) {
        if (wantsText() && *text) m_handler->characters(std::string_view(text));
    }

    void followCharacterWish() { m_charactersOn = m_handler->wantsCharacters(); }

    bool enter(pugi::xml_node element) {
        m_bindingMarks.push_back(m_bindings.size());
        m_attributes.clear();
        m_expandedNames.clear();
        for (pugi::xml_attribute attribute = element.first_attribute(); attribute;
             attribute = attribute.next_attribute()) {
            const char* name = attribute.name();
            const char* value = attribute.value();
            if (!m_handler && !isPlainAttribute(name, value)) return false;
            m_attributes.push_back(name);
            m_attributes.push_back(value);
        }
        const char* name = element.name();
        if (m_scan.hasNonAscii && !isAscii(name)) return false;
        NameShape shape;
        if (m_namespaces) {
            shape = shapeOf(name);
            if (!resolveNames(name, shape)) return false;
        }
        if (!m_handler) return true;
        for (const auto& [index, expanded] : m_expandedNames) {
            m_attributes[index] = expanded.c_str();
        }
        m_attributes.push_back(nullptr);
        // expat hands over the local name when processing namespaces.
        std::string_view reported =
            shape.colons > 0
                ? std::string_view(name + shape.colon + 1, shape.length - shape.colon - 1)
                : std::string_view(name, m_namespaces ? shape.length : std::strlen(name));
        m_names.push_back(reported);
        m_handler->startElement(reported, m_attributes.data());
        followCharacterWish();
        return true;
    }

    void leave(pugi::xml_node element) {
        m_bindings.resize(m_bindingMarks.back());
        m_bindingMarks.pop_back();
        if (!m_endTags.empty() && m_endTags.back().first == element) m_endTags.pop_back();
        if (!m_handler) return;
        std::string_view name = m_names.back();
        m_names.pop_back();
        m_handler->endElement(name);
        followCharacterWish();
    }

    // Only checked in the first walk: the second one knows the document passed.
    bool isPlainAttribute(const char* name, const char* value) const {
        if (m_scan.hasNonAscii && !isAscii(name)) return false;
        for (const char* p = value; *p; ++p) {
            if (*p == '<') return false;
        }
        // The list so far holds every earlier attribute, namespace declarations included.
        for (std::size_t i = 0; i < m_attributes.size(); i += 2) {
            if (std::strcmp(m_attributes[i], name) == 0) return false;
        }
        return true;
    }

    // Declares the element's namespaces, checks that every prefix is bound, and turns the
    // attribute list into the one expat hands over in namespace mode: declarations left out,
    // prefixed names as "uri\xFFlocal".
    bool resolveNames(const char* elementName, const NameShape& elementShape) {
        std::size_t kept = 0;
        bool anyPrefixed = false;
        for (std::size_t i = 0; i < m_attributes.size(); i += 2) {
            const char* name = m_attributes[i];
            NameShape shape = shapeOf(name);
            if (!shape.isQualifiedName()) return false;
            if (std::strncmp(name, "xmlns", 5) == 0 && (shape.length == 5 || shape.colon == 5)) {
                if (!declare(shape.length == 5 ? std::string_view() : std::string_view(name + 6),
                             m_attributes[i + 1])) {
                    return false;
                }
                continue;
            }
            anyPrefixed |= shape.colons > 0;
            m_attributes[kept] = m_attributes[i];
            m_attributes[kept + 1] = m_attributes[i + 1];
            kept += 2;
        }
        m_attributes.resize(kept);
        if (!elementShape.isQualifiedName()) return false;
        if (elementShape.colons > 0 && !lookUp(std::string_view(elementName, elementShape.colon))) {
            return false;
        }
        return !anyPrefixed || expandAttributeNames();
    }

    // A namespace declaration; an empty prefix is the default namespace, which changes no
    // name expat reports.
    bool declare(std::string_view prefix, std::string_view uri) {
        if (isReservedNamespace(uri)) return false;
        if (prefix.empty()) return true;
        if (prefix == "xml" || prefix == "xmlns" || uri.empty()) return false;
        m_bindings.push_back({prefix, uri});
        return true;
    }

    bool expandAttributeNames() {
        for (std::size_t i = 0; i < m_attributes.size(); i += 2) {
            std::string_view name(m_attributes[i]);
            std::size_t colon = name.find(':');
            if (colon == std::string_view::npos) continue;
            auto uri = lookUp(name.substr(0, colon));
            if (!uri) return false;
            std::string expanded(*uri);
            expanded += kNamespaceSeparator;
            expanded += name.substr(colon + 1);
            for (const auto& other : m_expandedNames) {
                if (other.second == expanded) return false;
            }
            m_expandedNames.emplace_back(i, std::move(expanded));
        }
        return true;
    }

    std::optional<std::string_view> lookUp(std::string_view prefix) const {
        if (prefix == "xml") return kXmlNamespace;
        for (auto it = m_bindings.rbegin(); it != m_bindings.rend(); ++it) {
            if (it->prefix == prefix) return it->uri;
        }
        return std::nullopt;
    }

    // Where a node's markup (or text) begins in the document as written.
    const char* markupStart(pugi::xml_node node) const {
        switch (node.type()) {
            case pugi::node_element:
                return original(node.name()) - 1;  // "<"
            case pugi::node_comment:
                return original(node.value()) - 4;  // "<!--"
            case pugi::node_cdata:
                return original(node.value()) - 9;  // "<![CDATA["
            default:
                return original(node.value());
        }
    }

    // The parser writes into its copy, but never moves a name or the start of a value.
    const char* original(const char* inCopy) const { return m_document + (inCopy - m_copy); }

    const char* skipSpaceBackward(const char* p) const {
        while (p != m_document && isXmlSpace(p[-1])) --p;
        return p;
    }

    // Where the end tag of an element with children begins. The tree does not keep it; it is
    // found by reading back from the next node, over the end tags that come one after the other
    // (an end tag holds no '<' but its first). Every end tag found on the way is kept for the
    // elements still to be left, so deep nesting is read back once, not once per level.
    const char* endTagStart(pugi::xml_node element) {
        if (!m_endTags.empty() && m_endTags.back().first == element) return m_endTags.back().second;
        std::vector<pugi::xml_node>& chain = m_chain;
        chain.clear();
        const char* cursor = m_documentEnd;
        for (pugi::xml_node current = element;; current = current.parent()) {
            chain.push_back(current);
            if (pugi::xml_node next = current.next_sibling()) {
                cursor = markupStart(next);
                break;
            }
            if (current == m_root) break;
        }
        for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
            const char* tag = skipSpaceBackward(cursor);
            while (tag != m_document && *--tag != '<') {
            }
            m_endTags.emplace_back(*it, tag);
            cursor = tag;
        }
        return m_endTags.back().second;
    }

    // The white space the tree left out before `markup`, with line ends as expat reports them.
    void deliverSpaceBefore(const char* markup) {
        const char* start = skipSpaceBackward(markup);
        if (start == markup) return;
        std::size_t length = static_cast<std::size_t>(markup - start);
        if (!std::memchr(start, '\r', length)) {
            m_handler->characters(std::string_view(start, length));
            return;
        }
        std::string& text = m_space;
        text.clear();
        for (const char* p = start; p != markup; ++p) {
            if (*p != '\r') {
                text += *p;
                continue;
            }
            text += '\n';
            if (p + 1 != markup && p[1] == '\n') ++p;
        }
        m_handler->characters(text);
    }

    const char* m_document;
    const char* m_documentEnd;
    const char* m_copy;
    const ByteScan& m_scan;
    bool m_namespaces;
    XmlEventHandler* m_handler;
    bool m_charactersOn = true;
    pugi::xml_node m_root;
    std::vector<const char*> m_attributes;
    std::vector<std::pair<std::size_t, std::string>> m_expandedNames;
    std::vector<Binding> m_bindings;
    std::vector<std::size_t> m_bindingMarks;
    std::vector<std::string_view> m_names;
    std::vector<std::pair<pugi::xml_node, const char*>> m_endTags;
    std::vector<pugi::xml_node> m_chain;
    std::string m_space;
};

// The tree takes about twice the document on activity files; beyond this, pages come from malloc.
constexpr std::size_t kTreeSizePerByte = 3;
constexpr std::size_t kTreeAlignment = 64;

std::size_t roundUp(std::size_t size, std::size_t unit) {
    return (size + unit - 1) / unit * unit;
}

/// Where the tree of the document being read on this thread takes its pages.
struct TreeArena {
    char* next = nullptr;
    char* end = nullptr;
    char* begin = nullptr;
};
thread_local TreeArena* t_treeArena = nullptr;

// The parser allocates its tree in pages of some kilobytes through one global pair of
// functions. Taken from the buffer that also holds the copy, they cost no page fault each
// (the buffer has huge pages) and no freeing one by one.
void* allocateTreePage(std::size_t size) {
    if (TreeArena* arena = t_treeArena) {
        std::size_t rounded = roundUp(size, kTreeAlignment);
        if (static_cast<std::size_t>(arena->end - arena->next) >= rounded) {
            void* page = arena->next;
            arena->next += rounded;
            return page;
        }
    }
    return std::malloc(size);
}

void releaseTreePage(void* page) {
    TreeArena* arena = t_treeArena;
    if (arena && page >= arena->begin && page < arena->end) return;
    std::free(page);
}

/// Makes the tree of this thread's document take its pages from [begin, end) while it lives;
/// the tree must be gone before the scope ends.
class TreeArenaScope {
  public:
    TreeArenaScope(char* begin, char* end) : m_arena{begin, end, begin}, m_outer(t_treeArena) {
        static const bool installed = [] {
            pugi::set_memory_management_functions(allocateTreePage, releaseTreePage);
            return true;
        }();
        (void)installed;
        t_treeArena = &m_arena;
    }
    ~TreeArenaScope() { t_treeArena = m_outer; }
    TreeArenaScope(const TreeArenaScope&) = delete;
    TreeArenaScope& operator=(const TreeArenaScope&) = delete;

  private:
    TreeArena m_arena;
    TreeArena* m_outer;
};

}  // namespace

bool readXmlFast(const std::uint8_t* data, std::size_t size, bool namespaceProcessing,
                 XmlEventHandler& handler) {
    if (size == 0 || size > kFastXmlSizeLimit) return false;
    const char* begin = reinterpret_cast<const char*>(data);
    const char* end = begin + size;
    ByteScan scan = scanBytes(begin, end);
    if (scan.refused) return false;
    if (scan.hasNonAscii && !simdjson::validate_utf8(begin, size)) return false;
    if (startsWith(begin, end, kByteOrderMark)) begin += kByteOrderMark.size();
    begin = afterDeclaration(begin, end);
    // The parser would skip a byte order mark here too, where expat sees a character.
    if (!begin || begin == end || startsWith(begin, end, kByteOrderMark)) return false;
    // The parser drops text after the last markup, which expat refuses.
    const char* last = end;
    while (last != begin && isXmlSpace(last[-1])) --last;
    if (last == begin || last[-1] != '>') return false;

    std::size_t length = static_cast<std::size_t>(end - begin);
    // The copy the parser writes into and, after it, the tree's pages.
    std::size_t copySize = roundUp(length, kTreeAlignment);
    PageBuffer memory(copySize + kTreeSizePerByte * length, (1 + kTreeSizePerByte) * length);
    char* copy = memory.data();
    std::memcpy(copy, begin, length);
    TreeArenaScope arena(copy + copySize, memory.data() + memory.capacity());
    pugi::xml_document tree;
    if (!tree.load_buffer_inplace(copy, length, kParseOptions, pugi::encoding_utf8)) {
        return false;
    }
    // Everything is checked before the first event, so that declining leaves nothing behind.
    if (!TreeWalker(begin, end, copy, scan, namespaceProcessing, nullptr).walk(tree)) {
        return false;
    }
    TreeWalker(begin, end, copy, scan, namespaceProcessing, &handler).walk(tree);
    return true;
}

}  // namespace vantrel
