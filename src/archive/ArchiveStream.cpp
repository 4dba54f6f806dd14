#include "archive/ArchiveStream.h"

#include <algorithm>
#include <cstring>
#include <unordered_set>

#include "archive/ArchiveError.h"
#include "archive/ArchiveField.h"
#include "export/FileAccessError.h"
#include "model/Base64Decoder.h"
#include "model/JsonWriter.h"

namespace vantrel {

namespace {

// Numbers and literals are short; anything longer is no number the reader would take.
constexpr std::size_t kTokenLimit = 4096;
// Dates and identifiers are short: the start of a longer string shows well enough why it is
// not one, and holding all of it would let one value take any amount of memory.
constexpr std::size_t kShortStringLimit = 4096;

class TextSink final : public StringSink {
  public:
    explicit TextSink(std::string& text, std::size_t limit = std::string::npos)
        : m_text(text), m_limit(limit) {}
    void append(const char* text, std::size_t size) override {
        if (m_text.size() >= m_limit) return;
        m_text.append(text, std::min(size, m_limit - m_text.size()));
    }

  private:
    std::string& m_text;
    std::size_t m_limit;
};

class Base64Sink final : public StringSink {
  public:
    explicit Base64Sink(std::size_t limit) : m_decoder(limit) {}
    void append(const char* text, std::size_t size) override { m_decoder.add(text, size); }
    Base64Decoder& decoder() { return m_decoder; }

  private:
    Base64Decoder m_decoder;
};

/// Counts the characters of a Base64 text: its decoded size is three quarters of that, less
/// the padding.
class SizeSink final : public StringSink {
  public:
    void append(const char*, std::size_t size) override { m_size += size; }
    std::size_t decodedSize() const { return m_size / 4 * 3; }

