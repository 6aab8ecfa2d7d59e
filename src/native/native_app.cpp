#include "native/native_app.h"

#include <SDL.h>
#include <epoxy/gl.h>
#include <signal.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
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
#include "native/x11_root.h"
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
  SdlVideo() {
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
    if (SDL_Surface* surface = SDL_GetWindowSurface(cover.get())) {
      SDL_FillRect(surface, nullptr, SDL_MapRGB(surface->format, 0, 0, 0));
      SDL_UpdateWindowSurface(cover.get());
    }
    covers.push_back(std::move(cover));
  }
  SDL_SetHint(SDL_HINT_WINDOW_NO_ACTIVATION_WHEN_SHOWN, "0");
  return covers;
}

WindowPtr MakeShowWindow(const NativeOptions& options) {
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
  // The frame is drawn into the display's own buffers; the window's only
  // takes the finished picture.
  SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 0);
  SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 0);
  SDL_Window* window = nullptr;
  switch (options.mode) {
    case NativeOptions::Mode::Embedded:
      window = SDL_CreateWindowFrom(reinterpret_cast<const void*>(static_cast<std::uintptr_t>(options.windowId)));
      break;
    case NativeOptions::Mode::Root: {
      // The screen's own root window, as a screensaver daemon's hack draws on it.
      const std::uint64_t root = ScreenRootWindow();
      if (!root) throw FatalRun("no X display to draw on");
      window = SDL_CreateWindowFrom(reinterpret_cast<const void*>(static_cast<std::uintptr_t>(root)));
      break;
    }
    case NativeOptions::Mode::Window:
      window = SDL_CreateWindow(kProgramName, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                                static_cast<int>(options.width), static_cast<int>(options.height), SDL_WINDOW_OPENGL);
      break;
    case NativeOptions::Mode::FullScreen: {
      SDL_Rect bounds = {0, 0, 1024, 768};
      SDL_GetDisplayBounds(0, &bounds);
      window = SDL_CreateWindow(kProgramName, SDL_WINDOWPOS_UNDEFINED_DISPLAY(0), SDL_WINDOWPOS_UNDEFINED_DISPLAY(0),
                                bounds.w, bounds.h,
                                SDL_WINDOW_OPENGL | SDL_WINDOW_FULLSCREEN_DESKTOP | SDL_WINDOW_BORDERLESS);
      break;
    }
  }
  if (!window) throw FatalRun(std::string("no window: ") + SDL_GetError());
  return WindowPtr(window);
}

// Sound for the show, unless it is off in the settings; null leaves it
// silent, as on Windows when no device starts.
std::unique_ptr<AudioDevice> OpenSound(Node& settings) {
  if (settings.Get(key::DisableSound).AsInt() != 0) return nullptr;
  if (std::unique_ptr<AudioDevice> audio = OpenAlAudio::Open()) return audio;
  // Silent for this run only; the settings file is never written from here.
  settings.Get(key::DisableSound) = Value(std::int32_t{1});
  return nullptr;
}

// Vertical sync that is asked for may still not wait (a virtual X server
// has no refresh to wait for): when the first frames come much faster than
// the refresh, the frames are paced by the clock instead.
class Pacing {
 public:
  Pacing(bool syncAsked, std::uint32_t refreshHz) : pacer_(refreshHz), clock_(!syncAsked) {}

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

NativeOptions ToNativeOptions(const HackOptions& hack) {
  NativeOptions options;
  switch (hack.target) {
    case HackTarget::FullScreen: options.mode = NativeOptions::Mode::FullScreen; break;
    case HackTarget::OwnWindow: options.mode = NativeOptions::Mode::Window; break;
    case HackTarget::Root: options.mode = NativeOptions::Mode::Root; break;
    case HackTarget::Window: options.mode = NativeOptions::Mode::Embedded; break;
  }
  // A window of the program's own choosing when no size was asked for.
  options.width = hack.width > 0 ? static_cast<std::uint32_t>(hack.width) : 800u;
  options.height = hack.height > 0 ? static_cast<std::uint32_t>(hack.height) : 600u;
  options.windowId = hack.windowId;
  options.seconds = hack.seconds;
  options.figures = hack.figures;
  options.save = hack.save;
  options.noSettingsFile = hack.noSettingsFile;
  options.overrides = hack.overrides;
  return options;
}

std::uint32_t SteadyClock::now() const {
  const auto ms =
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch());
  return static_cast<std::uint32_t>(ms.count());
}

