// What the fire and light effects cost a frame while a volley is under way:
// the generated ship scene set up as the show does it, both broadsides
// fired, and 2.5 s of frames at 60 a second on the recording device. Each
// pass is timed on its own; the figures are the guns' updates, their
// flashes and smoke (sixteen emitters), the lantern glows and the sun's
// glow with its seven flare sprites, against the scene's own draw measured
// in the same frames, and the share of the glows' back-buffer read-back.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "settings/settings_keys.h"
#include "show/show.h"
#include "support/recording_device.h"

using namespace brisane;

namespace {

using Timer = std::chrono::steady_clock;

std::vector<std::uint8_t> ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct BenchSurface : Surface {};

// Textures without decoding: the effects only bind them.
class NullLoader : public TextureLoader {
 public:
  TextureRef createTextureFromJpeg(std::span<const std::uint8_t>, std::uint32_t, std::uint16_t) override {
    return std::make_shared<BenchSurface>();
  }
};

// The recording device with its read-backs timed and its log kept short.
class TimedDevice : public testing::RecordingDevice {
 public:
  HResult ReadBackBuffer(const PixelRect& rect, std::vector<std::uint32_t>& argb) override {
    const auto start = Timer::now();
    const HResult result = RecordingDevice::ReadBackBuffer(rect, argb);
    readBack += Timer::now() - start;
    ++readBacks;
    return result;
  }
  Timer::duration readBack{};
  unsigned readBacks = 0;
};

double Ms(Timer::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

}  // namespace

int main(int argc, char** argv) {
  const std::string sceneFile = argc > 1 ? argv[1] : std::string(BRISANE_ASSETS) + "/scene_147.sss";
  const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
  MemoryResourceSource resources;
  std::vector<std::uint8_t> scene = ReadFile(sceneFile);
  if (scene.empty()) {
    std::fprintf(stderr, "no scene at %s (build the assets first)\n", sceneFile.c_str());
    return 1;
  }
  resources.add(contract::kSceneResource, "SSSFILE", std::move(scene));
  for (std::uint16_t id = 168; id <= 180; ++id)
    resources.add(id, "JPEGFILE", ReadFile(std::string(BRISANE_ASSETS) + "/jpeg_" + std::to_string(id) + ".jpg"));

  ManualClock clock(100000);
  LcgRandom random(7);
  NullLoader loader;
  Node settings;
  settings.Get(key::EnableLensFlares) = Value(std::int32_t{1});
  settings.Get(key::EnableFiring) = Value(std::int32_t{1});
  settings.Get(key::FiringPeriod) = Value(std::int32_t{0});
  settings.Get(key::EnableLighting) = Value(std::int32_t{0});
  TimedDevice device;
  // Drawing changes the pixels: every glow on screen is seen.
  device.backBuffer = [&device](std::int32_t, std::int32_t) {
    return 0xFF000000u | static_cast<std::uint32_t>(device.draws.size());
  };
  Show show({clock, random, resources, &loader, settings});
  if (!show.Setup(device, {1024, false, "", 1024})) {
    std::fprintf(stderr, "the scene did not load\n");
    return 1;
  }
  show.MakeGuns(contract::kGunShotSound);

  std::map<std::string, Timer::duration> spent;
  unsigned frames = 0, drawsInEffects = 0;
  Timer::duration readBackInVolley{};
  unsigned readBacksInVolley = 0;
  for (int round = 0; round < rounds; ++round) {
    Guns& guns = *show.guns();
    Guns::FireVolley(guns.side(1), clock.now(), random);
    Guns::FireVolley(guns.side(0), clock.now(), random);
    const std::uint32_t volley = clock.now();
    device.readBack = {};
    device.readBacks = 0;
    while (clock.now() - volley < 2500) {
      clock.advance(16);
      FrameContext frame{device, clock.now(), settings, random};
      device.log.clear();
      device.draws.clear();
      for (const FramePasses::Entry& e : show.passes().entries()) {
        if (e.step == kFirstDrawStep || (e.step > kFirstDrawStep && !device.inScene)) device.BeginScene();
        const std::size_t before = device.draws.size();
        const auto start = Timer::now();
        e.pass->Run(frame);
        spent[std::string(e.pass->Name())] += Timer::now() - start;
        if (e.step == FrameStep::GunEffects || e.step == FrameStep::Glows || e.step == FrameStep::SunFlare)
          drawsInEffects += static_cast<unsigned>(device.draws.size() - before);
      }
      device.EndScene();
      ++frames;
    }
    readBackInVolley += device.readBack;
    readBacksInVolley += device.readBacks;
    clock.advance(3000);  // the guns are free again
  }

  const double effects = Ms(spent["guns"] + spent["gun effects"] + spent["lantern glows"] + spent["sun flare"] +
                            spent["firing schedule"]) / frames;
  const double sceneMs = Ms(spent["scene"]) / frames;
  std::printf("frames during volleys: %u (%d volleys of both sides, 2.5 s each at 16 ms a frame)\n", frames, rounds);
  std::printf("emitters: %zu, lantern glows: %zu, flare sprites: %zu\n", show.guns()->emitters().size(),
              show.lights()->lanterns().size(), show.lights()->flare() ? show.lights()->flare()->flareCount() : 0u);
  for (const char* pass : {"guns", "gun effects", "lantern glows", "sun flare", "firing schedule", "scene"})
    std::printf("  %-16s %8.4f ms a frame\n", pass, Ms(spent[pass]) / frames);
  std::printf("effects: %.4f ms a frame, %.1f draws a frame\n", effects,
              static_cast<double>(drawsInEffects) / frames);
  std::printf("scene (reference): %.4f ms a frame; effects / scene = %.3f\n", sceneMs, effects / sceneMs);
  std::printf("read-backs: %u in %u frames (%.2f a frame: one test every 100 ms, two reads for each glow on screen)\n",
              readBacksInVolley, frames, static_cast<double>(readBacksInVolley) / frames);
  std::printf("read-back share of the effects' time on this device: %.2f%%\n",
              100.0 * Ms(readBackInVolley) / (effects * frames));
  return 0;
}
