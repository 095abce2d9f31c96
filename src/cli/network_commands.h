#pragma once
// The commands on the network family: each binds to the chosen adapter (the first listed, as the
// network tab does at start), sends one discovery request as Search does, lists the replies that
// come within the listening time, and then does the work through the network link.

#include "cli/cli_fields.h"
#include "cli/cli_output.h"
#include "net/network_link.h"
#include "settings/settings_file.h"

#include <optional>

namespace cli {

class NetworkCommands {
public:
    // A search listens this long for replies; controllers answer within a few milliseconds.
    static constexpr int ListenMs = 1500;

    NetworkCommands(Output &out, const QString &adapter);

    int search(bool json);
    int show(const Target &target, bool json);
    int set(const Target &target, const QStringList &assignments, bool verify);
    int backup(const QList<Target> &targets, const QString &file);
    int restore(const QList<settings::Entry> &entries, bool dryRun, bool verify);
    // Starts the controller's bootloader (unless it runs it already) and uploads `file`, which the
    // caller has checked before.
    int firmware(const Target &target, const QString &file);

private:
    bool runSearch();
    int rowOf(const Target &target);
    int searchFor(const Target &target) { return runSearch() ? rowOf(target) : -1; }
    settings::Entry entryAt(int row) const;
    // Why the configuration workflow would not open the row's dialog, or empty. A controller in
    // its bootloader is refused unless `bootloaderTakes` (a firmware update takes it).
    QString refusal(int row, bool bootloaderTakes = false) const;
    // The record as the workflow's OK: stored, then its configuration datagram sent.
    bool send(int row, const TTessaraCtrl &record);

    // The entry `now` with the FIELD=VALUE assignments laid over it, read as strictly as a settings
    // file; nothing, with the message said, when a field is unknown or a value out of its limits.
    std::optional<settings::Entry> edited(const settings::Entry &now, const QStringList &assignments);
    // Searches again and compares each controller (by MAC) with what it was sent.
    bool verify(const QList<settings::Entry> &sent);

    Output &m_out;
    QString m_adapter;
    QString m_adapterNetwork; // the bound adapter's network, for the IP check
    NetworkLink m_link;
};

} // namespace cli
