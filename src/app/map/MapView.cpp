#include "app/map/MapView.h"

#include <unistd.h>

#include <QCoreApplication>
#include <QLabel>
#include <QLibrary>
#include <QPointer>

#include "Version.h"
#include "app/map/TileCredit.h"
#include "model/Preferences.h"

namespace vantrel {

namespace {

constexpr const char* kDefaultTileURL = "https://tile.openstreetmap.org/{z}/{x}/{y}.png";
constexpr const char* kOsmAttribution =
    "&copy; <a href=\"https://www.openstreetmap.org/copyright\">OpenStreetMap</a> contributors";

/// Stands in for the web map when its module is missing: the rest of the view still works.
class UnavailableMapView : public MapView {
  public:
    explicit UnavailableMapView(const QString& reason)
        : m_label(new QLabel(QStringLiteral("The map is not available.\n%1").arg(reason))) {
        m_label->setTextFormat(Qt::PlainText);
        m_label->setAlignment(Qt::AlignCenter);
        m_label->setWordWrap(true);
    }
    ~UnavailableMapView() override { delete m_label.data(); }
    QWidget* widget() override { return m_label; }
    void showRoute(const std::vector<CodableCoordinate>&) override {}
    void showPin(std::optional<CodableCoordinate>) override {}
    void showMarker(std::optional<CodableCoordinate>, const QString&) override {}
    void showHeatmap(const HeatmapLines&) override {}
    void showCenterPin(bool) override {}
    void setCamera(const MapCamera& camera) override { m_camera = camera; }
    void setAutomaticCamera() override {}
    std::optional<MapCamera> camera() const override { return m_camera; }

  private:
    QPointer<QLabel> m_label;
    std::optional<MapCamera> m_camera;
};

using CreateWebMap = MapView* (*)(const WebMapSettings*);

/// The web map module beside the program (build tree), in ../lib/vantrel (installed), or
/// where it was built.
CreateWebMap webMapEntry(QString& error) {
    static QLibrary* library = nullptr;
    static CreateWebMap entry = nullptr;
    if (entry || library) return entry;
    QString dir = QCoreApplication::applicationDirPath();
    for (const QString& candidate :
         {dir + QStringLiteral("/libvantrel_webmap"),
          dir + QStringLiteral("/../lib/vantrel/libvantrel_webmap"),
          QStringLiteral(VANTREL_WEBMAP_BUILD_DIR "/libvantrel_webmap")}) {
        auto* attempt = new QLibrary(candidate);
        entry = reinterpret_cast<CreateWebMap>(attempt->resolve("vantrelCreateWebMap"));
        if (entry) {
            library = attempt;
            return entry;
        }
        error = attempt->errorString();
        delete attempt;
    }
    return nullptr;
}

MapView::Factory& factory() {
    static MapView::Factory installed = [](Preferences& preferences) -> std::unique_ptr<MapView> {
        QString error;
        CreateWebMap create = webMapEntry(error);
        if (!create) return std::make_unique<UnavailableMapView>(error);
        WebMapSettings settings = MapView::webMapSettings(preferences);
        return std::unique_ptr<MapView>(create(&settings));
    };
    return installed;
}

}  // namespace

std::unique_ptr<MapView> MapView::create(Preferences& preferences) {
    return factory()(preferences);
}

void MapView::setFactory(Factory replacement) {
    factory() = std::move(replacement);
}

WebMapSettings MapView::webMapSettings(Preferences& preferences) {
    std::string url = preferences.string("tileURL").value_or(kDefaultTileURL);
    if (url.empty()) url = kDefaultTileURL;
    std::string attribution = preferences.string("tileAttribution").value_or(kOsmAttribution);
    QString tileURL = QString::fromStdString(url);
    return {
        tileURL, TileCredit::parse(QString::fromStdString(attribution)).markup(),
        tileImageSource(tileURL),
        QStringLiteral("Vantrel/%1 (Linux desktop activity history)").arg(QLatin1String(kVersion))};
}

void MapView::prepareProcess() {
    // Qt::AA_ShareOpenGLContexts is left unset on purpose: it makes every start create an
    // OpenGL context (measured at about 60 % of the window's start-up here); the web engine
    // sets up its shared context itself when its module loads.
    if (geteuid() == 0 && !qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX")) {
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    }
}

}  // namespace vantrel
