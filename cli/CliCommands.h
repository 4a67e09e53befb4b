// The commands of tintwise-cli. Each takes its own arguments (without the program and command
// names), writes its results to standard output and returns the exit code; failures are raised:
// EUsage for bad usage (exit 2), anything else for a failed operation (exit 1).
#pragma once

#include <QStringList>

namespace tintwise {

int RunFormats(const QStringList &args);
int RunMatch(const QStringList &args);
int RunConvert(const QStringList &args);
int RunApply(const QStringList &args);
int RunEval(const QStringList &args);
int RunInfo(const QStringList &args);

} // namespace tintwise
