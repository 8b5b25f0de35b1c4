// The commands on stored templates: 1:1 match, template export and import,
// emptying the store. Each acts only when m_option holds its own code.

#include "SThread.h"

#include "devicestate.h"
#include "modulelib.h"
#include "moduletrace.h"

#include <vector>

namespace {

// Room for the blocks the library writes. A vendor's library may write more
// than the length it names, so the buffer is generous and zeroed.
constexpr int kTemplateRoom = 8192;
// The stored template goes to buffer 0; a press makes its feature in buffer 1.
constexpr int kStoredBuffer = 0;

} // namespace

void SThread::runfmatchfinger()
{
    if (m_option != OpMatch)
        return;
    int ret = VYR(VYRLoadChar, hHandle[0], DEV_ADDR, kStoredBuffer, enrollid);
    if (ret != 0) {
        emit SShowMsg("比对失败");
        return;
    }
    if (!featureFromPress(OpMatch))
        return;
    int score = 0;
    ret = VYR(VYRMatch, hHandle[0], DEV_ADDR, &score);
    emit SShowMsg(ret == 0 ? QString("比对成功 ID:%1 得分:%2").arg(enrollid).arg(score)
                           : QString("比对失败"));
}

void SThread::runfexportchar()
{
    if (m_option != OpExport)
        return;
    std::vector<unsigned char> block(kTemplateRoom, 0);
    int length = 0;
    int ret = VYR(VYRLoadChar, hHandle[0], DEV_ADDR, kStoredBuffer, enrollid);
    if (ret == 0)
        ret = VYR(VYRUpChar, hHandle[0], DEV_ADDR, kStoredBuffer, block.data(), &length);
    if (ret != 0 || length <= 0 || length > kTemplateRoom) {
        emit SShowMsg("导出模板失败");
        return;
    }
    // The window writes the file: the bytes travel with the report.
    ModuleReport report;
    report.operation = OpExport;
    report.id = enrollid;
    report.bytes = QByteArray(reinterpret_cast<const char *>(block.data()), length);
    emit SShowReport(report);
}

// An import takes two runs: this one asks the library its template length,
// so that the window can refuse a file of another size before it asks for
// an ID; then runfimportchar stores the file under that ID.
void SThread::runfimportcheck()
{
    if (m_option != OpImportCheck)
        return;
    int length = 0;
    if (VYR(VYRGetCharLen, &length) != 0 || length <= 0) {
        emit SShowMsg("导入模板失败");
        return;
    }
    ModuleReport report;
    report.operation = OpImportCheck;
    report.templateLength = length;
    emit SShowReport(report);
}

void SThread::runfimportchar()
{
    if (m_option != OpImport)
        return;
    QByteArray block = m_payload; // the library takes a writable buffer
    int ret = VYR(VYRDownChar, hHandle[0], DEV_ADDR, kStoredBuffer,
                  reinterpret_cast<unsigned char *>(block.data()), int(block.size()));
    if (ret == 0)
        ret = VYR(VYRStoreChar, hHandle[0], DEV_ADDR, kStoredBuffer, enrollid);
    emit SShowMsg(ret == 0 ? "导入模板成功" : "导入模板失败");
    fplist();
}

void SThread::runfempty()
{
    if (m_option != OpEmpty)
        return;
    const int ret = VYR(VYREmpty, hHandle[0], DEV_ADDR);
    emit SShowMsg(ret == 0 ? "清空成功" : "清空失败");
    fplist();
}
