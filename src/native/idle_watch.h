// The show as a desktop's screensaver where no screensaver daemon runs
// (Wayland sessions): the session says when it has been left alone, the show
// starts on every monitor, and the first touch ends it.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "native/options.h"

namespace brisane {

// Stays in the session until SIGTERM or SIGINT; 1 when the session tells no
// program when it goes idle.
int RunIdleWatch(const NativeOptions& options, const std::string& program);

// The autostart entry that runs the watch with the session (XDG autostart,
// which GNOME and KDE read): --install-idle writes it, --remove-idle removes it.
std::filesystem::path IdleAutostartPath();
std::string IdleAutostartEntry(const std::string& program, const NativeOptions& options);
int InstallIdle(const NativeOptions& options, const std::string& program);

}  // namespace brisane
