#include "modulelib.h"

#include "devicestate.h"

#include <initializer_list>
#include <utility>

Q_VYR_SETPATH VYR_SETPATH = nullptr;
Q_VYR_MODE VYR_MODE = nullptr;
Q_VYR_Delaytime VYR_Delaytime = nullptr;
Q_VYROpenDeviceEx VYROpenDeviceEx = nullptr;
Q_VYRCloseDeviceEx VYRCloseDeviceEx = nullptr;
Q_VYRVfyPwd VYRVfyPwd = nullptr;
Q_VYRGetImage VYRGetImage = nullptr;
Q_VYRUpImage VYRUpImage = nullptr;
Q_VYRGenChar VYRGenChar = nullptr;
Q_VYRMatch VYRMatch = nullptr;
Q_VYRSearch VYRSearch = nullptr;
Q_VYRRegModule VYRRegModule = nullptr;
Q_VYRStoreChar VYRStoreChar = nullptr;
Q_VYRLoadChar VYRLoadChar = nullptr;
Q_VYRUpChar VYRUpChar = nullptr;
Q_VYRDownChar VYRDownChar = nullptr;
Q_VYRDelChar VYRDelChar = nullptr;
Q_VYREmpty VYREmpty = nullptr;
Q_VYRReadParTable VYRReadParTable = nullptr;
Q_VYRTemplateNum VYRTemplateNum = nullptr;
Q_VYRReadIndexTable VYRReadIndexTable = nullptr;
Q_VYRGetRandomData VYRGetRandomData = nullptr;
Q_VYRDoUserDefine VYRDoUserDefine = nullptr;
Q_VYRSetCharLen VYRSetCharLen = nullptr;
Q_VYRGetCharLen VYRGetCharLen = nullptr;
Q_VYRImgData2BMP VYRImgData2BMP = nullptr;
Q_VYRGetImgDataFromBMP VYRGetImgDataFromBMP = nullptr;
Q_VYRReadInfo VYRReadInfo = nullptr;
Q_VYRWriteInfo VYRWriteInfo = nullptr;

namespace {

using Need = std::pair<const char *, bool>;
#define NEED(entry) Need(#entry, entry != nullptr)

QString firstMissing(std::initializer_list<Need> needs)
{
    for (const Need &need : needs) {
        if (!need.second)
            return QString::fromLatin1(need.first);
    }
    return QString();
}

} // namespace

QString missingEntryPoint(int operation)
{
    // Open, enrollment, deletion, import and emptying end with the index query.
    switch (operation) {
    case OpOpen:
        return firstMissing({NEED(VYR_SETPATH), NEED(VYROpenDeviceEx), NEED(VYRReadIndexTable)});
    case OpClose:
        return firstMissing({NEED(VYRCloseDeviceEx)});
    case OpCapture:
        return firstMissing({NEED(VYRGetImage), NEED(VYRUpImage)});
    case OpEnroll:
        return firstMissing({NEED(VYRGetImage), NEED(VYRUpImage), NEED(VYRGenChar),
                             NEED(VYRRegModule), NEED(VYRStoreChar), NEED(VYRReadIndexTable)});
    case OpDelete:
        return firstMissing({NEED(VYRDelChar), NEED(VYRReadIndexTable)});
    case OpSearch:
        return firstMissing(
            {NEED(VYRGetImage), NEED(VYRUpImage), NEED(VYRGenChar), NEED(VYRSearch)});
    case OpMatch:
        return firstMissing({NEED(VYRLoadChar), NEED(VYRGetImage), NEED(VYRUpImage),
                             NEED(VYRGenChar), NEED(VYRMatch)});
    case OpExport:
        return firstMissing({NEED(VYRLoadChar), NEED(VYRUpChar)});
    case OpImport:
        return firstMissing({NEED(VYRDownChar), NEED(VYRStoreChar), NEED(VYRReadIndexTable)});
    case OpImportCheck:
        return firstMissing(
            {NEED(VYRGetCharLen), NEED(VYRDownChar), NEED(VYRStoreChar), NEED(VYRReadIndexTable)});
    case OpEmpty:
        return firstMissing({NEED(VYREmpty), NEED(VYRReadIndexTable)});
    case OpModuleInfo:
        return firstMissing({NEED(VYRReadParTable), NEED(VYRTemplateNum), NEED(VYRGetCharLen)});
    case OpReadNotepad:
        return firstMissing({NEED(VYRReadInfo)});
    case OpWriteNotepad:
        return firstMissing({NEED(VYRWriteInfo)});
    default:
        return QString();
    }
}
