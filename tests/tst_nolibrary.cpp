// The program beside no module library and no pictures: it starts, every
// command ends with "找不到动态库", the buttons never change and nothing
// else happens.

#include "devicestate.h"
#include "mainwindow.h"
#include "modalpilot.h"
#include "windowparts.h"

#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QtTest>

class tst_NoLibrary : public QObject
{
    Q_OBJECT

private slots:
    void startsWithoutLibraryOrPictures();
    void everyCommandEndsWithLibraryMissing_data();
    void everyCommandEndsWithLibraryMissing();
};

void tst_NoLibrary::startsWithoutLibraryOrPictures()
{
    MainWindow window;
    window.show();
    QVERIFY(!isdllok);
    QVERIFY(labelPixmap(window.f_finger).isNull());
    QVERIFY(window.windowIcon().availableSizes().isEmpty());
    window.btnclose(); // the idle picture is missing again: blank, no message
    QVERIFY(labelPixmap(window.f_finger).isNull());
}

void tst_NoLibrary::everyCommandEndsWithLibraryMissing_data()
{
    QTest::addColumn<int>("command");
    const char *names[] = {"open", "close", "capture", "enroll", "delete", "search"};
    for (int i = 0; i < 6; ++i)
        QTest::newRow(names[i]) << i;
}

void tst_NoLibrary::everyCommandEndsWithLibraryMissing()
{
    QFETCH(int, command);
    ModalPilot pilot;
    pilot.answers << "7";
    MainWindow window;
    window.show();
    QVector<bool> seen; // every state the buttons pass through
    const QList<QPushButton *> buttons = window.findChildren<QPushButton *>();
    QObject probe;
    connect(window.worker(), &SThread::SEnable_btn, &probe, [&](bool on) { seen << on; });

    switch (command) {
    case 0:
        window.btnopen();
        break;
    case 1:
        window.btnclose();
        break;
    case 2:
        window.btnviewfinger();
        break;
    case 3:
        window.btnenrollfp();
        break;
    case 4:
        window.btndelfp();
        break;
    default:
        window.btnsearchfp();
        break;
    }
    QTRY_COMPARE_WITH_TIMEOUT(statusLine(window)->text(), QString("找不到动态库"), 60000);
    QTRY_VERIFY_WITH_TIMEOUT(!window.worker()->busy(), 60000);
    QCoreApplication::sendPostedEvents();
    QVERIFY(seen.isEmpty());
    for (QPushButton *b : buttons)
        QVERIFY(b->isEnabled());
    QVERIFY(pilot.alerts.isEmpty());
    QVERIFY(window.findChild<QListView *>()->model() == nullptr);
}

QTEST_MAIN(tst_NoLibrary)
#include "tst_nolibrary.moc"
