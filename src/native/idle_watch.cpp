#include "native/idle_watch.h"

#include <dbus/dbus.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/signalfd.h>
#include <sys/wait.h>
#include <unistd.h>
#include <wayland-client.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <thread>

#include "ext-idle-notify-v1-client-protocol.h"
#include "kde-idle-client-protocol.h"
#include "native/settings_file.h"
#include "native/wayland_session.h"

namespace brisane {

namespace {

enum class Touch { None, Idle, Active, Gone };

// Where the session's word on idleness comes from.
class IdleSource {
 public:
  virtual ~IdleSource() = default;
  virtual const char* name() const = 0;
  virtual int fd() const = 0;
  // How long to wait for the descriptor before asking anyway (-1: for ever).
  virtual int waitMs() const { return -1; }
  // Whether something has come already, without reading the descriptor.
  virtual bool ready() { return false; }
  virtual Touch Take() = 0;
};

// The compositor's own protocols: ext-idle-notify, or KDE's older one, which
// wlroots compositors before 0.16 offer alone.
class WaylandIdle final : public IdleSource {
 public:
  static std::unique_ptr<WaylandIdle> Open(std::uint32_t ms) {
    std::unique_ptr<WaylandIdle> idle(new WaylandIdle);
    idle->display_ = wl_display_connect(nullptr);
    if (!idle->display_) return nullptr;
    idle->registry_ = wl_display_get_registry(idle->display_);
    static constexpr wl_registry_listener kListener = {Global, [](void*, wl_registry*, std::uint32_t) {}};
    wl_registry_add_listener(idle->registry_, &kListener, idle.get());
    if (wl_display_roundtrip(idle->display_) < 0 || !idle->seat_ || (!idle->notifier_ && !idle->kde_)) return nullptr;
    if (idle->notifier_) {
      static constexpr ext_idle_notification_v1_listener kNotification = {
          [](void* data, ext_idle_notification_v1*) { static_cast<WaylandIdle*>(data)->touch_ = Touch::Idle; },
          [](void* data, ext_idle_notification_v1*) { static_cast<WaylandIdle*>(data)->touch_ = Touch::Active; }};
      idle->notification_ = ext_idle_notifier_v1_get_idle_notification(idle->notifier_, ms, idle->seat_);
      ext_idle_notification_v1_add_listener(idle->notification_, &kNotification, idle.get());
    } else {
      static constexpr org_kde_kwin_idle_timeout_listener kTimeout = {
          [](void* data, org_kde_kwin_idle_timeout*) { static_cast<WaylandIdle*>(data)->touch_ = Touch::Idle; },
          [](void* data, org_kde_kwin_idle_timeout*) { static_cast<WaylandIdle*>(data)->touch_ = Touch::Active; }};
      idle->timeout_ = org_kde_kwin_idle_get_idle_timeout(idle->kde_, idle->seat_, ms);
      org_kde_kwin_idle_timeout_add_listener(idle->timeout_, &kTimeout, idle.get());
    }
    wl_display_flush(idle->display_);
    return idle;
  }

  ~WaylandIdle() override {
    if (notification_) ext_idle_notification_v1_destroy(notification_);
    if (timeout_) org_kde_kwin_idle_timeout_release(timeout_);
    if (notifier_) ext_idle_notifier_v1_destroy(notifier_);
    if (kde_) org_kde_kwin_idle_destroy(kde_);
    if (seat_) wl_seat_destroy(seat_);
    if (registry_) wl_registry_destroy(registry_);
    if (display_) wl_display_disconnect(display_);
  }

  const char* name() const override {
    return notifier_ ? "the compositor's ext-idle-notify" : "the compositor's KDE idle protocol";
  }
  int fd() const override { return wl_display_get_fd(display_); }
  Touch Take() override {
    touch_ = Touch::None;
    if (wl_display_dispatch(display_) < 0) return Touch::Gone;
    wl_display_flush(display_);
    return touch_;
  }

 private:
  WaylandIdle() = default;

