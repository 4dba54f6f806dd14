#pragma once

#include <QString>
#include <QStringList>
#include <optional>
#include <ostream>

namespace vantrel::CommandLine {

/// What `vantrel --help` prints.
QString usage();

/// Answers --help (-h) and --version before anything else starts, so that they work without a
/// display and never reach the import as file names: prints the answer to `out` and gives the
/// exit status. Absent when the program should start. Arguments after "--" are files.
std::optional<int> answerBeforeStart(const QStringList& arguments, std::ostream& out);

/// The first argument before "--" that looks like an option ("-x", "--import") but is none of
/// ours. Qt's own options (-platform, -style, …) are taken out of the arguments before this is
/// asked, so whatever is left is a mistake rather than a file to import.
std::optional<QString> unknownOption(const QStringList& arguments);

/// The file arguments (everything but the program name, "--" and a lone "-") as absolute
/// paths; file: URLs as handed over by file managers become local paths.
QStringList files(const QStringList& arguments);

}  // namespace vantrel::CommandLine
