// OpenAL Soft's file writer as the native tests' ears. The library reads its
// configuration once, at the process's first OpenAL call, so the one
// configuration is made before it; every device of the process then mixes in
// real time into the same float WAV file, complete once the device closes.
#pragma once

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <numbers>
#include <string>
#include <vector>

#include "sound/wave_file.h"

namespace brisane {

inline constexpr std::uint32_t kCaptureRate = 44100;

struct WaveWriterConfig {
  WaveWriterConfig() {
    dir = std::filesystem::temp_directory_path() / ("brisane-openal-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    output = dir / "mix.wav";
    std::ofstream(dir / "alsoft.conf") << "channels = stereo\nsample-type = float32\nfrequency = 44100\n"
                                          "stereo-mode = speakers\nhrtf = false\noutput-limiter = false\n"
                                          "dither = false\nperiod_size = 256\n[wave]\nfile = "
                                       << output.string() << "\n";
    setenv("ALSOFT_DRIVERS", "wave", 1);
    setenv("ALSOFT_CONF", (dir / "alsoft.conf").c_str(), 1);
  }
  ~WaveWriterConfig() {
    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);
  }
  std::filesystem::path dir, output;
};

// Call before the first OpenAL call.
inline const WaveWriterConfig& CaptureConfig() {
  static const WaveWriterConfig config;
  return config;
}

struct Capture {
  std::vector<float> left, right;
  double start = 0, end = 0;  // seconds: the first sound heard, the end of the file
  // The largest sample of either channel in [from, to) seconds; -1 outside the file.
  double Peak(double from, double to) const {
    const auto begin = static_cast<std::size_t>(std::max(0.0, from) * kCaptureRate);
    const auto stop = static_cast<std::size_t>(to * kCaptureRate);
    if (stop > left.size() || begin >= stop) return -1;
    double peak = 0;
    for (std::size_t i = begin; i < stop; ++i) peak = std::max({peak, double(std::abs(left[i])), double(std::abs(right[i]))});
    return peak;
  }
  // Amplitude of the tone at frequency in [from, to) seconds of one channel; NaN outside the file.
  static double Level(const std::vector<float>& channel, double frequency, double from, double to) {
    const auto begin = static_cast<std::size_t>(from * kCaptureRate), stop = static_cast<std::size_t>(to * kCaptureRate);
    if (stop > channel.size() || begin >= stop) return NAN;  // fails every comparison
    double re = 0, im = 0;
    for (std::size_t i = begin; i < stop; ++i) {
      const double phase = 2 * std::numbers::pi * frequency * static_cast<double>(i) / kCaptureRate;
      re += channel[i] * std::cos(phase);
      im += channel[i] * std::sin(phase);
    }
    return 2 * std::hypot(re, im) / static_cast<double>(stop - begin);
  }
  // Once every tone of a capture plays: the first starts a little before the last.
  double Left(double f) const { return Level(left, f, start + 0.05, start + 0.25); }
  double Right(double f) const { return Level(right, f, start + 0.05, start + 0.25); }
  double Both(double f) const { return std::hypot(Left(f), Right(f)); }
};

// The file of the devices closed so far; empty when it is not a stereo float capture.
inline Capture ReadCapture() {
  std::ifstream file(CaptureConfig().output, std::ios::binary);
  const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(file), {}};
  WaveFile wave;
  Capture capture;
  if (Failed(wave.Open(bytes)) || wave.format()->channels != 2 || wave.format()->bitsPerSample != 32) return capture;
  std::vector<float> samples(wave.dataSize() / sizeof(float));
  std::uint32_t read = 0;
  wave.Read(wave.dataSize(), reinterpret_cast<std::uint8_t*>(samples.data()), read);
  std::size_t quiet = 0;  // frames before the first sound
  while (2 * quiet + 1 < samples.size() && std::abs(samples[2 * quiet]) + std::abs(samples[2 * quiet + 1]) < 1e-3)
    ++quiet;
  capture.start = static_cast<double>(quiet) / kCaptureRate;
  for (std::size_t i = 0; i + 1 < samples.size(); i += 2) {
    capture.left.push_back(samples[i]);
    capture.right.push_back(samples[i + 1]);
  }
  capture.end = static_cast<double>(capture.left.size()) / kCaptureRate;
  return capture;
}

}  // namespace brisane
