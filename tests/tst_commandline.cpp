// The program's command line, run as a user runs it: help and version on
// standard output without any display, the one-line message for a plain
// start without one, and an unknown option or argument refused before any
// window opens.

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
    QTest::addColumn<bool>("offscreen"); // else no platform that works without a display
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("out"); // patterns for the whole of standard output
    QTest::addColumn<QString>("err"); // and standard error

    const QString version = QStringLiteral("^fpdesk " FPDESK_VERSION "\n$");
    const QString help = QStringLiteral(
        "^Usage: \\S*fpdesk \\[options\\]\n.*\nOptions:\n  -h, --help .*\n  -v, --version .*\n$");
    const QString nothing = QStringLiteral("^$");
    QTest::newRow("--version") << QStringList {"--version"} << false << 0 << version << nothing;
    QTest::newRow("-v") << QStringList {"-v"} << false << 0 << version << nothing;
    QTest::newRow("--help") << QStringList {"--help"} << false << 0 << help << nothing;
    QTest::newRow("-h") << QStringList {"-h"} << false << 0 << help << nothing;
    QTest::newRow("help wins over an unknown option")
        << QStringList {"--bogus", "--help"} << false << 0 << help << nothing;
    QTest::newRow("no display")
        << QStringList() << false << 1 << nothing
        << QStringLiteral("^fpdesk: no display \\(DISPLAY is not set\\); to run without one: "
                          "xvfb-run -a \\S*fpdesk\n$");
    // These two would open the window if the option or argument went
    // unnoticed; the test would then wait in vain for the process to end.
    QTest::newRow("unknown option") << QStringList {"--bogus"} << true << 1 << nothing
                                    << QStringLiteral("fpdesk: Unknown option 'bogus'.\n$");
    QTest::newRow("argument") << QStringList {"extra"} << true << 1 << nothing
                              << QStringLiteral(
                                     "fpdesk: unexpected argument 'extra'; see fpdesk --help\n$");
}

void tst_CommandLine::answers()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, offscreen);
    QFETCH(int, exitCode);
    QFETCH(QString, out);
    QFETCH(QString, err);

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(QString::fromLatin1(name));
    if (offscreen)
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));

    QProcess fpdesk;
    fpdesk.setProcessEnvironment(environment);
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
