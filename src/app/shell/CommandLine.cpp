#include "app/shell/CommandLine.h"

#include <QFileInfo>
#include <QUrl>

#include "Version.h"

namespace vantrel::CommandLine {

namespace {

bool endsOptions(const QString& argument) {
    return argument == QLatin1String("--");
}

bool looksLikeOption(const QString& argument) {
    return argument.size() > 1 && argument.startsWith(QLatin1Char('-'));
}

}  // namespace

QString usage() {
    return QStringLiteral(
        "Usage: vantrel [FILE]...\n"
        "Opens Vantrel, the desktop application for your own workout history, and imports each\n"
        "FILE: GPX, TCX or FIT files (also gzip-compressed), ZIP archives, Vantrel Format files\n"
        "or folders holding them. A running Vantrel is handed the files instead.\n"
        "\n"
        "  -h, --help     show this help and exit\n"
        "      --version  show the version and exit\n"
        "  --             take every later argument as a file, even one starting with '-'\n"
        "\n"
        "The store is $XDG_DATA_HOME/vantrel/store.sqlite unless VANTREL_STORE names another\n"
        "file or a postgresql:// URL. Qt's own options (-platform, -style, ...) are accepted.\n");
}

std::optional<int> answerBeforeStart(const QStringList& arguments, std::ostream& out) {
    for (const QString& argument : arguments.mid(1)) {
        if (endsOptions(argument)) break;
        if (argument == QLatin1String("--help") || argument == QLatin1String("-h")) {
            out << usage().toStdString();
            return 0;
        }
        if (argument == QLatin1String("--version")) {
            out << "vantrel " << kVersion << " (" << kBuild << ")\n";
            return 0;
        }
    }
    return std::nullopt;
}

std::optional<QString> unknownOption(const QStringList& arguments) {
    for (const QString& argument : arguments.mid(1)) {
        if (endsOptions(argument)) break;
        // A file manager hands over URLs, never options.
        if (looksLikeOption(argument)) return argument;
    }
    return std::nullopt;
}

QStringList files(const QStringList& arguments) {
    QStringList result;
    bool optionsEnded = false;
    for (const QString& argument : arguments.mid(1)) {
        if (!optionsEnded && endsOptions(argument)) {
            optionsEnded = true;
            continue;
        }
        if (argument == QLatin1String("-")) continue;
        QString path =
            argument.startsWith(QLatin1String("file:")) ? QUrl(argument).toLocalFile() : argument;
        if (!path.isEmpty()) result << QFileInfo(path).absoluteFilePath();
    }
    return result;
}

}  // namespace vantrel::CommandLine
