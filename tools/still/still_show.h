// The show's frame at fixed moments: a manual clock stepping 40 ms a frame
// from a fixed start, the random source seeded the same way, the camera held
// (no tour, no fades), every feature on and the guns quiet. Any device draws
// it, so the Windows and the native program can be compared pixel by pixel.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/device.h"
#include "platform/resource_source.h"
#include "platform/textures.h"

namespace brisane::still {

struct Shot {
  std::string name;
  std::string camera;      // a camera node of the scene, e.g. "Camera01"
  std::uint32_t ms = 0;    // show time run with this camera before the picture
  bool night = false;      // the light cycle turned to night first (it stays night)
};

// NAME:CAMERA:MS or NAME:CAMERA:MS:night; nullopt when malformed.
std::optional<Shot> ParseShot(std::string_view text);

// still_* ASSETS OUTDIR [--size WxH] --shot NAME:CAMERA:MS[:night]...
struct Options {
  std::string assets, outDir;
  std::uint32_t width = 640, height = 480;
  std::vector<Shot> shots;
};
// nullopt for anything malformed (and no shot at all).
std::optional<Options> ParseArguments(int argc, const char* const* argv);
inline constexpr char kUsage[] = "usage: still ASSETS_DIR OUTDIR [--size WxH] --shot NAME:CAMERA:MS[:night]...\n";

// Every generated resource in the folder (what tools/assets writes), under
// the numbers and types the program's resources give them. False when none.
bool LoadAssetFolder(const std::filesystem::path& folder, MemoryResourceSource& resources);

struct Picture {
  std::uint32_t width = 0, height = 0;
  std::vector<std::uint32_t> argb;  // 0xAARRGGBB, rows top first
};

// Runs one show over the device through every shot in order and hands each
// picture (the back buffer after the shot's last frame) to `take`. present
// shows a frame (it may do nothing). Returns an error text, empty on success.
std::string TakeStills(Device& device, TextureLoader& textures, const ResourceSource& resources,
                       std::uint32_t width, std::uint32_t height, bool anisotropic,
                       const std::vector<Shot>& shots, const std::function<HResult()>& present,
                       const std::function<bool(const Shot&, const Picture&)>& take);

// Binary PPM; false when the file cannot be written.
bool WritePpm(const std::string& path, const Picture& picture);

}  // namespace brisane::still
