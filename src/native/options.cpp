#include "native/options.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "settings/settings_keys.h"

namespace brisane {

namespace {

constexpr std::array kCameraKeys = {key::Camera1, key::Camera2, key::Camera3, key::Camera4,
                                    key::Camera5, key::Camera6, key::Camera7};
constexpr std::int32_t kMaxWindowSide = 16384;
constexpr std::int32_t kMaxSeconds = 86400;

// An on/off pair of options over one setting.
struct Switch {
  std::string_view on;
  std::string_view off;
  std::string_view key;
  bool inverted;  // the setting holds the opposite of the option (DisableSound)
  std::string_view help;
};

constexpr std::array kSwitches = {
    Switch{"random-cameras", "no-random-cameras", key::RandomView, false, "choose the next camera at random"},
    Switch{"lighting", "no-lighting", key::EnableLighting, false, "turn from day to night and back"},
    Switch{"firing", "no-firing", key::EnableFiring, false, "the guns fire volleys"},
    Switch{"sound", "no-sound", key::DisableSound, true, "the ship's sounds"},
    Switch{"mirror", "no-mirror", key::EnableEnvWater, false, "the sea mirrors the ship and the sky"},
    Switch{"lightmaps", "no-lightmaps", key::EnableLightmaps, false, "light and shade baked on the ship"},
    Switch{"flares", "no-flares", key::EnableLensFlares, false, "the sun's lens flare"},
    Switch{"fps", "no-fps", key::ShowFPS, false, "show the frame rate"},
};

// A setting that takes a whole number in the table's range, as it is stored.
struct Ranged {
  std::string_view name;
  std::string_view key;
  std::string_view unit;
  std::string_view help;
};

constexpr std::array kRanged = {
    Ranged{"camera-delay", key::SwitchPeriod, " seconds", "how long each camera is shown"},
    Ranged{"light-delay", key::LightDelay, " minutes", "how long one change of light takes"},
    Ranged{"change-delay", key::ChangeDelay, " minutes", "how long the light holds between changes"},
    Ranged{"flag", key::FlagNum, "", "the flag the ship flies, from the list below"},
};

// Every key this file names is in the table.
const SettingSpec& Spec(std::string_view key) { return *FindSetting(key); }

std::string Quoted(std::string_view text) {
  std::string quoted(1, '"');
  quoted.append(text);
  quoted += '"';
  return quoted;
}

std::string Format(const char* format, double value) {
  char text[48] = {};
  std::snprintf(text, sizeof text, format, value);
  return text;
}

std::string Decibels(std::int32_t hundredths) { return Format("%g", hundredths / 100.0); }

enum class Number { Ok, NotNumber, OutOfRange };

Number ParseWhole(std::string_view text, std::int64_t& out) {
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, out);
  if (ec == std::errc::result_out_of_range && ptr == end) return Number::OutOfRange;
  if (ec != std::errc() || ptr != end || text.empty()) return Number::NotNumber;
  return Number::Ok;
}

// Plain decimal notation ("1.25", "-12", ".5"); no exponents, infinities or NaN.
// A decimal comma is read as a point: a settings program running in such a
// locale may print its sliders' values that way.
Number ParseDecimal(std::string_view given, double& out) {
  std::string text(given);
  if (text.find('.') == std::string::npos && text.find(',') == text.rfind(',') && text.find(',') != std::string::npos)
    text[text.find(',')] = '.';
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, out, std::chars_format::fixed);
  if (ec == std::errc::result_out_of_range && ptr == end) return Number::OutOfRange;
  if (ec != std::errc() || ptr != end || text.empty() || !std::isfinite(out)) return Number::NotNumber;
  return Number::Ok;
}

// X window ids are 32-bit and never 0.
// X window ids are 32 bits on the wire.
bool ParseWindowId(std::string_view text, std::uint64_t& out) {
  int base = 10;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    text.remove_prefix(2);
    base = 16;
  }
  std::uint64_t value = 0;
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, value, base);
  if (ec != std::errc() || ptr != end || text.empty() || value == 0 || value > 0xffffffffu) return false;
  out = value;
  return true;
}

std::string RangeText(const SettingSpec& spec, std::string_view unit) {
  return std::to_string(spec.minimum) + " to " + std::to_string(spec.maximum) + std::string(unit);
}

