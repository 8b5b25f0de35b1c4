// The template list: rebuilding it from a bitmap, and painting its rows
// (the delegate decodes the row picture only when the file changed).

#include "MuItemDelegate.h"
#include "benchmain.h"
#include "mainwindow.h"
#include "mulistitemdata.h"

#include <QApplication>
#include <QPainter>
#include <QStandardItemModel>
#include <QtTest>

#include <vector>

class bench_List : public QObject
{
    Q_OBJECT

private slots:
    void rebuild_data();
    void rebuild();
    void paintRow();
};

void bench_List::rebuild_data()
{
    QTest::addColumn<int>("fill");
    QTest::newRow("10 templates") << 10;
    QTest::newRow("1000 templates") << 1000;
    QTest::newRow("4096 templates") << 4096;
}

void bench_List::rebuild()
{
    QFETCH(int, fill);
    std::vector<unsigned char> bits(512, 0);
    for (int id = 0; id < fill; ++id)
        bits[std::size_t(id / 8)]
            = static_cast<unsigned char>(bits[std::size_t(id / 8)] | 1 << id % 8);
    MainWindow window;
    QBENCHMARK
    {
        window.ShowFinglist(bits.data());
    }
}

void bench_List::paintRow()
{
    QStandardItemModel model;
    auto *item = new QStandardItem;
    MuItemData data;
    data.singer = "指纹[123]";
    item->setData(QVariant::fromValue(data), Qt::UserRole + 1);
    model.appendRow(item);
    MuItemDelegate delegate;
    QImage canvas(200, 30, QImage::Format_RGB32);
    QPainter painter(&canvas);
    QStyleOptionViewItem option;
    option.rect = QRect(0, 0, 200, 30);
    option.state = QStyle::State_MouseOver;
    QBENCHMARK
    {
        delegate.paint(&painter, option, model.index(0, 0));
    }
}

FPDESK_BENCH_MAIN(bench_List)
#include "bench_list.moc"
