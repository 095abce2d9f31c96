#pragma once
// The settings file: one controller or a whole rig, each with its identity and every setting its
// dialog can change, in the units the dialog shows (docs/settings-file.md describes the schema).
//
// A file entry never becomes a record directly. It is laid over what the dialog would show for
// the controller at hand and read back through the dialog's own read-back, so a restore makes the
// very record (and so the very datagram or set messages) that typing the values and pressing OK
// would make.

#include "config/config_workflow_rules.h"
#include "rdm/quorix_ctrl.h"
#include "rdm/quorix_edits.h"
#include "net/tessara_ctrl.h"
#include "common/result.h"

#include <QList>
#include <QString>
#include <optional>

namespace settings {

inline constexpr int SchemaVersion = 1;
inline const QString FormatName = QStringLiteral("glintwork-settings");

enum class Family { Network, Usb };

struct Entry {
    Family family = Family::Network;
    // Identity, as the tables show it.
    QString model;    // "Tessara 16", "Tessara 4", "Corvel 16", "Quorix 16"
    int hardware = 0; // network: hardware revision; USB: device model ID
    QString firmware;
    QString id;       // network: MAC "00:1A:2B:3C:4D:5E"; USB: device ID, eight hex digits
    QString address;  // network: present IP address; USB: empty
    QString nickname;
    // Settings. Network: the dialogs' values (dialog units, texts as the boxes hold them). The
    // rows are used only when `values.advanced`; an absent optional is a setting the controller
    // did not offer when the file was written.
    config::flow::DialogValues values;
    // USB: mode, start address and gamma; the nickname is `nickname`.
    rdm::QuorixEdits edits;
};

// The entry of a listed controller. `model` is the model the network table shows.
Entry entryOf(const TTessaraCtrl &c, const QString &model);
Entry entryOf(const TQuorixCtrl &c);

// JSON text of a file holding `entries`.
QByteArray toJson(const QList<Entry> &entries);

// Reads a file's text. A failure naming the field ("controllers[1].settings.gamma[0]: ..."),
// unless every entry obeys the schema and every value lies within its field's limits.
Result<QList<Entry>> fromJson(const QByteArray &json);

// Writes atomically: the file appears whole or not at all.
Result<> writeFile(const QString &path, const QList<Entry> &entries);
Result<QList<Entry>> readFile(const QString &path);

// How an entry is laid over a controller. A restore onto the controller it came from takes all;
// a clone onto another of the same model never takes its identity (address, mask, DHCP), and its
// nickname only when asked.
struct ApplyMode {
    bool clone = false;
    bool cloneNickname = false;
};

// The record OK would make from the entry's values. A failure when the entry is for another model
// or family, or a value does not fit this controller (a chip its firmware lacks).
Result<TTessaraCtrl> applyTo(const Entry &e, const TTessaraCtrl &before, const QString &model, ApplyMode mode);
// The dialog's edited values for the entry, to hand to QuorixLink::applyEdits with what the dialog
// shows for `before`. A controller with remote mode off has mode, start address and nickname
// greyed out in the dialog, so only its gamma can be restored.
Result<rdm::QuorixEdits> applyTo(const Entry &e, const TQuorixCtrl &before, ApplyMode mode);

// The listed controller an entry belongs to, matched by MAC or device ID; -1 for none.
int matchIndex(const Entry &e, const QList<Entry> &listed);
// The listed controllers an entry can be cloned onto: same family and model, in list order.
QList<int> cloneCandidates(const Entry &e, const QList<Entry> &listed);

// How the operator knows a controller: model, nickname, and address or serial.
QString nameOf(const Entry &e);

// One line of a restore's table: the field, what the controller has now, what the file gives.
struct Change {
    QString field;
    QString now;
    QString fromFile;
    friend bool operator==(const Change &, const Change &) = default;
};
// What would change: the entries of a controller as it is and as it would be after the restore.
QList<Change> changes(const Entry &now, const Entry &after);

} // namespace settings