std::string GammaRange() {
  const SettingSpec& spec = Spec(key::GammaControl);
  return Format("%.2f", GammaLevel(spec.minimum)) + " to " + Format("%.2f", GammaLevel(spec.maximum));
}

std::string VolumeRange() {
  const SettingSpec& spec = Spec(key::MasterVolume);
  return Decibels(spec.minimum) + " to " + Decibels(spec.maximum) + " dB";
}

std::string FiringPeriodRange() {
  const SettingSpec& spec = Spec(key::FiringPeriod);
  std::string text;
  for (std::int32_t i = spec.minimum; i <= spec.maximum; ++i) {
    if (i > spec.minimum) text += i == spec.maximum ? " or " : ", ";
    text += std::to_string(FiringPeriodMinutes(i));
  }
  return text + " minutes";
}

std::string CameraRange() { return "1 to " + std::to_string(kCameraKeys.size()); }

constexpr std::string_view kCamerasAccepts = "camera numbers from 1 to 7, separated by commas";
constexpr std::string_view kWindowIdAccepts = "an X window id, decimal or 0x hex";
std::string WindowSizeAccepts() {
  return "WIDTHxHEIGHT, 1 to " + std::to_string(kMaxWindowSide) + " pixels each";
}
std::string SecondsAccepts() { return "more than 0, up to " + std::to_string(kMaxSeconds) + " seconds"; }

std::string Rejected(std::string_view option, std::string_view value, Number why, std::string_view accepts) {
  return std::string(option) + ": " + Quoted(value) +
         (why == Number::OutOfRange ? " is out of range; it takes " : " is not a number; it takes ") +
         std::string(accepts);
}

// "WxH" with both sides in range.
bool ParseWindowSize(std::string_view text, std::int32_t& width, std::int32_t& height) {
  const std::size_t x = text.find_first_of("xX");
  if (x == std::string_view::npos) return false;
  std::int64_t w = 0;
  std::int64_t h = 0;
  if (ParseWhole(text.substr(0, x), w) != Number::Ok || ParseWhole(text.substr(x + 1), h) != Number::Ok) return false;
  if (w < 1 || h < 1 || w > kMaxWindowSide || h > kMaxWindowSide) return false;
  width = static_cast<std::int32_t>(w);
  height = static_cast<std::int32_t>(h);
  return true;
}

std::string IdleAccepts() { return "1 to " + std::to_string(kMaxIdleSeconds) + " seconds"; }
constexpr std::int32_t kMaxMonitors = 64;

std::string MaxFpsAccepts() {
  return "0 (the display's rate) to " + std::to_string(kHighestMaxFrameRate) + " frames a second";
}

class Parser {
 public:
  Parser(int argc, const char* const* argv, NativeOptions& options) : argc_(argc), argv_(argv), options_(options) {}

