#include "app/glw_application.h"

#include <QMessageBox>

namespace {
GlwApplication::ErrorSink g_sink = nullptr;
QString g_title;
}

void GlwApplication::setIdentity(const QString &title)
{
    // Also where the few remembered options live (QSettings): ~/.config/Glintwork/Glintwork.conf.
    setOrganizationName(QStringLiteral("Glintwork"));
    setApplicationName(QStringLiteral("Glintwork"));
    g_title = title;
}

QString GlwApplication::title()
{
    return g_title.isEmpty() ? applicationName() : g_title;
}

GlwApplication::GlwApplication(int &argc, char **argv) : QApplication(argc, argv) {}

bool GlwApplication::notify(QObject *receiver, QEvent *event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception &e) {
        showUncaughtError(QString::fromUtf8(e.what())); // thrown from QString::toStdString()
    } catch (...) {
        showUncaughtError(tr("An unexpected error occurred."));
    }
    return false;
}

void GlwApplication::setErrorSink(ErrorSink sink)
{
    g_sink = sink;
}

void GlwApplication::showUncaughtError(const QString &text)
{
    if (g_sink) {
        g_sink(text);
        return;
    }
    QMessageBox::critical(activeWindow(), title(), text);
}
