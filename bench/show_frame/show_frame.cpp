// The whole show on a device that draws nothing, on a clock that steps
// 16.7 ms a frame: what each pass of a frame costs the program itself, and
// what its start-up costs. Settings as a busy show has them: a volley every
// minute, camera switches every 5 s, one-minute light changes, water,
// reflection and flares on.
//   show_frame ASSETS_DIR [FRAMES]   (ASSETS_DIR: what tools/assets wrote)
// Prints figures only; asserts nothing.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/random.h"
#include "platform/resource_source.h"
#include "platform/textures.h"
#include "render/state_filter.h"
#include "render/texture_fill.h"
#include "settings/node.h"
#include "settings/settings_keys.h"
#include "show/show.h"
#include "support/null_device.h"
#include "tools/still/still_show.h"

namespace brisane::bench {
namespace {

using Stopwatch = std::chrono::steady_clock;

double Seconds(Stopwatch::duration d) { return std::chrono::duration<double>(d).count(); }

// A decoded picture held as a texture would hold it, so start-up pays for
// the decode and memory for the pixels.
class HeldSurface final : public Surface {
 public:
  HeldSurface(std::uint32_t width, std::uint32_t height, std::vector<std::uint8_t> pixels = {})
      : width(width), height(height), pixels(std::move(pixels)) {}
  std::uint32_t width, height;
  std::vector<std::uint8_t> pixels;
};

class DecodingLoader final : public TextureLoader {
 public:
  TextureRef createTextureFromJpeg(std::span<const std::uint8_t> bytes, std::uint32_t, std::uint16_t) override {
    DecodedPicture picture;
    if (!DecodePicture(bytes.data(), bytes.size(), picture, kMaxDecodedSide, kMaxDecodedSide)) return nullptr;
    ++decoded;
    const auto w = static_cast<std::uint32_t>(picture.width), h = static_cast<std::uint32_t>(picture.height);
    return std::make_shared<HeldSurface>(w, h, std::move(picture.pixels));
  }
  TextureRef CreateSurfaceOfType(std::uint32_t width, std::uint32_t height, SurfaceKind) override {
    return std::make_shared<HeldSurface>(width, height);
  }
  void SurfaceSize(const Surface& surface, std::uint32_t& width, std::uint32_t& height) const override {
    const auto* held = dynamic_cast<const HeldSurface*>(&surface);
    width = held ? held->width : 0;
    height = held ? held->height : 0;
  }
  int decoded = 0;
};

// Runs one pass and adds up the time it took.
class TimedPass final : public FramePass {
 public:
  explicit TimedPass(FramePass& inner) : inner_(inner) {}
  std::string_view Name() const override { return inner_.Name(); }
  void Run(FrameContext& frame) override {
    const auto start = Stopwatch::now();
    inner_.Run(frame);
    total += Stopwatch::now() - start;
  }
  Stopwatch::duration total{};

 private:
  FramePass& inner_;
};

void BusySettings(Node& settings) {
  for (const SettingSpec& spec : SettingSpecs())
    if (spec.type == ValueType::Int) settings.Get(spec.key) = Value(spec.defaultValue);
  settings.Get(key::EnableFiring) = Value(1);
  settings.Get(key::FiringPeriod) = Value(0);
  settings.Get(key::SwitchPeriod) = Value(5);
  settings.Get(key::LightDelay) = Value(1);
  settings.Get(key::ChangeDelay) = Value(1);
  settings.Get(key::EnableLighting) = Value(1);
  settings.Get(key::EnableLensFlares) = Value(1);
  settings.Get(key::EnableEnvWater) = Value(1);
  settings.Get(key::EnableLightmaps) = Value(1);
  settings.Get(key::ShowFPS) = Value(1);
  for (std::string_view camera : {key::Camera1, key::Camera2, key::Camera3, key::Camera4, key::Camera5,
                                  key::Camera6, key::Camera7})
    settings.Get(camera) = Value(1);
}

}  // namespace
}  // namespace brisane::bench

