#include "app/MapView.h"

#include "app/LeafletMapView.h"

namespace vantrel {

namespace {

MapView::Factory& factory() {
    static MapView::Factory installed = [] { return std::make_unique<LeafletMapView>(); };
    return installed;
}

}  // namespace

std::unique_ptr<MapView> MapView::create() {
    return factory()();
}

void MapView::setFactory(Factory replacement) {
    factory() = std::move(replacement);
}

}  // namespace vantrel
