// What the sea costs a frame, on the recording device so that only the
// program's own work is timed: the water update of the generated sea (heights
// and reflection coordinates of every vertex), and the reflection pass as a
// share of a whole frame, against the same show without the mirror measured
// in the same run.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "settings/settings_keys.h"
#include "show/show.h"
#include "support/recording_device.h"
#include "support/scripted_random.h"
#include "support/sea_fixtures.h"

using namespace brisane;

namespace {

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0.0 : v[v.size() / 2];
}

template <typename F>
double Microseconds(F&& f) {
  const auto start = std::chrono::steady_clock::now();
  f();
  const std::chrono::duration<double, std::micro> took = std::chrono::steady_clock::now() - start;
  return took.count();
}

struct Figures {
  double frame = 0, update = 0, reflection = 0;
  std::uint32_t vertices = 0;
};

// A show of the scene file with the mirror on or off, frames of 20 ms.
Figures Measure(const std::string& sceneFile, bool mirror, int frames) {
  ManualClock clock{1000};
  testing::ScriptedRandom random{{1234}};
  MemoryResourceSource resources;
  testing::TargetLoader textures;
  Node settings;
  settings.Get(key::EnableEnvWater) = Value(std::int32_t{mirror ? 1 : 0});
  settings.Get(key::EnableLightmaps) = Value(std::int32_t{1});
  settings.Get(key::Camera4) = Value(std::int32_t{1});
  testing::RecordingDevice device;
  device.viewport = {0, 0, 1024, 768, 0.0f, 1.0f};
  Show show{{clock, random, resources, &textures, settings}};
  ShowSettings options;
  options.scenePath = sceneFile;
  if (!show.Setup(device, options) || !show.water()) {
    std::fprintf(stderr, "no sea in %s\n", sceneFile.c_str());
    std::exit(1);
  }
  EnvWater& water = *show.water();
  const auto present = [] { return kOk; };
  std::vector<double> frame, update, reflection;
  for (int i = 0; i < frames; ++i) {
    clock.advance(20);
    device.log.clear();
    device.draws.clear();
    frame.push_back(Microseconds([&] { show.Frame(device, present); }));
    // The water's own steps once more at the same moment, each timed alone.
    device.BeginScene();
    update.push_back(Microseconds([&] { water.Update(device, clock.now()); }));
    reflection.push_back(Microseconds([&] { water.RenderReflection(device); }));
    device.EndScene();
  }
  return {Median(frame), Median(update), mirror ? Median(reflection) : 0.0, water.seaBuffer()->Count()};
}

}  // namespace

int main(int argc, char** argv) {
  const int frames = argc > 1 ? std::max(1, std::atoi(argv[1])) : 60;
  const std::string scene = argc > 2 ? argv[2] : BRISANE_SCENE_FILE;
  const Figures mirrored = Measure(scene, true, frames);
  const Figures plain = Measure(scene, false, frames);
  std::printf("sea vertices:                 %u\n", mirrored.vertices);
  std::printf("water update, mirror:         %8.1f us a frame (%.1f ns a vertex)\n", mirrored.update,
              1000.0 * mirrored.update / mirrored.vertices);
  std::printf("water update, no mirror:      %8.1f us a frame (%.1f ns a vertex)\n", plain.update,
              1000.0 * plain.update / plain.vertices);
  std::printf("whole frame, mirror:          %8.1f us\n", mirrored.frame);
  std::printf("whole frame, no mirror:       %8.1f us (reference)\n", plain.frame);
  std::printf("reflection pass:              %8.1f us = %.1f %% of the mirrored frame\n", mirrored.reflection,
              100.0 * mirrored.reflection / mirrored.frame);
  std::printf("mirrored frame / plain frame: %8.3f\n", mirrored.frame / plain.frame);

  // The heights alone: every vertex through the wave function against the
  // grid that shares rows and columns and takes its sines from WaveSines, over
  // the same phases.
  std::vector<float> plane;
  {
    ManualClock clock{1000};
    testing::ScriptedRandom random{{1234}};
    MemoryResourceSource resources;
    Node settings;
    testing::RecordingDevice device;
    Show show{{clock, random, resources, nullptr, settings}};
    ShowSettings options;
    options.scenePath = scene;
    if (show.Setup(device, options) && show.water())
      for (std::uint32_t i = 0; i < show.water()->seaGrid().size(); ++i)
        plane.insert(plane.end(), {show.water()->seaGrid().x(i), show.water()->seaGrid().y(i)});
  }
  WaveGrid grid(plane);
  float sink = 0.0f;
  std::vector<double> pointwise, shared;
  for (int i = 0; i < frames; ++i) {
    const float phase = 0.2f * static_cast<float>(i);
    pointwise.push_back(Microseconds([&] {
      for (std::size_t k = 0; k < plane.size(); k += 2) sink += WaveHeight(plane[k], plane[k + 1], phase);
    }));
    shared.push_back(Microseconds([&] { sink += grid.Heights(phase).back(); }));
  }
  std::printf("heights, point by point:      %8.1f us a frame (reference)\n", Median(pointwise));
  std::printf("heights, shared grid:         %8.1f us a frame = %.2f of the reference%s\n", Median(shared),
              Median(shared) / Median(pointwise), sink == 12345.0f ? " " : "");
  return 0;
}
