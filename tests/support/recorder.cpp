#include "recorder.h"

#include "SThread.h"
#include "handover.h"

Recorder::Recorder(SThread *worker, QObject *parent)
    : QObject(parent)
{
    connect(worker, &SThread::SShowMsg, this, &Recorder::onMsg, Qt::QueuedConnection);
    connect(worker, &SThread::SShowAlert, this, &Recorder::onAlert, Qt::QueuedConnection);
    connect(worker, &SThread::SEnable_btn, this, &Recorder::onEnable, Qt::QueuedConnection);
    connect(worker, &SThread::SShowfinger, this, &Recorder::onFrame, Qt::QueuedConnection);
    connect(worker, &SThread::SShowFinglist, this, &Recorder::onList, Qt::QueuedConnection);
}

QStringList Recorder::messages() const
{
    QStringList texts;
    for (const QString &event : events) {
        if (event.startsWith(QLatin1String("msg:")))
            texts << event.mid(4);
    }
    return texts;
}

void Recorder::clear()
{
    events.clear();
    frames.clear();
}

void Recorder::onMsg(QString msg)
{
    events << QStringLiteral("msg:") + msg;
}

void Recorder::onAlert(QString msg)
{
    events << QStringLiteral("alert:") + msg;
}

void Recorder::onEnable(bool enabled)
{
    events << QStringLiteral("enable:%1").arg(enabled ? 1 : 0);
}

void Recorder::onFrame(unsigned char *data, int w, int h)
{
    const HandOver::Receipt receipt(data);
    events << QStringLiteral("frame");
    frames << QByteArray(reinterpret_cast<const char *>(data), w * h);
}

void Recorder::onList(unsigned char *bits)
{
    const HandOver::Receipt receipt(bits);
    events << QStringLiteral("list:") + idsOf(bits);
}

QString idsOf(const unsigned char *bits)
{
    QStringList ids;
    for (int id = 0; id < 512 * 8; ++id) {
        if (bits[id / 8] & (1 << (id % 8)))
            ids << QString::number(id);
    }
    return ids.join(QLatin1Char(','));
}
