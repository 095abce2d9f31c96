#pragma once
// One logging category per subsystem. All are off by default; a field report is made with, e.g.,
//   QT_LOGGING_RULES="glintwork.*=true" glintwork
// (or "glintwork.rdm=true" for one subsystem, "glintwork.*.warning=true" for the give-ups alone).
// Debug lines: each request and each decision a report needs; warnings: something given up.

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcNet)      // glintwork.net: searches, poll replies taken or dropped
Q_DECLARE_LOGGING_CATEGORY(lcRdm)      // glintwork.rdm: the DMX line's requests, walk, replies
Q_DECLARE_LOGGING_CATEGORY(lcConfig)   // glintwork.config: settings sent and why nothing was
Q_DECLARE_LOGGING_CATEGORY(lcFirmware) // glintwork.firmware: bootloader trigger and uploads
