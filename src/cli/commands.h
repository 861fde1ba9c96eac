#pragma once

#include "cli/command_line.h"

#include <QStringList>

namespace kv::cli {

// The exit statuses scripts tell apart.
enum ExitStatus : int {
    Success = 0,    // every reading, the write and its read-back, or the find succeeded
    Failure = 1,    // a reading failed, the read-back differs, or find found nothing
    UsageError = 2, // the command line is wrong
    PortError = 3,  // the port cannot be opened
};

// The whole program: reads the arguments (without the program's name), runs
// the command, and returns the exit status. Needs a QCoreApplication.
int run(const QStringList& arguments);

int runPolling(const Options& options); // read and watch
int runSet(const Options& options);
int runAddress(const Options& options);
int runFind(const Options& options);
int runServe(const Options& options);
int runFindBehindGateway(const Options& options); // find with -p naming a gateway

} // namespace kv::cli
