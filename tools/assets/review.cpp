#include "review.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <numbers>

#include "paint.h"

namespace brisane::assets {

namespace {

// 3 x 5 digits and a few letters, one row of bits a line.
const std::uint8_t* Glyph(char ch) {
  static const std::uint8_t digits[10][5] = {
      {7, 5, 5, 5, 7}, {2, 6, 2, 2, 7}, {7, 1, 7, 4, 7}, {7, 1, 7, 1, 7}, {5, 5, 7, 1, 1},
      {7, 4, 7, 1, 7}, {7, 4, 7, 5, 7}, {7, 1, 1, 1, 1}, {7, 5, 7, 5, 7}, {7, 5, 7, 1, 7}};
  static const std::uint8_t blank[5] = {0, 0, 0, 0, 0};
  if (ch >= '0' && ch <= '9') return digits[ch - '0'];
  return blank;
}

void Text(Image& im, int x, int y, const std::string& s, int scale, Colour colour) {
  for (char ch : s) {
    const std::uint8_t* rows = Glyph(ch);
    for (int j = 0; j < 5 * scale; ++j)
      for (int i = 0; i < 3 * scale; ++i) {
        if (!(rows[j / scale] & (4 >> (i / scale)))) continue;
        int px = x + i, py = y + j;
        if (px < 0 || py < 0 || px >= im.width || py >= im.height) continue;
        Put(im, px, py, colour);
      }
    x += 4 * scale;
  }
}

Bytes ContactSheet(const std::vector<Asset>& assets) {
  const int cell = 180, thumb = 160, label = 18, cols = 6;
  std::vector<const Asset*> pics;
  for (const Asset& a : assets)
    if (a.kind == AssetKind::Jpeg || a.kind == AssetKind::Icon) pics.push_back(&a);
  const int rows = (static_cast<int>(pics.size()) + cols - 1) / cols;
  Image sheet(cols * cell, rows * (cell + label));
  std::fill(sheet.rgb.begin(), sheet.rgb.end(), 48.0f);
  for (std::size_t k = 0; k < pics.size(); ++k) {
    const Image& src = pics[k]->picture;
    double f = std::min(static_cast<double>(thumb) / src.width, static_cast<double>(thumb) / src.height);
    int w = std::max(1, static_cast<int>(src.width * f)), h = std::max(1, static_cast<int>(src.height * f));
    Image t = Resize(src, w, h);
    int ox = static_cast<int>(k % cols) * cell + (cell - w) / 2;
    int oy = static_cast<int>(k / cols) * (cell + label) + (cell - h) / 2;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        // Transparent icon pixels over a checkerboard.
        float a = t.alpha[static_cast<std::size_t>(y) * w + x];
        float bg = ((x / 8 + y / 8) % 2) ? 90.0f : 130.0f;
        float* d = sheet.at(ox + x, oy + y);
        for (int c = 0; c < 3; ++c) d[c] = t.at(x, y)[c] * a + bg * (1 - a);
      }
    std::string id = std::to_string(pics[k]->id);
    int lx = static_cast<int>(k % cols) * cell + (cell - static_cast<int>(id.size()) * 8) / 2;
    Text(sheet, lx, static_cast<int>(k / cols) * (cell + label) + cell + 2, id, 2, {255, 230, 120});
  }
  return EncodePng(sheet);
}

void Fft(std::vector<std::complex<double>>& a) {
  const std::size_t n = a.size();
  for (std::size_t i = 1, j = 0; i < n; ++i) {
    std::size_t bit = n >> 1;
    for (; j & bit; bit >>= 1) j ^= bit;
    j ^= bit;
    if (i < j) std::swap(a[i], a[j]);
  }
  for (std::size_t len = 2; len <= n; len <<= 1) {
    double ang = -2 * std::numbers::pi / static_cast<double>(len);
    std::complex<double> wl(std::cos(ang), std::sin(ang));
    for (std::size_t i = 0; i < n; i += len) {
      std::complex<double> w(1);
      for (std::size_t j = 0; j < len / 2; ++j) {
        auto u = a[i + j], v = a[i + j + len / 2] * w;
        a[i + j] = u + v;
        a[i + j + len / 2] = u - v;
        w *= wl;
      }
    }
  }
}

Colour Heat(double t) {  // black - blue - red - yellow - white
  t = std::clamp(t, 0.0, 1.0);
  auto level = [](double v) { return static_cast<float>(255 * std::clamp(v, 0.0, 1.0)); };
  return {level(t * 2.2 - 0.5), level(t * 2.0 - 1.0),
          level(t < 0.35 ? t * 2.5 : (t > 0.8 ? (t - 0.8) * 5 : 0.875 - (t - 0.35) * 1.9))};
}

Bytes SoundSheet(const Sound& s) {
  const int w = 1000, waveH = 200, fftN = 512, specH = fftN / 2;
  Image im(w, waveH + specH + 24);
  std::fill(im.rgb.begin(), im.rgb.end(), 20.0f);
  const std::size_t n = s.samples.size();
  for (int x = 0; x < w; ++x) {
    std::size_t a = n * x / w, b = std::max(a + 1, n * (x + 1) / w);
    float lo = 1, hi = -1;
    for (std::size_t i = a; i < b && i < n; ++i) {
      lo = std::min(lo, s.samples[i]);
      hi = std::max(hi, s.samples[i]);
    }
    int y0 = static_cast<int>((1 - hi) * 0.5f * (waveH - 1)), y1 = static_cast<int>((1 - lo) * 0.5f * (waveH - 1));
    for (int y = std::max(0, y0); y <= std::min(waveH - 1, y1); ++y) Put(im, x, y, {120, 220, 140});
    im.at(x, waveH / 2)[0] = 90;
  }
  for (int x = 0; x < w; ++x) {
    std::size_t start = n > static_cast<std::size_t>(fftN) ? (n - fftN) * x / (w - 1) : 0;
    std::vector<double> mag = Spectrum(s.samples, start, fftN);
    for (int k = 0; k < specH; ++k) {
      double db = 20 * std::log10(mag[static_cast<std::size_t>(k)] + 1e-9);
      Put(im, x, waveH + specH - 1 - k, Heat((db + 90) / 90));
    }
  }
  Text(im, 4, waveH + specH + 4, std::to_string(s.id), 3, {255, 230, 120});
  Text(im, 60, waveH + specH + 4, std::to_string(s.sampleRate), 3, {200, 200, 200});
  Text(im, 180, waveH + specH + 4, std::to_string(s.bits), 3, {200, 200, 200});
  return EncodePng(im);
}

}  // namespace

