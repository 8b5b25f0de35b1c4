#include "moduletrace.h"

Q_LOGGING_CATEGORY(lcModule, "fpdesk.module", QtInfoMsg)
