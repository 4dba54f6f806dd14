#include <QProcess>

#include "Version.h"
#include "app/AppFixture.h"

// The application started from a shell, as a process.
namespace vantrel::test {
namespace {

class CommandLineTest : public AppFixture {
  protected:
    /// Runs the application with `arguments` on the fixture's store location and no display.
    int run(const QStringList& arguments) {
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("VANTREL_STORE", QString::fromStdString(storePath.string()));
        environment.insert("QT_QPA_PLATFORM", "offscreen");
        environment.remove("DISPLAY");
        process.setProcessEnvironment(environment);
        process.start(VANTREL_APP_BINARY, arguments);
        EXPECT_TRUE(process.waitForFinished(60000));
        out = QString::fromUtf8(process.readAllStandardOutput());
        err = QString::fromUtf8(process.readAllStandardError());
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    }

  public:
    QString out;
    QString err;
};

TEST_F(CommandLineTest, HelpAndVersionPrintAndEndWithoutImportingThemAsFiles) {
    store.reset();
    std::filesystem::remove(storePath);
    for (const char* help : {"--help", "-h"}) {
        EXPECT_EQ(run({help}), 0) << err.toStdString();
        EXPECT_TRUE(out.startsWith("Usage: vantrel [FILE]...")) << out.toStdString();
    }
    EXPECT_EQ(run({"--version"}), 0) << err.toStdString();
    EXPECT_EQ(out, QStringLiteral("vantrel %1 (%2)\n").arg(kVersion, kBuild));
    // Nothing started: no store was made.
    EXPECT_FALSE(std::filesystem::exists(storePath));
}

TEST_F(CommandLineTest, AnUnknownOptionIsRefusedInsteadOfImported) {
    store.reset();
    std::filesystem::remove(storePath);
    EXPECT_EQ(run({"--import", "ride.gpx"}), 2);
    EXPECT_TRUE(err.contains("unknown option --import")) << err.toStdString();
    EXPECT_FALSE(std::filesystem::exists(storePath));
}

}  // namespace
}  // namespace vantrel::test
