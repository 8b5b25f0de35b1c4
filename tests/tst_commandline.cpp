// The program's command line, run as a user runs it: help and version on
// standard output without any display, the one-line message and exit
// status 1 wherever no platform can start (no display, one that cannot be
// reached, a Wayland session Qt cannot use, a platform that does not
// exist), and an unknown option or argument refused before any window
// opens.

#include <QProcess>
#include <QRegularExpression>
#include <QtTest>

class tst_CommandLine : public QObject
{
    Q_OBJECT

private slots:
    void answers_data();
    void answers();
};

void tst_CommandLine::answers_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QStringList>("environment"); // NAME=value, beside no display at all
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("out"); // patterns for the whole of standard output
    QTest::addColumn<QString>("err"); // and standard error

    const QString version = QStringLiteral("^fpdesk " FPDESK_VERSION "\n$");
    const QString help = QStringLiteral("^Usage: \\S*fpdesk \\[options\\]\n.*vyrsim.*VYRSIM_STORE.*"
                                        "\nOptions:\n  -h, --help .*\n  -v, --version .*\n$");
    const QString nothing = QStringLiteral("^$");
    const QStringList none;
    const QStringList offscreen {"QT_QPA_PLATFORM=offscreen"};
    const auto noDisplay = [](const QString &what) {
        return QStringLiteral("^fpdesk: %1; to run without one: xvfb-run -a \\S*fpdesk\n$")
            .arg(what);
    };
    QTest::newRow("--version") << QStringList {"--version"} << none << 0 << version << nothing;
    QTest::newRow("-v") << QStringList {"-v"} << none << 0 << version << nothing;
    QTest::newRow("--help") << QStringList {"--help"} << none << 0 << help << nothing;
    QTest::newRow("-h") << QStringList {"-h"} << none << 0 << help << nothing;
    QTest::newRow("help wins over an unknown option")
        << QStringList {"--bogus", "--help"} << none << 0 << help << nothing;
    QTest::newRow("no display") << QStringList() << none << 1 << nothing
                                << noDisplay("no display \\(DISPLAY is not set\\)");
    QTest::newRow("a display that cannot be reached")
        << QStringList() << QStringList {"DISPLAY=:9876"} << 1 << nothing
        << noDisplay("no display \\(DISPLAY=:9876 cannot be opened\\)");
    QTest::newRow("Wayland alone")
        << QStringList() << QStringList {"WAYLAND_DISPLAY=fpdesk-test-none"} << 1 << nothing
        << noDisplay("no display \\(WAYLAND_DISPLAY=fpdesk-test-none cannot be used and DISPLAY "
                     "is not set\\)");
    QTest::newRow("a platform that does not exist")
        << QStringList {"-platform", "bogus"} << none << 1 << nothing
        << QStringLiteral("^fpdesk: the Qt platform 'bogus' cannot start; to run without a "
                          "display: xvfb-run -a \\S*fpdesk\n$");
    // These two would open the window if the option or argument went
    // unnoticed; the test would then wait in vain for the process to end.
    QTest::newRow("unknown option")
        << QStringList {"--bogus"} << offscreen << 1 << nothing
        << QStringLiteral("fpdesk: unknown option '--bogus'; see fpdesk --help\n$");
    QTest::newRow("argument") << QStringList {"extra"} << offscreen << 1 << nothing
                              << QStringLiteral(
                                     "fpdesk: unexpected argument 'extra'; see fpdesk --help\n$");
}

void tst_CommandLine::answers()
{
    QFETCH(QStringList, arguments);
    QFETCH(QStringList, environment);
    QFETCH(int, exitCode);
    QFETCH(QString, out);
    QFETCH(QString, err);

    QProcessEnvironment variables = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        variables.remove(QString::fromLatin1(name));
    for (const QString &variable : environment)
        variables.insert(variable.section('=', 0, 0), variable.section('=', 1));

    QProcess fpdesk;
    fpdesk.setProcessEnvironment(variables);
    fpdesk.start(QCoreApplication::applicationDirPath() + "/fpdesk", arguments);
    QVERIFY2(fpdesk.waitForFinished(60000), "fpdesk did not end");
    QCOMPARE(fpdesk.exitStatus(), QProcess::NormalExit);
    QCOMPARE(fpdesk.exitCode(), exitCode);

    const auto matches = [](const QString &pattern, const QByteArray &text) {
        const QRegularExpression expression(pattern,
                                            QRegularExpression::DotMatchesEverythingOption);
        return expression.match(QString::fromUtf8(text)).hasMatch();
    };
    const QByteArray standardOutput = fpdesk.readAllStandardOutput();
    const QByteArray standardError = fpdesk.readAllStandardError();
    QVERIFY2(matches(out, standardOutput), standardOutput.constData());
    QVERIFY2(matches(err, standardError), standardError.constData());
}

QTEST_GUILESS_MAIN(tst_CommandLine)
#include "tst_commandline.moc"
