#include "artwork.h"
#include "brand.h"
#include "form1.h"
#include "glw_application.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <cstring>

#ifndef GLINTWORK_VERSION
#define GLINTWORK_VERSION "0.0.0"
#endif

namespace {

void describe(QCommandLineParser &parser)
{
    parser.setApplicationDescription(
        QStringLiteral("%1\nFinds, configures and updates LED pixel controllers: Tessara network controllers "
                       "(UDP port 49150) and Quorix DMX controllers behind a USB serial interface (RDM).")
            .arg(brandIdentity(kBuildBrand).title));
    parser.addHelpOption();
    parser.addVersionOption();
}

// --help and --version answer on a terminal without a display, so they are handled before the
// GUI application (which needs one) exists.
bool asksForHelpOrVersion(int argc, char *argv[])
{
    for (int i = 1; i < argc; ++i)
        for (const char *option : {"-h", "--help", "-?", "--help-all", "-v", "--version"})
            if (std::strcmp(argv[i], option) == 0)
                return true;
    return false;
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
    if (asksForHelpOrVersion(argc, argv)) {
        QCoreApplication terminal(argc, argv);
        QCommandLineParser parser;
        describe(parser);
        parser.process(terminal); // prints and exits
        return 0;
    }

    GlwApplication app(argc, argv);
    GlwApplication::setIdentity(brandIdentity(kBuildBrand).title);
    GlwApplication::setWindowIcon(applicationIcon());
    GlwApplication::setDesktopFileName(QStringLiteral("glintwork"));
    QCommandLineParser parser;
    describe(parser);
    parser.process(app); // an unknown option is reported and ends the program
    TForm1 form(kBuildBrand);
    form.show();
    return app.exec();
}