  std::string Run(const char* windowEnv) {
    bool windowIdGiven = false;
    bool ownWindow = false;
    bool root = false;
    std::string_view placed;  // the last option that says where or how long one show draws
    for (index_ = 1; index_ < argc_; ++index_) {
      const std::string_view arg = Arg(index_);
      std::string_view name = arg;
      if (name.starts_with("--"))
        name.remove_prefix(2);
      else if (name.starts_with("-"))
        name.remove_prefix(1);
      else
        return "unexpected argument " + Quoted(arg) + "; --help lists the options";

      std::string error;
      if (name == "help" || name == "h") {
        options_.help = true;
        return {};
      } else if (name == "idle" || name == "install-idle" || name == "remove-idle") {
        options_.idle = name == "idle" ? IdleAction::Watch
                                       : (name == "install-idle" ? IdleAction::Install : IdleAction::Remove);
      } else if (name == "idle-after") {
        std::int64_t seconds = 0;
        if (!Whole(arg, 1, kMaxIdleSeconds, IdleAccepts(), seconds, error)) return error;
        options_.idleSeconds = static_cast<std::int32_t>(seconds);
      } else if (name == "monitor") {
        std::int64_t monitor = 0;
        if (!Whole(arg, 1, kMaxMonitors, "1 to " + std::to_string(kMaxMonitors), monitor, error)) return error;
        options_.monitor = static_cast<std::int32_t>(monitor);
        placed = arg;
      } else if (name == "root") {
        placed = arg;
        root = true;
        ownWindow = false;
      } else if (name == "window") {
        placed = arg;
        ownWindow = true;
        root = false;
        // "-window" alone is the daemon's own-window mode; a size may follow.
        if (index_ + 1 < argc_ && !Arg(index_ + 1).empty() && Arg(index_ + 1)[0] >= '0' && Arg(index_ + 1)[0] <= '9') {
          const std::string_view size = Arg(++index_);
          if (!ParseWindowSize(size, options_.width, options_.height))
            return std::string(arg) + ": " + Quoted(size) + " is not a size; it takes " + WindowSizeAccepts();
        }
      } else if (name == "window-id") {
        std::string_view value;
        if (!TakeValue(arg, kWindowIdAccepts, value, error)) return error;
        if (!ParseWindowId(value, options_.windowId))
          return std::string(arg) + ": " + Quoted(value) + " is not a window; it takes " + std::string(kWindowIdAccepts);
        windowIdGiven = true;
        placed = arg;
      } else if (name == "seconds") {
        placed = arg;
        std::string_view value;
        if (!TakeValue(arg, SecondsAccepts(), value, error)) return error;
        Number parsed = ParseDecimal(value, options_.seconds);
        if (parsed == Number::Ok && !(options_.seconds > 0.0 && options_.seconds <= kMaxSeconds))
          parsed = Number::OutOfRange;
        if (parsed != Number::Ok) return Rejected(arg, value, parsed, SecondsAccepts());
      } else if (name == "figures") {
        options_.figures = true;
      } else if (name == "save") {
        options_.save = true;
        placed = arg;
      } else if (name == "no-settings-file") {
        options_.noSettingsFile = true;
        options_.showArguments.emplace_back(arg);
      } else {
        const int first = index_;
        if (!Setting(arg, name, error)) {
          if (error.empty()) error = "unknown option " + Quoted(arg) + "; --help lists the options";
          return error;
        }
        if (!error.empty()) return error;
        for (int i = first; i <= index_; ++i) options_.showArguments.emplace_back(Arg(i));
        // A show may start from another folder (the session's autostart).
        if (name == "flag-file" || name == "flag-picture")
          options_.showArguments.back() = options_.overrides.back().value.AsString();
      }
    }

    // The watch starts each show full screen, one a monitor, until input.
    if (options_.idle != IdleAction::None) {
      if (!placed.empty())
        return std::string(placed) + " cannot go with --idle, --install-idle or --remove-idle, which start the "
               "show full screen on every monitor";
      return {};
    }
    options_.showArguments.clear();

    // Saving from a run that never read the file would put the defaults over it.
    if (options_.save && options_.noSettingsFile)
      return "--save and --no-settings-file cannot go together: the settings file would get the defaults";

    if (windowIdGiven) {
      options_.target = RunTarget::ForeignWindow;
    } else if (ownWindow) {
      options_.target = RunTarget::OwnWindow;
    } else if (windowEnv && *windowEnv) {
      if (!ParseWindowId(windowEnv, options_.windowId))
        return "XSCREENSAVER_WINDOW: " + Quoted(windowEnv) + " is not a window; it takes " +
               std::string(kWindowIdAccepts);
      options_.target = RunTarget::ForeignWindow;
    } else if (root) {
      options_.target = RunTarget::Root;
    }
    return {};
  }

 private:
  std::string_view Arg(int i) const { return argv_[i] ? std::string_view(argv_[i]) : std::string_view(); }

  // The argument after the option, which may begin with a dash (a negative volume).
  bool TakeValue(std::string_view option, std::string_view accepts, std::string_view& value, std::string& error) {
    if (index_ + 1 >= argc_) {
      error = std::string(option) + " needs a value: " + std::string(accepts);
      return false;
    }
    value = Arg(++index_);
    return true;
  }

  bool Whole(std::string_view option, std::int64_t minimum, std::int64_t maximum, const std::string& accepts,
             std::int64_t& out, std::string& error) {
    std::string_view value;
    if (!TakeValue(option, accepts, value, error)) return false;
    Number parsed = ParseWhole(value, out);
    if (parsed == Number::Ok && (out < minimum || out > maximum)) parsed = Number::OutOfRange;
    if (parsed != Number::Ok) {
      error = Rejected(option, value, parsed, accepts);
      return false;
    }
    return true;
  }

