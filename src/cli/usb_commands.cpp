#include "cli/usb_commands.h"

#include "cli/cli_json.h"
#include "cli/cli_settings.h"
#include "rdm/quorix_read_back.h"
#include "rdm/quorix_texts.h"
#include "rdm/search_progress.h"
#include "settings/read_back.h"

#include <QEventLoop>
#include <QLocale>
#include <QTimer>
#include <algorithm>
#include <optional>

namespace cli {

namespace {

QString gammaShown(int tenths)
{
    return QLocale::c().toString(tenths / 10.0, 'f', 1);
}

// The settings a script names, in the form `set` takes them.
QStringList fieldLines(const rdm::QuorixEdits &e)
{
    return {QStringLiteral("nickname=%1").arg(e.nickname), QStringLiteral("mode=%1").arg(e.personality),
            QStringLiteral("startAddress=%1").arg(e.startAddress),
            QStringLiteral("gamma=%1").arg(gammaShown(e.gammaTenths))};
}

// The fields the dialog would not have let the operator change on a controller without remote
// mode, named as the settings file names them.
QStringList lockedFields(const rdm::QuorixEdits &shown, const rdm::QuorixEdits &edited)
{
    QStringList locked;
    for (const rdm::EditStep step : {rdm::LabelStep, rdm::ModeStep, rdm::StartAddressStep})
        if (rdm::stepChanged(step, shown, edited))
            locked << settings::usbFieldName(step);
    return locked;
}

QJsonObject controllerObject(const TQuorixCtrl &c, int row)
{
    QJsonObject o = entryObjects({settings::entryOf(c)}).first().toObject();
    o[u"row"] = row + 1;
    o[u"temperature"] = rdm::temperatureCelsius(c);
    o[u"remoteMode"] = c.RM != 0;
    return o;
}

} // namespace

UsbCommands::UsbCommands(Output &out, const QString &port, bool fast) : m_out(out)
{
    m_link.setPortName(port);
    m_link.setFastSearch(fast);
    QObject::connect(&m_link, &QuorixLink::searchStatus, &m_link,
                     [this](const rdm::SearchProgress &p) { m_out.progress(rdm::searchProgressText(p)); });
    QObject::connect(&m_link, &QuorixLink::portFailed, &m_link, [this](const ::Failure &failure) { m_portFailure = failure.text; });
}

bool UsbCommands::runSearch()
{
    m_portFailure.clear();
    if (const Result<> started = m_link.startSearch(); !started) {
        m_out.message(started.failure().text);
        m_out.message(started.failure().reason);
        return false;
    }
    QEventLoop loop;
    QObject::connect(&m_link, &QuorixLink::searchEnded, &loop, &QEventLoop::quit);
    QObject::connect(&m_link, &QuorixLink::portFailed, &loop, &QEventLoop::quit);
    if (m_link.searching() && m_portFailure.isEmpty())
        loop.exec();
    m_out.endProgress();
    if (!m_portFailure.isEmpty()) {
        m_out.message(m_portFailure);
        return false;
    }
    return true;
}

int UsbCommands::rowOf(const Target &target)
{
    const QList<TQuorixCtrl> &found = m_link.VControllers;
    for (qsizetype i = 0; i < found.size(); ++i)
        if (found[i].deviceId() == target.deviceId)
            return int(i);
    m_out.message(QStringLiteral("%1: no controller with this device ID answered on %2").arg(target.text, m_link.portName()));
    return -1;
}

int UsbCommands::searchFor(const Target &target)
{
    return runSearch() ? rowOf(target) : -1;
}

int UsbCommands::search(bool json)
{
    if (!runSearch())
        return Failure;
    const QList<TQuorixCtrl> &found = m_link.VControllers;
    if (json) {
        QJsonArray controllers;
        for (qsizetype i = 0; i < found.size(); ++i)
            controllers.append(controllerObject(found[i], int(i)));
        m_out.resultBytes(document(QStringLiteral("search"), QStringLiteral("usb"), controllers,
                                   {{QStringLiteral("port"), m_link.portName()}}));
        return Success;
    }
    QList<QStringList> rows;
    for (const TQuorixCtrl &c : found)
        rows << rdm::usbRowTexts(c);
    printFound(m_out, {QStringLiteral("Model"), QStringLiteral("Nickname"), QStringLiteral("Firmware"),
                       QStringLiteral("Serial"), QStringLiteral("Temp")},
               rows);
    return Success;
}

int UsbCommands::show(const Target &target, bool json)
{
    const int row = searchFor(target);
    if (row < 0)
        return Failure;
    const TQuorixCtrl &c = m_link.VControllers[row];
    if (json) {
        m_out.resultBytes(document(QStringLiteral("show"), QStringLiteral("usb"), {controllerObject(c, row)},
                                   {{QStringLiteral("port"), m_link.portName()}}));
        return Success;
    }
    const QStringList cells = rdm::usbRowTexts(c);
    m_out.result(QStringLiteral("Model: %1").arg(cells[0]));
    m_out.result(QStringLiteral("Serial: %1").arg(cells[3]));
    m_out.result(QStringLiteral("Firmware: %1").arg(cells[2]));
    m_out.result(QStringLiteral("Temp: %1").arg(cells[4]));
    m_out.result(QStringLiteral("Remote mode: %1").arg(rdm::remoteModeText(c.RM != 0)));
    for (const QString &line : fieldLines(rdm::editsOf(c)))
        m_out.result(line);
    return Success;
}

bool UsbCommands::send(int row, const rdm::QuorixEdits &shown, const rdm::QuorixEdits &edited)
{
    const QuorixLink::EditOutcome outcome = m_link.applyEdits(row, shown, edited);
    if (outcome.notSent.isEmpty())
        return true;
    m_out.message(QStringLiteral("These changes did not reach controller %1: %2.")
                      .arg(row + 1)
                      .arg(outcome.notSent.join(QStringLiteral(", "))));
    m_out.message(QuorixLink::wholeText(outcome.reason));
    return false;
}

int UsbCommands::set(const Target &target, const UsbFieldValues &values, bool verifyAfter)
{
    const int row = searchFor(target);
    if (row < 0)
        return Failure;
    const TQuorixCtrl &c = m_link.VControllers[row];
    const rdm::QuorixEdits shown = rdm::editsOf(c);
    QString error;
    const std::optional<rdm::QuorixEdits> edited = usbEdited(shown, values, &error);
    if (!edited) {
        m_out.message(error);
        return Usage;
    }
    if (c.RM == 0) {
        if (const QStringList locked = lockedFields(shown, *edited); !locked.isEmpty()) {
            m_out.message(QStringLiteral("%1: %2").arg(locked.join(QStringLiteral(", ")), rdm::remoteModeText(false)));
            return Failure;
        }
    }
    bool changed = false;
    for (int i = 0; i < rdm::EditSteps; ++i)
        changed = changed || rdm::stepChanged(rdm::EditStep(i), shown, *edited);
    if (!changed) {
        m_out.result(QStringLiteral("%1: nothing to change").arg(target.text));
        return Success;
    }
    if (!send(row, shown, *edited))
        return Failure;
    if (!verifyAfter) {
        m_out.result(QStringLiteral("%1: sent").arg(target.text));
        return Success;
    }
    return verify({{target.deviceId, shown, *edited}}) ? Success : Failure;
}

bool UsbCommands::verify(const QList<Sent> &sent)
{
    bool all = true;
    for (const Sent &s : sent) {
        const QString id = QStringLiteral("%1").arg(s.deviceId, 8, 16, QLatin1Char('0')).toUpper();
        const QList<TQuorixCtrl> &found = m_link.VControllers;
        const int row = int(std::find_if(found.begin(), found.end(),
                                         [&](const TQuorixCtrl &c) { return c.deviceId() == s.deviceId; })
                            - found.begin());
        std::optional<rdm::ReadBackReport> report;
        QEventLoop loop;
        const QMetaObject::Connection finished = QObject::connect(
            &m_link, &QuorixLink::readBackFinished, &loop, [&](const rdm::ReadBackReport &r) {
                report = r;
                loop.quit();
            });
        const QMetaObject::Connection failed =
            QObject::connect(&m_link, &QuorixLink::portFailed, &loop, &QEventLoop::quit);
        m_portFailure.clear();
        const Result<> started = m_link.readBack(row, s.shown, s.edited);
        if (started && !report && m_portFailure.isEmpty())
            loop.exec();
        QObject::disconnect(finished);
        QObject::disconnect(failed);
        if (!started || !m_portFailure.isEmpty()) {
            m_out.message(QStringLiteral("%1: %2").arg(id, started ? m_portFailure : QuorixLink::wholeText(started.failure())));
            all = false;
            continue;
        }
        if (!report || !report->answered()) {
            m_out.message(QStringLiteral("%1: no answer after the changes were sent").arg(id));
            all = false;
            continue;
        }
        if (report->verified()) {
            m_out.result(QStringLiteral("%1: Verified").arg(id));
            continue;
        }
        all = false;
        const rdm::QuorixEdits &was = report->sent;
        const rdm::QuorixEdits &now = report->reported;
        QStringList said;
        for (const rdm::ReadBackField &f : report->fields) {
            const QString field = settings::usbFieldName(f.step);
            switch (f.state) {
            case rdm::ReadBackField::State::AsSent:
                break;
            case rdm::ReadBackField::State::NoAnswer:
                said << QStringLiteral("%1: no answer").arg(field);
                break;
            case rdm::ReadBackField::State::Refused:
                said << QStringLiteral("%1: refused by the controller").arg(field);
                break;
            case rdm::ReadBackField::State::Differs:
                switch (f.step) {
                case rdm::LabelStep:
                    said << QStringLiteral("nickname sent \"%1\", reported \"%2\"").arg(was.nickname, now.nickname);
                    break;
                case rdm::ModeStep:
                    said << QStringLiteral("mode sent %1, reported %2").arg(was.personality).arg(now.personality);
                    break;
                case rdm::StartAddressStep:
                    said << QStringLiteral("startAddress sent %1, reported %2").arg(was.startAddress).arg(now.startAddress);
                    break;
                case rdm::GammaStep:
                    said << QStringLiteral("gamma sent %1, reported %2")
                                .arg(gammaShown(was.gammaTenths), gammaShown(now.gammaTenths));
                    break;
                case rdm::EditSteps:
                    break;
                }
            }
        }
        m_out.result(QStringLiteral("%1: %2").arg(id, said.join(QStringLiteral("; "))));
    }
    return all;
}

int UsbCommands::backup(const QList<Target> &targets, const QString &file)
{
    if (!runSearch())
        return Failure;
    return writeBackup(m_out, file, targets, int(m_link.VControllers.size()), [this](int row) { return settings::entryOf(m_link.VControllers[row]); },
                       [this](const Target &t) { return rowOf(t); });
}

int UsbCommands::restore(const QList<settings::Entry> &entries, bool dryRun, bool verifyAfter)
{
    if (!runSearch())
        return Failure;
    QList<settings::Entry> listed;
    for (const TQuorixCtrl &c : std::as_const(m_link.VControllers))
        listed << settings::entryOf(c);
    bool all = true;
    QList<Sent> sent;
    for (const settings::Entry &e : entries) {
        const int row = settings::matchIndex(e, listed);
        if (row < 0) {
            m_out.message(QStringLiteral("%1: no controller with this device ID answered on %2").arg(e.id, m_link.portName()));
            all = false;
            continue;
        }
        const TQuorixCtrl &c = m_link.VControllers[row];
        const Result<rdm::QuorixEdits> edited = settings::applyTo(e, c, {});
        if (!edited) {
            m_out.message(QStringLiteral("%1: %2").arg(e.id, edited.failure().text));
            all = false;
            continue;
        }
        const rdm::QuorixEdits shown = rdm::editsOf(c);
        settings::Entry after = listed[row];
        after.edits = *edited;
        after.nickname = edited->nickname;
        const QList<settings::Change> changes = settings::changes(listed[row], after);
        if (!changesToSend(m_out, e.id, changes, dryRun))
            continue;
        if (c.RM == 0) {
            if (const QStringList locked = lockedFields(shown, *edited); !locked.isEmpty()) {
                m_out.message(QStringLiteral("%1: %2: %3").arg(e.id, locked.join(QStringLiteral(", ")),
                                                              rdm::remoteModeText(false)));
                all = false;
                continue;
            }
        }
        if (!send(row, shown, *edited)) {
            all = false;
            continue;
        }
        sent.append({c.deviceId(), shown, *edited});
        if (!verifyAfter)
            m_out.result(QStringLiteral("%1: sent").arg(e.id));
    }
    if (verifyAfter && !sent.isEmpty() && !verify(sent))
        all = false;
    return all ? Success : Failure;
}

int UsbCommands::firmware(const Target &target, const QByteArray &image, int waitSeconds)
{
    const int row = searchFor(target);
    if (row < 0)
        return Failure;
    m_link.CurrentController = row;
    QEventLoop loop;
    QObject::connect(&m_link, &QuorixLink::firmwareFinished, &loop, &QEventLoop::quit);
    QObject::connect(&m_link, &QuorixLink::portFailed, &loop, &QEventLoop::quit);
    QObject::connect(&m_link, &QuorixLink::firmwareProgress, &loop,
                     [this](int percent) { m_out.progress(QStringLiteral("Firmware %1 %").arg(percent)); });
    // The window offers the key until Cancel; a script has no Cancel, so the wait is bounded.
    bool unanswered = false;
    QTimer handshake;
    handshake.setSingleShot(true);
    QObject::connect(&handshake, &QTimer::timeout, &loop, [&] {
        if (m_link.bootloader().state() != rdm::boot::BootloaderExchange::State::Handshake)
            return;
        unanswered = true;
        m_link.cancelFirmwareUpdate();
        loop.quit();
    });
    m_portFailure.clear();
    if (const Result<> started = m_link.startFirmwareUpdate(row, image); !started) {
        m_out.message(QuorixLink::wholeText(started.failure()));
        return Failure;
    }
    handshake.start(waitSeconds * 1000);
    if (m_link.bootloader().active() && m_portFailure.isEmpty())
        loop.exec();
    m_out.endProgress();
    if (!m_portFailure.isEmpty()) {
        m_out.message(m_portFailure);
        return Failure;
    }
    if (unanswered) {
        m_out.message(QStringLiteral("%1: its bootloader did not answer within %2 s; the controller may be waiting in "
                                     "its bootloader.\n\nFailed, please retry..")
                          .arg(target.text)
                          .arg(waitSeconds));
        return Failure;
    }
    const rdm::boot::BootloaderExchange &exchange = m_link.bootloader();
    if (exchange.state() == rdm::boot::BootloaderExchange::State::Complete) {
        m_out.result(exchange.resultText());
        return Success;
    }
    m_out.message(exchange.resultText());
    return Failure;
}

} // namespace cli
