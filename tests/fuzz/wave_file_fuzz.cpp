// Any bytes as a "WAVFILE" resource: refused, or exactly the data chunk twice
// over a reset; a positioned sound from them stays empty or holds it and plays.
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "sound/sound3d.h"
#include "sound/wave_file.h"
#include "tests/unit/support/recording_audio.h"
#include "tests/unit/support/wave_bytes.h"

static std::vector<std::uint8_t> ReadAll(brisane::WaveFile& wave, std::uint32_t step) {
  std::vector<std::uint8_t> out, part(step);
  for (;;) {
    std::uint32_t n = 0;
    if (brisane::Failed(wave.Read(step, part.data(), n)) || n > step) __builtin_trap();
    if (n == 0) return out;
    out.insert(out.end(), part.begin(), part.begin() + n);
  }
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  using namespace brisane::testing;
  const char* corpus = std::getenv("BRISANE_FUZZ_CORPUS");
  if (!corpus || !std::filesystem::is_directory(corpus)) return 0;
  const auto seed = [folder = std::filesystem::path(corpus)](const char* name, const std::vector<std::uint8_t>& bytes) {
    std::ofstream(folder / name, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  };
  seed("seed_pcm", PcmWave(Ramp(40)));
  WaveBytes adpcm = FmtBody(2, 1, 22050, 4);
  Put16(adpcm, 2);
  adpcm.insert(adpcm.end(), {1, 2});
  seed("seed_extra", Riff({Chunk("LIST", Ramp(3)), Chunk("fmt ", adpcm), Chunk("data", Ramp(9))}));
  seed("seed_data_first", Riff({Chunk("data", Ramp(5)), Chunk("fmt ", FmtBody(1, 2, 11025, 8))}));
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace brisane;
  const std::vector<std::uint8_t> bytes(data, data + size);
  WaveFile wave;
  if (Failed(wave.Open(bytes))) {
    if (wave.format() || wave.dataSize() != 0) __builtin_trap();
  } else {
    const std::uint32_t total = wave.dataSize();
    if (total > size) __builtin_trap();
    const std::vector<std::uint8_t> first = ReadAll(wave, 7);
    if (first.size() != total || Failed(wave.Reset())) __builtin_trap();
    if (ReadAll(wave, total + 1) != first) __builtin_trap();
  }
  MemoryResourceSource resources;
  resources.add(151, "WAVFILE", bytes);
  testing::RecordingAudio audio;
  Sound3D sound;
  const HResult loaded = sound.Load(audio, resources, 151, "");
  if (Failed(loaded) != !sound.loaded()) __builtin_trap();
  if (sound.loaded()) {
    testing::RecordingBuffer& buffer = *audio.created.back();
    if (buffer.bytes.size() != wave.dataSize()) __builtin_trap();
    buffer.lost = true;
    if (Failed(sound.Play(false)) || !buffer.playing || buffer.bytes.size() != wave.dataSize()) __builtin_trap();
  }
  return 0;
}
