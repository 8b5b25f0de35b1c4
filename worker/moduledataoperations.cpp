// The commands on the module's own data: its parameters and its notepad.
// Each acts only when m_option holds its own code.

#include "SThread.h"

#include "devicestate.h"
#include "modulelib.h"
#include "moduletrace.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

// Room for what the library writes: a vendor's library may write more than
// the sizes it names, so the buffers are generous and zeroed.
constexpr int kTableRoom = 256;
constexpr int kPageRoom = 256;
constexpr int kRandomRoom = 64;
constexpr int kRandomBytes = 4;
constexpr int kPasswordBytes = 4;
constexpr int kPasswordRoom = 16;

QByteArray bytesOf(const unsigned char *data, int size)
{
    return QByteArray(reinterpret_cast<const char *>(data), size);
}

} // namespace

void SThread::runfmoduleinfo()
{
    if (m_option != OpModuleInfo)
        return;
    unsigned char table[kTableRoom] = {};
    int templates = 0;
    int length = 0;
    int ret = VYR(VYRReadParTable, hHandle[0], DEV_ADDR, table);
    if (ret == 0)
        ret = VYR(VYRTemplateNum, hHandle[0], DEV_ADDR, &templates);
    if (ret == 0)
        ret = VYR(VYRGetCharLen, &length);
    if (ret != 0) {
        emit SShowMsg("读取模块信息失败");
        return;
    }
    ModuleReport report;
    report.operation = OpModuleInfo;
    report.bytes = bytesOf(table, kParTableBytes);
    report.templates = templates;
    report.templateLength = length;
    emit SShowReport(report);
}

void SThread::runfreadinfo()
{
    if (m_option != OpReadNotepad)
        return;
    QByteArray pages;
    for (int page = 0; page < kNotepadPages; ++page) {
        unsigned char data[kPageRoom] = {};
        if (VYR(VYRReadInfo, hHandle[0], DEV_ADDR, page, data) != 0) {
            emit SShowMsg("读取记事本失败");
            return;
        }
        pages += bytesOf(data, kNotepadPageBytes);
    }
    ModuleReport report;
    report.operation = OpReadNotepad;
    report.bytes = pages;
    emit SShowReport(report);
}

void SThread::runfwriteinfo()
{
    if (m_option != OpWriteNotepad)
        return;
    unsigned char data[kPageRoom] = {};
    std::memcpy(data, m_payload.constData(),
                std::size_t(std::min<qsizetype>(m_payload.size(), kNotepadPageBytes)));
    const int ret = VYR(VYRWriteInfo, hHandle[0], DEV_ADDR, m_page, data);
    emit SShowMsg(ret == 0 ? "写入记事本成功" : "写入记事本失败");
    if (ret != 0)
        return;
    ModuleReport report; // the page as written, for the notepad still open
    report.operation = OpWriteNotepad;
    report.id = m_page;
    report.bytes = bytesOf(data, kNotepadPageBytes);
    emit SShowReport(report);
}

void SThread::runfverifypassword()
{
    if (m_option != OpVerifyPassword)
        return;
    unsigned char password[kPasswordRoom] = {};
    std::memcpy(password, m_payload.constData(),
                std::size_t(std::min<qsizetype>(m_payload.size(), kPasswordBytes)));
    const int ret = VYR(VYRVfyPwd, hHandle[0], DEV_ADDR, password);
    emit SShowMsg(ret == 0 ? "验证密码成功" : "验证密码失败");
}

void SThread::runfrandomdata()
{
    if (m_option != OpRandomData)
        return;
    unsigned char data[kRandomRoom] = {};
    if (VYR(VYRGetRandomData, hHandle[0], DEV_ADDR, data) != 0) {
        emit SShowMsg("读取随机数失败");
        return;
    }
    emit SShowMsg(QString("随机数: %1")
                      .arg(QString::fromLatin1(bytesOf(data, kRandomBytes).toHex(' ').toUpper())));
}

// The library reads the file by its path alone; the window has already
// refused anything but a regular file of a sane size. The frame replaces
// the one shown only once the library read it whole.
void SThread::runfopenimage()
{
    if (m_option != OpOpenImage)
        return;
    std::vector<unsigned char> frame(kImageBufferBytes, 0);
    int length = 0;
    const int ret = VYR(VYRGetImgDataFromBMP, m_payload.constData(), frame.data(), &length);
    if (ret != 0) {
        emit SShowMsg("打开图像失败");
        return;
    }
    std::memcpy(fpimage, frame.data(), frame.size());
    showImage();
    emit SShowMsg("打开图像成功");
}