  static void Global(void* data, wl_registry* registry, std::uint32_t id, const char* interface, std::uint32_t) {
    auto* idle = static_cast<WaylandIdle*>(data);
    const auto bind = [&](const wl_interface* kind) { return wl_registry_bind(registry, id, kind, 1); };
    if (!std::strcmp(interface, wl_seat_interface.name) && !idle->seat_)
      idle->seat_ = static_cast<wl_seat*>(bind(&wl_seat_interface));
    else if (!std::strcmp(interface, ext_idle_notifier_v1_interface.name))
      idle->notifier_ = static_cast<ext_idle_notifier_v1*>(bind(&ext_idle_notifier_v1_interface));
    else if (!std::strcmp(interface, org_kde_kwin_idle_interface.name))
      idle->kde_ = static_cast<org_kde_kwin_idle*>(bind(&org_kde_kwin_idle_interface));
  }

  wl_display* display_ = nullptr;
  wl_registry* registry_ = nullptr;
  wl_seat* seat_ = nullptr;
  ext_idle_notifier_v1* notifier_ = nullptr;
  ext_idle_notification_v1* notification_ = nullptr;
  org_kde_kwin_idle* kde_ = nullptr;
  org_kde_kwin_idle_timeout* timeout_ = nullptr;
  Touch touch_ = Touch::None;
};

// A private connection to the session bus, closed with its owner.
struct Bus {
  DBusConnection* connection = nullptr;
  Bus() {
    DBusError error;
    dbus_error_init(&error);
    connection = dbus_bus_get_private(DBUS_BUS_SESSION, &error);
    dbus_error_free(&error);
    if (connection) dbus_connection_set_exit_on_disconnect(connection, false);
  }
  ~Bus() {
    if (!connection) return;
    dbus_connection_close(connection);
    dbus_connection_unref(connection);
  }
  Bus(const Bus&) = delete;
  Bus& operator=(const Bus&) = delete;

  bool Has(const char* name) const {
    DBusError error;
    dbus_error_init(&error);
    const bool has = connection && dbus_bus_name_has_owner(connection, name, &error);
    dbus_error_free(&error);
    return has;
  }
  // One method call with its reply's single argument, of the given type.
  template <typename T>
  bool Call(const char* service, const char* path, const char* interface, const char* method, int argType,
            const void* arg, int replyType, T& reply) const {
    DBusMessage* call = dbus_message_new_method_call(service, path, interface, method);
    if (!call) return false;
    if (arg) dbus_message_append_args(call, argType, arg, DBUS_TYPE_INVALID);
    DBusError error;
    dbus_error_init(&error);
    DBusMessage* answer = dbus_connection_send_with_reply_and_block(connection, call, 2000, &error);
    dbus_message_unref(call);
    const bool ok = answer && dbus_message_get_args(answer, &error, replyType, &reply, DBUS_TYPE_INVALID);
    if (answer) dbus_message_unref(answer);
    dbus_error_free(&error);
    return ok;
  }
  int fd() const {
    int fd = -1;
    dbus_connection_get_unix_fd(connection, &fd);
    return fd;
  }
};

// GNOME's idle monitor: a watch that fires once the session has been idle
// so long, and a one-shot watch for the next user activity.
class GnomeIdle final : public IdleSource {
 public:
  static constexpr const char* kService = "org.gnome.Mutter.IdleMonitor";
  static constexpr const char* kPath = "/org/gnome/Mutter/IdleMonitor/Core";

  static std::unique_ptr<GnomeIdle> Open(std::uint32_t ms) {
    std::unique_ptr<GnomeIdle> idle(new GnomeIdle);
    if (!idle->bus_.Has(kService)) return nullptr;
    DBusError error;
    dbus_error_init(&error);
    dbus_bus_add_match(idle->bus_.connection,
                       "type='signal',interface='org.gnome.Mutter.IdleMonitor',member='WatchFired'", &error);
    const bool matched = !dbus_error_is_set(&error);
    dbus_error_free(&error);
    const dbus_uint64_t interval = ms;
    if (!matched || !idle->bus_.Call(kService, kPath, kService, "AddIdleWatch", DBUS_TYPE_UINT64, &interval,
                                     DBUS_TYPE_UINT32, idle->idleWatch_))
      return nullptr;
    return idle;
  }

