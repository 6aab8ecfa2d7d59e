// The command line of the native program, run by hand or by a screensaver
// daemon as one of its display modes: where to draw, how long, and settings
// that override the stored ones for this run only.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "settings/node.h"

namespace brisane {

enum class RunTarget : std::uint8_t {
  FullScreen,     // nothing asked for: the show on every monitor, as on Windows
  OwnWindow,      // -window [WxH]
  Root,           // -root without a daemon's window
  ForeignWindow,  // another program's window: -window-id, or the daemon's through the environment
};

// One setting set for this run, over what the settings file holds.
struct SettingOverride {
  std::string_view key;  // a key of SettingSpecs()
  Value value;
};

// The native program's own setting, kept in its settings file beside the
// shared ones: frames a second at most, 0 for the display's own rate.
inline constexpr std::string_view kMaxFrameRateKey = "MaxFrameRate";
inline constexpr std::int32_t kDefaultMaxFrameRate = 30;
inline constexpr std::int32_t kHighestMaxFrameRate = 1000;

// The frame-rate cap the settings hold: the default when the value is
// missing, not a whole number or out of range.
std::int32_t MaxFrameRate(Node& settings);

// The idle watch: the show started on every monitor when the session has
// been left alone for a while (--idle), and the session's autostart entry
// that runs the watch.
enum class IdleAction : std::uint8_t { None, Watch, Install, Remove };
inline constexpr std::int32_t kDefaultIdleSeconds = 600;
inline constexpr std::int32_t kMaxIdleSeconds = 86400;

struct NativeOptions {
  RunTarget target = RunTarget::FullScreen;
  std::int32_t monitor = 0;    // FullScreen: this monitor alone (from 1), as one run of several; 0 = all
  std::uint64_t windowId = 0;  // ForeignWindow only: an X window id
  std::int32_t width = 0;      // OwnWindow: the size asked for; 0 = the program's own choice
  std::int32_t height = 0;
  double seconds = 0.0;        // 0 = until ended
  bool figures = false;        // start-up and frame figures on exit
  bool save = false;           // write the settings file, overrides applied, and end
  bool noSettingsFile = false; // the file is not read: the defaults, then the overrides
  bool help = false;
  IdleAction idle = IdleAction::None;
  std::int32_t idleSeconds = kDefaultIdleSeconds;
  // The settings options as given, which the watch passes on to each show.
  std::vector<std::string> showArguments{};
  // In command-line order, so a later option wins; -fps is the ShowFPS override.
  std::vector<SettingOverride> overrides;
};

struct OptionsParseResult {
  NativeOptions options;
  std::string error;  // one line naming the option and what it accepts; empty when parsed
  bool ok() const { return error.empty(); }
};

// argv[0] is the program and is skipped. windowEnv is the value of
// XSCREENSAVER_WINDOW (null or empty when unset): the window to draw into
// unless -window-id names one or the program was asked for a window of its own.
// Every option is accepted with one dash and with two.
OptionsParseResult ParseNativeOptions(int argc, const char* const* argv, const char* windowEnv);

// Puts the overrides into the settings tree (the settings are cells directly
// under its root), after the stored settings were loaded into it.
void ApplyOverrides(Node& settings, const NativeOptions& options);

// The --help text: every option with its range and its default, the defaults
// taken from SettingSpecs().
std::string NativeUsage(std::string_view program);

}  // namespace brisane
