#include "app/map/webmap/MapPage.h"

#include <QDesktopServices>
#include <QWebEngineNewWindowRequest>

namespace vantrel {

QUrl MapPage::pageUrl() {
    return QUrl(QStringLiteral("qrc:/map/map.html"));
}

MapPage::MapPage(QWebEngineProfile* profile, QObject* parent) : QWebEnginePage(profile, parent) {
    // A link the user clicked goes to the browser; the request is never granted, so no window
    // opens, and a script's request (no click) goes nowhere.
    connect(this, &QWebEnginePage::newWindowRequested, this,
            [](QWebEngineNewWindowRequest& request) {
                if (request.isUserInitiated()) openInBrowser(request.requestedUrl());
            });
    // The filter below keeps other pages out; should one ever be shown, it gets no channel.
    connect(this, &QWebEnginePage::urlChanged, this, [this](const QUrl& url) {
        if (!url.isEmpty() && url != pageUrl()) setWebChannel(nullptr);
    });
}

bool MapPage::acceptNavigationRequest(const QUrl& url, NavigationType, bool isMainFrame) {
    return url.scheme() == QLatin1String("qrc") && (!isMainFrame || url == pageUrl());
}

void MapPage::openInBrowser(const QUrl& url) {
    if (url.scheme() == QLatin1String("https") || url.scheme() == QLatin1String("http"))
        QDesktopServices::openUrl(url);
}

}  // namespace vantrel
