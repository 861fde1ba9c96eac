// kv9240b: the sensor from the command line.
#include "cli/commands.h"
#include "cli/native_argument.h"

#include <QCoreApplication>

int main(int argc, char* argv[])
{
    // The plain event loop wakes less and costs less per poll than glib's.
    if (qEnvironmentVariableIsEmpty("QT_NO_GLIB"))
        qputenv("QT_NO_GLIB", "1");
    // Without TZ the C library looks at /etc/localtime again for every time
    // stamp it converts; named once, the zone is read once. (A new zone set
    // on the machine during a long watch is then seen after a restart.)
    if (!qEnvironmentVariableIsSet("TZ"))
        qputenv("TZ", ":/etc/localtime");
    QCoreApplication app(argc, argv);
    // Read from argv, not arguments(): a file name that is not UTF-8 must
    // reach the file system byte for byte.
    return kv::cli::run(kv::cli::argumentsOf(argc, argv));
}
