#include "model/Preferences.h"

#include <simdjson.h>
#include <unistd.h>

#include <cctype>
#include <fstream>
#include <memory>
#include <random>
#include <system_error>
#include <vector>

#include "model/JsonWriter.h"
#include "model/SimdjsonSupport.h"

namespace vantrel {

namespace {

std::filesystem::path temporarySibling(const std::filesystem::path& file) {
    std::random_device device;
    return file.parent_path() / ("." + file.filename().string() + ".tmp-" +
                                 std::to_string(getpid()) + "-" + std::to_string(device()));
}

bool writeWholeFile(const std::filesystem::path& file, const std::string& text) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    out.close();
    return static_cast<bool>(out);
}

std::string rawJson(simdjson::ondemand::value value) {
    switch (value.type().value()) {
        case simdjson::ondemand::json_type::object:
            return std::string(value.get_object().value().raw_json().value());
        case simdjson::ondemand::json_type::array:
            return std::string(value.get_array().value().raw_json().value());
        default: {
            std::string token(value.raw_json_token());
            while (!token.empty() && std::isspace(static_cast<unsigned char>(token.back())))
                token.pop_back();
            return token;
        }
    }
}

}  // namespace

Preferences::Preferences(std::filesystem::path file) : m_file(std::move(file)) {}

std::optional<std::string> Preferences::string(std::string_view key) {
    std::lock_guard lock(m_mutex);
    reloadIfChanged();
    auto found = m_values.find(key);
    if (found == m_values.end() || found->second.isBool || found->second.isRaw) return std::nullopt;
    return found->second.text;
}

void Preferences::setString(std::string_view key, std::string_view value) {
    std::lock_guard lock(m_mutex);
    reloadIfChanged();
    m_values[std::string(key)] = Value{false, false, false, std::string(value)};
    write();
}

bool Preferences::boolean(std::string_view key) {
    std::lock_guard lock(m_mutex);
    reloadIfChanged();
    auto found = m_values.find(key);
    return found != m_values.end() && found->second.isBool && found->second.boolValue;
}

bool Preferences::boolean(std::string_view key, bool whenAbsent) {
    std::lock_guard lock(m_mutex);
    reloadIfChanged();
    auto found = m_values.find(key);
    if (found == m_values.end() || !found->second.isBool) return whenAbsent;
    return found->second.boolValue;
}

void Preferences::setBoolean(std::string_view key, bool value) {
    std::lock_guard lock(m_mutex);
    reloadIfChanged();
    m_values[std::string(key)] = Value{true, value, false, {}};
    write();
}

void Preferences::remove(std::string_view key) {
    std::lock_guard lock(m_mutex);
    reloadIfChanged();
    auto found = m_values.find(key);
    if (found == m_values.end()) return;
    m_values.erase(found);
    write();
}

std::vector<std::string> Preferences::stringList(std::string_view key) {
    std::lock_guard lock(m_mutex);
    reloadIfChanged();
    auto found = m_values.find(key);
    if (found == m_values.end() || found->second.isBool) return {};
    if (!found->second.isRaw) return {found->second.text};
    std::vector<std::string> list;
    try {
        simdjson::ondemand::parser parser;
        simdjson::padded_string json(found->second.text);
        simdjson::ondemand::document document = parser.iterate(json);
        for (auto element : document.get_array()) {
            std::string_view text;
            if (element.get_string().get(text) == simdjson::SUCCESS) list.emplace_back(text);
        }
    } catch (const simdjson::simdjson_error&) {
        // Not an array: no list.
    }
    return list;
}

void Preferences::setStringList(std::string_view key, const std::vector<std::string>& values) {
    JsonWriter json;
    json.beginArray();
    for (const auto& value : values) json.value(std::string_view(value));
    json.endArray();
    std::lock_guard lock(m_mutex);
    reloadIfChanged();
    m_values[std::string(key)] = Value{false, false, true, json.take()};
    write();
}

void Preferences::reloadIfChanged() {
    std::error_code error;
    auto time = std::filesystem::last_write_time(m_file, error);
    auto size = error ? 0 : std::filesystem::file_size(m_file, error);
    if (error) {
        m_values.clear();
        m_unreadable = false;
        m_loaded = true;
        m_loadedSize = 0;
        m_loadedTime = {};
        return;
    }
    if (m_loaded && time == m_loadedTime && size == m_loadedSize) return;
    m_values.clear();
    m_unreadable = false;
    m_loaded = true;
    m_loadedTime = time;
    m_loadedSize = size;
    try {
        simdjson::ondemand::parser parser;
        auto json = simdjson::padded_string::load(m_file.string());
        simdjson::ondemand::document document = parser.iterate(json.value());
        for (auto field : document.get_object()) {
            std::string key(field.unescaped_key().value());
            auto value = field.value();
            auto type = value.type().value();
            if (type == simdjson::ondemand::json_type::string) {
                m_values[key] = Value{false, false, false, std::string(value.get_string().value())};
            } else if (type == simdjson::ondemand::json_type::boolean) {
                m_values[key] = Value{true, value.get_bool().value(), false, {}};
            } else {
                m_values[key] = Value{false, false, true, rawJson(value.value())};
            }
        }
        if (documentHasMore(document)) throw simdjson::simdjson_error(simdjson::TRAILING_CONTENT);
    } catch (const simdjson::simdjson_error&) {
        m_values.clear();
        m_unreadable = true;
    }
}

void Preferences::write() {
    JsonWriter json;
    json.beginObject();
    for (const auto& [key, value] : m_values) {
        json.key(key);
        if (value.isBool) {
            json.value(value.boolValue);
        } else if (value.isRaw) {
            json.raw(value.text);
        } else {
            json.value(std::string_view(value.text));
        }
    }
    json.endObject();
    std::error_code error;
    std::filesystem::create_directories(m_file.parent_path(), error);
    if (m_unreadable) {
        // Keep what the user had, in case it was edited by hand and can be repaired.
        auto aside = m_file;
        aside += ".unreadable";
        std::filesystem::rename(m_file, aside, error);
        m_unreadable = false;
    }
    auto temporary = temporarySibling(m_file);
    // A failed write keeps the values in memory for this process; nothing can act on it.
    if (!writeWholeFile(temporary, json.text() + "\n")) {
        std::filesystem::remove(temporary, error);
        return;
    }
    std::filesystem::rename(temporary, m_file, error);
    if (error) {
        std::filesystem::remove(temporary, error);
        return;
    }
    m_loadedTime = std::filesystem::last_write_time(m_file, error);
    m_loadedSize = std::filesystem::file_size(m_file, error);
}

}  // namespace vantrel