  // A decimal rounded to hundredths, then checked against [minimum, maximum]
  // in hundredths (gamma and volume are both kept at that step).
  bool Hundredths(std::string_view option, double offset, std::int32_t minimum, std::int32_t maximum,
                  const std::string& accepts, std::int32_t& out, std::string& error) {
    std::string_view value;
    if (!TakeValue(option, accepts, value, error)) return false;
    double number = 0.0;
    Number parsed = ParseDecimal(value, number);
    const double scaled = (number - offset) * 100.0;
    if (parsed == Number::Ok) {
      if (scaled < minimum - 1.0 || scaled > maximum + 1.0) {
        parsed = Number::OutOfRange;
      } else {
        out = static_cast<std::int32_t>(std::lround(scaled));
        if (out < minimum || out > maximum) parsed = Number::OutOfRange;
      }
    }
    if (parsed != Number::Ok) {
      error = Rejected(option, value, parsed, accepts);
      return false;
    }
    return true;
  }

  void Set(std::string_view key, Value value) { options_.overrides.push_back({key, std::move(value)}); }

  // False for a name that is no setting's option; true otherwise, with error
  // set when its value was refused.
  bool Setting(std::string_view option, std::string_view name, std::string& error) {
    for (const Switch& s : kSwitches) {
      if (name == s.on || name == s.off) {
        Set(s.key, std::int32_t{(name == s.on) != s.inverted});
        return true;
      }
    }
    for (const Ranged& r : kRanged) {
      if (name != r.name) continue;
      const SettingSpec& spec = Spec(r.key);
      std::int64_t value = 0;
      if (Whole(option, spec.minimum, spec.maximum, RangeText(spec, r.unit), value, error))
        Set(r.key, static_cast<std::int32_t>(value));
      return true;
    }
    if (name == "firing-period") {
      const SettingSpec& spec = Spec(key::FiringPeriod);
      const std::string accepts = FiringPeriodRange();
      std::string_view text;
      if (!TakeValue(option, accepts, text, error)) return true;
      std::int64_t minutes = 0;
      Number parsed = ParseWhole(text, minutes);
      if (parsed == Number::Ok) {
        parsed = Number::OutOfRange;
        for (std::int32_t i = spec.minimum; i <= spec.maximum; ++i) {
          if (FiringPeriodMinutes(i) == minutes) {
            Set(key::FiringPeriod, i);
            parsed = Number::Ok;
            break;
          }
        }
      }
      if (parsed != Number::Ok) error = Rejected(option, text, parsed, accepts);
      return true;
    }
    if (name == "gamma") {
      const SettingSpec& spec = Spec(key::GammaControl);
      std::int32_t control = 0;
      // The option takes the gamma level the dialog's label shows; the
      // setting holds its slider position, level = position / 100 + 0.5.
      if (Hundredths(option, 0.5, spec.minimum, spec.maximum, GammaRange(), control, error))
        Set(key::GammaControl, control);
      return true;
    }
    if (name == "volume") {
      const SettingSpec& spec = Spec(key::MasterVolume);
      std::int32_t volume = 0;
      if (Hundredths(option, 0.0, spec.minimum, spec.maximum, VolumeRange(), volume, error))
        Set(key::MasterVolume, volume);
      return true;
    }
    if (name == "cameras") {
      std::string_view list;
      if (!TakeValue(option, kCamerasAccepts, list, error)) return true;
      std::array<bool, kCameraKeys.size()> on = {};
      std::string_view rest = list;
      while (true) {
        const std::size_t comma = rest.find(',');
        const std::string_view item = rest.substr(0, comma);
        std::int64_t camera = 0;
        Number parsed = ParseWhole(item, camera);
        if (parsed == Number::Ok && (camera < 1 || camera > static_cast<std::int64_t>(kCameraKeys.size())))
          parsed = Number::OutOfRange;
        if (parsed != Number::Ok) {
          error = Rejected(option, list, parsed, kCamerasAccepts);
          return true;
        }
        on[static_cast<std::size_t>(camera - 1)] = true;
        if (comma == std::string_view::npos) break;
        rest.remove_prefix(comma + 1);
      }
      for (std::size_t i = 0; i < kCameraKeys.size(); ++i) Set(kCameraKeys[i], std::int32_t{on[i]});
      return true;
    }
    if (name == "camera" || name == "no-camera") {
      std::int64_t camera = 0;
      if (Whole(option, 1, static_cast<std::int64_t>(kCameraKeys.size()), CameraRange(), camera, error))
        Set(kCameraKeys[static_cast<std::size_t>(camera - 1)], std::int32_t{name == "camera"});
      return true;
    }
    if (name == "max-fps") {
      std::int64_t fps = 0;
      if (Whole(option, 0, kHighestMaxFrameRate, MaxFpsAccepts(), fps, error))
        Set(kMaxFrameRateKey, static_cast<std::int32_t>(fps));
      return true;
    }
    if (name == "delay") {
      // The daemons' convention: microseconds between frames, 0 for none.
      std::int64_t delay = 0;
      if (!Whole(option, 0, 1000000, "0 to 1000000 microseconds", delay, error)) return true;
      const std::int64_t fps =
          delay == 0 ? 0 : std::clamp<std::int64_t>((1000000 + delay / 2) / delay, 1, kHighestMaxFrameRate);
      Set(kMaxFrameRateKey, static_cast<std::int32_t>(fps));
      return true;
    }
    if (name == "flag-file" || name == "flag-picture") {
      std::string_view path;
      if (!TakeValue(option, "the path of a JPEG picture", path, error)) return true;
      if (path.empty()) {
        error = std::string(option) + " needs a value: the path of a JPEG picture";
        return true;
      }
      // The setting holds a full path: one saved from here must name the
      // same file when the show starts from another folder.
      std::error_code failed;
      const std::filesystem::path full = std::filesystem::absolute(std::filesystem::path(path), failed);
      Set(key::FlagPath, failed ? std::string(path) : full.string());
      // The picture is the custom entry of the flag list; --flag-picture only
      // names it, so the settings page's flag menu alone chooses the flag.
      if (name == "flag-file") Set(key::FlagNum, kCustomFlag);
      return true;
    }
    return false;
  }

