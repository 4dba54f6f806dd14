#include "app/sidebar/YearSection.h"

#include "model/RideStore.h"

namespace vantrel {

const std::vector<RideRef>& YearSection::rides() const {
    static const std::vector<RideRef> none;
    return m_rides ? *m_rides : none;
}

std::vector<RideRef> YearSection::fetch(RideStore& store, int year) {
    try {
        return store.activitiesOfYear(year, /*withDetails=*/false);
    } catch (const std::exception&) {
        // A year whose fetch fails shows an empty list rather than loading forever.
        return {};
    }
}

}  // namespace vantrel
