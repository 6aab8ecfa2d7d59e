#include "tools/still/still_show.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <map>
#include <memory>

#include "platform/clock.h"
#include "platform/random.h"
#include "settings/node.h"
#include "settings/settings_keys.h"
#include "show/show.h"

namespace brisane::still {

namespace {

constexpr std::uint32_t kStart = 1000;
constexpr std::uint32_t kFrameMs = 40;

void StillSettings(Node& settings) {
  for (const SettingSpec& spec : SettingSpecs())
    if (spec.type == ValueType::Int) settings.Get(spec.key) = Value(spec.defaultValue);
  settings.Get(key::EnableFiring) = Value(0);
  settings.Get(key::EnableLighting) = Value(1);
  settings.Get(key::EnableLensFlares) = Value(1);
  settings.Get(key::EnableEnvWater) = Value(1);
  settings.Get(key::EnableLightmaps) = Value(1);
  settings.Get(key::ShowFPS) = Value(0);
}

}  // namespace

std::optional<Shot> ParseShot(std::string_view text) {
  std::vector<std::string> parts(1);
  for (char c : text) {
    if (c == ':')
      parts.emplace_back();
    else
      parts.back() += c;
  }
  if (parts.size() < 3 || parts.size() > 4 || parts[0].empty() || parts[1].empty() || parts[2].empty() ||
      parts[2].size() > 9 || parts[2].find_first_not_of("0123456789") != std::string::npos)
    return std::nullopt;
  if (parts.size() == 4 && parts[3] != "night") return std::nullopt;
  return Shot{parts[0], parts[1], static_cast<std::uint32_t>(std::stoul(parts[2])), parts.size() == 4};
}

std::optional<Options> ParseArguments(int argc, const char* const* argv) {
  if (argc < 3) return std::nullopt;
  Options o;
  o.assets = argv[1];
  o.outDir = argv[2];
  for (int i = 3; i + 1 < argc; i += 2) {
    const std::string_view flag = argv[i], value = argv[i + 1];
    if (flag == "--shot") {
      const auto shot = ParseShot(value);
      if (!shot) return std::nullopt;
      o.shots.push_back(*shot);
    } else if (flag == "--size") {
      unsigned w = 0, h = 0;
      char tail = 0;
      if (std::sscanf(argv[i + 1], "%ux%u%c", &w, &h, &tail) != 2 || w < 16 || h < 16 || w > 4096 || h > 4096)
        return std::nullopt;
      o.width = w, o.height = h;
    } else {
      return std::nullopt;
    }
  }
  if (argc % 2 == 0 || o.shots.empty()) return std::nullopt;
  return o;
}

bool LoadAssetFolder(const std::filesystem::path& folder, MemoryResourceSource& resources) {
  static const std::map<std::string, std::string> kTypes = {
      {"scene_", "SSSFILE"}, {"jpeg_", "JPEGFILE"}, {"wav_", "WAVFILE"}};
  int found = 0;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
    const std::string name = entry.path().stem().string();
    for (const auto& [prefix, type] : kTypes) {
      const std::string digits = name.substr(std::min(prefix.size(), name.size()));
      if (name.rfind(prefix, 0) != 0 || digits.empty() || digits.size() > 5 ||
          digits.find_first_not_of("0123456789") != std::string::npos)
        continue;
      const unsigned long id = std::stoul(digits);
      if (id > 0xFFFF) continue;
      std::ifstream in(entry.path(), std::ios::binary);
      std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
      resources.add(static_cast<std::uint16_t>(id), type, std::move(bytes));
      ++found;
    }
  }
  return found > 0;
}

std::string TakeStills(Device& device, TextureLoader& textures, const ResourceSource& resources,
                       std::uint32_t width, std::uint32_t height, bool anisotropic,
                       const std::vector<Shot>& shots, const std::function<HResult()>& present,
                       const std::function<bool(const Shot&, const Picture&)>& take) {
  ManualClock clock(kStart);
  LcgRandom random;
  Node settings;
  StillSettings(settings);
  std::string fatal;
  Show show({clock, random, resources, &textures, settings, nullptr, nullptr, nullptr,
             [&fatal](const std::string& message) { fatal = message; }});
  if (!show.Start(device, {height, anisotropic, "", width}) || !fatal.empty())
    return fatal.empty() ? "the scene did not load" : fatal;
  // The camera stays where each shot puts it: no tour and no fades.
  if (ShowDirector* director = show.director()) show.passes().Remove(*director);

  for (const Shot& shot : shots) {
    Camera* camera = show.scene().FindNode<Camera>(shot.camera);
    if (!camera) return "no camera \"" + shot.camera + "\" in the scene";
    if (shot.night && show.lightCycle().daylight() > 0.5f) {
      // Through the change to night at once: the next frame holds the night.
      const auto minutes = [&](std::string_view k) { return static_cast<std::uint32_t>(settings.Get(k).AsInt()) * 60000u; };
      const std::uint32_t changing = clock.now() + minutes(key::ChangeDelay) + 1;
      for (std::uint32_t at : {changing, changing + minutes(key::LightDelay) - 1}) {
        FrameContext frame{device, at, settings, random};
        show.lightCycle().Run(frame);
      }
    }
    show.scene().SetCurrentCamera(camera);
    if (const contract::CameraSpec* spec = FindShowCamera(shot.camera)) StartCameraPath(*camera, *spec);
    const std::uint32_t end = clock.now() + shot.ms;
    do {
      clock.advance(kFrameMs);
      if (show.Frame(device, present) != FrameStatus::Presented) return "a frame of " + shot.name + " failed";
      if (!fatal.empty()) return fatal;
    } while (static_cast<std::int32_t>(end - clock.now()) > 0);
    Picture picture;
    picture.width = width, picture.height = height;
    const PixelRect all{0, 0, static_cast<std::int32_t>(width), static_cast<std::int32_t>(height)};
    if (Failed(device.ReadBackBuffer(all, picture.argb)) || picture.argb.size() != std::size_t{width} * height)
      return "the back buffer of " + shot.name + " cannot be read";
    if (!take(shot, picture)) return "the picture " + shot.name + " cannot be written";
  }
  show.Stop();
  show.DestroyGuns();
  return "";
}

bool WritePpm(const std::string& path, const Picture& picture) {
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> out(std::fopen(path.c_str(), "wb"), std::fclose);
  if (!out) return false;
  std::fprintf(out.get(), "P6\n%u %u\n255\n", picture.width, picture.height);
  std::vector<std::uint8_t> rgb;
  rgb.reserve(picture.argb.size() * 3);
  for (std::uint32_t p : picture.argb)
    rgb.insert(rgb.end(), {static_cast<std::uint8_t>(p >> 16), static_cast<std::uint8_t>(p >> 8),
                           static_cast<std::uint8_t>(p)});
  return std::fwrite(rgb.data(), 1, rgb.size(), out.get()) == rgb.size() && std::fflush(out.get()) == 0;
}

}  // namespace brisane::still
