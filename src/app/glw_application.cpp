#include "app/glw_application.h"

#include "common/error_handling.h"

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

GlwApplication::GlwApplication(int &argc, char **argv) : QApplication(argc, argv)
{
    setFailureShower(&GlwApplication::showUncaughtError);
}

GlwApplication::~GlwApplication()
{
    setFailureShower(nullptr);
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