int main(int argc, char** argv) {
  using namespace brisane;
  using namespace brisane::bench;
  using testing::NullAudio;
  using testing::NullDevice;
  if (argc < 2) {
    std::fprintf(stderr, "usage: show_frame ASSETS_DIR [FRAMES]\n");
    return 2;
  }
  const int frames = argc > 2 ? std::max(1, std::atoi(argv[2])) : 6000;
  MemoryResourceSource resources;
  if (!still::LoadAssetFolder(argv[1], resources)) {
    std::fprintf(stderr, "show_frame: no generated resources in %s\n", argv[1]);
    return 1;
  }
  ManualClock clock(1000);
  LcgRandom random;
  DecodingLoader loader;
  Node settings;
  BusySettings(settings);
  // As in the program: the show draws through the filter of repeated states.
  NullDevice nullDevice;
  StateFilter device(nullDevice);
  Show show({clock, random, resources, &loader, settings});

  // As the window starts it: the scene, the sounds, then the guns with their shot.
  NullAudio audio;
  const auto setupStart = Stopwatch::now();
  if (!show.Start(device, {768, false, ""}, {[&audio]() -> AudioDevice* { return &audio; }, {}})) {
    std::fprintf(stderr, "show_frame: the scene did not load\n");
    return 1;
  }
  const double setupSeconds = Seconds(Stopwatch::now() - setupStart);

  // Every pass behind a stopwatch, in the same steps and order.
  std::vector<FramePasses::Entry> entries = show.passes().entries();
  std::vector<std::unique_ptr<TimedPass>> timed;
  for (const FramePasses::Entry& entry : entries) show.passes().Remove(*entry.pass);
  for (const FramePasses::Entry& entry : entries) {
    timed.push_back(std::make_unique<TimedPass>(*entry.pass));
    show.passes().Add(entry.step, *timed.back());
  }

  const auto present = [] { return kOk; };
  nullDevice.draws = nullDevice.primitives = nullDevice.stateCalls = nullDevice.repeatedStateCalls = 0;
  const std::uint64_t stoppedBefore = device.repeatsStopped();
  const auto runStart = Stopwatch::now();
  for (int i = 0; i < frames; ++i) {
    show.Frame(device, present);
    // 16.7 ms a frame: 50 ms every three frames.
    clock.advance(i % 3 == 2 ? 16 : 17);
  }
  const double runSeconds = Seconds(Stopwatch::now() - runStart);

  std::printf("show_frame: %d frames (%.1f s of show), %d pictures decoded\n", frames, (clock.now() - 1000) / 1000.0,
              loader.decoded);
  std::printf("  set-up                %9.1f ms\n", setupSeconds * 1e3);
  std::printf("  frame                 %9.1f us   (%.0f frames/s of the program's own work)\n",
              runSeconds / frames * 1e6, frames / runSeconds);
  std::printf("  draws per frame       %9.1f      primitives per frame %.0f\n", double(nullDevice.draws) / frames,
              double(nullDevice.primitives) / frames);
  const double stopped = double(device.repeatsStopped() - stoppedBefore) / frames;
  std::printf("  state sets per frame  %9.1f      of them %.1f repeats stopped by the filter, %.1f passed on"
              " (%.1f of those repeats the filter could not know)\n",
              stopped + double(nullDevice.stateCalls) / frames, stopped, double(nullDevice.stateCalls) / frames,
              double(nullDevice.repeatedStateCalls) / frames);
  double accounted = 0;
  for (const auto& pass : timed) {
    const double seconds = Seconds(pass->total);
    accounted += seconds;
    std::printf("  pass %-16.*s %9.1f us   %5.1f %%\n", int(pass->Name().size()), pass->Name().data(),
                seconds / frames * 1e6, 100.0 * seconds / runSeconds);
  }
  std::printf("  outside passes        %9.1f us   %5.1f %%\n", (runSeconds - accounted) / frames * 1e6,
              100.0 * (runSeconds - accounted) / runSeconds);
  return 0;
}
