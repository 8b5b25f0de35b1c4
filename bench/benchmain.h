#ifndef BENCHMAIN_H
#define BENCHMAIN_H

// The main of a widget benchmark, as QTEST_MAIN is a test's: offscreen
// unless a platform is named, since the figures need no display and a shell
// without one should still get them; fonts at 96 dpi, so that the figures
// do not depend on the screen.

#include <QApplication>
#include <QtTest>

#define FPDESK_BENCH_MAIN(Bench)                                                                   \
    int main(int argc, char *argv[])                                                               \
    {                                                                                              \
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))                                        \
            qputenv("QT_QPA_PLATFORM", "offscreen");                                               \
        QApplication app(argc, argv);                                                              \
        QApplication::setAttribute(Qt::AA_Use96Dpi, true);                                         \
        Bench bench;                                                                               \
        return QTest::qExec(&bench, argc, argv);                                                   \
    }

#endif // BENCHMAIN_H
