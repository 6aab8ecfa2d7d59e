#include "native/native_app.h"

#include <SDL.h>
#include <epoxy/gl.h>
#include <signal.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <future>
#include <iterator>
#include <memory>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "platform/audio.h"
#include "native/bitmap_text.h"
#include "native/embedded_resources.h"
#include "native/gl_display.h"
#include "native/openal_audio.h"
#include "native/settings_file.h"
#include "native/wayland_session.h"
#include "native/x11_window.h"
#include "platform/random.h"
#include "render/frame_pacer.h"
#include "settings/settings.h"
#include "settings/settings_keys.h"
#include "show/show.h"

namespace brisane {

namespace {

// Set by SIGINT and SIGTERM; the frame loop ends cleanly when it sees it.
volatile sig_atomic_t g_stopRequested = 0;

void RequestStop(int) { g_stopRequested = 1; }

void InstallStopSignals() {
  struct sigaction action = {};
  action.sa_handler = RequestStop;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}

// A fatal error from the show or the bring-up: unwound to RunNative, which
// releases everything and ends with 1.
struct FatalRun : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// Seconds from the process's start (as the kernel counts it, in clock
// ticks) to now: start-up includes loading the libraries.
double SecondsSinceProcessStart() {
  std::ifstream stat("/proc/self/stat");
  std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
  const std::size_t close = text.rfind(')');
  if (close == std::string::npos) return 0;
  std::istringstream fields(text.substr(close + 2));
  std::string field;
  // The start time is field 22; fields after the name start at 3.
  for (int i = 3; i <= 22 && fields >> field; ++i) {
  }
  const double ticks = std::strtod(field.c_str(), nullptr);
  timespec now = {};
  clock_gettime(CLOCK_BOOTTIME, &now);
  const double seconds = static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9 -
                         ticks / static_cast<double>(sysconf(_SC_CLK_TCK));
  return seconds > 0 ? seconds : 0;
}

std::int64_t MonotonicMicroseconds() {
  return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

struct SdlVideo {
  explicit SdlVideo(const NativeOptions& options) {
    const bool xWindow = options.target == RunTarget::ForeignWindow || options.target == RunTarget::Root;
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    const DriverChoice choice = ChooseVideoDriver(xWindow, std::getenv("SDL_VIDEODRIVER"), wayland,
                                                  std::getenv("DISPLAY"),
                                                  !xWindow && wayland && *wayland ? ProbeWayland() : WaylandOffer{});
    if (!choice.error.empty()) throw FatalRun(choice.error);
    if (!choice.note.empty()) std::fprintf(stderr, "brisane: %s\n", choice.note.c_str());
    if (!choice.driver.empty()) SDL_SetHintWithPriority(SDL_HINT_VIDEODRIVER, choice.driver.c_str(), SDL_HINT_OVERRIDE);
    // Signals are the program's own (it ends cleanly on them).
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    // A foreign window must take a GL context.
    SDL_SetHint(SDL_HINT_VIDEO_FOREIGN_WINDOW_OPENGL, "1");
    // A screensaver is what stops the screen from blanking.
    SDL_SetHint(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, "1");
    if (SDL_Init(SDL_INIT_VIDEO) != 0) throw FatalRun(std::string("no video: ") + SDL_GetError());
  }
  ~SdlVideo() { SDL_Quit(); }
  SdlVideo(const SdlVideo&) = delete;
  SdlVideo& operator=(const SdlVideo&) = delete;
};

struct WindowDeleter {
  void operator()(SDL_Window* window) const { SDL_DestroyWindow(window); }
};
using WindowPtr = std::unique_ptr<SDL_Window, WindowDeleter>;

struct GlContext {
  explicit GlContext(SDL_Window* window) : context(SDL_GL_CreateContext(window)) {
    if (!context) throw FatalRun(std::string("no OpenGL 3.3 core context: ") + SDL_GetError());
  }
  ~GlContext() { SDL_GL_DeleteContext(context); }
  GlContext(const GlContext&) = delete;
  GlContext& operator=(const GlContext&) = delete;
  SDL_GLContext context;
};

void PaintBlack(SDL_Window* window) {
  if (SDL_Surface* surface = SDL_GetWindowSurface(window)) {
    SDL_FillRect(surface, nullptr, SDL_MapRGB(surface->format, 0, 0, 0));
    SDL_UpdateWindowSurface(window);
  }
}

// Black windows over every display but the first (SDL lists the primary
// first), so no desktop shows beside the show. They never take the focus
// from the show; input over them is the show's input.
std::vector<WindowPtr> CoverOtherDisplays() {
  std::vector<WindowPtr> covers;
  SDL_SetHint(SDL_HINT_WINDOW_NO_ACTIVATION_WHEN_SHOWN, "1");
  const int displays = SDL_GetNumVideoDisplays();
  for (int display = 1; display < displays; ++display) {
    SDL_Rect bounds;
    if (SDL_GetDisplayBounds(display, &bounds) != 0) continue;
    WindowPtr cover(SDL_CreateWindow("", bounds.x, bounds.y, bounds.w, bounds.h,
                                     SDL_WINDOW_BORDERLESS | SDL_WINDOW_FULLSCREEN_DESKTOP | SDL_WINDOW_SKIP_TASKBAR));
    if (!cover) continue;  // that display stays uncovered
    PaintBlack(cover.get());
    covers.push_back(std::move(cover));
  }
  SDL_SetHint(SDL_HINT_WINDOW_NO_ACTIVATION_WHEN_SHOWN, "0");
  return covers;
}

// The display a full-screen show takes: the one asked for, else the first.
int ShowDisplay(const NativeOptions& options) {
  if (options.monitor <= 0) return 0;
  if (options.monitor > SDL_GetNumVideoDisplays())
    throw FatalRun("--monitor " + std::to_string(options.monitor) + ": there are " +
                   std::to_string(SDL_GetNumVideoDisplays()) + " monitors");
  return options.monitor - 1;
}

WindowPtr MakeShowWindow(const NativeOptions& options, std::uint64_t foreign) {
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
  // The frame is drawn into the display's own buffers; the window's only
  // takes the finished picture.
  SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 0);
  SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 0);
  SDL_Window* window = nullptr;
  switch (options.target) {
    case RunTarget::ForeignWindow:
    case RunTarget::Root:
      window = SDL_CreateWindowFrom(reinterpret_cast<const void*>(static_cast<std::uintptr_t>(foreign)));
      break;
    case RunTarget::OwnWindow:
      // A window of the program's own choosing when no size was asked for.
      // Its size is the desktop's; the picture has the output's pixels.
      window = SDL_CreateWindow(kProgramName, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                                options.width > 0 ? options.width : 800, options.height > 0 ? options.height : 600,
                                SDL_WINDOW_OPENGL | SDL_WINDOW_ALLOW_HIGHDPI);
      break;
    case RunTarget::FullScreen: {
      const int display = ShowDisplay(options);
      SDL_Rect bounds = {0, 0, 1024, 768};
      SDL_GetDisplayBounds(display, &bounds);
      window = SDL_CreateWindow(kProgramName, SDL_WINDOWPOS_UNDEFINED_DISPLAY(display),
                                SDL_WINDOWPOS_UNDEFINED_DISPLAY(display), bounds.w, bounds.h,
                                SDL_WINDOW_OPENGL | SDL_WINDOW_FULLSCREEN_DESKTOP | SDL_WINDOW_BORDERLESS |
                                    SDL_WINDOW_ALLOW_HIGHDPI);
      break;
    }
  }
  if (!window) throw FatalRun(std::string("no window: ") + SDL_GetError());
  return WindowPtr(window);
}

// Whether the path names a regular file, asked on a thread of its own: a
// file on a network mount that stopped answering would hang the asker, and
// anything but a regular file (a pipe, a device) could block the read.
bool IsRegularFileSoon(const std::string& path) {
  auto answer = std::make_shared<std::promise<bool>>();
  std::future<bool> future = answer->get_future();
  std::thread([path, answer] {
    struct stat status = {};
    answer->set_value(::stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode));
  }).detach();
  return future.wait_for(std::chrono::seconds(2)) == std::future_status::ready && future.get();
}

