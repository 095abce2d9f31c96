#pragma once
// glintwork-cli's commands: the arguments after the program's name in, an exit status out.

#include "cli/cli_output.h"

#include <QStringList>

namespace cli {

int run(const QStringList &arguments, Output &out);

} // namespace cli
