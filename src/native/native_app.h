// The native program: its command line, and the run that owns the SDL
// window, the GL display, the sound device and the show for as long as the
// show lasts.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "native/settings_file.h"
#include "platform/clock.h"
#include "shell/hack_options.h"
#include "shell/host_rules.h"

namespace brisane {

struct NativeOptions {
  enum class Mode { FullScreen, Window, Embedded, Root };
  Mode mode = Mode::FullScreen;
  std::uint32_t width = 0, height = 0;  // Window
  std::uint64_t windowId = 0;           // Embedded: an X window of another program
  double seconds = 0;                   // of frames, then the run ends; 0: until input
  bool figures = false;                 // one line of start-up and frame figures on exit
  bool save = false;                    // write the settings file and end
  bool noSettingsFile = false;          // the file is not read: defaults, then the overrides
  std::vector<HackOverride> overrides;  // over the settings file, for this run (and --save)
};

// The run the command line asks for.
NativeOptions ToNativeOptions(const HackOptions& hack);

// The settings a run starts from: the defaults, the file's values over them
// (the file is not read when options.noSettingsFile), then the command
// line's. The lines of the file it skips are said on stderr. False when the
// file is there but could not be read.
bool LoadRunSettings(Node& settings, SettingsFile& file, const NativeOptions& options, DisplayMode desktop,
                     const FatalSink& fatal);

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