  const char* name() const override { return "GNOME's idle monitor"; }
  int fd() const override { return bus_.fd(); }
  bool ready() override {
    return dbus_connection_get_dispatch_status(bus_.connection) == DBUS_DISPATCH_DATA_REMAINS;
  }
  Touch Take() override {
    if (!dbus_connection_read_write(bus_.connection, 0)) return Touch::Gone;
    Touch touch = Touch::None;
    while (DBusMessage* message = dbus_connection_pop_message(bus_.connection)) {
      dbus_uint32_t id = 0;
      if (dbus_message_is_signal(message, kService, "WatchFired") &&
          dbus_message_get_args(message, nullptr, DBUS_TYPE_UINT32, &id, DBUS_TYPE_INVALID)) {
        if (id == idleWatch_) {
          touch = Touch::Idle;
          // The next activity, from now on.
          activeWatch_ = 0;
          if (!bus_.Call<dbus_uint32_t>(kService, kPath, kService, "AddUserActiveWatch", DBUS_TYPE_INVALID, nullptr,
                                        DBUS_TYPE_UINT32, activeWatch_))
            touch = Touch::Gone;
        } else if (activeWatch_ && id == activeWatch_) {
          activeWatch_ = 0;
          touch = Touch::Active;
        }
      }
      dbus_message_unref(message);
    }
    return dbus_connection_get_is_connected(bus_.connection) ? touch : Touch::Gone;
  }

 private:
  GnomeIdle() = default;
  Bus bus_;
  dbus_uint32_t idleWatch_ = 0;
  dbus_uint32_t activeWatch_ = 0;
};

// The freedesktop screen saver service's idle time, where it has one (KDE):
// asked when the threshold could first be reached, and each second while
// the show runs.
class ScreenSaverIdle final : public IdleSource {
 public:
  static constexpr const char* kService = "org.freedesktop.ScreenSaver";

  static std::unique_ptr<ScreenSaverIdle> Open(std::uint32_t ms) {
    std::unique_ptr<ScreenSaverIdle> idle(new ScreenSaverIdle);
    idle->thresholdS_ = (ms + 999) / 1000;
    if (!idle->bus_.Has(kService) || !idle->Ask(idle->lastS_)) return nullptr;
    return idle;
  }

  const char* name() const override { return "the freedesktop screen saver's idle time"; }
  int fd() const override { return -1; }
  int waitMs() const override {
    if (idle_ || lastS_ >= thresholdS_) return 1000;
    return static_cast<int>(thresholdS_ - lastS_) * 1000;
  }
  Touch Take() override {
    dbus_uint32_t seconds = 0;
    if (!Ask(seconds)) return Touch::Gone;
    const bool wasIdle = idle_;
    idle_ = seconds >= thresholdS_ && !(wasIdle && seconds < lastS_);
    lastS_ = seconds;
    if (idle_ == wasIdle) return Touch::None;
    return idle_ ? Touch::Idle : Touch::Active;
  }

 private:
  ScreenSaverIdle() = default;
  bool Ask(dbus_uint32_t& seconds) const {
    return bus_.Call<dbus_uint32_t>(kService, "/ScreenSaver", kService, "GetSessionIdleTime", DBUS_TYPE_INVALID,
                                    nullptr, DBUS_TYPE_UINT32, seconds);
  }
  Bus bus_;
  dbus_uint32_t thresholdS_ = 0;
  dbus_uint32_t lastS_ = 0;
  bool idle_ = false;
};

// The shows of one idle spell: one a monitor, each a process of its own.
class Shows {
 public:
  Shows(std::string program, std::vector<std::string> arguments)
      : program_(std::move(program)), arguments_(std::move(arguments)) {}
  ~Shows() { End(); }
  Shows(const Shows&) = delete;
  Shows& operator=(const Shows&) = delete;

