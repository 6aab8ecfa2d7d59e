// fire_driver DIR: the show's volley, sun and night in its own window under
// the real clock, the timeline moved ahead so each comes within seconds;
// chosen frames saved as DIR\NAME.ppm beside what the driver knows they hold.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/win32/app.h"
#include "settings/node.h"
#include "settings/settings_keys.h"
#include "show/ship_contract.h"

using namespace brisane;

static Node SettingsRoot;  // one tree for the process, as WinMain keeps it

namespace {

void Frame(App& app) {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
  app.RenderFrame();
}

// Frames read back now and written out at the end, so the next shot is caught.
std::vector<std::pair<std::string, std::vector<std::uint32_t>>> saved;
std::int32_t width = 0, height = 0;

void Save(App& app, const std::string& name) {
  const RECT& screen = app.display().screenRect();
  width = screen.right - screen.left, height = screen.bottom - screen.top;
  saved.emplace_back(name, std::vector<std::uint32_t>{});
  app.display().device()->ReadBackBuffer({0, 0, width, height}, saved.back().second);
}

void WriteSaved(const std::string& dir) {
  for (const auto& [name, pixels] : saved) {
    std::string ppm = "P6\n" + std::to_string(width) + " " + std::to_string(height) + "\n255\n";
    for (std::uint32_t p : pixels) ppm += {static_cast<char>(p >> 16), static_cast<char>(p >> 8), static_cast<char>(p)};
    if (FILE* file = std::fopen((dir + "\\" + name + ".ppm").c_str(), "wb")) {
      std::fwrite(ppm.data(), 1, ppm.size(), file);
      std::fclose(file);
    }
  }
}

// The frame just drawn as NAME, then the next one without those steps' passes
// as NAME_plain: so little else moves that the difference is theirs.
void SaveWithAndWithout(App& app, const std::string& name, std::initializer_list<FrameStep> steps) {
  Save(app, name);
  FramePasses& passes = app.show()->show.passes();
  std::vector<FramePasses::Entry> left;
  for (const auto& e : passes.entries())
    if (std::find(steps.begin(), steps.end(), e.step) != steps.end()) left.push_back(e);
  for (const auto& e : left) passes.Remove(*e.pass);
  Frame(app);
  Save(app, name + "_plain");
  for (const auto& e : left) passes.Add(e.step, *e.pass);
}


// Abeam of the four guns of a side (0 port, guns 1-4; 1 starboard), a little above the deck.
Matrix Abeam(int side) { return *CameraLookingAt({-65, side ? 430.0f : -430.0f, 120}, {-65, 0, 50}); }

void Volley(App& app) {
  Guns& guns = *app.show()->show.guns();
  Camera& camera = *app.show()->show.scene().currentCamera();
  Vector3 runIn[8];
  for (int i = 1; i <= 8; ++i) runIn[i - 1] = guns.gun(i).gunNode()->position();
  // The schedule's first step as if 50 s ago: ports open now, the volley 10 s later.
  LcgRandom random(1);
  const DWORD start = timeGetTime();
  guns.RunSchedule(start - 50001, SettingsRoot.Get(key::FiringPeriod).AsInt(), random);
  while (!guns.gun(1).firing() && timeGetTime() - start < 40000) Frame(app);
  using std::chrono::system_clock;
  std::printf("volley.unix=%.3f\n", std::chrono::duration<double>(system_clock::now().time_since_epoch()).count());
  for (int i = 1; i <= 8; ++i)
    std::printf("gun.%d.out=%.1f\n", i, Distance(runIn[i - 1], guns.gun(i).gunNode()->position()));
  // A flash is out 160 ms after its shot, and a frame here may take longer:
  // each shot to come is waited for, the camera turned to its side and a frame
  // started just after it, until each side has a frame with its flash on; a
  // side whose shots all passed meanwhile fires again.
  int caught[2] = {0, 0};
  const auto missedBusy = [&] {
    for (int i = 1; i <= 8; ++i)
      if (!caught[i > 4] && guns.gun(i).firing()) return true;
    return false;
  };
  for (int round = 0; round < 4 && !(caught[0] && caught[1]); ++round) {
    while (round && missedBusy()) Frame(app);
    for (int side : {0, 1})
      if (round && !caught[side]) Guns::FireVolley(guns.side(side), timeGetTime(), random);
    for (;;) {
      Gun* next = nullptr;
      for (int i = 1; i <= 8; ++i)
        if (Gun& gun = guns.gun(i); gun.firing() && gun.shotPending() && !caught[i > 4] &&
                                    (!next || static_cast<std::int32_t>(gun.fireTime() - next->fireTime()) < 0))
          next = &gun;
      if (!next) break;
      while (static_cast<std::int32_t>(next->fireTime() - timeGetTime()) > 300) Frame(app);
      while (static_cast<std::int32_t>(timeGetTime() - next->fireTime()) <= 0) Sleep(1);
      const int side = next->index() > 4;
      camera.SetLocal(Abeam(side));
      Frame(app);
      if (!next->flashOn()) continue;
      caught[side] = next->index();
      const std::string name = side ? "starboard" : "port";
      Save(app, name + "_flash");
      // Its smoke 600 ms after the shot: grown, not yet faded. The camera is
      // held, as the sea's mirror follows it a frame late.
      while (timeGetTime() - next->fireTime() < 600) Sleep(1);
      Frame(app);
      SaveWithAndWithout(app, name + "_smoke", {FrameStep::GunEffects});
    }
  }
  std::printf("port.flash=%d\nstarboard.flash=%d\n", caught[0], caught[1]);
}

// Frames for that long, the last saved with and without the glows and flare.
void Glows(App& app, const std::string& name, DWORD ms) {
  for (const DWORD start = timeGetTime(); timeGetTime() - start < ms;) Frame(app);
  SaveWithAndWithout(app, name, {FrameStep::Glows, FrameStep::SunFlare});
  ShowLights& lights = *app.show()->show.lights();
  std::printf("%s.lanterns=%zu\n%s.flares=%zu\n", name.c_str(), lights.lanterns().size(), name.c_str(),
              lights.flare()->flareCount());
  for (std::size_t i = 0; i <= lights.lanterns().size(); ++i) {  // the lanterns, then the sun
    const Glow& g = i < lights.lanterns().size() ? *lights.lanterns().glow(i) : *lights.flare()->sunGlow().glow(0);
    std::printf("%s.glow.%zu=%d|%d|%d|%.0f|%.0f\n", name.c_str(), i, g.intensity, g.maximumIntensity,
                g.onScreen() ? 1 : 0, g.screenX(), g.screenY());
  }
}

}  // namespace

