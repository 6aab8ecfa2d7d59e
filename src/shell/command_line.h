// How the screensaver host asks for a run mode.
#pragma once

#include <cstdint>
#include <string_view>

namespace brisane {

enum class RunMode { FullScreen, Preview, Configuration };

struct CommandLine {
  RunMode mode = RunMode::FullScreen;
  std::uintptr_t parentWindow = 0;  // Preview only: the host's window
};

// "/p <hwnd>" previews in that window, "/c..." or nothing configures, anything
// else runs the full-screen show. Case matters: "/P" and "/C" are the show.
// A "/p" without a window number has nowhere to draw and runs the show.
CommandLine ParseCommandLine(std::string_view text);

}  // namespace brisane
