#include "app/artwork.h"
#include "app/brand.h"
#include "app/form1.h"
#include "app/glw_application.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTimer>
#include <cstdio>

#ifndef GLINTWORK_VERSION
#define GLINTWORK_VERSION "0.0.0"
#endif

namespace {

// Exit status of a command line that cannot be understood, as other command-line tools use it.
constexpr int UsageError = 2;

void describe(QCommandLineParser &parser)
{
    parser.setApplicationDescription(
        QStringLiteral("%1\nFinds, configures and updates LED pixel controllers: Tessara network controllers "
                       "(UDP port 49150) and Quorix DMX controllers behind a USB serial interface (RDM).")
            .arg(brandIdentity(kBuildBrand).title));
    parser.addHelpOption();
    parser.addVersionOption();

    // The window system's own options (-platform offscreen, -style fusion, ...) are taken by the
    // GUI application later; they are known here only so that they are not refused as unknown.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    for (const char *withValue : {"platform", "platformpluginpath", "platformtheme", "plugin", "qwindowgeometry",
                                  "qwindowicon", "qwindowtitle", "geometry", "display", "session", "style",
                                  "stylesheet", "title", "name", "qmljsdebugger"}) {
        QCommandLineOption option(QString::fromLatin1(withValue), QString(), QStringLiteral("value"));
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }
    for (const char *flag : {"reverse", "widgetcount", "nograb", "dograb", "sync"}) {
        QCommandLineOption option(QString::fromLatin1(flag));
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }
}

void identify()
{
    QCoreApplication::setApplicationName(QStringLiteral("glintwork"));
    QCoreApplication::setApplicationVersion(QStringLiteral(GLINTWORK_VERSION));
}

} // namespace

int main(int argc, char *argv[])
{
    identify();

    // The command line is read before anything needs a display, so a mistyped option, --help and
    // --version answer on a terminal without one instead of ending in the window system's abort.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    QCommandLineParser parser;
    describe(parser);
    if (!parser.parse(arguments) || !parser.positionalArguments().isEmpty()) {
        const QString why = parser.errorText().isEmpty()
                                ? QStringLiteral("Unexpected argument '%1'.").arg(parser.positionalArguments().first())
                                : parser.errorText();
        // Without an application object the usage cannot know the program's name.
        const QString usage = parser.helpText().replace(QLatin1String("<executable_name>"),
                                                        QCoreApplication::applicationName());
        std::fprintf(stderr, "glintwork: %s\n\n%s", qPrintable(why), qPrintable(usage));
        return UsageError;
    }
    if (parser.isSet(QStringLiteral("help")) || parser.isSet(QStringLiteral("help-all"))
        || parser.isSet(QStringLiteral("version"))) {
        QCoreApplication terminal(argc, argv);
        parser.process(terminal); // prints and exits
        return 0;
    }

#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    // Without a display Qt would abort with advice to reinstall, which misleads: say what is missing.
    if (!parser.isSet(QStringLiteral("platform")) && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")
        && qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
        std::fprintf(stderr, "glintwork: no display found (neither DISPLAY nor WAYLAND_DISPLAY is set); "
                             "start it from a desktop session.\n");
        return 1;
    }
#endif

    GlwApplication app(argc, argv);
    GlwApplication::setIdentity(brandIdentity(kBuildBrand).title);
    GlwApplication::setWindowIcon(applicationIcon());
    GlwApplication::setDesktopFileName(QStringLiteral("glintwork"));
    TForm1 form(kBuildBrand);
    form.show();
    // scripts/bench-startup times the way to a shown window, then wants the program gone.
    if (qEnvironmentVariableIsSet("GLINTWORK_QUIT_WHEN_SHOWN"))
        QTimer::singleShot(0, &app, &QCoreApplication::quit);
    return app.exec();
}
