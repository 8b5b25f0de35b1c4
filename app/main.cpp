#include "mainwindow.h"

#include <QApplication>
#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QStringList>

#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
#include "x11fontdpi.h"
#endif

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// Without a display Qt aborts with a long platform plug-in message; say
// plainly what is missing and how to run anyway.
bool displayAvailable(int argc, char *argv[])
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "-platform") == 0)
            return true;
    }
    const char *platform = std::getenv("QT_QPA_PLATFORM");
    if (platform && *platform && std::strncmp(platform, "xcb", 3) != 0
        && std::strncmp(platform, "wayland", 7) != 0)
        return true;
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY"}) {
        const char *value = std::getenv(name);
        if (value && *value)
            return true;
    }
    return false;
}

QStringList argumentList(int argc, char *argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    return arguments;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication::setApplicationName(QStringLiteral("fpdesk"));
    QApplication::setApplicationVersion(QStringLiteral(FPDESK_VERSION));
    QApplication::setDesktopFileName(QStringLiteral(FPDESK_APP_ID));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Exercise a fingerprint module: open it, watch live finger images, enroll, "
                       "delete and search templates.\nThe module is reached through "
                       "lib/libvyr_uos.so beside the program's real location."));
    // Our own help option rather than addHelpOption(): its --help-all lists
    // Qt's options only once a QApplication exists, that is with a display.
    const QCommandLineOption helpOption({QStringLiteral("h"), QStringLiteral("help")},
                                        QStringLiteral("Displays this help."));
    parser.addOption(helpOption);
    const QCommandLineOption versionOption = parser.addVersionOption();

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

    if (!displayAvailable(argc, argv)) {
        std::fprintf(stderr,
                     "fpdesk: no display (DISPLAY is not set); to run without one: "
                     "xvfb-run -a %s\n",
                     argv[0]);
        return 1;
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
    QApplication a(argc, argv);
    // QApplication has taken its own options out; anything left is unknown.
    parser.process(a);
    if (!parser.positionalArguments().isEmpty()) {
        std::fprintf(stderr, "fpdesk: unexpected argument '%s'; see fpdesk --help\n",
                     qPrintable(parser.positionalArguments().constFirst()));
        return EXIT_FAILURE;
    }
    MainWindow w(nullptr);
    w.show();
    return a.exec();
}
