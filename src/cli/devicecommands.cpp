// ports, get, send and update: commands that talk to the device.
#include "cli.h"

namespace Cli {

int ports(const QStringList &arguments)
{
    err() << arguments.value(0) << ": not built yet" << Qt::endl;
    return Failed;
}

int get(const QStringList &arguments)
{
    return ports(arguments);
}

int send(const QStringList &arguments)
{
    return ports(arguments);
}

int update(const QStringList &arguments)
{
    return ports(arguments);
}

} // namespace Cli