  bool running() const { return !pids_.empty(); }

  void Start(int monitors) {
    for (int monitor = 1; monitor <= std::max(monitors, 1); ++monitor) {
      std::vector<std::string> words = {program_};
      if (monitors > 1) words.insert(words.end(), {"--monitor", std::to_string(monitor)});
      words.insert(words.end(), arguments_.begin(), arguments_.end());
      std::vector<char*> argv;
      for (std::string& word : words) argv.push_back(word.data());
      argv.push_back(nullptr);
      const pid_t watch = getpid();
      const pid_t pid = fork();
      if (pid == 0) {
        // The show goes with its watch, however the watch ends, and takes
        // the signals the watch holds back for itself.
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (getppid() != watch) _exit(0);
        sigset_t none;
        sigemptyset(&none);
        sigprocmask(SIG_SETMASK, &none, nullptr);
        execv(program_.c_str(), argv.data());
        _exit(127);
      }
      if (pid > 0)
        pids_.push_back(pid);
      else
        std::fprintf(stderr, "brisane: the show could not be started: %s\n", std::strerror(errno));
    }
  }

  // Takes the shows that have ended; whether any had.
  bool Reap() {
    bool ended = false;
    for (auto pid = pids_.begin(); pid != pids_.end();) {
      if (waitpid(*pid, nullptr, WNOHANG) == *pid) {
        pid = pids_.erase(pid);
        ended = true;
      } else {
        ++pid;
      }
    }
    return ended;
  }

