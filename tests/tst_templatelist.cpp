// The template list built from index bitmaps: rows in ascending ID order
// with their captions, models replaced without leaks, and the list kept in
// step with the module by open, close, enrollment and deletion.

#include "devicestate.h"
#include "mainwindow.h"
#include "modalpilot.h"
#include "mulistitemdata.h"
#include "simcontrol.h"
#include "workerharness.h"

#include <QItemSelectionModel>
#include <QListView>
#include <QPointer>
#include <QtTest>

#include <memory>

namespace {

using Bitmap = QVector<unsigned char>;

Bitmap bitmap(std::initializer_list<std::pair<int, unsigned char>> bytes)
{
    Bitmap bits(512, 0);
    for (const auto &byte : bytes)
        bits[byte.first] = byte.second;
    return bits;
}

QStringList captions(const QListView *view)
{
    QStringList texts;
    const QAbstractItemModel *model = view->model();
    for (int row = 0; model && row < model->rowCount(); ++row)
        texts << model->index(row, 0).data(Qt::UserRole + 1).value<MuItemData>().singer;
    return texts;
}

QStringList range(int from, int to)
{
    QStringList texts;
    for (int id = from; id <= to; ++id)
        texts << QStringLiteral("指纹[%1]").arg(id);
    return texts;
}

} // namespace

class tst_TemplateList : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void rowsFromBitmap_data();
    void rowsFromBitmap();
    void rowsCarryOnlyCaption();
    void refreshReplacesRows();
    void replacedModelsAreReleased();
    void followsTheModule();

private:
    QListView *view() const { return m_window->findChild<QListView *>(); }
    bool idle();

    std::unique_ptr<ModalPilot> m_pilot;
    std::unique_ptr<MainWindow> m_window;
};

void tst_TemplateList::init()
{
    resetModuleAndDevice();
    m_pilot = std::make_unique<ModalPilot>();
    m_window = std::make_unique<MainWindow>();
    m_window->show();
}

void tst_TemplateList::cleanup()
{
    m_window.reset();
    m_pilot.reset();
}

bool tst_TemplateList::idle()
{
    return settled(*m_window->worker());
}

void tst_TemplateList::rowsFromBitmap_data()
{
    QTest::addColumn<Bitmap>("bits");
    QTest::addColumn<QStringList>("rows");
    QTest::newRow("all zero") << bitmap({}) << QStringList();
    QTest::newRow("ID 0") << bitmap({{0, 0x01}}) << range(0, 0);
    QTest::newRow("ID 7") << bitmap({{0, 0x80}}) << range(7, 7);
    QTest::newRow("ID 8") << bitmap({{1, 0x01}}) << range(8, 8);
    QTest::newRow("0, 2 and 23") << bitmap({{0, 0x05}, {2, 0x80}})
                                 << QStringList({"指纹[0]", "指纹[2]", "指纹[23]"});
    QTest::newRow("ID 1023") << bitmap({{127, 0x80}}) << range(1023, 1023);
    QTest::newRow("ID 4095") << bitmap({{511, 0x80}}) << range(4095, 4095);
    QTest::newRow("all set") << Bitmap(512, 0xff) << range(0, 4095);
}

void tst_TemplateList::rowsFromBitmap()
{
    QFETCH(Bitmap, bits);
    QFETCH(QStringList, rows);
    m_window->ShowFinglist(bits.data());
    QCOMPARE(view()->model()->columnCount(), rows.isEmpty() ? 0 : 1);
    QCOMPARE(captions(view()), rows);
    QVERIFY(!view()->selectionModel()->hasSelection());
}

void tst_TemplateList::rowsCarryOnlyCaption()
{
    Bitmap bits = bitmap({{0, 0x06}});
    m_window->ShowFinglist(bits.data());
    QCOMPARE(view()->model()->rowCount(), 2);
    for (int row = 0; row < 2; ++row) {
        const QModelIndex index = view()->model()->index(row, 0);
        QVERIFY(index.data(Qt::DisplayRole).isNull());
        QVERIFY(index.data(Qt::DecorationRole).isNull());
        const QVariant record = index.data(Qt::UserRole + 1);
        QCOMPARE(record.userType(), qMetaTypeId<MuItemData>());
        QCOMPARE(QMetaType::typeName(record.userType()), "MuItemData");
        const MuItemData data = record.value<MuItemData>();
        QVERIFY(data.iconPath.isEmpty());
        QVERIFY(data.songsNb.isEmpty());
        QCOMPARE(data.singer, QStringLiteral("指纹[%1]").arg(row + 1));
    }
}

void tst_TemplateList::refreshReplacesRows()
{
    Bitmap first = bitmap({{0, 0x03}});
    Bitmap second = bitmap({{4, 0x10}});
    m_window->ShowFinglist(first.data());
    view()->selectionModel()->select(view()->model()->index(1, 0), QItemSelectionModel::Select);
    m_window->ShowFinglist(second.data());
    QCOMPARE(captions(view()), QStringList({"指纹[36]"}));
    QVERIFY(!view()->selectionModel()->hasSelection());
    QCOMPARE(view()->selectionModel()->model(), view()->model());
}

void tst_TemplateList::replacedModelsAreReleased()
{
    Bitmap bits = bitmap({{0, 0x01}, {9, 0x40}});
    m_window->ShowFinglist(bits.data());
    QPointer<QAbstractItemModel> first = view()->model();
    QPointer<QItemSelectionModel> firstSelection = view()->selectionModel();
    m_window->ShowFinglist(bits.data());
    QVERIFY(first.isNull());
    QVERIFY(firstSelection.isNull());

    const int objects = view()->findChildren<QObject *>().size();
    for (int i = 0; i < 3000; ++i)
        m_window->ShowFinglist(bits.data());
    QCOMPARE(view()->findChildren<QObject *>().size(), objects);
    QCOMPARE(
        view()->findChildren<QAbstractItemModel *>(QString(), Qt::FindDirectChildrenOnly).size(),
        1);
    QCOMPARE(captions(view()), QStringList({"指纹[0]", "指纹[78]"}));
}

void tst_TemplateList::followsTheModule()
{
    SimControl &module = SimControl::instance();
    module.store(3, 1);
    module.store(40, 2);
    m_window->btnopen();
    QTRY_VERIFY_WITH_TIMEOUT(idle(), 60000);
    QCOMPARE(captions(view()), QStringList({"指纹[3]", "指纹[40]"}));

    module.script({1, 1, 0, 1, 1});
    m_pilot->answers << "7";
    m_window->btnenrollfp();
    QTRY_VERIFY_WITH_TIMEOUT(idle(), 60000);
    QCOMPARE(captions(view()), QStringList({"指纹[3]", "指纹[7]", "指纹[40]"}));

    m_pilot->answers << "3";
    m_window->btndelfp();
    QTRY_VERIFY_WITH_TIMEOUT(idle(), 60000);
    QCOMPARE(captions(view()), QStringList({"指纹[7]", "指纹[40]"}));

    m_window->btnclose();
    QTRY_VERIFY_WITH_TIMEOUT(idle(), 60000);
    QCOMPARE(captions(view()), QStringList());

    m_window->btnopen();
    QTRY_VERIFY_WITH_TIMEOUT(idle(), 60000);
    QCOMPARE(captions(view()), QStringList({"指纹[7]", "指纹[40]"}));
    module.setAttached(false);
    m_window->btnopen();
    QTRY_VERIFY_WITH_TIMEOUT(idle(), 60000);
    QCOMPARE(captions(view()), QStringList());
}

QTEST_MAIN(tst_TemplateList)
#include "tst_templatelist.moc"
