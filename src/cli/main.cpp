// glintwork-cli: the program's work from the command line, for scripts and large installations.

#include "cli/cli_commands.h"

#include <QCoreApplication>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Glintwork"));
    QCoreApplication::setApplicationName(QStringLiteral("glintwork-cli"));
    cli::Output out;
    return cli::run(app.arguments().mid(1), out);
}
