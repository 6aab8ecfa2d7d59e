#include "sounds.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "noise.h"
#include "resources/resource_numbers.h"

namespace brisane::assets {

namespace {

constexpr double kPi = std::numbers::pi;

// RBJ biquad.
class Biquad {
 public:
  static Biquad BandPass(double rate, double freq, double q) {
    Biquad b;
    b.SetBandPass(rate, freq, q);
    return b;
  }
  static Biquad LowPass(double rate, double freq, double q = 0.7071) {
    Biquad b;
    b.SetLowPass(rate, freq, q);
    return b;
  }
  // Retuning keeps the filter's state, so a sweep does not click.
  void SetLowPass(double rate, double freq, double q) {
    double w = 2 * kPi * freq / rate, al = std::sin(w) / (2 * q), cw = std::cos(w);
    Set((1 - cw) / 2, 1 - cw, (1 - cw) / 2, 1 + al, -2 * cw, 1 - al);
  }
  static Biquad HighPass(double rate, double freq, double q = 0.7071) {
    double w = 2 * kPi * freq / rate, al = std::sin(w) / (2 * q), cw = std::cos(w);
    Biquad b;
    b.Set((1 + cw) / 2, -(1 + cw), (1 + cw) / 2, 1 + al, -2 * cw, 1 - al);
    return b;
  }
  // Constant 0 dB peak gain band-pass; may be retuned per sample.
  void SetBandPass(double rate, double freq, double q) {
    double w = 2 * kPi * freq / rate, al = std::sin(w) / (2 * q), cw = std::cos(w);
    Set(al, 0, -al, 1 + al, -2 * cw, 1 - al);
  }
  double operator()(double x) {
    double y = b0_ * x + b1_ * x1_ + b2_ * x2_ - a1_ * y1_ - a2_ * y2_;
    x2_ = x1_;
    x1_ = x;
    y2_ = y1_;
    y1_ = y;
    return y;
  }

 private:
  void Set(double b0, double b1, double b2, double a0, double a1, double a2) {
    b0_ = b0 / a0;
    b1_ = b1 / a0;
    b2_ = b2 / a0;
    a1_ = a1 / a0;
    a2_ = a2 / a0;
  }
  double b0_ = 0, b1_ = 0, b2_ = 0, a1_ = 0, a2_ = 0;
  double x1_ = 0, x2_ = 0, y1_ = 0, y2_ = 0;
};

// A damped resonator (one vibration mode of a plank or a hull).
class Mode {
 public:
  Mode(double rate, double freq, double decaySeconds) {
    double r = std::exp(-1.0 / (decaySeconds * rate));
    a1_ = -2 * r * std::cos(2 * kPi * freq / rate);
    a2_ = r * r;
  }
  double operator()(double x) {
    double y = x - a1_ * y1_ - a2_ * y2_;
    y2_ = y1_;
    y1_ = y;
    return y;
  }

