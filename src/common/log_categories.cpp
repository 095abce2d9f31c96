#include "common/log_categories.h"

// Critical as the threshold: nothing of ours reaches an operator's terminal unless asked for.
Q_LOGGING_CATEGORY(lcNet, "glintwork.net", QtCriticalMsg)
Q_LOGGING_CATEGORY(lcRdm, "glintwork.rdm", QtCriticalMsg)
Q_LOGGING_CATEGORY(lcConfig, "glintwork.config", QtCriticalMsg)
Q_LOGGING_CATEGORY(lcFirmware, "glintwork.firmware", QtCriticalMsg)