// A flag picture that is not a regular file is left out of this run before
// any window is up.
void PassOverABlockingFlag(Node& settings) {
  if (!settings.Has(key::FlagPath, ValueType::String)) return;
  const std::string path = settings.Get(key::FlagPath).AsString();
  if (path.empty() || IsRegularFileSoon(path)) return;
  std::fprintf(stderr, "brisane: %s: not a file that can be read at once; the ship flies its own flag\n", path.c_str());
  settings.Get(key::FlagPath) = Value(std::string());
}

// Vertical sync that is asked for may still not wait (a virtual X server
// has no refresh to wait for): when the first frames come much faster than
// the refresh, the frames are paced by the clock instead. A cap below the
// display's rate (maxFps, 0 for none) is always kept by the clock.
class Pacing {
 public:
  Pacing(bool syncAsked, std::uint32_t refreshHz, std::uint32_t maxFps)
      : pacer_(refreshHz), clock_(!syncAsked) {
    if (maxFps > 0 && maxFps < pacer_.hz()) {
      pacer_ = FramePacer::Capped(maxFps);
      clock_ = true;
    }
  }

  void BeforeSwap() {
    if (!clock_) return;
    const std::int64_t wait = pacer_.WaitBeforePresent(MonotonicMicroseconds());
    if (wait > 0) std::this_thread::sleep_for(std::chrono::microseconds(wait));
  }
  void AfterSwap() {
    const std::int64_t now = MonotonicMicroseconds();
    if (clock_) {
      pacer_.Presented(now);
      return;
    }
    if (probeFrames_ == 0) probeStart_ = now;
    if (++probeFrames_ < kProbeFrames || decided_) return;
    decided_ = true;
    const std::int64_t expected = (kProbeFrames - 1) * 1000000LL / pacer_.hz();
    if (now - probeStart_ < expected / 2) clock_ = true;
  }

