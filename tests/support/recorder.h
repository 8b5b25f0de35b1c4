#ifndef RECORDER_H
#define RECORDER_H

#include <QByteArray>
#include <QObject>
#include <QStringList>
#include <QVector>

class SThread;

// Receives a worker's reports on the GUI thread, queued, as the window does,
// and writes them down in order: "msg:<text>", "alert:<text>", "enable:1",
// "frame", "list:<ids>". Like the window it takes each frame and bitmap out
// of its hand-over slot and gives the slot back.
class Recorder : public QObject
{
    Q_OBJECT

public:
    explicit Recorder(SThread *worker, QObject *parent = nullptr);

    QStringList events;
    QVector<QByteArray> frames;

    QStringList messages() const; // the msg: events, without their prefix
    void clear();

public slots:
    void onMsg(QString msg);
    void onAlert(QString msg);
    void onEnable(bool enabled);
    void onFrame(unsigned char *data, int w, int h);
    void onList(unsigned char *bits);
};

// The IDs set in a 512-byte template index bitmap, comma-separated.
QString idsOf(const unsigned char *bits);

#endif // RECORDER_H
