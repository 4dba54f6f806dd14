#include "app/map/webmap/LeafletMapView.h"

// Sets up the OpenGL context the web engine shares with the widgets. The engine calls it itself
// when its library loads before the application object; this module loads later, on purpose
// (the context costs start-up time that the main window should not pay), so it calls it here.
namespace QtWebEngineCore {
void initialize();
}

// The module's one entry point, looked up by name when the first map is needed.
extern "C" __attribute__((visibility("default"))) vantrel::MapView* vantrelCreateWebMap(
    const vantrel::WebMapSettings* settings) {
    QtWebEngineCore::initialize();
    return new vantrel::LeafletMapView(*settings);
}