 private:
  static constexpr int kProbeFrames = 20;
  FramePacer pacer_;
  bool clock_;
  bool decided_ = false;
  int probeFrames_ = 0;
  std::int64_t probeStart_ = 0;
};

}  // namespace

std::uint32_t SteadyClock::now() const {
  const auto ms =
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch());
  return static_cast<std::uint32_t>(ms.count());
}

namespace {

// What is sized to the picture: the display's back buffer, the text drawn
// over it and the show drawn into it. Made again when the picture's size
// changes; the sound device outlives it, as the show's sounds hold its buffers.
struct Stage {
  GlDisplay display;
  std::unique_ptr<BitmapText> overlay;
  std::unique_ptr<Show> show;

  Stage() = default;
  Stage(const Stage&) = delete;
  Stage& operator=(const Stage&) = delete;
  // As on Windows: the show's sounds stop, the guns go with the display
  // objects, then the rest of the show, and the display.
  ~Stage() {
    if (!show) return;
    show->Stop();
    show->DestroyGuns();
    show.reset();
  }
};

struct PictureSize {
  std::uint32_t width = 0, height = 0;
  bool operator==(const PictureSize&) const = default;
};

// The surface the show draws on: its window (its own, or another program's
// watched over X), the black covers of the other displays and the context.
class ShowSurface {
 public:
  explicit ShowSurface(const NativeOptions& options) : options_(options) {
    std::uint64_t foreign = 0;
    if (options.target == RunTarget::ForeignWindow || options.target == RunTarget::Root) {
      foreign = options.target == RunTarget::Root ? ScreenRootWindow() : options.windowId;
      if (!foreign || !watch_.connected()) throw FatalRun("no X display to draw on");
      char id[32];
      std::snprintf(id, sizeof id, "0x%llx", static_cast<unsigned long long>(foreign));
      if (!(foreignRect_ = watch_.Geometry(foreign)))
        throw FatalRun(std::string("no X window ") + id + " to draw on (--window-id or $XSCREENSAVER_WINDOW)");
      foreign_ = foreign;
    }
    // A run on one monitor of several leaves the others to their own runs.
    if (fullScreen() && options.monitor == 0) covers_ = CoverOtherDisplays();
    window_ = MakeShowWindow(options, foreign);
    watch_.Follow(foreign ? foreign : XWindowOf(window_.get()));
    frames_ = std::make_unique<WaylandFrameWatch>(window_.get());
    context_ = std::make_unique<GlContext>(window_.get());
    if (SDL_GL_MakeCurrent(window_.get(), context_->context) != 0)
      throw FatalRun(std::string("the GL context cannot be made current: ") + SDL_GetError());
    if (ownInput()) SDL_ShowCursor(SDL_DISABLE);
    if (fullScreen()) SDL_RaiseWindow(window_.get());
  }

