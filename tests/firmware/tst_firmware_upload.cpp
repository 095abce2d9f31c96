// The upload stream as a controller's bootloader receives it, on a real loopback connection.

#include "firmware/bootloader_start.h"
#include "firmware/upload_link.h"
#include "loopback_server.h"

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

using firmware::UploadTiming;

namespace {

const QByteArray Line("Firmware Tessara 16\r\n");

// Short waits: the real pause is checked once, in exactStream.
constexpr UploadTiming Quick{2000, 50, 2000};

QByteArray randomBytes(qsizetype n)
{
    QByteArray b(n, Qt::Uninitialized);
    QRandomGenerator gen(7);
    for (char &c : b)
        c = char(gen.bounded(256));
    return b;
}

QString writeFile(const QTemporaryDir &dir, const QString &name, const QByteArray &content)
{
    const QString path = dir.filePath(name);
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(content) != content.size())
        qFatal("cannot write test file");
    return path;
}

// Connects `link` and runs the whole upload against `server`.
Result<> upload(firmware::UploadLink &link, LoopbackServer &server, const QString &file)
{
    if (!link.connectToBootloader(QStringLiteral("127.0.0.1"), server.port()))
        qFatal("cannot connect to the loopback server");
    const Result<> sent = link.sendFirmware(file);
    if (link.isConnected())
        qFatal("the connection was left open");
    return sent;
}

bool upload(LoopbackServer &server, const QString &file, const UploadTiming &timing = Quick)
{
    firmware::UploadLink link;
    link.setTiming(timing);
    return bool(upload(link, server, file));
}

QString connectError(quint16 port, int timeoutMs, int retryMs = 0)
{
    firmware::UploadLink link;
    link.setTiming({timeoutMs, 50, 2000});
    const Result<> connected = link.connectToBootloader(QStringLiteral("127.0.0.1"), port, retryMs);
    if (connected)
        return {};
    if (link.isConnected())
        return QStringLiteral("client left connected");
    return connected.failure().text;
}

} // namespace

class TestFirmwareUpload : public QObject {
    Q_OBJECT
private slots:
    void init() { QVERIFY(m_dir.isValid()); }
    void exactStream();
    void fileProblems_data();
    void fileProblems();
    void refusedConnection();
    void connectTimesOut();
    void retriesUntilTheBootloaderListens();
    void droppedConnection_data();
    void droppedConnection();
    void stalledConnection();
    void tailDeliveredToAControllerThatTalks();
    void triggerThenWait();
    void failedTriggerWaitsForNothing();

private:
    QTemporaryDir m_dir;
};

void TestFirmwareUpload::exactStream()
{
    // Every byte value, CR LF and NUL included, must pass unchanged; the program's own timing.
    const QByteArray content = randomBytes(300000) + QByteArray("\r\n\0:00000001FF\r\n", 17);
    const QString file = writeFile(m_dir, QStringLiteral("firmware.hex"), content);
    LoopbackServer server;
    firmware::UploadLink link;
    QSignalSpy progress(&link, &firmware::UploadLink::progress);
    QVERIFY(upload(link, server, file));
    const LoopbackServer::Received got = server.result();
    QCOMPARE(got.bytes.size(), 21 + content.size());
    // Progress counts the file alone, rising to its whole size.
    QVERIFY(progress.size() >= 2);
    qint64 before = 0;
    for (const QList<QVariant> &p : std::as_const(progress)) {
        QCOMPARE(p.at(1).toLongLong(), qint64(content.size()));
        QVERIFY(p.at(0).toLongLong() > before);
        before = p.at(0).toLongLong();
    }
    QCOMPARE(before, qint64(content.size()));
    QCOMPARE(got.bytes.left(21), Line);
    QVERIFY(got.bytes.mid(21) == content);
    QVERIFY(got.peerClosed);
    // Nothing between the line and the file for the pause (measured at the receiving end, so a
    // late wake-up of the server thread may shorten it a little).
    QVERIFY2(got.gapAfterLineMs >= 1500, qPrintable(QString::number(got.gapAfterLineMs)));
}

void TestFirmwareUpload::fileProblems_data()
{
    QTest::addColumn<QString>("file");
    QTest::newRow("empty name") << QString();
    QTest::newRow("missing file") << QStringLiteral("no-such-firmware.hex");
    QTest::newRow("empty file") << QStringLiteral("empty.hex");
    QTest::newRow("a directory") << QStringLiteral("folder.hex");
}

void TestFirmwareUpload::fileProblems()
{
    QFETCH(QString, file);
    writeFile(m_dir, QStringLiteral("empty.hex"), {});
    QDir(m_dir.path()).mkpath(QStringLiteral("folder.hex"));
    const QString path = file.isEmpty() ? file : m_dir.filePath(file);

    LoopbackServer server;
    QVERIFY(!upload(server, path));
    // The announcement went out; nothing else did, and the connection was closed.
    const LoopbackServer::Received got = server.result();
    QCOMPARE(got.bytes, Line);
    QVERIFY(got.peerClosed);
}

void TestFirmwareUpload::refusedConnection()
{
    const QString error = connectError(closedLoopbackPort(), 5000);
    QVERIFY2(error.contains(QStringLiteral("refused"), Qt::CaseInsensitive), qPrintable(error));
    QVERIFY(error.contains(QStringLiteral("127.0.0.1")));
}

