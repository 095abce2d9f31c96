#include "cli/network_commands.h"

#include "cli/cli_json.h"
#include "cli/cli_settings.h"
#include "config/config_workflow_rules.h"
#include "firmware/bootloader_start.h"
#include "firmware/upload_link.h"
#include "net/net_interfaces.h"
#include "net/orvantic.h"

#include <QEventLoop>
#include <QHash>
#include <QCoreApplication>
#include <QJsonDocument>
#include <QTimer>

namespace cli {

NetworkCommands::NetworkCommands(Output &out, const QString &adapter) : m_out(out), m_adapter(adapter)
{
    QObject::connect(&m_link, &NetworkLink::controllerListed, &m_link,
                     [this] { m_out.progress(QStringLiteral("Found %1 Device(s)").arg(m_link.count())); });
}

bool NetworkCommands::runSearch()
{
    QList<tNetworkInterface> interfaces;
    const AdapterList list = GetNetworkInterfaces(interfaces) ? adapterListFrom(interfaces) : AdapterList{};
    QString adapter = m_adapter;
    if (adapter.isEmpty()) {
        if (list.addresses.isEmpty()) {
            m_out.message(QStringLiteral("None Found"));
            return false;
        }
        adapter = list.addresses.first();
    }
    m_adapterNetwork = list.netAddresses.value(list.addresses.indexOf(adapter));
    const QHostAddress address(adapter);
    if (address.protocol() != QAbstractSocket::IPv4Protocol) {
        m_out.message(QStringLiteral("--adapter: \"%1\" is not an IPv4 address").arg(adapter));
        return false;
    }
    if (!m_link.isBound() || m_link.localAddress() != address) {
        if (Result<> bound = m_link.bindTo(address); !bound) {
            m_out.message(bound.failure().text);
            return false;
        }
    }
    if (Result<> sent = m_link.search(); !sent) {
        m_out.message(sent.failure().text);
        return false;
    }
    QEventLoop loop;
    QTimer::singleShot(ListenMs, &loop, &QEventLoop::quit);
    loop.exec();
    m_out.endProgress();
    return true;
}

settings::Entry NetworkCommands::entryAt(int row) const
{
    return settings::entryOf(m_link.controller(row), m_link.rowTexts(row).value(0));
}

int NetworkCommands::rowOf(const Target &target)
{
    for (int row = 0; row < m_link.count(); ++row) {
        const settings::Entry e = entryAt(row);
        if (target.kind == Target::Mac ? e.id == target.text : e.address == target.text)
            return row;
    }
    m_out.message(QStringLiteral("%1: no controller answered from this %2")
                      .arg(target.text, target.kind == Target::Mac ? QStringLiteral("MAC address")
                                                                   : QStringLiteral("IP address")));
    return -1;
}

int NetworkCommands::search(bool json)
{
    if (!runSearch())
        return Failure;
    if (json) {
        QList<settings::Entry> entries;
        for (int row = 0; row < m_link.count(); ++row)
            entries << entryAt(row);
        QJsonArray controllers = entryObjects(entries);
        for (int row = 0; row < m_link.count(); ++row) {
            QJsonObject o = controllers[row].toObject();
            o[u"row"] = row + 1;
            controllers[row] = o;
        }
        m_out.resultBytes(document(QStringLiteral("search"), QStringLiteral("network"), controllers,
                                   {{QStringLiteral("adapter"), m_link.localAddress().toString()}}));
        return Success;
    }
    QList<QStringList> rows;
    for (int row = 0; row < m_link.count(); ++row)
        rows << m_link.rowTexts(row);
    printFound(m_out, {QStringLiteral("Model"), QStringLiteral("Nickname"), QStringLiteral("IP"), QStringLiteral("Firmware"),
                       QStringLiteral("Temp")},
               rows);
    return Success;
}

int NetworkCommands::show(const Target &target, bool json)
{
    const int row = searchFor(target);
    if (row < 0)
        return Failure;
    if (json) {
        QJsonObject o = entryObjects({entryAt(row)}).first().toObject();
        o[u"row"] = row + 1;
        m_out.resultBytes(document(QStringLiteral("show"), QStringLiteral("network"), {o},
                                   {{QStringLiteral("adapter"), m_link.localAddress().toString()}}));
        return Success;
    }
    const QStringList cells = m_link.rowTexts(row);
    const settings::Entry e = entryAt(row);
    m_out.result(QStringLiteral("Model: %1").arg(cells.value(0)));
    m_out.result(QStringLiteral("MAC: %1").arg(e.id));
    m_out.result(QStringLiteral("IP: %1").arg(cells.value(2)));
    m_out.result(QStringLiteral("Firmware: %1").arg(cells.value(3)));
    m_out.result(QStringLiteral("Temp: %1").arg(cells.value(4)));
    m_out.result(QStringLiteral("nickname=%1").arg(e.nickname));
    // The settings as the settings file writes them, one member a line.
    const QJsonObject settings = entryObjects({e}).first().toObject().value(u"settings").toObject();
    for (auto it = settings.begin(); it != settings.end(); ++it) {
        const QJsonValue v = it.value();
        const QString text = v.isString() ? v.toString()
                                          : QString::fromUtf8(QJsonDocument(QJsonArray{v}).toJson(QJsonDocument::Compact))
                                                .mid(1)
                                                .chopped(1);
        m_out.result(QStringLiteral("%1=%2").arg(it.key(), text));
    }
    return Success;
}

QString NetworkCommands::refusal(int row, bool bootloaderTakes) const
{
    const TTessaraCtrl &c = m_link.controller(row);
    const QString model = m_link.rowTexts(row).value(0);
    if (!net::orvantic::isKnownModel(model))
        return QStringLiteral("a %1 has no settings this program can change").arg(model);
    if (net::tessara::isBootloader(c))
        return bootloaderTakes ? QString() : QStringLiteral("the controller runs its bootloader; update its firmware first");
    if (config::flow::ipCompatibility(c, m_adapterNetwork) == config::flow::IpCheck::OfferRepair)
        return config::flow::RepairQuestion.section(QStringLiteral(". "), 0, 0) + QLatin1Char('.');
    return {};
}

bool NetworkCommands::send(int row, const TTessaraCtrl &record)
{
    // As the configuration workflow's OK: the record takes the values, then its datagram goes out.
    m_link.replaceController(row, record);
    if (const Result<> sent = m_link.sendConfig(row); !sent) {
        m_out.message(sent.failure().text);
        return false;
    }
    return true;
}

int NetworkCommands::backup(const QList<Target> &targets, const QString &file)
{
    if (!runSearch())
        return Failure;
    return writeBackup(m_out, file, targets, m_link.count(), [this](int row) { return entryAt(row); },
                       [this](const Target &t) { return rowOf(t); });
}

int NetworkCommands::restore(const QList<settings::Entry> &entries, bool dryRun, bool verifyAfter)
{
    if (!runSearch())
        return Failure;
    QList<settings::Entry> listed;
    for (int row = 0; row < m_link.count(); ++row)
        listed << entryAt(row);
    bool all = true;
    QList<settings::Entry> sent;
    for (const settings::Entry &e : entries) {
        const int row = settings::matchIndex(e, listed);
        if (row < 0) {
            m_out.message(QStringLiteral("%1: no controller answered from this MAC address").arg(e.id));
            all = false;
            continue;
        }
        if (const QString why = refusal(row); !why.isEmpty()) {
            m_out.message(QStringLiteral("%1: %2").arg(e.id, why));
            all = false;
            continue;
        }
        const QString model = m_link.rowTexts(row).value(0);
        const Result<TTessaraCtrl> record = settings::applyTo(e, m_link.controller(row), model, {});
        if (!record) {
            m_out.message(QStringLiteral("%1: %2").arg(e.id, record.failure().text));
            all = false;
            continue;
        }
        const settings::Entry after = settings::entryOf(*record, model);
        const QList<settings::Change> changes = settings::changes(listed[row], after);
        if (!changesToSend(m_out, e.id, changes, dryRun))
            continue;
        if (!send(row, *record)) {
            all = false;
            continue;
        }
        sent << after;
        if (!verifyAfter)
            m_out.result(QStringLiteral("%1: sent").arg(e.id));
    }
    if (verifyAfter && !sent.isEmpty() && !verify(sent))
        all = false;
    return all ? Success : Failure;
}

std::optional<settings::Entry> NetworkCommands::edited(const settings::Entry &now, const QStringList &assignments)
{
    QJsonObject entry = entryObjects({now}).first().toObject();
    QJsonObject values = entry.value(u"settings").toObject();
    QStringList seen;
    for (const QString &a : assignments) {
        const qsizetype eq = a.indexOf(QLatin1Char('='));
        const QString field = eq < 0 ? a : a.left(eq);
        const QString text = a.mid(eq + 1);
        if (eq < 0 || (field != QLatin1String("nickname") && !values.contains(field))) {
            m_out.message(QStringLiteral("%1: not a field of this controller (nickname, %2 expected, as FIELD=VALUE)")
                              .arg(field, values.keys().join(QStringLiteral(", "))));
            return std::nullopt;
        }
        if (seen.contains(field)) {
            m_out.message(QStringLiteral("%1: given twice").arg(field));
            return std::nullopt;
        }
        seen << field;
        if (field == QLatin1String("nickname")) {
            entry[u"nickname"] = text;
            continue;
        }
        // The value takes the type the field has in a settings file: text as it is, anything
        // else as JSON (true, 170, 2.2, [2.2,2.2,2.2]).
        const QJsonValue was = values.value(field);
        if (was.isString()) {
            values[field] = text;
            continue;
        }
        const QJsonDocument parsed = QJsonDocument::fromJson(QStringLiteral("[%1]").arg(text).toUtf8());
        if (!parsed.isArray() || parsed.array().size() != 1) {
            m_out.message(QStringLiteral("%1: \"%2\" is not a value of this field").arg(field, text));
            return std::nullopt;
        }
        values[field] = parsed.array().first();
    }
    entry[u"settings"] = values;
    const QJsonObject file{{QStringLiteral("format"), settings::FormatName},
                           {QStringLiteral("version"), settings::SchemaVersion},
                           {QStringLiteral("controllers"), QJsonArray{entry}}};
    // The settings file's strict reading holds every field to its dialog's limits.
    const Result<QList<settings::Entry>> read = settings::fromJson(QJsonDocument(file).toJson());
    if (!read) {
        QString error = read.failure().text;
        for (const QString &prefix : {QStringLiteral("controllers[0].settings."), QStringLiteral("controllers[0].")})
            if (error.startsWith(prefix))
                error = error.mid(prefix.size());
        m_out.message(error);
        return std::nullopt;
    }
    return read->first();
}

int NetworkCommands::set(const Target &target, const QStringList &assignments, bool verifyAfter)
{
    const int row = searchFor(target);
    if (row < 0)
        return Failure;
    const TTessaraCtrl before = m_link.controller(row);
    const QString model = m_link.rowTexts(row).value(0);
    if (const QString why = refusal(row); !why.isEmpty()) {
        m_out.message(QStringLiteral("%1: %2").arg(target.text, why));
        return Failure;
    }
    const settings::Entry now = entryAt(row);
    const std::optional<settings::Entry> wanted = edited(now, assignments);
    if (!wanted)
        return Usage;
    const Result<TTessaraCtrl> record = settings::applyTo(*wanted, before, model, {});
    if (!record) {
        m_out.message(QStringLiteral("%1: %2").arg(target.text, record.failure().text));
        return Failure;
    }
    if (*record == before) {
        m_out.result(QStringLiteral("%1: nothing to change").arg(target.text));
        return Success;
    }
    if (!send(row, *record))
        return Failure;
    if (!verifyAfter) {
        m_out.result(QStringLiteral("%1: sent").arg(target.text));
        return Success;
    }
    return verify({settings::entryOf(*record, model)}) ? Success : Failure;
}

bool NetworkCommands::verify(const QList<settings::Entry> &sent)
{
    // A controller takes a configuration in its own time and may restart before it answers again:
    // it is asked up to three times, and only what it says the last time counts.
    constexpr int Attempts = 3;
    QList<settings::Entry> pending = sent;
    QHash<QString, QStringList> differs; // by MAC, from the latest answer
    bool all = true;
    for (int attempt = 0; attempt < Attempts && !pending.isEmpty(); ++attempt) {
        QEventLoop settle;
        QTimer::singleShot(ListenMs / 3, &settle, &QEventLoop::quit);
        settle.exec();
        if (!runSearch())
            return false;
        QList<settings::Entry> listed;
        for (int row = 0; row < m_link.count(); ++row)
            listed << entryAt(row);
        QList<settings::Entry> again;
        for (const settings::Entry &e : std::as_const(pending)) {
            const int row = settings::matchIndex(e, listed);
            if (row < 0) {
                again << e;
                continue;
            }
            const QList<settings::Change> changes = settings::changes(e, listed[row]);
            if (changes.isEmpty()) {
                differs.remove(e.id);
                m_out.result(QStringLiteral("%1: Verified").arg(e.id));
                continue;
            }
            QStringList text;
            for (const settings::Change &c : changes)
                text << QStringLiteral("%1 sent %2, reported %3").arg(c.field, c.now, c.fromFile);
            differs[e.id] = text;
            again << e;
        }
        pending = again;
    }
    for (const settings::Entry &e : std::as_const(pending)) {
        all = false;
        if (differs.contains(e.id))
            m_out.result(QStringLiteral("%1: %2").arg(e.id, differs[e.id].join(QStringLiteral("; "))));
        else
            m_out.message(QStringLiteral("%1: no answer after the configuration was sent").arg(e.id));
    }
    return all;
}

int NetworkCommands::firmware(const Target &target, const QString &file)
{
    const int row = searchFor(target);
    if (row < 0)
        return Failure;
    // As the window: a controller outside the adapter's network is not touched, and one already in
    // its bootloader is not triggered again.
    if (const QString why = refusal(row, true); !why.isEmpty()) {
        m_out.message(QStringLiteral("%1: %2").arg(target.text, why));
        return Failure;
    }
    const TTessaraCtrl controller = m_link.controller(row);
    const QString host = net::tessara::ipText(controller.CurrentIP);
    if (!net::tessara::isBootloader(controller)) {
        m_out.progress(QStringLiteral("Starting the bootloader of %1").arg(host));
        if (const Result<> started = ::firmware::startBootloader(
                controller, [this](const QByteArray &d, const QString &h) { return m_link.send(d, h); });
            !started) {
            m_out.message(started.failure().text);
            return Failure;
        }
    }
    // The window's operator takes a while to press Update; a script does not, so a bootloader that
    // is not listening yet is asked again until the connection time is up. A connection that
    // times out has used that time up.
    constexpr int RetryMs = 250;
    ::firmware::UploadLink upload;
    if (const Result<> connected = upload.connectToBootloader(host, net::orvantic::Port, RetryMs); !connected) {
        m_out.message(connected.failure().text);
        return Failure;
    }
    const auto text = [](const char *source) { return QCoreApplication::translate("TTCPFirmware", source); };
    const QString status = text("Please wait, updating firmware...");
    m_out.progress(status);
    // On a terminal, how much of the file has gone out.
    QObject::connect(&upload, &::firmware::UploadLink::progress, [&](qint64 sent, qint64 total) {
        m_out.progress(QStringLiteral("%1 %2 %").arg(status).arg(sent * 100 / total));
    });
    const Result<> sent = upload.sendFirmware(file);
    m_out.endProgress();
    if (!sent) {
        m_out.message(QStringLiteral("%1: %2").arg(target.text, text("Error Sending File")));
        return Failure;
    }
    m_out.result(QStringLiteral("%1: %2").arg(target.text, text("Update Sent")));
    return Success;
}

} // namespace cli