  bool fullScreen() const { return options_.target == RunTarget::FullScreen; }
  // Drawn into another program's window or the root, the input is the daemon's.
  bool ownInput() const { return !foreign_; }
  SDL_Window* window() const { return window_.get(); }
  // Paints the window black again if it is one of the covers; whether it was.
  bool RepaintIfCover(std::uint32_t windowId) const {
    for (const WindowPtr& cover : covers_)
      if (SDL_GetWindowID(cover.get()) == windowId) {
        PaintBlack(cover.get());
        return true;
      }
    return false;
  }

  // Whether anybody can see the picture: its window mapped, not wholly
  // covered, the display powered on.
  bool Seen() { return watch_.Seen() && frames_->Seen(MonotonicMicroseconds()); }
  void BeforeSwap() { frames_->BeforeSwap(MonotonicMicroseconds()); }

  // Where this run stands among a daemon's runs, one a monitor.
  ScreenPlace Place() {
    if (options_.monitor > 0) return {static_cast<std::uint32_t>(options_.monitor - 1)};
    if (!foreignRect_) return {};
    // SDL lists RandR's outputs only; a daemon counts Xinerama's heads.
    std::vector<ScreenRect> monitors = watch_.Monitors();
    const int displays = monitors.empty() ? SDL_GetNumVideoDisplays() : 0;
    for (int i = 0; i < displays; ++i) {
      SDL_Rect bounds;
      if (SDL_GetDisplayBounds(i, &bounds) == 0) monitors.push_back({bounds.x, bounds.y, bounds.w, bounds.h});
    }
    return PlaceAmong(*foreignRect_, monitors);
  }

  // The size the picture has now; nothing once another program's window is
  // gone. SDL knows its own windows' sizes; another's is asked of X a few
  // times a second.
  std::optional<PictureSize> Size() {
    if (foreign_) {
      if (watch_.Gone()) return std::nullopt;
      const std::int64_t now = MonotonicMicroseconds();
      if (now - lastAsked_ >= 250000) {
        lastAsked_ = now;
        foreignRect_ = watch_.Geometry(foreign_);
      }
      if (!foreignRect_) return std::nullopt;
      return PictureSize{static_cast<std::uint32_t>(foreignRect_->width),
                         static_cast<std::uint32_t>(foreignRect_->height)};
    }
    int width = 0, height = 0;
    SDL_GL_GetDrawableSize(window_.get(), &width, &height);
    return PictureSize{static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height)};
  }

 private:
  const NativeOptions& options_;
  XWindowWatch watch_;
  std::uint64_t foreign_ = 0;
  std::optional<ScreenRect> foreignRect_;
  std::int64_t lastAsked_ = 0;
  std::vector<WindowPtr> covers_;
  WindowPtr window_;
  std::unique_ptr<WaylandFrameWatch> frames_;
  std::unique_ptr<GlContext> context_;
};

int SaveOnly(const NativeOptions& options, SettingsFile& file) {
  // Saving over a file that is there but could not be read would lose
  // every setting in it, and one that was never read would get the defaults.
  // No display needed: the display settings kept for Windows mean nothing here.
  Node settings;
  if (options.noSettingsFile || !LoadRunSettings(settings, file, options))
    throw FatalRun("the settings were not saved: " + file.path().string() + " is left as it is");
  SaveSettings(settings, *file.CurrentUser());
  std::string error;
  if (!file.Save(error)) throw FatalRun("the settings were not saved: " + error);
  std::printf("%s\n", file.path().c_str());
  return 0;
}

}  // namespace

