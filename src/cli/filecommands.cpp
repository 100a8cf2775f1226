// show, set and diff: commands on patch files.
#include "cli.h"

namespace Cli {

int show(const QStringList &arguments)
{
    err() << arguments.value(0) << ": not built yet" << Qt::endl;
    return Failed;
}

int set(const QStringList &arguments)
{
    return show(arguments);
}

int diff(const QStringList &arguments)
{
    return show(arguments);
}

} // namespace Cli
