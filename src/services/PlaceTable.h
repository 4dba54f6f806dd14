#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/Samples.h"

namespace vantrel {

/// Populated places (towns of 1,000 people or more) for naming a position without a network.
///
/// File format, one place per line, sorted by latitude, UTF-8:
/// "LATITUDE\tLONGITUDE\tNAME\tCOUNTY\n" (decimal degrees; COUNTY may be empty). Lines that do
/// not have this shape are skipped.
class PlaceTable {
  public:
    struct Place {
        CodableCoordinate coordinate;
        std::string name;
        std::string county;
    };

    /// An empty table when the file is missing or unreadable.
    static PlaceTable load(const std::filesystem::path& file);
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

  private:
    struct Entry {
        double latitude;
        double longitude;
        std::uint32_t nameOffset;
        std::uint32_t nameLength;
        std::uint32_t countyOffset;
        std::uint32_t countyLength;
    };
    bool addLine(std::string_view line);
    std::string_view text(std::uint32_t offset, std::uint32_t length) const;
    Place place(const Entry& entry) const;
    template <typename Visit>
    void forEachNear(CodableCoordinate coordinate, double maxMeters, Visit visit) const;

    std::vector<Entry> m_entries;
    std::string m_names;
};

}  // namespace vantrel
