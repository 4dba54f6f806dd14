#pragma once

#include <QWebEnginePage>

namespace vantrel {

/// The page of the web map. It never leaves the application's own resources: a link the user
/// clicks opens in the browser (web addresses only), every other navigation and every new
/// window is refused, and the web channel is offered while the map's own page is shown only.
/// Anything loaded in its place would otherwise talk to the application over the channel.
///
/// The page's links open a new window ("_blank"): only that request tells a click of the
/// user's from a script's navigation, which the engine reports alike.
class MapPage : public QWebEnginePage {
  public:
    /// The map's own page.
    static QUrl pageUrl();

    MapPage(QWebEngineProfile* profile, QObject* parent);

  protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override;

  private:
    static void openInBrowser(const QUrl& url);
};

}  // namespace vantrel
