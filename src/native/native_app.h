// The native program: its command line, and the run that owns the SDL
// window, the GL display, the sound device and the show for as long as the
// show lasts.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "native/options.h"
#include "native/settings_file.h"
#include "platform/clock.h"
#include "shell/host_rules.h"

namespace brisane {

// The settings a run starts from: the defaults, the file's values over them
// (the file is not read when options.noSettingsFile), then the command
// line's. The lines of the file it skips are said on stderr. False when the
// file is there but could not be read.
bool LoadRunSettings(Node& settings, SettingsFile& file, const NativeOptions& options);

// The show's milliseconds: a monotonic clock, wrapping at 2^32 like the
// Windows timer, so only differences mean anything.
class SteadyClock final : public Clock {
 public:
  std::uint32_t now() const override;
};

// Runs the show; the process's exit code (0 when input, the time limit or a
// signal ended it; 1 after a fatal error, said on stderr).
int RunNative(const NativeOptions& options);

}  // namespace brisane
