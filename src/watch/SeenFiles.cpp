#include "watch/SeenFiles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstring>
#include <fstream>
#include <sstream>
#include <vector>

#define XXH_INLINE_ALL
#include <xxhash.h>

namespace vantrel {

namespace {

constexpr std::string_view kHeader = "# vantrel seen files 1\t";
// Rewritten when obsolete lines outnumber the entries by this much.
constexpr std::size_t kSlack = 256;

std::string escaped(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        if (c == '\\') {
            out += "\\\\";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c == '\n') {
            out += "\\n";
        } else {
            out += c;
        }
    }
    return out;
}

std::optional<std::string> unescaped(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            out += text[i];
            continue;
        }
        if (++i == text.size()) return std::nullopt;
        if (text[i] == '\\') {
            out += '\\';
        } else if (text[i] == 't') {
            out += '\t';
        } else if (text[i] == 'n') {
            out += '\n';
        } else {
            return std::nullopt;
        }
    }
    return out;
}

template <typename Number>
bool readNumber(std::string_view text, Number& number) {
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    return error == std::errc() && end == text.data() + text.size() && !text.empty();
}

std::optional<SeenOutcome> outcomeOf(std::string_view text) {
    if (text.size() != 1) return std::nullopt;
    for (auto outcome : {SeenOutcome::imported, SeenOutcome::skipped, SeenOutcome::failed}) {
        if (text[0] == static_cast<char>(outcome)) return outcome;
    }
    return std::nullopt;
}

// One entry line: outcome, size, time and path, separated by tabs.
bool parseLine(std::string_view line, std::string& path, SeenFile& seen) {
    std::string_view fields[3];
    for (auto& field : fields) {
        auto tab = line.find('\t');
        if (tab == std::string_view::npos) return false;
        field = line.substr(0, tab);
        line.remove_prefix(tab + 1);
    }
    auto outcome = outcomeOf(fields[0]);
    auto name = unescaped(line);
    if (!outcome || !name || name->empty() || !readNumber(fields[1], seen.state.size) ||
        !readNumber(fields[2], seen.state.modified))
        return false;
    seen.outcome = *outcome;
    path = std::move(*name);
    return true;
}

std::string readText(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::size_t lineCount(std::string_view text) {
    std::size_t count = 0;
    for (char c : text) count += c == '\n' ? 1 : 0;
    return count;
}

}  // namespace

std::optional<FileState> fileStateOf(const std::filesystem::path& file) {
    struct stat status {};
    if (::stat(file.c_str(), &status) != 0 || !S_ISREG(status.st_mode)) return std::nullopt;
    return FileState{
        static_cast<std::uint64_t>(status.st_size),
        static_cast<std::int64_t>(status.st_mtim.tv_sec) * 1'000'000'000 + status.st_mtim.tv_nsec};
}

std::unordered_map<std::string, SeenFile> parseSeenFiles(std::string_view text) {
    std::unordered_map<std::string, SeenFile> entries;
    std::string path;
    while (!text.empty()) {
        auto end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        // An unfinished last line is what a crash in the middle of a write leaves.
        if (end == std::string_view::npos) break;
        SeenFile seen;
        if (!line.starts_with('#') && parseLine(line, path, seen)) entries[path] = seen;
    }
    return entries;
}

std::string seenFileLine(const std::string& path, const SeenFile& seen) {
    return std::string(1, static_cast<char>(seen.outcome)) + '\t' +
           std::to_string(seen.state.size) + '\t' + std::to_string(seen.state.modified) + '\t' +
           escaped(path) + '\n';
}

SeenFiles::SeenFiles(std::filesystem::path file, const std::string& identity)
    : m_file(std::move(file)) {
    std::string text = readText(m_file);
    m_entries = parseSeenFiles(text);
    std::error_code error;
    std::filesystem::create_directories(m_file.parent_path(), error);
    if (text.empty() || lineCount(text) > m_entries.size() + kSlack) compact(identity);
    m_fd = ::open(m_file.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
    if (m_fd < 0) m_writeError = std::string(std::strerror(errno));
}

SeenFiles::~SeenFiles() {
    if (m_fd >= 0) ::close(m_fd);
}

const SeenFile* SeenFiles::find(const std::string& relativePath) const {
    auto found = m_entries.find(relativePath);
    return found == m_entries.end() ? nullptr : &found->second;
}

bool SeenFiles::isSeen(const std::string& relativePath, const FileState& state) const {
    const SeenFile* seen = find(relativePath);
    return seen != nullptr && seen->state == state;
}

void SeenFiles::remember(const std::string& relativePath, const SeenFile& seen) {
    m_entries[relativePath] = seen;
    append(seenFileLine(relativePath, seen));
}

void SeenFiles::append(const std::string& text) {
    if (m_fd < 0) return;
    // One write per line with O_APPEND: a crash leaves at most an unfinished last line.
    if (::write(m_fd, text.data(), text.size()) != static_cast<ssize_t>(text.size()) &&
        !m_writeError)
        m_writeError = std::string(std::strerror(errno));
}

void SeenFiles::compact(const std::string& identity) {
    std::string text = std::string(kHeader) + escaped(identity) + '\n';
    for (const auto& [path, seen] : m_entries) text += seenFileLine(path, seen);
    auto temporary = m_file;
    temporary += ".tmp-" + std::to_string(::getpid());
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << text;
        if (!out.flush()) return;
    }
    std::error_code error;
    std::filesystem::rename(temporary, m_file, error);
    if (error) std::filesystem::remove(temporary, error);
}

std::filesystem::path seenFilesPath(const std::filesystem::path& folder,
                                    const std::string& storeDescription,
                                    const std::string& placeIdentity) {
    std::string key = storeDescription + '\n' + placeIdentity;
    char name[32];
    std::snprintf(name, sizeof name, "%016llx.seen",
                  static_cast<unsigned long long>(XXH3_64bits(key.data(), key.size())));
    return folder / name;
}

}  // namespace vantrel
