#pragma once
// After a restore has sent a controller its settings: whether the controller took them, and the
// result list of a whole run. The network read-back asks with the very discovery request a Search
// sends and listens for the controller's poll reply, by MAC, since a controller may come back at
// another address; it never sends anything else.

#include "rdm/quorix_read_back.h"
#include "settings/settings_file.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <functional>

class QTimer;

namespace settings {

// How one controller of a restore ended.
enum class Outcome {
    Verified, // sent, read back, every field as sent
    Differs,  // sent, read back, some fields not as sent
    NoAnswer, // sent, no reply to any try
    Applied,  // sent, not read back (verification off)
    NotSent,  // refused before anything went out, or the send failed
};

struct RestoreResult {
    QString controller; // as the operator knows it: model, nickname and address or serial
    Outcome outcome = Outcome::NotSent;
    // Differs: each field as sent (`fromFile`) and as reported (`now`).
    QList<Change> differences;
    QString detail; // NotSent: why
};

// "Verified", "Differs", ... as the result list shows it.
QString outcomeText(Outcome o);
// One line for the result, and the differing fields below it, indented.
QString resultText(const RestoreResult &r);
// The whole list as plain text, as "Save results…" writes it.
QString resultListText(const QList<RestoreResult> &results);

// The fields in which a controller's report differs from what was sent: `now` as reported,
// `fromFile` as sent.
QList<Change> differences(const Entry &sent, const Entry &reported);

// The settings file's name of the USB field an edit step sends.
QString usbFieldName(rdm::EditStep step);

// A USB controller's read-back as a result: "Verified", "Differs" with each field reported
// otherwise than sent or not reported at all, or "No answer" when no get was answered.
RestoreResult usbResult(const QString &controller, const rdm::ReadBackReport &report);

class NetworkReadBack : public QObject {
    Q_OBJECT
public:
    using Send = std::function<void(const QByteArray &datagram, const QString &host)>;
    explicit NetworkReadBack(Send send, QObject *parent = nullptr);

    static constexpr int Tries = 3;
    // A controller takes a moment to store its settings, and may restart: the first try waits,
    // and each try waits this long for an answer before the next.
    void setTiming(int firstDelayMs, int tryIntervalMs);

    // Reads back the controller `sent` was sent to (its MAC identifies the reply). Ends with
    // finished(); a read-back still running is given up first.
    void start(const TTessaraCtrl &sent, const QString &model, const QString &controllerName);
    bool running() const;
    // Every datagram the port receives while running; anything but this controller's poll reply
    // is ignored.
    void datagramReceived(const QByteArray &datagram);

signals:
    void finished(const settings::RestoreResult &result);

private:
    void nextTry();
    void finish(Outcome outcome);

    Send m_send;
    QTimer *m_timer;
    int m_firstDelayMs = 500;
    int m_tryIntervalMs = 1500;
    int m_tries = 0;
    bool m_running = false;
    bool m_answered = false;
    TTessaraCtrl m_sent;
    Entry m_sentEntry;
    QString m_model;
    RestoreResult m_result;
};

} // namespace settings
