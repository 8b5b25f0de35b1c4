#include "callrecorder.h"
#include "mainwindow.h"
#include "platformstart.h"
#include "qttranslation.h"

#include <QApplication>
#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QCryptographicHash>
#include <QDateTime>
#include <QFile>
#include <QStringList>

#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
#include "x11fontdpi.h"
#endif

#include <cstdio>
#include <cstdlib>
#include <optional>

namespace {

QStringList argumentList(int argc, char *argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    return arguments;
}

// What a recording says of itself: the program, the library and when.
QString recordingAbout()
{
    const QString library = QCoreApplication::applicationDirPath() + "/lib/libvyr_uos.so";
    QFile file(library);
    QCryptographicHash hash(QCryptographicHash::Sha256);
    const bool hashed = file.open(QIODevice::ReadOnly) && hash.addData(&file);
    return QStringLiteral("fpdesk %1 (Qt %2); library %3 (%4); recorded %5")
        .arg(QStringLiteral(FPDESK_VERSION), QString::fromLatin1(qVersion()), library,
             hashed ? "sha256 " + QString::fromLatin1(hash.result().toHex()) : "unreadable",
             QDateTime::currentDateTimeUtc().toString(Qt::ISODate));
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication::setApplicationName(QStringLiteral("fpdesk"));
    QApplication::setApplicationVersion(QStringLiteral(FPDESK_VERSION));
    QApplication::setDesktopFileName(QStringLiteral(FPDESK_APP_ID));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Exercise a fingerprint module: open it, capture finger images, enroll, delete and "
        "search templates.\nThe module is reached through lib/libvyr_uos.so beside the "
        "program's real location.\n\n"
        "With the simulated module in that place, the command vyrsim steers it while the "
        "program runs (vyrsim --help), and these variables are read at start: "
        "VYRSIM_NO_MODULE=1 (no module attached), VYRSIM_DELAY_MS=N (each image request "
        "takes N ms), VYRSIM_AUTOPILOT=0 (nobody presses a finger), VYRSIM_FINGER=N, "
        "VYRSIM_TEMPLATES=ID,... (templates stored at start), VYRSIM_STORE=PATH|none "
        "(where the store is kept), VYRSIM_CONTROL=0 (no vyrsim channel). See vyrsim(1).\n\n"
        "A close while a module call is under way waits for it to return, at most "
        "10 s; then the program ends with exit status 3.\n\n"
        "--record FILE writes every call into the module library to FILE, with whatever "
        "library lies in lib/: arguments, results, times and every output, frames and "
        "templates included. Frames and templates are biometric data: "
        "--record-no-biometrics leaves them out, for a recording to share. The simulated "
        "module replays a recording: VYRSIM_REPLAY=FILE, VYRSIM_REPLAY_SPEED=FACTOR "
        "(0: at once); vyrsim replay --list FILE shows it."));
    // Our own help option rather than addHelpOption(): its --help-all lists
    // Qt's options only once a QApplication exists, that is with a display.
    const QCommandLineOption helpOption({QStringLiteral("h"), QStringLiteral("help")},
                                        QStringLiteral("Displays this help."));
    parser.addOption(helpOption);
    const QCommandLineOption versionOption = parser.addVersionOption();
    const QCommandLineOption recordOption(QStringLiteral("record"),
                                          QStringLiteral("Records every module call into <file>."),
                                          QStringLiteral("file"));
    parser.addOption(recordOption);
    const QCommandLineOption leanOption(
        QStringLiteral("record-no-biometrics"),
        QStringLiteral("Leaves frames and templates out of the recording."));
    parser.addOption(leanOption);

    // Help and version need no display, so they are answered before
    // QApplication looks for one. Qt's own options (-platform, -style, ...)
    // are still in the list here, so a failed parse is no error yet.
    parser.parse(argumentList(argc, argv));
    if (parser.isSet(helpOption) || parser.isSet(versionOption)) {
        // The parser reads the program's name from an application object;
        // a core one needs no display. Both calls exit.
        const QCoreApplication core(argc, argv);
        if (parser.isSet(helpOption))
            parser.showHelp(EXIT_SUCCESS);
        parser.showVersion();
    }

#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
    // The window is laid out in device pixels, as Qt 5 draws it: fixed size,
    // fonts grown by the desktop's DPI, nothing scaled. Qt 6 scales by the
    // screen's device pixel ratio unless told not to; whoever wants that
    // can still ask for it with QT_ENABLE_HIGHDPI_SCALING=1 or QT_SCALE_FACTOR.
    if (!qEnvironmentVariableIsSet("QT_ENABLE_HIGHDPI_SCALING"))
        qputenv("QT_ENABLE_HIGHDPI_SCALING", "0");
    if (qEnvironmentVariableIntValue("QT_ENABLE_HIGHDPI_SCALING") == 0)
        keepQt5FontDpiOnX11(argc, argv);
#endif
    std::optional<PlatformStart> platformStart(std::in_place, argv[0], argc, argv);
    QApplication a(argc, argv);
    platformStart.reset();
    installQtChineseTranslation(a);
    // QApplication has taken its own options out; anything left is unknown.
    if (!parser.parse(a.arguments())) {
        const QString name = parser.unknownOptionNames().value(0);
        if (name.isEmpty())
            std::fprintf(stderr, "fpdesk: %s; see fpdesk --help\n", qPrintable(parser.errorText()));
        else
            std::fprintf(stderr, "fpdesk: unknown option '%s%s'; see fpdesk --help\n",
                         name.size() == 1 ? "-" : "--", qPrintable(name));
        return EXIT_FAILURE;
    }
    if (!parser.positionalArguments().isEmpty()) {
        std::fprintf(stderr, "fpdesk: unexpected argument '%s'; see fpdesk --help\n",
                     qPrintable(parser.positionalArguments().constFirst()));
        return EXIT_FAILURE;
    }
    if (parser.isSet(leanOption) && !parser.isSet(recordOption)) {
        std::fprintf(stderr, "fpdesk: --record-no-biometrics needs --record FILE\n");
        return EXIT_FAILURE;
    }
    if (parser.isSet(recordOption)) {
        const QString path = parser.value(recordOption);
        const QString error = CallRecorder::start(path, parser.isSet(leanOption), recordingAbout());
        if (!error.isEmpty()) {
            std::fprintf(stderr, "fpdesk: cannot record to %s: %s\n", qPrintable(path),
                         qPrintable(error));
            return EXIT_FAILURE;
        }
    }
    int status = 0;
    {
        MainWindow w(nullptr);
        w.show();
        status = a.exec();
    }
    // The window has ended its worker: no call is under way.
    CallRecorder::stop();
    return status;
}
