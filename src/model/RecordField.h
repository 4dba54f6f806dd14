#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <type_traits>
#include <variant>

#include "model/Bytes.h"
#include "model/Uuid.h"

namespace vantrel {

/// What a stored field's value is. Dates and plain numbers are both doubles, so the kind is
/// named in a field table rather than found from the member's type.
enum class FieldKind { identifier, date, number, integer, text, bytes };

/// One stored field of a record: its name (the store's column, the key `show` prints), what
/// its value is, and the member that holds it. Tables of these list a record's fields once, for
/// every reader and writer that goes through all of them.
template <typename Record>
struct RecordField {
    using Member =
        std::variant<Uuid Record::*, double Record::*, std::int64_t Record::*,
                     std::optional<Uuid> Record::*, std::optional<double> Record::*,
                     std::optional<std::string> Record::*, std::optional<Bytes> Record::*>;

    const char* name;
    FieldKind kind;
    Member member;

    /// Calls `visit` with the field's value in `record`; every alternative must give one type.
    template <typename Target, typename Visit>
    decltype(auto) apply(Target& record, Visit&& visit) const {
        return std::visit([&](auto held) -> decltype(auto) { return visit(record.*held); }, member);
    }

    bool same(const Record& a, const Record& b) const {
        return std::visit([&](auto held) { return a.*held == b.*held; }, member);
    }

    /// Whether the field may be absent (NULL in the store).
    constexpr bool optional() const {
        return std::visit(
            [](auto held) {
                using Value = std::remove_cvref_t<decltype(std::declval<Record&>().*held)>;
                return !std::is_same_v<Value, Uuid> && !std::is_same_v<Value, double> &&
                       !std::is_same_v<Value, std::int64_t>;
            },
            member);
    }

    /// Whether `kind` describes the member's type; a table that says otherwise does not compile
    /// where it is checked.
    constexpr bool kindFitsMember() const {
        return std::visit(
            [this](auto held) {
                using Value = std::remove_cvref_t<decltype(std::declval<Record&>().*held)>;
                return fits<Value>(kind);
            },
            member);
    }

  private:
    template <typename Value>
    static constexpr bool fits(FieldKind fieldKind) {
        if constexpr (std::is_same_v<Value, Uuid> || std::is_same_v<Value, std::optional<Uuid>>)
            return fieldKind == FieldKind::identifier;
        if constexpr (std::is_same_v<Value, double> || std::is_same_v<Value, std::optional<double>>)
            return fieldKind == FieldKind::date || fieldKind == FieldKind::number;
        if constexpr (std::is_same_v<Value, std::int64_t>) return fieldKind == FieldKind::integer;
        if constexpr (std::is_same_v<Value, std::optional<std::string>>)
            return fieldKind == FieldKind::text;
        return fieldKind == FieldKind::bytes;
    }
};

}  // namespace vantrel