bool LoadRunSettings(Node& settings, SettingsFile& file, const NativeOptions& options) {
  bool readable = true;
  if (!options.noSettingsFile) {
    std::vector<std::string> warnings;
    readable = file.Read(warnings);
    for (const std::string& warning : warnings) std::fprintf(stderr, "brisane: %s\n", warning.c_str());
  }
  LoadFileSettings(settings, file);
  // The file keeps the program's own setting too, so --save writes it.
  settings.Get(kMaxFrameRateKey) = Value(MaxFrameRate(settings));
  ApplyOverrides(settings, options);
  return readable;
}

int RunNative(const NativeOptions& options) {
  InstallStopSignals();
  try {
    // Settings.
    SettingsFile file(DefaultSettingsFilePath());
    const FatalSink fatal = [](const std::string& message) { throw FatalRun(message); };
    if (options.save) return SaveOnly(options, file);
    Node settings;
    LoadRunSettings(settings, file, options);
    PassOverABlockingFlag(settings);

    SdlVideo video(options);
    SDL_DisplayMode desktop = {};
    if (SDL_GetDesktopDisplayMode(0, &desktop) != 0) desktop = {SDL_PIXELFORMAT_RGB888, 1024, 768, 0, nullptr};

    // Surface: window, context, covers.
    ShowSurface surface(options);
    const ScreenPlace place = surface.Place();
    if (!place.plays()) settings.Get(key::DisableSound) = Value(std::int32_t{1});
    Pacing pacing(SDL_GL_SetSwapInterval(1) == 0, static_cast<std::uint32_t>(desktop.refresh_rate),
                  static_cast<std::uint32_t>(MaxFrameRate(settings)));

    // Show: built for a picture size, built again when the size holds another
    // for a moment (a window being dragged larger is scaled meanwhile).
    SteadyClock clock;
    LcgRandom random;
    EmbeddedResources resources;
    std::unique_ptr<OpenAlAudio> audio;
    bool silenceSaid = false;
    const auto build = [&](PictureSize size) {
      auto stage = std::make_unique<Stage>();
      std::string error;
      if (!stage->display.Init(size.width, size.height, error)) throw FatalRun(error);
      stage->overlay = std::make_unique<BitmapText>(stage->display);
      stage->show = std::make_unique<Show>(ShowPlatform{clock, random, resources, &stage->display.textures(), settings,
                                                        &stage->display, stage->overlay.get(), nullptr, fatal});
      ShowSettings showSettings;
      showSettings.screenWidth = stage->display.width();
      showSettings.screenHeight = stage->display.height();
      showSettings.firstCamera = place.index;
      showSettings.anisotropic = epoxy_gl_version() >= 46 ||
                                 epoxy_has_gl_extension("GL_EXT_texture_filter_anisotropic") ||
                                 epoxy_has_gl_extension("GL_ARB_texture_filter_anisotropic");
      const ShowStartHooks hooks{[&]() -> AudioDevice* {
                                   return OpenShowSound(settings, [&]() -> AudioDevice* {
                                     if (!audio) audio = OpenAlAudio::Open();
                                     if (!audio && !silenceSaid)
                                       std::fprintf(stderr, "brisane: no sound device: the show runs silent\n");
                                     silenceSaid = true;
                                     return audio.get();
                                   });
                                 },
                                 [&](int height) { stage->overlay->MakeFont(height); }};
      if (!stage->show->Start(*stage->display.device(), showSettings, hooks))
        std::fprintf(stderr, "brisane: the ship's scene could not be loaded\n");
      return stage;
    };
    std::optional<PictureSize> size = surface.Size();
    if (!size) throw FatalRun("the window to draw on is gone");
    PictureSize built = *size;
    std::unique_ptr<Stage> stage = build(built);
    std::int64_t sizeChangedUs = 0;

    std::optional<double> firstFrame;
    std::int64_t firstFrameUs = 0, lastFrameUs = 0;
    std::uint64_t frames = 0;
    const auto present = [&]() -> HResult {
      const HResult result = stage->display.Present(size->width, size->height);
      if (Failed(result)) return result;
      pacing.BeforeSwap();
      surface.BeforeSwap();
      SDL_GL_SwapWindow(surface.window());
      pacing.AfterSwap();
      lastFrameUs = MonotonicMicroseconds();
      if (!firstFrame) {
        firstFrame = SecondsSinceProcessStart();
        firstFrameUs = lastFrameUs;
      }
      ++frames;
      return kOk;
    };

    // The event rule.
    InputRules input(settings.Get(key::DisableOnMouseActivate).AsInt() == 0);
    const std::uint32_t showWindow = SDL_GetWindowID(surface.window());
    bool hadFocus = false;
    const auto handle = [&](const SDL_Event& event) {
      switch (event.type) {
        case SDL_QUIT:
          return false;
        case SDL_WINDOWEVENT:
          if (event.window.event == SDL_WINDOWEVENT_EXPOSED && surface.RepaintIfCover(event.window.windowID))
            return true;
          if (event.window.windowID != showWindow) return true;
          if (event.window.event == SDL_WINDOWEVENT_CLOSE) return false;
          if (event.window.event == SDL_WINDOWEVENT_FOCUS_GAINED) hadFocus = true;
          // Full screen, another program taking the keyboard ends the show,
          // once it had it (a cover of ours taking it does not).
          if (event.window.event == SDL_WINDOWEVENT_FOCUS_LOST && surface.fullScreen() && hadFocus) {
            SDL_PumpEvents();
            return SDL_GetKeyboardFocus() != nullptr;
          }
          return true;
        case SDL_KEYDOWN: {
          if (!surface.ownInput() || event.key.repeat) return true;
          const SDL_Keycode key = event.key.keysym.sym;
          return !input.KeyDown(key == SDLK_LALT || key == SDLK_RALT, (event.key.keysym.mod & KMOD_ALT) != 0,
                                key == SDLK_F10);
        }
        case SDL_MOUSEBUTTONDOWN:
          return !(surface.ownInput() && input.MouseButton());
        case SDL_MOUSEMOTION: {
          if (!surface.ownInput()) return true;
          // Where the pointer really is on the desktop: one reference for
          // every window, and none of the positions SDL makes up as a
          // window appears or the pointer leaves it.
          int x = 0, y = 0;
          SDL_GetGlobalMouseState(&x, &y);
          return !input.MouseMoved(x, y);
        }
        default:
          return true;
      }
    };

    // While nobody can see it the show rests: no frames, its sounds paused,
    // a look a few times a second; seen again, it goes on where the clock says.
    bool resting = false;
    const auto rest = [&](bool now) {
      if (now == resting) return;
      resting = now;
      if (audio) audio->Pause(now);
    };
    bool running = true;
    while (running && !g_stopRequested) {
      SDL_Event event;
      while (running && SDL_PollEvent(&event)) running = handle(event);
      if (!running || g_stopRequested) break;
      if (options.seconds > 0 && firstFrame &&
          static_cast<double>(MonotonicMicroseconds() - firstFrameUs) >= options.seconds * 1e6)
        break;
      size = surface.Size();
      if (!size) break;  // the daemon took its window away: nothing to draw on
      rest(!surface.Seen());
      if (resting) {
        if (SDL_WaitEventTimeout(&event, 250)) running = handle(event);
        continue;
      }
      if (*size != built && size->width > 0 && size->height > 0) {
        const std::int64_t now = MonotonicMicroseconds();
        if (!sizeChangedUs) sizeChangedUs = now;
        if (now - sizeChangedUs >= 300000) {
          stage.reset();
          built = *size;
          stage = build(built);
          sizeChangedUs = 0;
        }
      } else {
        sizeChangedUs = 0;
      }
      if (stage->show->Frame(*stage->display.device(), present) == FrameStatus::DisplayLost) break;
    }

    // The show goes before the sound device, then the surface.
    stage.reset();
    audio.reset();
    // Figures.
    if (options.figures) {
      std::printf("first_frame_ms=%.0f frames=%llu seconds=%.3f size=%ux%u\n", firstFrame ? *firstFrame * 1000.0 : 0.0,
                  static_cast<unsigned long long>(frames), static_cast<double>(lastFrameUs - firstFrameUs) * 1e-6,
                  built.width, built.height);
      std::fflush(stdout);
    }
    return 0;
  } catch (const FatalRun& failure) {
    std::fprintf(stderr, "brisane: %s\n", failure.what());
    return 1;
  }
}

}  // namespace brisane
