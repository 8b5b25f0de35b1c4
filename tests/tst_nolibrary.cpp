// The program beside no module library and no pictures: it starts, every
// command ends with "找不到动态库", the buttons never change and nothing
// else happens.

#include "mainwindow.h"
#include "modalpilot.h"
#include "windowparts.h"
#include "workerharness.h"

#include <QListView>
#include <QPushButton>
#include <QtTest>

class tst_NoLibrary : public QObject
{
    Q_OBJECT

private slots:
    void everyCommandEndsWithLibraryMissing_data();
    void everyCommandEndsWithLibraryMissing();
};

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
    QVERIFY(!isdllok);
    QVERIFY(labelPixmap(window.f_finger).isNull()); // no idle picture either, and no message
    QVERIFY(window.windowIcon().availableSizes().isEmpty());
    QVector<bool> seen; // every state the buttons pass through
    QObject probe;
    connect(window.worker(), &SThread::SEnable_btn, &probe, [&](bool on) { seen << on; });

    const QList<void (MainWindow::*)()> commands {
        &MainWindow::btnopen,     &MainWindow::btnclose, &MainWindow::btnviewfinger,
        &MainWindow::btnenrollfp, &MainWindow::btndelfp, &MainWindow::btnsearchfp};
    (window.*commands.at(command))();
    QVERIFY(QTest::qWaitFor([&] { return settled(*window.worker()); }, kWaitMs));
    QCOMPARE(statusLine(window)->text(), QString("找不到动态库"));
    QVERIFY(seen.isEmpty());
    for (QPushButton *b : window.findChildren<QPushButton *>())
        QVERIFY(b->isEnabled());
    QVERIFY(pilot.alerts.isEmpty());
    QVERIFY(labelPixmap(window.f_finger).isNull());
    QVERIFY(window.findChild<QListView *>()->model() == nullptr);
}

QTEST_MAIN(tst_NoLibrary)
#include "tst_nolibrary.moc"