std::vector<double> Spectrum(const std::vector<float>& samples, std::size_t start, std::size_t n) {
  std::vector<std::complex<double>> a(n);
  for (std::size_t i = 0; i < n; ++i) {
    double v = start + i < samples.size() ? samples[start + i] : 0.0;
    a[i] = v * (0.5 - 0.5 * std::cos(2 * std::numbers::pi * i / (n - 1)));
  }
  Fft(a);
  std::vector<double> mag(n / 2);
  for (std::size_t k = 0; k < n / 2; ++k) mag[k] = std::abs(a[k]) * 4.0 / static_cast<double>(n);
  return mag;
}

std::vector<std::pair<std::string, Bytes>> ReviewSheets(const std::vector<Asset>& assets) {
  std::vector<std::pair<std::string, Bytes>> out;
  out.emplace_back("pictures.png", ContactSheet(assets));
  std::string index;  // what each number is, for reading the sheets
  for (const Asset& a : assets)
    index += std::to_string(a.id) + "\t" + a.file + "\t" + std::to_string(a.bytes.size()) + "\t" + a.title + "\n";
  out.emplace_back("index.txt", Bytes(index.begin(), index.end()));
  for (const Asset& a : assets)
    if (a.kind == AssetKind::Wav) out.emplace_back("sound_" + std::to_string(a.id) + ".png", SoundSheet(a.sound));
  return out;
}

}  // namespace brisane::assets
