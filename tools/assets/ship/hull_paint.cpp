#include "hull_paint.h"

#include <algorithm>
#include <cmath>

#include "hull_lines.h"
#include "noise.h"
#include "paint.h"

namespace brisane::assets::ship::hull {

namespace {

float Hash(int a, int b, std::uint32_t seed) { return static_cast<float>(ValueNoise(a, b, seed)); }

// The Duskwright line's colours.
const Colour kSea{38, 78, 80};        // upper works, deep blue-green
const Colour kOchre{196, 150, 72};    // the band between the wales
const Colour kBlack{34, 31, 29};      // wales, tarred planking
const Colour kPortRed{150, 42, 30};   // port linings
const Colour kGilt{206, 164, 84};     // carving
const Colour kCopper{176, 104, 62};

// Planking seen at (a along the planks, b across them), in hull units; the
// returned darkness is 1 on a seam or butt, 0 mid-plank. px* are pixels per
// unit so seams stay about a pixel wide.
struct PlankAt {
  float seam;
  int row;
  int piece;
};
PlankAt Plank(float a, float b, float width, float length, float pxA, float pxB, std::uint32_t seed,
              int rowsPerRepeat = 0) {
  const int row = static_cast<int>(std::floor(b / width));
  const float fb = b / width - static_cast<float>(row);
  const float dSeam = std::min(fb, 1 - fb) * width * pxB;
  const int keyRow = rowsPerRepeat > 0 ? ((row % rowsPerRepeat) + rowsPerRepeat) % rowsPerRepeat : row;
  // Butts step along in a shift pattern, so no two neighbours end together.
  const float offset = length * (0.25f * static_cast<float>(keyRow % 4) + 0.1f * Hash(keyRow, 3, seed));
  const float pa = a + offset;
  const int piece = static_cast<int>(std::floor(pa / length));
  const float fa = pa / length - static_cast<float>(piece);
  const float dButt = std::min(fa, 1 - fa) * length * pxA;
  const float seam = std::max(Clamp01(1 - dSeam / 0.8f), 0.8f * Clamp01(1 - dButt / 0.7f));
  return {seam, keyRow, piece};
}

// Grain along the planks plus a tone per plank.
float Grain(float a, float b, int row, int piece, std::uint32_t seed, int period = 0) {
  const float tone = 0.9f + 0.2f * Hash(row, piece, seed + 7);
  const float g = static_cast<float>(Fbm(a * 0.12, b * 1.6 + row * 5.3, seed, 4, period));
  return tone * (0.86f + 0.28f * g);
}

// Weathering over the whole side: large soft blotches and streaks running down.
float Weather(float x, float z, std::uint32_t seed) {
  const float blotch = static_cast<float>(Fbm(x * 0.04, z * 0.06, seed, 4));
  const float streak = static_cast<float>(Fbm(x * 0.45, z * 0.02, seed + 31, 3));
  return 0.92f + 0.16f * blotch - 0.14f * std::max(0.0f, streak - 0.55f) * 3;
}

// Painted side planking in band space: x along the ship, z up.
template <typename ColourAt>
Image PaintSide(int w, int h, ZSpan span, std::uint32_t seed, ColourAt colourAt) {
  const float pxX = w / (kSideU1 - kSideU0), pxZ = h / (span.top - span.bottom);
  return Paint(w, h, [&](int i, int j) {
    const float x = kSideU0 + (i + 0.5f) / pxX, z = span.top - (j + 0.5f) / pxZ;
    // Strakes follow the sheer.
    const float zs = z - Sheer(x);
    const PlankAt p = Plank(x, zs, 2.6f, 60, pxX, pxZ, seed);
    const float grain = Grain(x, zs, p.row, p.piece, seed + 3);
    Colour c = colourAt(x, z, grain);
    c = c * (Weather(x, z, seed + 11) * (1 - 0.45f * p.seam));
    return c;
  });
}

float Box(float v, float a, float b, float soft) {
  return Clamp01((v - a) / soft + 0.5f) * Clamp01((b - v) / soft + 0.5f);
}

}  // namespace

Image PaintUpperWorks() {
  const float half = layout::kPortSize / 2;
  return PaintSide(512, 256, kHighSpan, 101, [&](float x, float z, float grain) {
    Colour c = kSea * grain;
    // Black cap rail along the top, an ochre moulding a little below it.
    const float rail = layout::RailZ(x);
    c = Mix(c, kBlack * grain, Box(z, rail - 1.6f, rail + 9, 0.5f));
    c = Mix(c, kOchre * grain, Box(z, rail - 4.2f, rail - 3.0f, 0.5f));
    // Hawse holes either side of the stem, lined with iron.
    for (float hx : {-247.0f, -240.0f}) {
      const float d = std::hypot(x - hx, (z - 52.5f) * 1.2f);
      if (d < 2.3f) c = Colour{70, 66, 60} * grain;
      if (d < 1.6f) c = Colour{14, 11, 10};
    }
    // Waist ports: a dark opening with its red lining where each lid sits.
    for (int gun = 1; gun <= 4; ++gun) {
      const float dx = std::fabs(x - layout::GunX(gun)), dz = std::fabs(z - layout::kGunAxisZ);
      const float edge = std::max(dx, dz);
      if (edge < half + 0.7f) c = Mix(c, kBlack * 0.8f, Clamp01((half + 0.7f - edge) / 0.5f));
      if (edge < half) c = kPortRed * (0.75f + 0.25f * grain);
      if (edge < half - 1.1f) {
        const float depth = 0.35f + 0.3f * Clamp01((z - layout::kGunAxisZ + half) / layout::kPortSize);
        c = Colour{18, 13, 11} * depth * 2;
      }
    }
    return c;
  });
}

Image PaintMiddleBand() {
  const float half = layout::kPortSize / 2;
  const std::vector<float> ports = LowerPortX();
  return PaintSide(512, 256, kMidSpan, 202, [&](float x, float z, float grain) {
    const float mainTop = MainWaleTopZ(x), upper = UpperWaleZ(x);
    Colour c = kBlack * grain;
    const float band = Box(z, mainTop, upper, 0.4f);
    c = Mix(c, kOchre * grain, band);
    // Thin scraped lines along the wales' edges.
    c = Mix(c, kBlack * 1.6f, 0.5f * Box(z, mainTop - 0.5f, mainTop, 0.3f));
    const float pz = kLowerPortZ + Sheer(x);
    for (float px : ports) {
      const float dx = std::fabs(x - px), dz = std::fabs(z - pz);
      const float edge = std::max(dx, dz);
      if (edge < half + 0.5f) {
        // Closed lids, black on the ochre band, with their hinges' straps.
        c = kBlack * (0.9f + 0.2f * grain);
        if (edge > half - 0.6f) c = kBlack * 0.6f;
        if (dz > half - 2.2f && dz < half - 1.2f && z > pz && dx < half - 1) c = Colour{60, 54, 48};
      }
    }
    return c;
  });
}

Image PaintBootTopping() {
  const int n = 256;
  const float px = n / kLowRepeat;
  return Paint(n, n, [&](int i, int j) {
    const float a = (i + 0.5f) / px, b = (j + 0.5f) / px;
    const PlankAt p = Plank(a, b, 2.6f, 32, px, px, 303, 0);
    const float g = Grain(a, b, p.row, p.piece, 305, 0);
    // Tar gloss patches and a green-grey scum nearer the water (lower rows).
    const float blot = static_cast<float>(Fbm((i + 0.5) / 32.0, (j + 0.5) / 32.0, 307, 3, 8));
    Colour c = Colour{48, 44, 40} * (g * (0.85f + 0.35f * blot));
    c = Mix(c, Colour{52, 62, 50}, 0.35f * Clamp01((b / kLowRepeat - 0.5f) * 2) * blot);
    c = c * (1 - 0.45f * p.seam);
    return c;
  });
}

Image PaintCopper() {
  const int n = 256;
  const float px = n / kCopperRepeat;  // pixels per unit
  const float plateW = 12, plateH = 4;  // 1.2 m by 0.4 m sheets
  return Paint(n, n, [&](int i, int j) {
    const float a = (i + 0.5f) / px, b = (j + 0.5f) / px;
    const int row = static_cast<int>(std::floor(b / plateH));
    const float off = (row % 2) * plateW * 0.5f;
    const float fa = std::fmod(a + off, plateW) / plateW, fb = b / plateH - static_cast<float>(row);
    const float dEdge = std::min(std::min(fa, 1 - fa) * plateW, std::min(fb, 1 - fb) * plateH) * px;
    const int col = static_cast<int>(std::floor((a + off) / plateW));
    const float plateTone = 0.85f + 0.3f * Hash(col % 4, row % 12, 401);
    const float verd = static_cast<float>(Fbm((i + 0.5) / 24.0, (j + 0.5) / 24.0, 403, 4, 10));
    const float dark = static_cast<float>(Fbm((i + 0.5) / 16.0, (j + 0.5) / 16.0, 405, 3, 16));
    Colour c = kCopper * (plateTone * (0.8f + 0.35f * dark));
    // Verdigris gathers in patches and along the laps.
    const float green = Clamp01((verd - 0.48f) * 4) + 0.5f * Clamp01(1 - dEdge / 1.5f);
    c = Mix(c, Colour{92, 150, 118}, Clamp01(green) * 0.75f);
    // Nail rows along the plate edges.
    if (dEdge > 0.6f && dEdge < 1.6f && (static_cast<int>(a * px) + static_cast<int>(b * px)) % 3 == 0)
      c = c * 0.82f;
    if (dEdge < 0.8f) c = c * 0.7f;
    return c;
  });
}

Image PaintKeelWood() {
  const int n = 128;
  const float px = n / kWoodRepeat;
  return Paint(n, n, [&](int i, int j) {
    const float a = (i + 0.5f) / px, b = (j + 0.5f) / px;
    const PlankAt p = Plank(a, b, 8, 32, px, px, 501, 0);
    const float g = Grain(a, b * 0.3f, p.row, p.piece, 503, 0);
    const float weed = static_cast<float>(Fbm((i + 0.5) / 16.0, (j + 0.5) / 16.0, 505, 3, 8));
    // Tarred oak, a little weed where it stays wet.
    Colour c = Mix(Colour{58, 47, 37}, Colour{50, 58, 44}, Clamp01((weed - 0.5f) * 2) * 0.5f) * g;
    return c * (1 - 0.35f * p.seam);
  });
}

Image PaintStern() {
  const int w = 256, h = 512;
  const float pxY = w / (2 * kSternHalf), pxZ = h / (kSternSpan.top - kSternSpan.bottom);
  const float xs = layout::SternX(0);
  return Paint(w, h, [&](int i, int j) {
    const float y = -kSternHalf + (i + 0.5f) / pxY, z = kSternSpan.top - (j + 0.5f) / pxZ;
    const PlankAt p = Plank(y, z, 2.6f, 40, pxY, pxZ, 601);
    const float g = Grain(y, z, p.row, p.piece, 603);
    // The side's bands carried round the stern.
    Colour c = kSea * g;
    if (z < UpperWaleTopZ(xs + 30)) c = kBlack * g;
    if (z > MainWaleTopZ(xs) && z < UpperWaleZ(xs + 30)) c = kOchre * g;
    if (z < MainWaleZ(xs)) c = kBlack * g;
    if (z < CopperTopZ(xs)) c = kCopper * (0.8f + 0.3f * g);
    // Mouldings: below the gallery, between the tiers, under the taffrail.
    for (float m : {58.0f, 76.5f, 89.0f}) c = Mix(c, kGilt * g, Box(z, m - 0.9f, m + 0.9f, 0.4f));
    // Great cabin windows (lower tier) and the smaller upper tier.
    auto windows = [&](float z0, float z1, int count, float span) {
      for (int k = 0; k < count; ++k) {
        const float cy = -span + 2 * span * (k + 0.5f) / count;
        const float hw = span / count * 0.62f;
        const float dy = std::fabs(y - cy);
        if (dy < hw + 1 && z > z0 - 1 && z < z1 + 1) c = kGilt * (0.7f * g);
        if (dy < hw && z > z0 && z < z1) {
          // Panes: dark glass holding a little sky, glazing bars between.
          const float sky = Clamp01((z - z0) / (z1 - z0));
          c = Mix(Colour{20, 28, 34}, Colour{96, 120, 132}, 0.25f + 0.35f * sky);
          const float gy = std::fmod(y - cy + hw + 100, hw * 2 / 3), gz = std::fmod(z - z0 + 100, (z1 - z0) / 3);
          if (gy < 0.5f || gz < 0.5f) c = Colour{180, 170, 150};
        }
      }
    };
    windows(61.5f, 73.5f, 6, 28);
    windows(79, 86, 4, 22);
    // Carved scrolls on the taffrail and a cartouche between the upper windows.
    if (z > 89.8f) {
      // A running scroll along the taffrail.
      const float sc = std::sin(y * 0.55f + 2.4f * std::sin((z - 89.8f) * 0.7f + std::fabs(y) * 0.2f));
      c = std::fabs(sc) < 0.45f ? kGilt * (0.8f + 0.4f * g * (1 - std::fabs(sc))) : kSea * (0.8f * g);
    }
    if (std::fabs(y) < 4.5f && z > 78 && z < 87.5f) {
      const float sc = static_cast<float>(Fbm(y * 0.5, z * 0.5, 609, 3));
      c = kGilt * (0.6f + 0.6f * sc);
    }
    c = c * (Weather(y * 3, z, 611) * (1 - 0.4f * p.seam));
    return c;
  });
}

Image PaintDeck() {
  const int n = 256;
  const float px = n / kDeckRepeat;
  return Paint(n, n, [&](int i, int j) {
    const float a = (i + 0.5f) / px, b = (j + 0.5f) / px;
    const PlankAt p = Plank(a, b, 2.5f, 40, px, px, 701, 32);
    const float g = Grain(a, b, p.row, p.piece, 703, 0);
    const float worn = static_cast<float>(Fbm((i + 0.5) / 32.0, (j + 0.5) / 32.0, 705, 3, 8));
    Colour c = Mix(Colour{176, 150, 112}, Colour{200, 186, 160}, worn * 0.7f) * g;
    // Caulked seams: black pitch lines.
    c = Mix(c, Colour{30, 26, 22}, p.seam * 0.85f);
    return c;
  });
}

Image PaintInside() {
  const int n = 256;
  const float px = n / kWoodRepeat;
  return Paint(n, n, [&](int i, int j) {
    const float a = (i + 0.5f) / px, b = (j + 0.5f) / px;
    const PlankAt p = Plank(a, b, 2, 32, px, px, 801, 32);
    const float g = Grain(a, b, p.row, p.piece, 803, 0);
    const float scuff = static_cast<float>(Fbm((i + 0.5) / 32.0, (j + 0.5) / 16.0, 805, 4, 8));
    Colour c = Colour{150, 56, 36} * (g * (0.85f + 0.3f * scuff));
    c = Mix(c, Colour{110, 80, 60}, Clamp01((scuff - 0.62f) * 3) * 0.6f);
    return c * (1 - 0.4f * p.seam);
  });
}

Image PaintCarving() {
  const int n = 128;
  return Paint(n, n, [&](int i, int j) {
    const double u = (i + 0.5) / n, v = (j + 0.5) / n;
    // Gilt relief: running scrolls and leaves, dark in the cuts between.
    const float sc = static_cast<float>(Fbm(u * 8, v * 8, 901, 4, 8));
    const float scroll = static_cast<float>(std::sin(u * 4 * 2 * kPi + 2.2 * std::sin(v * 2 * 2 * kPi)) *
                                            std::cos(v * 3 * 2 * kPi + 1.5 * std::sin(u * 2 * 2 * kPi)));
    const float relief = 0.5f + 0.5f * scroll;
    Colour c = kGilt * (0.55f + 0.6f * relief * (0.8f + 0.4f * sc));
    if (std::fabs(scroll) < 0.12f) c = Colour{70, 48, 22};
    return c;
  });
}

Image PaintBalusters() {
  const int n = 128;
  return Paint(n, n, [&](int i, int j) {
    const float u = (i + 0.5f) / n, v = (j + 0.5f) / n;
    const float g = 0.85f + 0.3f * static_cast<float>(Fbm(u * 16, v * 16, 951, 3, 16));
    // A turned baluster's profile: swelling low, a neck above.
    const float fu = std::fmod(u * 8, 1.0f) - 0.5f;
    const float r = 0.16f + 0.14f * std::exp(-std::pow((v - 0.62f) / 0.14f, 2.0f)) +
                    0.06f * std::exp(-std::pow((v - 0.3f) / 0.05f, 2.0f));
    Colour c = Colour{14, 22, 24};  // the dark of the cabin behind
    if (std::fabs(fu) < r) c = kGilt * (g * (0.75f + 0.5f * std::cos(fu / r * 1.4f)));
    if (v < 0.16f || v > 0.88f) c = (v < 0.1f || v > 0.94f ? kSea : kGilt) * g;
    return c;
  });
}

// Six panes round (u), leaded frames, brass bands top and bottom: the glass
// picture and its opacity agree on where the frame is.
namespace {
bool LanternFrame(float u, float v) {
  const float fu = std::fmod(u * 6, 1.0f);
  return fu < 0.08f || fu > 0.92f || v < 0.1f || v > 0.88f || std::fabs(v - 0.5f) < 0.02f;
}
}  // namespace

Image PaintLanternGlass() {
  const int n = 128;
  return Paint(n, n, [&](int i, int j) {
    const float u = (i + 0.5f) / n, v = (j + 0.5f) / n;
    const bool frame = LanternFrame(u, v);
    const float glow = 0.75f + 0.25f * std::sin(v * kPi);
    Colour c = frame ? Colour{120, 92, 46} : Colour{255, 214, 140} * glow;
    return c;
  });
}

Image PaintLanternAlpha() {
  const int n = 128;
  return Paint(n, n, [&](int i, int j) {
    const float u = (i + 0.5f) / n, v = (j + 0.5f) / n;
    const bool frame = LanternFrame(u, v);
    const float a = frame ? 255 : 150;
    return Colour{a, a, a};
  });
}

// ------------------------------------------------------------ baked light

float SunVisible(Vector3 p, Vector3 n) {
  const Vector3 l = layout::kSunDirection;
  if (Dot(n, l) <= 0) return 0;
  Vector3 q = p + n * 0.8f;
  for (int k = 0; k < 48; ++k) {
    q += l * 4.0f;
    if (q.z > 100) break;
    const float hb = layout::HalfBreadth(q.x, q.z);
    if (q.z > kRabbetZ - 5 && q.z < layout::RailZ(q.x) && std::fabs(q.y) < hb - 0.2f) return 0;
  }
  return 1;
}

float BakedLight(Vector3 p, Vector3 n, float open) {
  const float sun = SunVisible(p, n);
  const float facing = std::max(0.0f, Dot(n, layout::kSunDirection));
  // The vertex lighting already shades by the sun's angle; here the sun
  // only lifts what it reaches and the shadow takes back what it cannot.
  float l = 0.78f + 0.22f * sun * std::min(1.0f, facing * 2.5f);
  if (sun == 0 && facing > 0) l -= 0.22f * std::min(1.0f, facing * 2.5f);
  // Sky: faces turned down (the tumblehome's lee, the bilge) see less of it.
  l *= 0.82f + 0.18f * (0.5f + 0.5f * n.z);
  // Deeper water is darker.
  l *= 0.55f + 0.45f * SmoothStep(kRabbetZ - 4, 2, p.z);
  // Under the wales, in the angle they make with the planking.
  const float x = p.x;
  for (float wale : {MainWaleZ(x), UpperWaleZ(x)}) {
    const float d = wale - p.z;
    if (d > 0) l *= 1 - 0.22f * std::exp(-d / 2.2f);
  }
  return l * (0.6f + 0.4f * open);
}

float WaveLight(Vector3 p, Vector3 n, int frame) {
  // Strongest just above the water; fainter in the shade and deeper down.
  const float above = p.z >= 0 ? std::exp(-p.z / 13.0f) : std::exp(p.z / 7.0f) * 0.8f;
  if (above < 0.01f) return 0;
  const float sunSide = 0.55f + 0.45f * SmoothStep(-0.3f, 0.5f, Dot(n, layout::kSunDirection) + 0.3f);
  const float ph = 2 * kPi * static_cast<float>(frame) / kWaveFrames;
  // Whole cycles per loop in every term, so frame 16 equals frame 0.
  const float x = p.x + (p.y > 0 ? 37.0f : 0.0f), z = p.z;
  const float a = std::sin(x * 0.21f + z * 0.35f + ph + 1.3f * std::sin(x * 0.07f - ph));
  const float b = std::sin(x * 0.15f - z * 0.27f - 2 * ph + 1.1f * std::sin(x * 0.09f + 2 * ph + 1.0f));
  const float c = std::sin(x * 0.42f + 0.8f * std::sin(z * 0.6f + ph) + 3 * ph);
  const float bands = std::pow(0.5f + 0.25f * (a + b), 3.0f) * 1.6f + 0.25f * std::max(0.0f, c) * std::max(0.0f, a);
  return 0.75f * above * sunSide * bands;
}

}  // namespace brisane::assets::ship::hull