int main(int argc, char** argv) {
  App app(GetModuleHandleA(nullptr), SettingsRoot);
  if (FAILED(app.InitWindow()) || !app.show() || !app.show()->show.guns() || !app.show()->show.lights()->flare())
    return 3;
  Show& show = app.show()->show;
  Camera* camera = show.scene().currentCamera();
  const SceneNode* sunNode = show.scene().FindNode(std::string(contract::kSun));
  if (!camera || !sunNode) return 4;
  Volley(app);

  // Over the ship towards the sun, 15 degrees above the middle of the picture.
  const Vector3 eye{420, 520, 70}, s = sunNode->position();
  const Vector3 d{s.x - eye.x, s.y - eye.y, s.z - eye.z};
  const float h = std::hypot(d.x, d.y), lift = std::tan(std::atan2(d.z, h) - 0.26f);
  camera->SetLocal(*CameraLookingAt(eye, {eye.x + d.x / h * 1000, eye.y + d.y / h * 1000, eye.z + lift * 1000}));
  Glows(app, "sun", 4000);

  // The light cycle run through its change to night: the next frame holds the night.
  LcgRandom random(1);
  const std::uint32_t hold = static_cast<std::uint32_t>(SettingsRoot.Get(key::ChangeDelay).AsInt()) * 60000u;
  const std::uint32_t change = static_cast<std::uint32_t>(SettingsRoot.Get(key::LightDelay).AsInt()) * 60000u;
  const std::uint32_t changing = timeGetTime() + hold + 1;
  for (std::uint32_t at : {changing, changing + change - 1}) {
    FrameContext frame{*app.display().device(), at, SettingsRoot, random};
    show.lightCycle().Run(frame);
  }
  std::printf("daylight=%.3f\n", show.lightCycle().daylight());
  // Astern, close enough for the lanterns' glows at their full size.
  camera->SetLocal(*CameraLookingAt({640, 180, 190}, {262, 0, 110}));
  Glows(app, "night", 3000);
  WriteSaved(argc > 1 ? argv[1] : ".");
  std::fflush(stdout);
  DestroyWindow(app.shell().mainWindow);
  return 0;
}
