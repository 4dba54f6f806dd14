#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/Samples.h"

namespace vantrel {

/// Populated places (towns of 1,000 people or more) for naming a position without a network.
///
/// File format, one place per line, sorted by latitude, UTF-8:
/// "LATITUDE\tLONGITUDE\tNAME\tCOUNTY\tCOUNTRY\n" (decimal degrees; COUNTY and COUNTRY may be
/// empty, and an older table has no COUNTRY column). Lines that do not have this shape are
/// skipped.
class PlaceTable {
  public:
    struct Place {
        CodableCoordinate coordinate;
        std::string name;
        std::string county;
        std::string country;
    };

    PlaceTable();
    ~PlaceTable();
    PlaceTable(PlaceTable&&) noexcept;
    PlaceTable& operator=(PlaceTable&&) noexcept;

    /// An empty table when the file is missing or unreadable.
    static PlaceTable load(const std::filesystem::path& file);
    /// The table in a file's text.
    static PlaceTable parse(std::string_view text);
    /// The table shipped with the application, loaded on first use.
    static const PlaceTable& shared();
    /// $VANTREL_PLACE_TABLE, else share/vantrel/places.tsv beside the installed program, else
    /// the file made by the build.
    static std::filesystem::path defaultPath();

    /// The closest place no farther than `maxMeters`.
    std::optional<Place> nearest(CodableCoordinate coordinate, double maxMeters) const;
    /// Every place no farther than `maxMeters`, in table order.
    std::vector<Place> within(CodableCoordinate coordinate, double maxMeters) const;
    std::size_t size() const { return m_entries.size(); }

    /// Places found by name: `query` is "NAME" or "NAME, QUALIFIER, …", each qualifier the start
    /// of the place's county or country. Letters match regardless of case and accents ("zurich"
    /// finds Zürich). Places named exactly so come before those whose name only begins so; then
    /// names of fewer words (a town before its quarters), then those with more places around
    /// them (larger towns). At most `limit`.
    std::vector<Place> search(std::string_view query, std::size_t limit) const;
    /// The text as `search` compares it: accents dropped, lower case, single spaces.
    static std::string searchKey(std::string_view text);

  private:
    struct Entry {
        double latitude;
        double longitude;
        std::uint32_t nameOffset;
        std::uint32_t nameLength;
        std::uint32_t countyOffset;
        std::uint32_t countyLength;
        std::uint16_t country;
    };
    struct Loading;
    struct SearchKeys;
    bool addLine(std::string_view line, Loading& loading);
    std::uint16_t countryIndex(std::string_view country, Loading& loading);
    std::string_view text(std::uint32_t offset, std::uint32_t length) const;
    Place place(const Entry& entry) const;
    template <typename Visit>
    void forEachNear(CodableCoordinate coordinate, double maxMeters, Visit visit) const;

    const SearchKeys& searchKeys() const;
    std::size_t placesAround(const Entry& entry) const;

    std::vector<Entry> m_entries;
    std::string m_names;
    /// Country names, each once; index 0 is "no country".
    std::vector<std::string> m_countries;
    /// Made on the first search: most tables are only ever asked about coordinates.
    std::unique_ptr<SearchKeys> m_searchKeys;
};

}  // namespace vantrel
