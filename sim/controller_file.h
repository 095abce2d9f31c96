#pragma once
// Virtual Ethernet controllers described in a small text file, one block per controller:
//
//   [controller]
//   model = Tessara 4             # "Tessara 16" (default), "Tessara 4", "Corvel 16"
//   ip = 10.77.1.10               # CurrentIP (and StaticIP), the address it answers from
//   mask = 255.255.255.0          # CurrentSM (and SM)
//   mac = 02:47:4c:00:00:01
//   nickname = Stage left
//   firmware = V1.4.5
//   Temperature = 215             # any record field by its name; lists are comma-separated,
//   NumNodes = 170, 340           # a short list repeats its last value
//   duplicate = 1                 # also send a second, different reply from the same address
//   version = 9                   # version byte of its replies
//   misbehave = ignores-nickname  # takes a configuration but keeps its old nickname
//   misbehave = drops-config      # never takes a configuration datagram
//
// Lines starting with '#' and text after " #" are comments.

#include "net/tessara_ctrl.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <array>
#include <optional>

// Named ways a controller gets its configuration wrong, for read-back tests.
enum class NetMisbehaviour { None, IgnoresNickname, DropsConfig };

struct VirtualController {
    TTessaraCtrl ctrl;
    NetMisbehaviour misbehave = NetMisbehaviour::None;
    QString model = QStringLiteral("Tessara 16");
    bool duplicate = false;
    quint8 version = 2;
};

// A controller with every setting at a plausible default (170 pixels, universes from 1, ...),
// at `ip` with MAC 02:47:4c + the address's last three octets.
VirtualController defaultController(const QString &ip, const QString &mask = QStringLiteral("255.255.255.0"));

// Sets one key of a block. Returns an error text, empty on success.
QString applyKey(VirtualController &described, const QString &key, const QString &value);

// Parses a whole file's text. On error, `error` says which line and why.
std::optional<QList<VirtualController>> parseControllerFile(const QString &text, QString *error);

// `count` controllers of `model` at consecutive addresses from `firstIp`.
QList<VirtualController> generateControllers(int count, const QString &firstIp, const QString &mask,
                                                 const QString &model);
