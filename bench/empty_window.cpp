// The yardsticks of scripts/bench-startup. Built plain, the least a Qt Widgets program does to show
// a window. Built with GLW_LEAST_WINDOW, the least a window does that needs what the program needs
// before it can show anything: one line of text, a bound UDP socket and a serial port (Qt's font,
// network and serial-port libraries, loaded and started).
#include <QApplication>
#include <QTimer>
#include <QWidget>
#ifdef GLW_LEAST_WINDOW
#include <QHostAddress>
#include <QLabel>
#include <QNetworkProxy>
#include <QSerialPort>
#include <QUdpSocket>
#include <QVBoxLayout>
#endif

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QWidget window;
    window.resize(741, 553);
#ifdef GLW_LEAST_WINDOW
    auto *layout = new QVBoxLayout(&window);
    layout->addWidget(new QLabel(QStringLiteral("Controllers found on the network"), &window));
    QUdpSocket socket;
    socket.setProxy(QNetworkProxy::NoProxy);
    socket.bind(QHostAddress::AnyIPv4, 0);
    QSerialPort port;
#endif
    window.show();
    if (qEnvironmentVariableIsSet("GLINTWORK_QUIT_WHEN_SHOWN"))
        QTimer::singleShot(0, &app, &QCoreApplication::quit);
    return app.exec();
}
