// The show's cameras: where each one flies and what it looks at. Keys are
// blended element by element, so paths carry a key every 50 to 100 key
// milliseconds and the frames between stay close to orthonormal.
#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <string_view>

#include "layout.h"
#include "show/ship_contract.h"
#include "world_parts.h"

namespace brisane::assets::ship::world {

namespace {

struct Shot {
  Vector3 eye, target;
};

// Keys over key time 0..end, `count` intervals, from a shot at t in 0..1. A
// loop ends on its first key exactly, so the repeat does not jump.
std::vector<TransformKey> Keys(std::uint32_t end, int count, const std::function<Shot(float)>& at, bool loop = false) {
  std::vector<TransformKey> keys;
  for (int k = 0; k <= count; ++k) {
    const float t = static_cast<float>(k) / count;
    const Shot s = at(t);
    const auto time = static_cast<std::uint32_t>(std::lround(static_cast<double>(end) * k / count));
    keys.push_back({time, LookAt(s.eye, s.target)});
  }
  if (loop) keys.back().matrix = keys.front().matrix;
  return keys;
}

// Catmull-Rom through the points, t in 0..1 over the whole polyline.
Vector3 Spline(const std::vector<Vector3>& p, float t) {
  const int segments = static_cast<int>(p.size()) - 1;
  const float x = std::clamp(t, 0.0f, 1.0f) * segments;
  const int i = std::min(segments - 1, static_cast<int>(x));
  const float u = x - i;
  const Vector3 p0 = p[std::max(0, i - 1)], p1 = p[i], p2 = p[i + 1], p3 = p[std::min(segments, i + 2)];
  const float u2 = u * u, u3 = u2 * u;
  return (p1 * 2 + (p2 - p0) * u + (p0 * 2 - p1 * 5 + p2 * 4 - p3) * u2 + (p1 * 3 - p0 - p2 * 3 + p3) * u3) * 0.5f;
}

Matrix Lens(float fovDegrees) { return Perspective(fovDegrees * kPi / 180, 4.0f / 3.0f, kNearPlane, kFarPlane); }

// The key window the show plays a camera's path in.
std::uint32_t Window(std::string_view node) {
  for (const contract::CameraSpec& c : contract::kCameras)
    if (c.node == node) return c.toTime;
  throw std::invalid_argument("the show has no camera '" + std::string(node) + "'");
}

}  // namespace

std::vector<CameraPath> CameraPaths() {
  using layout::kLantern;
  const Vector3 ship{-10, 0, 110};  // the middle of the ship's picture, hull to tops
  std::vector<CameraPath> cams;
  // A camera flying its path in `count` steps over the key window the show plays it in.
  auto fly = [&](std::string_view node, int count, float fov, const std::function<Shot(float)>& at, bool loop = false) {
    cams.push_back({std::string(node), Keys(Window(node), count, at, loop), Lens(fov)});
  };

  // Camera01: a slow orbit, starting off the port bow; the last key repeats the first.
  fly("Camera01", 66, 45, [&](float t) {
    const float a = 2 * kPi * t + 3.6f;
    const Vector3 eye{-10 + 640 * std::cos(a), 560 * std::sin(a), 150 + 40 * std::sin(2 * a)};
    return Shot{eye, ship};
  }, true);

  // Camera02: a long, high establishing circuit, far out and back in; a closed loop.
  fly("Camera02", 120, 40, [&](float t) {
    const float a = 2 * kPi * t + 2.2f;
    const float r = 1050 + 220 * std::cos(2 * a);
    const Vector3 eye{r * std::cos(a), 0.85f * r * std::sin(a), 420 + 100 * std::sin(a + 0.7f)};
    return Shot{eye, Vector3{0, 0, 60}};
  }, true);

  // Camera03: from astern with the lanterns, in close under the counter and
  // out again on the other quarter.
  {
    const Vector3 lanterns = (kLantern[0] + kLantern[1]) * 0.5f;
    const std::vector<Vector3> path{{820, 330, 210}, {600, 250, 160}, {480, 120, 128},
                                 {460, -40, 122}, {470, -190, 140}, {680, -330, 190}};
    fly("Camera03", 66, 45, [&](float t) {
      const Vector3 look = Lerp(lanterns + Vector3{-30, 0, 10}, Vector3{120, 0, 150}, std::sin(kPi * t) * 0.5f);
      return Shot{Spline(path, SmoothStep(0, 1, t) * 0.6f + t * 0.4f), look};
    });
  }

  // Camera04: a still three-quarter view from the port bow, the sun behind it.
  cams.push_back({"Camera04", {TransformKey{0, LookAt({-640, -500, 115}, {10, 0, 120})}}, Lens(42)});

  // Camera05: along the port side at the height of the gun deck, from astern
  // to forward, while the guns run out and fire.
  {
    const float side = -layout::kMaxHalfBreadth - 150;
    const std::vector<Vector3> path{{380, side - 80, 90},  {250, side, 66},     {80, side + 10, 58},
                                 {-80, side + 10, 58},  {-230, side, 66},    {-420, side - 90, 95}};
    fly("Camera05", 66, 50, [&](float t) {
      const Vector3 eye = Spline(path, t);
      // Looks a little ahead and in at the ports.
      const Vector3 look{std::clamp(eye.x - 140, -230.0f, 160.0f), 0, layout::kGunAxisZ + 12};
      return Shot{eye, look};
    });
  }

  // Camera06: low over the water along the starboard side, bow to stern,
  // ending off the starboard quarter looking up at the rig against the sun.
  {
    const std::vector<Vector3> path{{-900, 440, 22}, {-520, 340, 18}, {-150, 320, 17},
                                 {200, 340, 19},  {430, 430, 24},  {560, 520, 30}};
    fly("Camera06", 66, 50, [&](float t) {
      const Vector3 eye = Spline(path, t);
      const Vector3 along{eye.x * 0.35f - 20, 0, 95};
      return Shot{eye, Lerp(along, Vector3{20, 0, 260}, SmoothStep(0, 1, (t - 0.6f) / 0.4f))};
    });
  }

  // Camera07: a fly-past from ahead on the port side, up and over the
  // quarter and away astern, turning to keep the ship in view.
  {
    const std::vector<Vector3> path{{-1500, -700, 240}, {-800, -420, 190}, {-250, -300, 200},
                                 {250, -280, 260},   {800, -380, 340},  {1500, -620, 430}};
    fly("Camera07", 66, 45, [&](float t) {
      const Vector3 eye = Spline(path, t);
      return Shot{eye, Vector3{-30 + 60 * t, 0, 120}};
    });
  }

  std::sort(cams.begin(), cams.end(), [](const CameraPath& a, const CameraPath& b) { return a.name < b.name; });
  return cams;
}

}  // namespace brisane::assets::ship::world