bool InputRules::KeyDown(bool altKey, bool altHeld, bool f10) { return !(altKey || altHeld || f10); }

bool InputRules::MouseMoved(std::int32_t x, std::int32_t y) {
  if (!endOnMouseMove_) return false;
  if (!referenceSet_) {
    referenceSet_ = true;
    x_ = x;
    y_ = y;
    return false;
  }
  return x != x_ || y != y_;
}

bool LoadRunSettings(Node& settings, SettingsFile& file, const NativeOptions& options, DisplayMode desktop,
                     const FatalSink& fatal) {
  bool readable = true;
  if (!options.noSettingsFile) {
    std::vector<std::string> warnings;
    readable = file.Read(warnings);
    for (const std::string& warning : warnings) std::fprintf(stderr, "brisane: %s\n", warning.c_str());
  }
  LoadFileSettings(settings, file, desktop, fatal);
  ApplyHackOverrides(settings, {.overrides = options.overrides});
  return readable;
}

int RunNative(const NativeOptions& options) {
  InstallStopSignals();
  try {
    SettingsFile file(DefaultSettingsFilePath());
    Node settings;
    const FatalSink fatal = [](const std::string& message) { throw FatalRun(message); };
    if (options.save) {
      // Saving over a file that is there but could not be read would lose
      // every setting in it, and one that was never read would get the defaults.
      // No display needed: the display settings kept for Windows mean nothing here.
      if (options.noSettingsFile || !LoadRunSettings(settings, file, options, {1024, 768, 32, 60}, fatal))
        throw FatalRun("the settings were not saved: " + file.path().string() + " is left as it is");
      SaveSettings(settings, *file.CurrentUser());
      std::string error;
      if (!file.Save(error)) throw FatalRun("the settings were not saved: " + error);
      std::printf("%s\n", file.path().c_str());
      return 0;
    }

    SdlVideo video;
    SDL_DisplayMode desktop = {};
    if (SDL_GetDesktopDisplayMode(0, &desktop) != 0) desktop = {SDL_PIXELFORMAT_RGB888, 1024, 768, 0, nullptr};
    LoadRunSettings(settings, file, options,
                    {static_cast<std::uint32_t>(desktop.w), static_cast<std::uint32_t>(desktop.h), 32,
                     static_cast<std::uint32_t>(desktop.refresh_rate)},
                    fatal);

    const bool fullScreen = options.mode == NativeOptions::Mode::FullScreen;
    // Drawn into another program's window or the root, the input is the daemon's.
    const bool ownInput = options.mode == NativeOptions::Mode::FullScreen || options.mode == NativeOptions::Mode::Window;
    std::vector<WindowPtr> covers;
    if (fullScreen) covers = CoverOtherDisplays();
    WindowPtr window = MakeShowWindow(options);
    GlContext context(window.get());
    if (SDL_GL_MakeCurrent(window.get(), context.context) != 0)
      throw FatalRun(std::string("the GL context cannot be made current: ") + SDL_GetError());
    if (ownInput) SDL_ShowCursor(SDL_DISABLE);
    if (fullScreen) SDL_RaiseWindow(window.get());
    Pacing pacing(SDL_GL_SetSwapInterval(1) == 0, static_cast<std::uint32_t>(desktop.refresh_rate));

    int pictureWidth = 0, pictureHeight = 0;
    SDL_GL_GetDrawableSize(window.get(), &pictureWidth, &pictureHeight);
    // Released after the show, whose sounds hold its buffers.
    std::unique_ptr<AudioDevice> audio;
    GlDisplay display;
    std::string error;
    if (!display.Init(static_cast<std::uint32_t>(pictureWidth), static_cast<std::uint32_t>(pictureHeight), error))
      throw FatalRun(error);
    BitmapText overlay(display);
    SteadyClock clock;
    LcgRandom random;
    EmbeddedResources resources;
    auto show = std::make_unique<Show>(
        ShowPlatform{clock, random, resources, &display.textures(), settings, &display, &overlay, nullptr, fatal});

    ShowSettings showSettings;
    showSettings.screenWidth = display.width();
    showSettings.screenHeight = display.height();
    showSettings.anisotropic = epoxy_gl_version() >= 46 || epoxy_has_gl_extension("GL_EXT_texture_filter_anisotropic") ||
                               epoxy_has_gl_extension("GL_ARB_texture_filter_anisotropic");
    const ShowStartHooks hooks{[&]() -> AudioDevice* {
                                 audio = OpenSound(settings);
                                 return audio.get();
                               },
                               [&](int height) { overlay.MakeFont(height); }};
    if (!show->Start(*display.device(), showSettings, hooks))
      std::fprintf(stderr, "brisane: the ship's scene could not be loaded\n");

    InputRules input(settings.Get(key::DisableOnMouseActivate).AsInt() == 0);
    std::optional<double> firstFrame;
    std::int64_t firstFrameUs = 0, lastFrameUs = 0;
    std::uint64_t frames = 0;
    const auto present = [&]() -> HResult {
      int windowWidth = 0, windowHeight = 0;
      SDL_GL_GetDrawableSize(window.get(), &windowWidth, &windowHeight);
      const HResult result =
          display.Present(static_cast<std::uint32_t>(windowWidth), static_cast<std::uint32_t>(windowHeight));
      if (Failed(result)) return result;
      pacing.BeforeSwap();
      SDL_GL_SwapWindow(window.get());
      pacing.AfterSwap();
      lastFrameUs = MonotonicMicroseconds();
      if (!firstFrame) {
        firstFrame = SecondsSinceProcessStart();
        firstFrameUs = lastFrameUs;
      }
      ++frames;
      return kOk;
    };

    bool running = true;
    while (running && !g_stopRequested) {
      SDL_Event event;
      while (running && SDL_PollEvent(&event)) {
        switch (event.type) {
          case SDL_QUIT:
            running = false;
            break;
          case SDL_WINDOWEVENT:
            if (event.window.event == SDL_WINDOWEVENT_CLOSE) running = false;
            break;
          case SDL_KEYDOWN:
            if (ownInput && !event.key.repeat) {
              const SDL_Keycode key = event.key.keysym.sym;
              running = !input.KeyDown(key == SDLK_LALT || key == SDLK_RALT, (event.key.keysym.mod & KMOD_ALT) != 0,
                                       key == SDLK_F10);
            }
            break;
          case SDL_MOUSEBUTTONDOWN:
            if (ownInput) running = !input.MouseButton();
            break;
          case SDL_MOUSEMOTION:
            if (ownInput) {
              // Where the pointer really is on the desktop: one reference for
              // every window, and none of the positions SDL makes up as a
              // window appears or the pointer leaves it.
              int x = 0, y = 0;
              SDL_GetGlobalMouseState(&x, &y);
              running = !input.MouseMoved(x, y);
            }
            break;
          default:
            break;
        }
      }
      if (!running || g_stopRequested) break;
      if (show->Frame(*display.device(), present) == FrameStatus::DisplayLost) break;
      if (options.seconds > 0 && firstFrame &&
          static_cast<double>(lastFrameUs - firstFrameUs) >= options.seconds * 1e6)
        break;
    }

    // As on Windows: the show's sounds stop, the guns go with the display
    // objects, then the rest of the show, the display, and the sound device.
    show->Stop();
    show->DestroyGuns();
    show.reset();
    if (options.figures) {
      std::printf("first_frame_ms=%.0f frames=%llu seconds=%.3f\n", firstFrame ? *firstFrame * 1000.0 : 0.0,
                  static_cast<unsigned long long>(frames), static_cast<double>(lastFrameUs - firstFrameUs) * 1e-6);
      std::fflush(stdout);
    }
    return 0;
  } catch (const FatalRun& failure) {
    std::fprintf(stderr, "brisane: %s\n", failure.what());
    return 1;
  }
}

}  // namespace brisane