  int argc_;
  const char* const* argv_;
  NativeOptions& options_;
  int index_ = 1;
};

void AddLine(std::string& text, std::string_view option, const std::string& help) {
  constexpr std::size_t kColumn = 26;
  std::string line = "  " + std::string(option);
  line += line.size() + 1 < kColumn ? std::string(kColumn - line.size(), ' ') : std::string("\n") + std::string(kColumn, ' ');
  text += line + help + "\n";
}

std::string OnOff(bool on) { return on ? "[on]" : "[off]"; }

}  // namespace

OptionsParseResult ParseNativeOptions(int argc, const char* const* argv, const char* windowEnv) {
  OptionsParseResult result;
  if (argc < 1 || !argv) return result;
  Parser parser(argc, argv, result.options);
  result.error = parser.Run(windowEnv);
  if (!result.ok()) result.options = NativeOptions{};
  return result;
}

std::int32_t MaxFrameRate(Node& settings) {
  if (!settings.Has(kMaxFrameRateKey, ValueType::Int)) return kDefaultMaxFrameRate;
  const std::int32_t fps = settings.Get(kMaxFrameRateKey).AsInt();
  return fps >= 0 && fps <= kHighestMaxFrameRate ? fps : kDefaultMaxFrameRate;
}

void ApplyOverrides(Node& settings, const NativeOptions& options) {
  for (const SettingOverride& o : options.overrides) settings.Get(o.key) = o.value;
}

