// The yardstick of scripts/bench-startup: the least a Qt Widgets program does to show a window.
#include <QApplication>
#include <QTimer>
#include <QWidget>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QWidget window;
    window.resize(741, 553);
    window.show();
    if (qEnvironmentVariableIsSet("GLINTWORK_QUIT_WHEN_SHOWN"))
        QTimer::singleShot(0, &app, &QCoreApplication::quit);
    return app.exec();
}