void TestFirmwareUpload::connectTimesOut()
{
    // A listener whose queue is full drops further connection requests unanswered, as an
    // unreachable address would: the attempt must give up on its own.
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    QVERIFY(::bind(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) == 0);
    QVERIFY(::listen(fd, 0) == 0);
    QVERIFY(::getsockname(fd, reinterpret_cast<sockaddr *>(&a), &len) == 0);
    const quint16 port = ntohs(a.sin_port);
    QTcpSocket filler;
    filler.connectToHost(QHostAddress::LocalHost, port);
    QVERIFY(filler.waitForConnected(2000));

    const QString error = connectError(port, 300);
    ::close(fd);
    QVERIFY2(error.contains(QStringLiteral("timed out")), qPrintable(error));
}

// A bootloader that was just started may not listen yet: asked again, the link connects once it
// does; asked again while nobody listens, it gives up within the connect time.
void TestFirmwareUpload::retriesUntilTheBootloaderListens()
{
    const quint16 port = closedLoopbackPort();
    QVERIFY(connectError(port, 2000).contains(QStringLiteral("refused"), Qt::CaseInsensitive));

    std::atomic<int> listener{-1};
    std::thread late([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        a.sin_port = htons(port);
        if (::bind(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) == 0 && ::listen(fd, 1) == 0)
            listener = fd;
        else
            ::close(fd);
    });
    firmware::UploadLink link;
    link.setTiming({3000, 50, 2000});
    const Result<> connected = link.connectToBootloader(QStringLiteral("127.0.0.1"), port, 50);
    late.join();
    QVERIFY2(listener >= 0, "the port was taken meanwhile");
    QVERIFY2(connected, qPrintable(connected ? QString() : connected.failure().text));
    QVERIFY(link.isConnected());
    ::close(listener);

    QElapsedTimer clock;
    clock.start();
    const QString error = connectError(closedLoopbackPort(), 600, 100);
    QVERIFY2(error.contains(QStringLiteral("refused"), Qt::CaseInsensitive), qPrintable(error));
    QVERIFY2(clock.elapsed() >= 400 && clock.elapsed() < 3000, qPrintable(QString::number(clock.elapsed())));
}

void TestFirmwareUpload::droppedConnection_data()
{
    QTest::addColumn<int>("drop");
    QTest::addColumn<qint64>("after");
    QTest::addColumn<qint64>("fileSize");
    using D = LoopbackServer::Drop;
    // A small file fits into the send buffers at once, so the loss must be seen before writing.
    QTest::newRow("closed during the pause") << int(D::CloseAfter) << qint64(21) << qint64(1000);
    QTest::newRow("reset during the pause") << int(D::ResetAfter) << qint64(21) << qint64(1000);
    QTest::newRow("reset during the file") << int(D::ResetAfter) << qint64(21 + 100000) << qint64(32 << 20);
}

void TestFirmwareUpload::droppedConnection()
{
    QFETCH(int, drop);
    QFETCH(qint64, after);
    QFETCH(qint64, fileSize);
    const QString file = writeFile(m_dir, QStringLiteral("big.hex"), randomBytes(fileSize));
    LoopbackServer server(LoopbackServer::Drop(drop), after);
    QVERIFY(!upload(server, file));
    QCOMPARE(server.result().bytes.left(21), Line);
}

void TestFirmwareUpload::stalledConnection()
{
    // A controller that stops reading must not hold the window for good.
    const QString file = writeFile(m_dir, QStringLiteral("big.hex"), randomBytes(32 << 20));
    LoopbackServer server(LoopbackServer::Drop::StallAfter, 21 + 1000);
    QVERIFY(!upload(server, file, UploadTiming{2000, 50, 500}));
}

void TestFirmwareUpload::tailDeliveredToAControllerThatTalks()
{
    // A controller that reads slowly and answers each read: its last answers arrive after the
    // PC's last write, while the file's tail is still on its way. Closing at once then resets the
    // connection and cuts the file short, while the PC reported success.
    const QByteArray content = randomBytes(8 << 20);
    const QString file = writeFile(m_dir, QStringLiteral("fw.hex"), content);
    LoopbackServer server(LoopbackServer::Drop::Never, 0, QByteArrayLiteral("."), 2);
    QVERIFY(upload(server, file));
    const LoopbackServer::Received got = server.result();
    QVERIFY(got.peerClosed);
    QCOMPARE(got.bytes.size(), Line.size() + content.size());
    QVERIFY(got.bytes == Line + content);
}

// The trigger goes to the controller's present address, and the bootloader is given its time
// before anything connects.
void TestFirmwareUpload::triggerThenWait()
{
    TTessaraCtrl controller;
    controller.CurrentIP = {10, 77, 1, 20};
    QList<std::pair<QByteArray, QString>> sent;
    QElapsedTimer clock;
    clock.start();
    const Result<> started = firmware::startBootloader(
        controller,
        [&](const QByteArray &datagram, const QString &host) {
            sent.append({datagram, host});
            return Result<>();
        },
        300);
    QVERIFY(started);
    QVERIFY2(clock.elapsed() >= 300, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(sent.size(), 1);
    QCOMPARE(sent.front().first, QByteArray("Orvantic\0\0\x06\x02", 12));
    QCOMPARE(sent.front().second, QStringLiteral("10.77.1.20"));
}

void TestFirmwareUpload::failedTriggerWaitsForNothing()
{
    TTessaraCtrl controller;
    controller.CurrentIP = {10, 77, 1, 20};
    QElapsedTimer clock;
    clock.start();
    const Result<> started = firmware::startBootloader(
        controller, [](const QByteArray &, const QString &) { return Result<>(Failure{QStringLiteral("no port"), {}}); },
        60000);
    QVERIFY(!started);
    QCOMPARE(started.failure().text, QStringLiteral("no port"));
    QVERIFY2(clock.elapsed() < 30000, qPrintable(QString::number(clock.elapsed())));
}

QTEST_GUILESS_MAIN(TestFirmwareUpload)
#include "tst_firmware_upload.moc"
