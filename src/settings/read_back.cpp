#include "settings/read_back.h"

#include "net/orvantic.h"

#include <QTimer>

namespace settings {

QString outcomeText(Outcome o)
{
    switch (o) {
    case Outcome::Verified:
        return QStringLiteral("Verified");
    case Outcome::Differs:
        return QStringLiteral("Differs");
    case Outcome::NoAnswer:
        return QStringLiteral("No answer");
    case Outcome::Applied:
        return QStringLiteral("Applied, not verified");
    case Outcome::NotSent:
        return QStringLiteral("Not sent");
    }
    return {};
}

QString resultText(const RestoreResult &r)
{
    QString text = QStringLiteral("%1: %2").arg(r.controller, outcomeText(r.outcome));
    if (!r.detail.isEmpty())
        text += QStringLiteral(" (%1)").arg(r.detail);
    for (const Change &c : r.differences)
        text += QStringLiteral("\n    %1: sent %2, reported %3").arg(c.field, c.fromFile, c.now);
    return text;
}

QString resultListText(const QList<RestoreResult> &results)
{
    QString text;
    for (const RestoreResult &r : results)
        text += resultText(r) + QLatin1Char('\n');
    return text;
}

QList<Change> differences(const Entry &sent, const Entry &reported)
{
    return changes(reported, sent);
}

QString usbFieldName(rdm::EditStep step)
{
    switch (step) {
    case rdm::LabelStep: return QStringLiteral("nickname");
    case rdm::ModeStep: return QStringLiteral("mode");
    case rdm::StartAddressStep: return QStringLiteral("startAddress");
    case rdm::GammaStep:
    case rdm::EditSteps: break;
    }
    return QStringLiteral("gamma");
}

namespace {
// A USB field by its name in the file, with its value as the restore table words it.
std::pair<QString, QString> usbField(rdm::EditStep step, const rdm::QuorixEdits &e)
{
    const auto value = [&]() -> QString {
        switch (step) {
        case rdm::LabelStep: return e.nickname;
        case rdm::ModeStep: return QString::number(e.personality);
        case rdm::StartAddressStep: return QString::number(e.startAddress);
        case rdm::GammaStep:
        case rdm::EditSteps: break;
        }
        return QString::number(e.gammaTenths / 10.0);
    };
    return {usbFieldName(step), value()};
}
} // namespace

RestoreResult usbResult(const QString &controller, const rdm::ReadBackReport &report)
{
    using State = rdm::ReadBackField::State;
    RestoreResult r{controller, Outcome::Verified, {}, {}};
    if (!report.answered()) {
        r.outcome = Outcome::NoAnswer;
        return r;
    }
    for (const rdm::ReadBackField &f : report.fields) {
        if (f.state == State::AsSent)
            continue;
        const auto [field, sent] = usbField(f.step, report.sent);
        QString now = usbField(f.step, report.reported).second;
        if (f.state == State::NoAnswer)
            now = QStringLiteral("no answer");
        else if (f.state == State::Refused)
            now = QStringLiteral("refused");
        r.differences.append({field, now, sent});
    }
    if (!r.differences.isEmpty())
        r.outcome = Outcome::Differs;
    return r;
}

NetworkReadBack::NetworkReadBack(Send send, QObject *parent)
    : QObject(parent), m_send(std::move(send)), m_timer(new QTimer(this))
{
    m_timer->setSingleShot(true);
    connect(m_timer, &QTimer::timeout, this, &NetworkReadBack::nextTry);
}

void NetworkReadBack::setTiming(int firstDelayMs, int tryIntervalMs)
{
    m_firstDelayMs = firstDelayMs;
    m_tryIntervalMs = tryIntervalMs;
}

bool NetworkReadBack::running() const
{
    return m_running;
}

void NetworkReadBack::start(const TTessaraCtrl &sent, const QString &model, const QString &controllerName)
{
    m_timer->stop();
    m_running = true;
    m_answered = false;
    m_tries = 0;
    m_sent = sent;
    m_model = model;
    m_sentEntry = entryOf(sent, model);
    m_result = RestoreResult{controllerName, Outcome::NoAnswer, {}, {}};
    m_timer->start(m_firstDelayMs);
}

void NetworkReadBack::nextTry()
{
    if (m_tries == Tries) {
        finish(m_answered ? Outcome::Differs : Outcome::NoAnswer);
        return;
    }
    ++m_tries;
    m_send(net::orvantic::discoveryRequest(), QLatin1String(net::orvantic::BroadcastAddress));
    m_timer->start(m_tryIntervalMs);
}

void NetworkReadBack::datagramReceived(const QByteArray &datagram)
{
    if (!m_running || m_tries == 0)
        return;
    const auto reply = net::orvantic::parsePollReply(datagram);
    if (!reply || reply->ctrl.MAC != m_sent.MAC)
        return;
    // A controller still on its old settings (not yet restarted) may answer first; only a reply
    // as sent ends the read-back early, a differing one waits for the tries that are left.
    m_answered = true;
    m_result.differences = differences(m_sentEntry, entryOf(reply->ctrl, m_model));
    if (m_result.differences.isEmpty())
        finish(Outcome::Verified);
}

void NetworkReadBack::finish(Outcome outcome)
{
    m_timer->stop();
    m_running = false;
    m_result.outcome = outcome;
    if (outcome != Outcome::Differs)
        m_result.differences.clear();
    emit finished(m_result);
}

} // namespace settings