  // Asks every show to end, and makes sure within a few seconds.
  void End() {
    for (pid_t pid : pids_) kill(pid, SIGTERM);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    while (Reap(), !pids_.empty() && std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    for (pid_t pid : pids_) {
      kill(pid, SIGKILL);
      waitpid(pid, nullptr, 0);
    }
    pids_.clear();
  }

 private:
  std::string program_;
  std::vector<std::string> arguments_;
  std::vector<pid_t> pids_;
};

// A desktop entry's Exec argument: quoted when it holds a reserved
// character, with the string value's own escapes over the quoting.
std::string ExecWord(const std::string& word) {
  const bool quote = word.empty() || word.find_first_of(" \t\n\"'\\><~|&;$*?#()`") != std::string::npos;
  std::string out = quote ? "\"" : "";
  for (char c : word) {
    if (c == '%') {
      out += "%%";
      continue;
    }
    if (c == '\n') {
      out += "\\n";
      continue;
    }
    // The argument's escape, itself escaped as a string: a backslash is four.
    if (c == '"' || c == '`' || c == '$') out += "\\\\";
    if (c == '\\') out += "\\\\\\";
    out += c;
  }
  return quote ? out + "\"" : out;
}

}  // namespace

int RunIdleWatch(const NativeOptions& options, const std::string& program) {
  // The watch takes its signals in turn with the session's word.
  sigset_t held;
  sigemptyset(&held);
  for (int signal : {SIGTERM, SIGINT, SIGCHLD}) sigaddset(&held, signal);
  sigprocmask(SIG_BLOCK, &held, nullptr);
  const int signals = signalfd(-1, &held, SFD_CLOEXEC);
  if (signals < 0) {
    std::fprintf(stderr, "brisane: %s\n", std::strerror(errno));
    return 1;
  }

  const std::uint32_t ms = static_cast<std::uint32_t>(options.idleSeconds) * 1000u;
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  // The outputs are counted again each time: a laptop docks, a monitor is
  // plugged in. A compositor with no outputs has nothing to show on either.
  const auto monitors = [wayland] { return wayland && *wayland ? ProbeWayland().outputs : 0; };
  std::unique_ptr<IdleSource> source;
  if (monitors() > 0) source = WaylandIdle::Open(ms);
  if (!source) source = GnomeIdle::Open(ms);
  if (!source) source = ScreenSaverIdle::Open(ms);
  if (!source) {
    std::fprintf(stderr,
                 "brisane: this session tells no program when it goes idle (no ext-idle-notify or KDE idle protocol, "
                 "no GNOME idle monitor or freedesktop screen saver); the show will not start on its own\n");
    close(signals);
    return 1;
  }
  std::fprintf(stderr, "brisane: the show starts after %d seconds idle, as %s says\n", options.idleSeconds,
               source->name());

  Shows shows(program, options.showArguments);
  for (bool watching = true; watching;) {
    pollfd ready[2] = {{signals, POLLIN, 0}, {source->fd(), POLLIN, 0}};
    const int count = source->fd() >= 0 ? 2 : 1;
    bool ask = source->ready();
    if (!ask) {
      const int polled = poll(ready, count, source->waitMs());
      if (polled < 0 && errno != EINTR) break;
      // A source without a descriptor is asked when its wait is over.
      ask = count == 2 ? (ready[1].revents & (POLLIN | POLLHUP | POLLERR)) != 0 : polled == 0;
    }
    if (ready[0].revents & POLLIN) {
      signalfd_siginfo info;
      while (read(signals, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
        if (info.ssi_signo == SIGCHLD) {
          // A show ended by its own input takes the others with it.
          if (shows.Reap()) shows.End();
        } else {
          watching = false;
        }
        // One signal at a time: the descriptor is blocking.
        pollfd more = {signals, POLLIN, 0};
        if (poll(&more, 1, 0) <= 0) break;
      }
    }
    if (!watching || !ask) continue;
    switch (source->Take()) {
      case Touch::Idle:
        if (!shows.running()) shows.Start(monitors());
        break;
      case Touch::Active:
        shows.End();
        break;
      case Touch::Gone:
        std::fprintf(stderr, "brisane: %s is gone; the watch ends\n", source->name());
        watching = false;
        break;
      case Touch::None:
        break;
    }
  }
  shows.End();
  close(signals);
  return 0;
}

std::filesystem::path IdleAutostartPath() {
  const std::filesystem::path settings = DefaultSettingsFilePath();
  if (settings.empty()) return {};
  return settings.parent_path().parent_path() / "autostart" / "brisane-idle.desktop";
}

std::string IdleAutostartEntry(const std::string& program, const NativeOptions& options) {
  std::string exec = ExecWord(program) + " --idle --idle-after " + std::to_string(options.idleSeconds);
  for (const std::string& word : options.showArguments) exec += " " + ExecWord(word);
  return "[Desktop Entry]\n"
         "Type=Application\n"
         "Name=Brisane 3D Screensaver\n"
         "Comment=The ship at sea when the session has been idle a while\n"
         "Exec=" + exec + "\n"
         "NoDisplay=true\n"
         "X-GNOME-Autostart-enabled=true\n";
}

int InstallIdle(const NativeOptions& options, const std::string& program) {
  const std::filesystem::path path = IdleAutostartPath();
  if (path.empty()) {
    std::fprintf(stderr, "brisane: no configuration folder: neither $XDG_CONFIG_HOME nor $HOME is a full path\n");
    return 1;
  }
  std::error_code error;
  if (options.idle == IdleAction::Remove) {
    if (!std::filesystem::remove(path, error) && error) {
      std::fprintf(stderr, "brisane: %s: %s\n", path.c_str(), error.message().c_str());
      return 1;
    }
    std::printf("%s\n", path.c_str());
    return 0;
  }
  std::filesystem::create_directories(path.parent_path(), error);
  const std::filesystem::path temporary = path.string() + ".new";
  {
    std::ofstream out(temporary, std::ios::trunc);
    out << IdleAutostartEntry(program, options);
    out.close();
    if (!out) {
      std::fprintf(stderr, "brisane: %s could not be written\n", temporary.c_str());
      std::filesystem::remove(temporary, error);
      return 1;
    }
  }
  std::filesystem::rename(temporary, path, error);
  if (error) {
    std::fprintf(stderr, "brisane: %s: %s\n", path.c_str(), error.message().c_str());
    std::filesystem::remove(temporary, error);
    return 1;
  }
  std::printf("%s\n", path.c_str());
  return 0;
}

}  // namespace brisane