  private:
    std::size_t m_size = 0;
};

/// Cuts a text at most `limit` bytes long back to the last whole UTF-8 character.
void trimToCharacter(std::string& text, std::size_t limit) {
    if (text.size() < limit) return;
    std::size_t end = text.size();
    while (end > 0 && (static_cast<unsigned char>(text[end - 1]) & 0xC0) == 0x80) --end;
    if (end > 0 && static_cast<unsigned char>(text[end - 1]) >= 0xC0) --end;
    text.resize(end);
}

bool isSeriesKey(const std::string& key) {
    return key == "routeData" || key == "heartRateData" || key == "powerData";
}

/// A container being passed over: its members' keys so far, and where it stands.
struct SkippedContainer {
    bool object;
    std::size_t index = 0;
    std::string key;
    std::unordered_set<std::string> keys;
};

std::string containerPath(const std::string& base, const std::vector<SkippedContainer>& stack,
                          std::size_t depth) {
    std::string path = base;
    for (std::size_t i = 0; i < depth; ++i) {
        path += stack[i].object ? "." + stack[i].key : "[" + std::to_string(stack[i].index) + "]";
    }
    return path;
}

}  // namespace

ArchiveStream::ArchiveStream(JsonSource& source, Mode mode, std::size_t byteFieldLimit,
                             SizeHint sizeHint)
    : m_input(source),
      m_mode(mode),
      m_byteFieldLimit(byteFieldLimit),
      m_sizeHint(std::move(sizeHint)) {}

// A reader of the whole document finds some faults before it looks at any value, wherever
// they are; those take precedence over what reading in order ran into first.
std::optional<StreamedRide> ArchiveStream::next() {
    try {
        while (m_state != State::done) {
            if (m_state == State::ride) return readRide();
            step();
        }
        return std::nullopt;
    } catch (const ArchiveError&) {
        m_state = State::done;
        if (auto fault = m_input.documentFault()) JsonInput::fail(*fault);
        throw;
    }
}

// One move through the top-level object and the "rides" array.
void ArchiveStream::step() {
    int c = m_input.skipWhitespace();
    switch (m_state) {
        case State::start:
            return readDocumentStart(c);
        case State::member:
            return readTopMember();
        case State::afterMember:
            if (c != ',' && c != '}') failStructure(c, "");
            m_input.advance();
            if (c == '}') return finishDocument();
            m_state = State::member;
            return;
        case State::rideOrEnd:
            m_state = State::ride;
            if (c != ']') return;
            m_input.advance();
            m_state = State::afterMember;
            return;
        case State::afterRide:
            if (c != ',' && c != ']')
                failStructure(c, "rides[" + std::to_string(m_rideCount) + "]");
            m_input.advance();
            m_state = c == ',' ? State::ride : State::afterMember;
            return;
        case State::ride:
        case State::done:
            return;
    }
}

void ArchiveStream::readDocumentStart(int c) {
    if (c == JsonInput::kEnd) JsonInput::fail(simdjson::EMPTY);
    if (c != '{') {
        if (auto type = jsonTypeNameStartingWith(c))
            throw ArchiveError::typeMismatch("", "an object", *type);
        JsonInput::fail(simdjson::TAPE_ERROR);
    }
    m_input.advance();
    m_state = State::member;
    if (m_input.skipWhitespace() != '}') return;
    m_input.advance();
    finishDocument();
}

void ArchiveStream::failStructure(int found, const std::string& path) {
    if (found == JsonInput::kEnd) JsonInput::fail(simdjson::INCOMPLETE_ARRAY_OR_OBJECT);
    JsonInput::fail(simdjson::TAPE_ERROR, path);
}

void ArchiveStream::readTopMember() {
    std::string key = readKey("");
    if (!m_topKeys.insert(key).second) throw ArchiveError::duplicateKey("", key);
    expectColon("");
    int c = m_input.skipWhitespace();
    m_state = State::afterMember;
    if ((c == '{' || c == '[') && key != "rides" &&
        (key == "version" || key == "exportDate" || key == "appName")) {
        throw ArchiveError::typeMismatch(key, key == "version" ? "a number" : "a string",
                                         *jsonTypeNameStartingWith(c));
    }
    if (key == "rides") {
        if (c != '[') {
            if (auto type = jsonTypeNameStartingWith(c))
                throw ArchiveError::typeMismatch("rides", "an array", *type);
            failStructure(c, "rides");
        }
        m_input.advance();
        m_state = State::rideOrEnd;
    } else if (key == "appName" && c == '"') {
        StreamedValue name = readText();
        if (name.badString) JsonInput::fail(simdjson::STRING_ERROR, key);
        m_header.appName = std::move(name.text);
    } else if (key == "version" || key == "exportDate" || key == "appName") {
        m_capture = "[";
        captureScalarOrSkip(key);
        m_capture += "]";
        readArchiveHeaderValue(m_parser, captured(), key, m_header);
    } else {
        skipValue(key);
    }
}

void ArchiveStream::finishDocument() {
    static constexpr const char* kKeys[] = {"version", "exportDate", "appName", "rides"};
    for (const char* key : kKeys) {
        if (!m_topKeys.count(key)) throw ArchiveError::keyNotFound(key);
    }
    if (m_input.skipWhitespace() != JsonInput::kEnd) {
        throw ArchiveError::dataCorrupted("unexpected text after the top-level object", "");
    }
    if (auto fault = m_input.documentFault()) JsonInput::fail(*fault);
    m_state = State::done;
}

std::string ArchiveStream::readKey(const std::string& path) {
    int c = m_input.skipWhitespace();
    if (c != '"') failStructure(c, path);
    std::string key;
    TextSink sink(key);
    if (!m_input.readString(&sink)) JsonInput::fail(simdjson::STRING_ERROR, path);
    return key;
}

void ArchiveStream::expectColon(const std::string& path) {
    int c = m_input.skipWhitespace();
    if (c != ':') failStructure(c, path);
    m_input.advance();
}

StreamedRide ArchiveStream::readRide() {
    StreamedRide result;
    result.path = "rides[" + std::to_string(m_rideCount++) + "]";
    m_state = State::afterRide;
    int c = m_input.skipWhitespace();
    if (c != '{') {
        if (auto type = jsonTypeNameStartingWith(c))
            throw ArchiveError::typeMismatch(result.path, "an object", *type);
        failStructure(c, result.path);
    }
    StreamedValues streamed(archiveFields().size());
    m_byteFieldSizes.clear();
    captureRide(result.path, streamed);
    result.byteFieldSizes = std::move(m_byteFieldSizes);
    result.ride = readArchivedRide(m_parser, captured(), result.path, streamed);
    for (std::size_t i = 0; i < streamed.size(); ++i) {
        if (!streamed[i]) continue;
        std::string key = archiveFields()[i].key;
        if (streamed[i]->oversized) result.oversizedField = key;
        if (streamed[i]->damaged && isSeriesKey(key)) result.damagedSeries.push_back(key);
    }
    return result;
}

// The activity's members go to the JSON reader as they stand, except for strings of texts and
// byte fields (read here and handed over aside), values of unknown keys (passed over) and
// arrays and objects (of no field's type).
void ArchiveStream::captureRide(const std::string& path, StreamedValues& streamed) {
    m_input.advance();
    m_capture = "[{";
    m_capturedMembers = m_capture.size();
    try {
        captureMembers(path, streamed);
    } catch (const ArchiveError&) {
        readCapturedPart(path, streamed);
        throw;
    }
    m_capture += "}]";
}

void ArchiveStream::captureMembers(const std::string& path, StreamedValues& streamed) {
    std::unordered_set<std::string> keys;
    if (m_input.skipWhitespace() == '}') {
        m_input.advance();
        return;
    }
    for (;;) {
        std::string key = readKey(path);
        if (!keys.insert(key).second) throw ArchiveError::duplicateKey(path, key);
        expectColon(path);
        m_input.skipWhitespace();
        if (m_capture.back() != '{') m_capture += ',';
        JsonWriter::appendString(m_capture, key);
        m_capture += ':';
        captureMember(key, path, streamed);
        m_capturedMembers = m_capture.size();
        int c = m_input.skipWhitespace();
        if (c != ',' && c != '}') failStructure(c, path);
        m_input.advance();
        if (c == '}') return;
    }
}

// Reading in order, a whole-document reader meets the faults of earlier members before one
// found further on; the members captured so far are read to find such a fault.
void ArchiveStream::readCapturedPart(const std::string& path, const StreamedValues& streamed) {
    m_capture.resize(m_capturedMembers);
    m_capture += "}]";
    readArchivedRide(m_parser, captured(), path, streamed, false);
}

void ArchiveStream::captureMember(const std::string& key, const std::string& path,
                                  StreamedValues& streamed) {
    const ArchiveField* field = archiveFieldNamed(key);
    std::string memberPath = path + "." + key;
    if (!field) {
        skipValue(memberPath);
        m_capture += "null";
        return;
    }
    int c = m_input.peek();
    if (c == '"' &&
        (field->kind == ArchiveValueKind::bytes || field->kind == ArchiveValueKind::text)) {
        streamed[archiveFieldIndex(*field)] =
            field->kind == ArchiveValueKind::bytes ? readBytes(field->key) : readText();
        m_capture += "\"\"";
        return;
    }
    if (c == '{' || c == '[') {
        // No field holds an array or an object: the reader stops here, at this member or an
        // earlier one, without looking inside.
        m_capture += c == '{' ? "{}" : "[]";
        m_capturedMembers = m_capture.size();
        readCapturedPart(path, streamed);
    }
    captureScalarOrSkip(memberPath);
}

void ArchiveStream::captureScalarOrSkip(const std::string& path) {
    int c = m_input.peek();
    if (c == '"') return captureShortString();
    if (c == '{' || c == '[') {
        skipValue(path);
        m_capture += c == '{' ? "{}" : "[]";
        return;
    }
    std::string token = m_input.readToken(kTokenLimit, path);
    if (token.empty()) failStructure(c, path);
    m_capture += token;
    // The reader takes a number up to white space or punctuation; one that runs straight into
    // a quote is a malformed number, and is handed on as one.
    if ((c == '-' || (c >= '0' && c <= '9')) && m_input.peek() == '"') m_capture += 'x';
}

// A string the reader would refuse is handed on as one it refuses in the same way.
void ArchiveStream::captureShortString() {
    std::string text;
    TextSink sink(text, kShortStringLimit);
    if (!m_input.readString(&sink)) {
        m_capture += "\"\\x\"";
        return;
    }
    trimToCharacter(text, kShortStringLimit);
    JsonWriter::appendString(m_capture, text);
}

StreamedValue ArchiveStream::readBytes(const char* key) {
    StreamedValue value;
    if (m_mode == Mode::check) {
        SizeSink size;
        value.badString = !m_input.readString(&size);
        m_byteFieldSizes.emplace_back(key, size.decodedSize());
        return value;
    }
    // Told the size by an earlier reading, the bytes get their room at once (growing it step by
    // step would briefly need half as much again), and a field too large is not decoded at all.
    std::size_t expected = m_sizeHint ? m_sizeHint(m_rideCount - 1, key) : 0;
    if (expected > m_byteFieldLimit + 2) {
        value.badString = !m_input.readString(nullptr);
        value.oversized = !value.badString;
        return value;
    }
    Base64Sink sink(m_byteFieldLimit);
    sink.decoder().reserve(expected);
    value.badString = !m_input.readString(&sink);
    if (value.badString) return value;
    value.bytes = sink.decoder().finish();
    value.oversized = sink.decoder().exceeded();
    value.damaged = !value.bytes && !value.oversized;
    return value;
}

StreamedValue ArchiveStream::readText() {
    StreamedValue value;
    TextSink sink(value.text);
    value.badString = !m_input.readString(m_mode == Mode::read ? &sink : nullptr);
    return value;
}

// Passes over one value of any depth without recursion, checking that its containers are well
// formed and that no object has a key twice.
void ArchiveStream::skipValue(const std::string& path) {
    std::vector<SkippedContainer> stack;
    auto here = [&] { return containerPath(path, stack, stack.size() - 1); };
    auto readMemberKey = [&] {
        SkippedContainer& top = stack.back();
        top.key = readKey(here());
        if (!top.keys.insert(top.key).second) throw ArchiveError::duplicateKey(here(), top.key);
        expectColon(here());
    };
    for (;;) {
        int c = m_input.skipWhitespace();
        if (c == '{' || c == '[') {
            m_input.advance();
            stack.push_back({c == '{', 0, {}, {}});
            int inside = m_input.skipWhitespace();
            if (inside != (c == '{' ? '}' : ']')) {
                if (c == '{') readMemberKey();
                continue;
            }
            m_input.advance();
            stack.pop_back();
        } else if (c == '"') {
            m_input.skipString();
        } else if (m_input.readToken(kTokenLimit, path).empty()) {
            failStructure(c, stack.empty() ? path : here());
        }
        // A value ended: close what it ends and move on to the next member or element.
        for (;;) {
            if (stack.empty()) return;
            int after = m_input.skipWhitespace();
            SkippedContainer& top = stack.back();
            if (after == ',') {
                m_input.advance();
                ++top.index;
                if (top.object) readMemberKey();
                break;
            }
            if (after != (top.object ? '}' : ']')) failStructure(after, here());
            m_input.advance();
            stack.pop_back();
        }
    }
}

simdjson::padded_string_view ArchiveStream::captured() {
    std::size_t length = m_capture.size();
    m_capture.append(simdjson::SIMDJSON_PADDING, ' ');
    return simdjson::padded_string_view(m_capture.data(), length, m_capture.size());
}

FileJsonSource::FileJsonSource(const std::filesystem::path& file) : m_file(file) {
    try {
        m_reader = std::make_unique<FileReader>(file);
    } catch (const FileReadError& error) {
        throw FileAccessError::cannotRead(file, std::strerror(error.systemError()));
    }
}

std::size_t FileJsonSource::read(char* buffer, std::size_t capacity) {
    try {
        return m_reader->read(buffer, capacity);
    } catch (const FileReadError& error) {
        throw FileAccessError::cannotRead(m_file, std::strerror(error.systemError()));
    }
}

std::size_t MemoryJsonSource::read(char* buffer, std::size_t capacity) {
    std::size_t count = std::min(capacity, m_bytes.size());
    // An empty document has no data pointer, which memcpy may not be given even for 0 bytes.
    if (count == 0) return 0;
    std::memcpy(buffer, m_bytes.data(), count);
    m_bytes.remove_prefix(count);
    return count;
}

}  // namespace vantrel
