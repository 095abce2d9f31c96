#pragma once
// The commands on the USB family: each runs a search on the port first (as the USB tab's Search
// does) and then does the work through the link, as the tab and its dialogs do.

#include "cli/cli_fields.h"
#include "cli/cli_output.h"
#include "rdm/quorix_link.h"
#include "settings/settings_file.h"

#include <QList>

namespace cli {

class UsbCommands {
public:
    UsbCommands(Output &out, const QString &port, bool fast);

    int search(bool json);
    int show(const Target &target, bool json);
    int set(const Target &target, const UsbFieldValues &values, bool verify);
    int backup(const QList<Target> &targets, const QString &file);
    int restore(const QList<settings::Entry> &entries, bool dryRun, bool verify);
    int firmware(const Target &target, const QByteArray &image, int waitSeconds);

    // The controllers a search found, for a test of this class's callers.
    const QList<TQuorixCtrl> &found() const { return m_link.VControllers; }

private:
    bool runSearch();
    // The row of the controller `target`, or -1 with the message said.
    int rowOf(const Target &target);
    // A search, then rowOf.
    int searchFor(const Target &target);
    // Sends the edits as the dialog's OK does; false when a change did not go out (said).
    bool send(int row, const rdm::QuorixEdits &shown, const rdm::QuorixEdits &edited);
    // What went to one controller: what its dialog showed and what was sent over it.
    struct Sent {
        quint32 deviceId = 0;
        rdm::QuorixEdits shown;
        rdm::QuorixEdits edited;
    };
    // Reads back what was sent with the gets of those parameters alone (no search) and says, for
    // each controller, "Verified" or which field differs. True when every one verified.
    bool verify(const QList<Sent> &sent);

    Output &m_out;
    QuorixLink m_link;
    QString m_portFailure;
};

} // namespace cli
