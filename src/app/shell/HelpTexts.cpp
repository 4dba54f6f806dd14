#include "app/shell/HelpTexts.h"

#include <QStringList>

namespace vantrel::HelpTexts {

QString stravaExport() {
    return QStringList{
        QStringLiteral("Single Activity:"),
        QStringLiteral("1. Open the activity on strava.com"),
        QStringLiteral("2. Choose Export GPX from the activity's ••• menu"),
        QStringLiteral("3. Import the file with Import from Strava…"),
        QString(),
        QStringLiteral("Bulk Export (all activities):"),
        QStringLiteral("1. Open Settings → My Account on strava.com"),
        QStringLiteral("2. Under Download or Delete Your Account, choose Get Started"),
        QStringLiteral("3. Request your archive"),
        QStringLiteral("4. Strava will email a link to download your data"),
        QStringLiteral("5. Download and save the ZIP file"),
        QStringLiteral("6. Import the whole archive with Import from ZIP"),
    }
        .join(u'\n');
}

QString garminExport() {
    return QStringList{
        QStringLiteral("Single Activity:"),
        QStringLiteral("1. Open the activity on connect.garmin.com"),
        QStringLiteral("2. Use the gear menu to Export to GPX or Export to TCX"),
        QStringLiteral("3. Import the file with Import from Strava…"),
        QString(),
        QStringLiteral("Bulk Export (all activities):"),
        QStringLiteral("1. Sign in on garmin.com"),
        QStringLiteral("2. Open the Data Management page of your account"),
        QStringLiteral("3. Choose Export Your Data and request the export"),
        QStringLiteral("4. Garmin will email a download link (may take up to 48 hours)"),
        QStringLiteral("5. Download the ZIP file (the link expires in 3 days)"),
        QStringLiteral(
            "6. Extract the ZIP — activity files are in DI_CONNECT/DI-Connect-Uploaded-Files"),
        QStringLiteral("7. Import the ZIP files of that folder with Import from ZIP"),
    }
        .join(u'\n');
}

QString vantrelFormat() {
    return QStringList{
        QStringLiteral("Vantrel Format is a richer format with additional meta-data."),
        QString(),
        QStringLiteral("Included data:"),
        QStringLiteral("• GPS route with coordinates, altitude, and timestamps"),
        QStringLiteral("• Heart rate time-series samples"),
        QStringLiteral("• Start and end temperature, humidity, wind, air quality"),
        QStringLiteral("• Calories, active time, and elapsed time"),
        QStringLiteral("• Distance and elevation gain"),
        QStringLiteral("• Average and maximum heart rate"),
        QStringLiteral("• Activity (Running, Biking...)"),
        QStringLiteral("• Geo-location and notes"),
        QString(),
        QStringLiteral(
            "GPX may not include meta-data captured by Vantrel. Use Vantrel Format for a "
            "richer and more comprehensive data backup."),
    }
        .join(u'\n');
}

QString geocodeMissing() {
    return QStringLiteral(
               "Geocode Missing processes only those activities that currently do not have "
               "location "
               "information. Activities that already have a location (city or park name) will be "
               "skipped.") +
           QStringLiteral("\n\n") +
           QStringLiteral(
               "Use Re-geocode All to reprocess every activity, replacing existing locations "
               "with updated results.");
}

}  // namespace vantrel::HelpTexts