std::string NativeUsage(std::string_view program) {
  std::string text = "Usage: " + std::string(program) + " [OPTION]...\n";
  text +=
      "The ship at sea: full screen on every monitor unless told where to draw.\n"
      "Every option may be written with one dash or with two.\n\nWhere to draw:\n";
  AddLine(text, "-window [WxH]", "in a window of its own, " + WindowSizeAccepts());
  AddLine(text, "-root", "on the root window, or in $XSCREENSAVER_WINDOW when it is set");
  AddLine(text, "-window-id ID", "in the existing window ID (decimal or 0x hex); without it,");
  AddLine(text, "", "in $XSCREENSAVER_WINDOW when it is set and -window is not given");
  AddLine(text, "-monitor N", "full screen on monitor N alone (from 1), as one run of one a monitor");
  text += "\nOn idle (Wayland desktops, or any that tells when it goes idle):\n";
  AddLine(text, "-idle", "stay in the session; when it has been idle a while, the show on");
  AddLine(text, "", "every monitor until the first key, click or pointer move");
  AddLine(text, "-idle-after N", "idle time before the show, " + IdleAccepts() + " [" +
                                     std::to_string(kDefaultIdleSeconds) + "]");
  AddLine(text, "-install-idle", "start -idle with the session from now on (its autostart entry,");
  AddLine(text, "", "with -idle-after and the settings below), and end");
  AddLine(text, "-remove-idle", "remove that entry, and end");
  text += "\nRun:\n";
  AddLine(text, "-seconds N", "end after N seconds, " + SecondsAccepts() + " [until ended]");
  AddLine(text, "-figures", "print the start-up time and the frame rate at the end");
  AddLine(text, "-save", "write the settings file, with the settings below, and end");
  AddLine(text, "-no-settings-file", "leave the settings file unread: the defaults, then the settings");
  AddLine(text, "", "below (as the screensaver's settings page runs it); not with -save");
  AddLine(text, "-help, -h", "this text");

  text += "\nSettings for this run, over the settings file [defaults]:\n";
  for (const Switch& s : kSwitches) {
    const bool on = (Spec(s.key).defaultValue != 0) != s.inverted;
    AddLine(text, "--" + std::string(s.on) + ", --" + std::string(s.off), std::string(s.help) + " " + OnOff(on));
  }
  for (const Ranged& r : kRanged) {
    const SettingSpec& spec = Spec(r.key);
    AddLine(text, "--" + std::string(r.name) + " N",
            std::string(r.help) + ", " + RangeText(spec, r.unit) + " [" + std::to_string(spec.defaultValue) + "]");
  }
  AddLine(text, "--firing-period N", "minutes between volleys: " + FiringPeriodRange() + " [" +
                                         std::to_string(FiringPeriodMinutes(Spec(key::FiringPeriod).defaultValue)) +
                                         "]");
  std::string cameras;
  for (std::size_t i = 0; i < kCameraKeys.size(); ++i) {
    if (Spec(kCameraKeys[i]).defaultValue == 0) continue;
    if (!cameras.empty()) cameras += ",";
    cameras += std::to_string(i + 1);
  }
  AddLine(text, "--cameras LIST", "the cameras the show tours, e.g. 1,2,4; the others are off");
  AddLine(text, "", "(" + CameraRange() + ") [" + (cameras.empty() ? std::string("none: camera 1") : cameras) + "]");
  AddLine(text, "--camera N, --no-camera N", "one camera on or off, " + CameraRange());
  AddLine(text, "--gamma G", "display gamma level, " + GammaRange() + " [" +
                                 Format("%.2f", GammaLevel(Spec(key::GammaControl).defaultValue)) + "]");
  AddLine(text, "--volume DB", "volume of the ambient sounds, " + VolumeRange() + " [" +
                                   Decibels(Spec(key::MasterVolume).defaultValue) + "]");
  AddLine(text, "--max-fps N", "frames a second at most, " + MaxFpsAccepts() + " [" +
                                  std::to_string(kDefaultMaxFrameRate) + "]");
  AddLine(text, "--delay USECS", "the same as a pause between frames (0 for none), as the");
  AddLine(text, "", "screensaver's settings page gives it");
  AddLine(text, "--flag-file PATH", "fly a JPEG picture: --flag " + std::to_string(kCustomFlag) + " with that picture");
  AddLine(text, "--flag-picture PATH", "the picture --flag " + std::to_string(kCustomFlag) + " flies, choosing no flag");

  text += "\nFlags:";
  const auto names = FlagNames();
  std::string line;
  for (std::size_t i = 0; i < names.size(); ++i) {
    const std::string entry = std::to_string(i) + " " +
                              (static_cast<std::int32_t>(i) == kCustomFlag ? std::string("the --flag-file picture")
                                                                           : std::string(names[i]));
    if (line.size() + entry.size() + 2 > 76) {
      text += "\n " + line;
      line.clear();
    }
    line += " " + entry + (i + 1 < names.size() ? "," : "");
  }
  text += "\n " + line + "\n";
  return text;
}

}  // namespace brisane
