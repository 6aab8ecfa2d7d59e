// The show's guns, glows and flare in the program's own window, under the
// real clock. Each command brings the show up with the stored settings,
// moves one piece of the show's timeline ahead so that what is tested comes
// within seconds, draws frames and writes chosen frames as PPM pictures.
//   volley DIR port|starboard
//                the firing schedule started 50 s ago: the ports open, ten
//                seconds later both broadsides fire; the still camera looks
//                at one side's guns; every frame of the 3.5 s after the
//                volley is written, with what it holds
//   sun DIR      the still camera turned towards the sun: glow and flare
//   night DIR    the light cycle moved on to night; the lanterns' glows,
//                and the next frame without them
#include <windows.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/win32/app.h"
#include "settings/node.h"
#include "settings/settings_keys.h"
#include "show/ship_contract.h"

using namespace brisane;
static Node SettingsRoot;  // one tree for the process, as WinMain keeps it

namespace {

void PumpMessages() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

// The show's frame as a binary PPM; false when it cannot be read.
bool WriteFrame(App& app, const std::string& path) {
  const RECT& screen = app.display().screenRect();
  std::vector<std::uint32_t> pixels;
  const PixelRect rect{0, 0, screen.right - screen.left, screen.bottom - screen.top};
  if (!app.display().device() || Failed(app.display().device()->ReadBackBuffer(rect, pixels))) return false;
  if (pixels.size() != static_cast<std::size_t>(rect.right) * static_cast<std::size_t>(rect.bottom)) return false;
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return false;
  std::fprintf(file, "P6\n%d %d\n255\n", static_cast<int>(rect.right), static_cast<int>(rect.bottom));
  std::vector<unsigned char> row;
  for (std::uint32_t p : pixels) {
    row.push_back(static_cast<unsigned char>(p >> 16));
    row.push_back(static_cast<unsigned char>(p >> 8));
    row.push_back(static_cast<unsigned char>(p));
  }
  std::fwrite(row.data(), 1, row.size(), file);
  std::fclose(file);
  return true;
}

// A camera's world matrix looking from eye at target (local -z forward, +y up).
Matrix LookAt(const Vector3& eye, const Vector3& target) {
  Vector3 f{target.x - eye.x, target.y - eye.y, target.z - eye.z};
  const float fl = std::sqrt(f.x * f.x + f.y * f.y + f.z * f.z);
  f = {f.x / fl, f.y / fl, f.z / fl};
  Vector3 r{f.y, -f.x, 0};  // forward x (0, 0, 1)
  const float rl = std::sqrt(r.x * r.x + r.y * r.y);
  r = {r.x / rl, r.y / rl, 0};
  const Vector3 u{r.y * f.z - r.z * f.y, r.z * f.x - r.x * f.z, r.x * f.y - r.y * f.x};
  Matrix m = Matrix::identity();
  const Vector3 rows[4] = {r, u, {-f.x, -f.y, -f.z}, eye};
  for (std::size_t i = 0; i < 4; ++i) {
    m(i, 0) = rows[i].x;
    m(i, 1) = rows[i].y;
    m(i, 2) = rows[i].z;
  }
  return m;
}

int Volley(const std::string& dir, const std::string& side) {
  App app(GetModuleHandleA(nullptr), SettingsRoot);
  if (FAILED(app.InitWindow()) || !app.show() || !app.show()->show.guns()) return 3;
  Show& show = app.show()->show;
  Camera* camera = show.scene().currentCamera();
  if (!camera) return 4;
  // Abeam of the four guns of the side, a little above the deck.
  const float y = side == "starboard" ? 430.0f : -430.0f;
  camera->setLocal(LookAt({-65, y, 120}, {-65, 0, 50}));
  Guns& guns = *show.guns();
  Vector3 runIn[8];
  for (int i = 1; i <= 8; ++i) runIn[i - 1] = guns.gun(i).gunNode() ? guns.gun(i).gunNode()->position() : Vector3{};
  // The schedule's first step, as if it had been taken 50 s ago: the ports
  // open on the next frame and the volley follows ten seconds later.
  LcgRandom random(1);
  guns.RunSchedule(timeGetTime() - 50001, SettingsRoot.Get(key::FiringPeriod).AsInt(), random);
  std::printf("period=%u\n", guns.period());

  const DWORD start = timeGetTime();
  DWORD volley = 0;
  unsigned frames = 0, saved = 0;
  bool portsSeenOpen = false;
  while (timeGetTime() - start < 40000) {
    PumpMessages();
    app.RenderFrame();
    ++frames;
    if (!guns.portsClosed()) portsSeenOpen = true;
    if (!volley) {
      for (int i = 1; i <= 8; ++i)
        if (guns.gun(i).firing()) volley = timeGetTime();
      if (volley) {
        std::printf("volley.ms=%lu\n", static_cast<unsigned long>(volley - start));
        for (int i = 1; i <= 8; ++i)
          std::printf("gun.%d.out=%.1f\n", i,
                      guns.gun(i).gunNode() ? Distance(runIn[i - 1], guns.gun(i).gunNode()->position()) : -1.0f);
      }
      continue;
    }
    const DWORD since = timeGetTime() - volley;
    if (since > 3500) break;
    int flashes = 0, busy = 0;
    std::size_t particles = 0;
    for (int i = 1; i <= 8; ++i) {
      Gun& gun = guns.gun(i);
      flashes += gun.flashOn() ? 1 : 0;
      busy += gun.firing() ? 1 : 0;
      particles += gun.smoke().particles().size() + gun.smokeTrail().particles().size();
    }
    const std::string name = dir + "\\" + side + "_" + std::to_string(saved) + ".ppm";
    const bool written = WriteFrame(app, name);
    std::printf("frame.%u.ms=%lu\nframe.%u.flashes=%d\nframe.%u.particles=%zu\nframe.%u.firing=%d\nframe.%u.saved=%d\n",
                saved, static_cast<unsigned long>(since), saved, flashes, saved, particles, saved, busy, saved,
                written ? 1 : 0);
    ++saved;
  }
  std::printf("frames=%u\nsaved=%u\nportsopen=%d\n", frames, saved, portsSeenOpen ? 1 : 0);
  std::fflush(stdout);
  DestroyWindow(app.shell().mainWindow);
  return 0;
}

// Frames for that long; the last one is written. Prints the glows' state.
// With `plain`, one more frame without the glows is written there too.
int DrawAndSave(App& app, const std::string& path, DWORD ms, const std::string& plain = {}) {
  const DWORD start = timeGetTime();
  unsigned frames = 0;
  while (timeGetTime() - start < ms || frames < 3) {
    PumpMessages();
    app.RenderFrame();
    ++frames;
  }
  std::printf("frames=%u\nsaved=%d\n", frames, WriteFrame(app, path) ? 1 : 0);
  if (!plain.empty()) {
    // The very next frame, so that little else has moved.
    SettingsRoot.Get(key::EnableLensFlares) = Value(std::int32_t{0});
    app.RenderFrame();
    std::printf("plain=%d\n", WriteFrame(app, plain) ? 1 : 0);
    SettingsRoot.Get(key::EnableLensFlares) = Value(std::int32_t{1});
  }
  ShowLights* lights = app.show()->show.lights();
  GlowSet& lanterns = lights->lanterns();
  std::printf("lanterns=%zu\n", lanterns.size());
  for (std::size_t i = 0; i < lanterns.size(); ++i)
    std::printf("lantern.%zu.intensity=%d\nlantern.%zu.onscreen=%d\nlantern.%zu.x=%.0f\nlantern.%zu.y=%.0f\n", i,
                lanterns.glow(i)->intensity, i, lanterns.glow(i)->onScreen() ? 1 : 0, i, lanterns.glow(i)->screenX(),
                i, lanterns.glow(i)->screenY());
  if (LensFlare* flare = lights->flare()) {
    Glow& sun = *flare->sunGlow().glow(0);
    std::printf("sun.intensity=%d\nsun.maximum=%d\nsun.onscreen=%d\nsun.x=%.0f\nsun.y=%.0f\nflares=%zu\n",
                sun.intensity, sun.maximumIntensity, sun.onScreen() ? 1 : 0, sun.screenX(), sun.screenY(),
                flare->flareCount());
  }
  std::fflush(stdout);
  DestroyWindow(app.shell().mainWindow);
  return 0;
}

int Sun(const std::string& dir) {
  App app(GetModuleHandleA(nullptr), SettingsRoot);
  if (FAILED(app.InitWindow()) || !app.show()) return 3;
  Scene& scene = app.show()->show.scene();
  Camera* camera = scene.currentCamera();
  SceneNode* sun = scene.findNode(std::string(contract::kSun));
  if (!camera || !sun) return 4;
  // From off the starboard quarter, over the ship towards the sun, which
  // stands 15 degrees above the middle of the picture.
  const Vector3 eye{420, 520, 70};
  const Vector3 s = sun->position();
  const Vector3 d{s.x - eye.x, s.y - eye.y, s.z - eye.z};
  const float h = std::sqrt(d.x * d.x + d.y * d.y);
  const float lift = std::tan(std::atan2(d.z, h) - 0.26f);
  camera->setLocal(LookAt(eye, {eye.x + d.x / h * 1000, eye.y + d.y / h * 1000, eye.z + lift * 1000}));
  return DrawAndSave(app, dir + "\\sun.ppm", 4000);
}

int Night(const std::string& dir) {
  App app(GetModuleHandleA(nullptr), SettingsRoot);
  if (FAILED(app.InitWindow()) || !app.show()) return 3;
  Show& show = app.show()->show;
  // The light cycle's steps as if begun long ago: its hold, then its change
  // to night, so that the night holds from now on (ChangeDelay minutes).
  LcgRandom random(1);
  const std::uint32_t hold = static_cast<std::uint32_t>(SettingsRoot.Get(key::ChangeDelay).AsInt()) * 60000u;
  const std::uint32_t change = static_cast<std::uint32_t>(SettingsRoot.Get(key::LightDelay).AsInt()) * 60000u;
  const std::uint32_t begun = timeGetTime() - hold - change - 2000;
  for (std::uint32_t at : {begun, begun + hold + 1, begun + hold + 1 + change - 1}) {
    FrameContext frame{*app.display().device(), at, SettingsRoot, random};
    show.lightCycle().Run(frame);
  }
  std::printf("daylight=%.3f\n", show.lightCycle().daylight());
  // Astern, close enough for the lanterns' glows at their full size.
  if (Camera* camera = show.scene().currentCamera()) camera->setLocal(LookAt({640, 180, 190}, {262, 0, 110}));
  return DrawAndSave(app, dir + "\\night.ppm", 3000, dir + "\\night_without_glows.ppm");
}

}  // namespace

int main(int argc, char** argv) {
  const std::string command = argc > 1 ? argv[1] : "";
  const std::string dir = argc > 2 ? argv[2] : ".";
  if (command == "volley") return Volley(dir, argc > 3 ? argv[3] : "port");
  if (command == "sun") return Sun(dir);
  if (command == "night") return Night(dir);
  std::fprintf(stderr, "usage: fire_driver volley|sun|night DIR\n");
  return 2;
}
