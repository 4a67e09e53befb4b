// The options every command that writes a LUT takes: --profile, --output, --size and --bits.
#pragma once

#include <QCommandLineOption>
#include <QCommandLineParser>

#include "workflow/MatchWorkflow.h"

namespace tintwise {

struct TOutputOptions {
  QCommandLineOption Profile{"profile", "Output profile, by index or exact name (see 'formats').", "P"};
  QCommandLineOption Output{"output", "The LUT file to write.", "FILE"};
  QCommandLineOption Size{"size", "Size, where the profile lets it be chosen.", "N"};
  QCommandLineOption Bits{"bits", "Bit depth, where the profile lets it be chosen.", "B"};

  void AddTo(QCommandLineParser &parser) const { parser.addOptions({Profile, Output, Size, Bits}); }
  // The profile with its default size and bits, or the ones chosen where the profile allows it.
  // Raises EUsage naming the option.
  TLutOutputChoice Choose(const QCommandLineParser &parser) const;
};

} // namespace tintwise