 private:
  double a1_, a2_, y1_ = 0, y2_ = 0;
};

void Normalise(std::vector<float>& s, float peak) {
  float m = 0;
  for (float v : s) m = std::max(m, std::fabs(v));
  if (m <= 0) return;
  for (float& v : s) v = v * peak / m;
}

// Makes [0, length) loop: the material past the end is cross-faded over the
// start, so the last sample runs straight on into the first as it did in the
// continuous signal. `source` holds length + fade samples.
std::vector<float> CloseLoop(const std::vector<float>& source, std::size_t length, std::size_t fade) {
  std::vector<float> out(source.begin(), source.begin() + static_cast<std::ptrdiff_t>(length));
  for (std::size_t i = 0; i < fade; ++i) {
    double t = (i + 0.5) / fade;
    double in = std::sin(t * kPi / 2), outw = std::cos(t * kPi / 2);  // equal power: the parts are uncorrelated
    out[i] = static_cast<float>(source[i] * in + source[length + i] * outw);
  }
  return out;
}

// Short raised-cosine ends, so one-shot sounds start and stop at silence.
void FadeEnds(std::vector<float>& s, std::size_t in, std::size_t out) {
  for (std::size_t i = 0; i < in && i < s.size(); ++i) s[i] *= static_cast<float>(0.5 - 0.5 * std::cos(kPi * i / in));
  for (std::size_t i = 0; i < out && i < s.size(); ++i)
    s[s.size() - 1 - i] *= static_cast<float>(0.5 - 0.5 * std::cos(kPi * i / out));
}

// A gull's call: a falling, slightly rough harmonic cry.
void AddGull(std::vector<float>& s, double rate, double start, double length, double pitch, double level, Rng& rng) {
  const std::size_t i0 = static_cast<std::size_t>(start * rate), n = static_cast<std::size_t>(length * rate);
  double phase = 0;
  Biquad body = Biquad::BandPass(rate, pitch * 2.2, 1.2);
  for (std::size_t i = 0; i < n && i0 + i < s.size(); ++i) {
    double t = static_cast<double>(i) / n;
    double f = pitch * (1.25 - 0.45 * t) * (1 + 0.02 * std::sin(2 * kPi * 28 * i / rate));
    phase += 2 * kPi * f / rate;
    double env = std::sin(kPi * std::pow(t, 0.6)) * (0.8 + 0.2 * rng.Signed());
    double v = std::sin(phase) + 0.6 * std::sin(2 * phase + 0.3) + 0.35 * std::sin(3 * phase + 1.1) + 0.2 * std::sin(4 * phase);
    s[i0 + i] += static_cast<float>(body(v * env) * level);
  }
}

// Stick-slip creak: a train of friction pulses whose rate follows `rate(t)`,
// each ringing the plank's modes.
std::vector<float> CreakSound(double sr, double seconds, double (*pulseRate)(double), const double* freqs,
                              const double* decays, const double* gains, int modes, std::uint64_t seed) {
  Rng rng(seed);
  const std::size_t n = static_cast<std::size_t>(seconds * sr);
  std::vector<float> out(n, 0.0f);
  std::vector<Mode> bank;
  for (int m = 0; m < modes; ++m) bank.emplace_back(sr, freqs[m], decays[m]);
  Biquad hp = Biquad::HighPass(sr, 90);
  double next = 0.01 * sr;
  for (std::size_t i = 0; i < n; ++i) {
    double t = static_cast<double>(i) / n;
    double x = 0;
    if (static_cast<double>(i) >= next) {
      double pr = pulseRate(t);
      // Pressure rises and falls across the creak; pulses jitter in time and size.
      double strength = std::sin(kPi * std::min(1.0, t * 1.15)) * (0.6 + 0.4 * rng.Uniform());
      x = strength;
      next += sr / pr * (1 + 0.12 * rng.Signed());
    }
    x += 0.004 * rng.Signed();  // rubbing noise between slips
    double y = 0;
    for (int m = 0; m < modes; ++m) y += gains[m] * bank[static_cast<std::size_t>(m)](x);
    out[i] = static_cast<float>(hp(y));
  }
  FadeEnds(out, static_cast<std::size_t>(0.003 * sr), static_cast<std::size_t>(0.08 * sr));
  Normalise(out, kPeakLevel);
  return out;
}

}  // namespace

Sound AmbientLoop() {
  const double sr = 22050;
  const std::size_t length = static_cast<std::size_t>(30 * sr), fade = static_cast<std::size_t>(1.5 * sr);
  const std::size_t n = length + fade;
  Rng rng(151);
  std::vector<float> s(n, 0.0f);
  // Sea wash: noise shaped by swell, with louder slaps as waves meet the hull.
  Biquad washLow = Biquad::LowPass(sr, 700), washBand = Biquad::BandPass(sr, 380, 0.6);
  Biquad hiss = Biquad::HighPass(sr, 2500);
  double brown = 0;
  // Wave arrivals: every 3.5 to 6 s, each a swell and a splash.
  std::vector<double> waves;
  for (double t = 0.7; t < n / sr; t += rng.Range(3.5, 6.0)) waves.push_back(t);
  for (std::size_t i = 0; i < n; ++i) {
    double t = i / sr;
    double swell = 0.35, splash = 0;
    for (double w : waves) {
      double d = t - w;
      if (d > -2 && d < 4) {
        swell += 0.65 * std::exp(-d * d / 1.6);
        if (d > 0) splash += std::exp(-d * 2.2) * (1 - std::exp(-d * 7));
      }
    }
    double white = rng.Signed();
    brown = 0.995 * brown + 0.05 * white;
    double wash = washLow(brown * 2.5) * swell + washBand(white) * 0.5 * swell + hiss(white) * 0.22 * splash;
    s[i] = static_cast<float>(wash * 0.6);
  }
  // Slow lapping knocks of water in the hull's hollows.
  Mode hull(sr, 95, 0.12);
  Biquad knockLp = Biquad::LowPass(sr, 400);
  double nextKnock = 1.3 * sr;
  for (std::size_t i = 0; i < n; ++i) {
    double x = 0;
    if (static_cast<double>(i) >= nextKnock) {
      x = rng.Range(0.2, 0.5);
      nextKnock += rng.Range(1.5, 4.0) * sr;
    }
    s[i] += static_cast<float>(knockLp(hull(x)) * 0.04);
  }
  // Distant gulls, a few calls in pairs and threes.
  for (double t = 2.0; t < 29.0; t += rng.Range(5.0, 9.0)) {
    double pitch = rng.Range(1300, 1700), level = rng.Range(0.05, 0.09);
    int calls = 2 + static_cast<int>(rng.Uniform() * 2);
    for (int k = 0; k < calls; ++k) AddGull(s, sr, t + k * rng.Range(0.35, 0.5), rng.Range(0.22, 0.32), pitch * rng.Range(0.95, 1.05), level, rng);
  }
  Sound out{resource::kLanternLoopSound, 22050, 16, true, CloseLoop(s, length, fade)};
  Normalise(out.samples, kPeakLevel);
  return out;
}

Sound WindLoop() {
  const double sr = 22050;
  const std::size_t length = static_cast<std::size_t>(20 * sr), fade = static_cast<std::size_t>(2.0 * sr);
  const std::size_t n = length + fade;
  Rng rng(153);
  std::vector<float> s(n, 0.0f);
  // Air noise is mostly low: a brownish source through a low-pass whose corner
  // rises with the wind speed; the rigging sings in narrow bands on top.
  Biquad air, hiss = Biquad::HighPass(sr, 3000);
  Biquad whistleA, whistleB;
  double brown = 0;
  for (std::size_t i = 0; i < n; ++i) {
    double t = i / sr;
    // Gusts: slow noise on the wind speed, from a lull to a strong blow.
    double g = Fbm(t / 2.5, 0.5, 153, 3);
    double gust = std::clamp(0.2 + 1.3 * (g - 0.25), 0.15, 1.0);
    double white = rng.Signed();
    brown = 0.985 * brown + 0.15 * white;
    if (i % 32 == 0) {  // retune now and then; the speed changes slowly
      air.SetLowPass(sr, 250 + 700 * gust, 0.9);
      whistleA.SetBandPass(sr, 480 + 420 * gust, 60);
      whistleB.SetBandPass(sr, 760 + 640 * gust, 80);
    }
    double whistle = (whistleA(white) * 2.2 + whistleB(white) * 1.6) * std::pow(gust, 4);
    double v = air(brown) * gust + hiss(white) * 0.04 * gust * gust + whistle;
    s[i] = static_cast<float>(v);
  }
  Sound out{resource::kWindLoopSound, 22050, 16, true, CloseLoop(s, length, fade)};
  Normalise(out.samples, kPeakLevel);
  return out;
}

Sound Creak() {
  static const double f[] = {310, 640, 1180, 1950, 2900};
  static const double d[] = {0.025, 0.018, 0.012, 0.008, 0.006};
  static const double g[] = {1.0, 0.8, 0.55, 0.35, 0.2};
  auto rate = [](double t) { return 38 + 60 * std::sin(kPi * t) * (1 - 0.3 * t); };
  return {resource::kCreakHighSound, 11025, 16, false, CreakSound(11025, 1.1, rate, f, d, g, 5, 152)};
}

Sound SecondCreak() {
  static const double f[] = {180, 410, 760, 1330, 2100};
  static const double d[] = {0.04, 0.028, 0.018, 0.012, 0.009};
  static const double g[] = {1.0, 0.9, 0.5, 0.3, 0.15};
  auto rate = [](double t) { return 18 + 34 * t + 10 * std::sin(3 * kPi * t); };
  return {resource::kCreakLowSound, 11025, 8, false, CreakSound(11025, 1.6, rate, f, d, g, 5, 157)};
}

Sound GunShot() {
  const double sr = 22050;
  const std::size_t n = static_cast<std::size_t>(2.6 * sr);
  Rng rng(155);
  std::vector<float> s(n, 0.0f);
  Biquad crackHp = Biquad::HighPass(sr, 900), boomLp = Biquad::LowPass(sr, 220), tailLp = Biquad::LowPass(sr, 140),
         tailLp2 = Biquad::LowPass(sr, 300);
  double phase = 0;
  for (std::size_t i = 0; i < n; ++i) {
    double t = i / sr;
    double white = rng.Signed();
    // The crack: a few milliseconds of broadband pressure spike.
    double crack = crackHp(white) * std::exp(-t / 0.008) * 1.6;
    // The boom: a falling low tone plus low noise, decaying in a few tenths.
    phase += 2 * kPi * (38 + 45 * std::exp(-t / 0.09)) / sr;
    double attack = 1 - std::exp(-t / 0.002);
    double boom = (std::sin(phase) * 0.9 + boomLp(white) * 3.0) * std::exp(-t / 0.28) * attack;
    // The rumble: echoes off the water, slow beating of low noise.
    double tail = tailLp2(tailLp(white)) * 6.0 * std::exp(-t / 0.9) * (1 - std::exp(-t / 0.12)) *
                  (0.75 + 0.25 * std::sin(2 * kPi * 1.7 * t + 0.5));
    s[i] = static_cast<float>(crack + boom + tail);
  }
  FadeEnds(s, 2, static_cast<std::size_t>(0.3 * sr));
  Normalise(s, kPeakLevel);
  return {resource::kGunShotSound, 22050, 16, false, std::move(s)};
}

}  // namespace brisane::assets
