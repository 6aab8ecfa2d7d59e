// The program's sounds, synthesised from simple physical models: filtered
// noise for water and air, resonators excited by stick-slip pulses for
// timber, a pressure impulse with a decaying low boom for the gun.
#pragma once

#include <vector>

namespace brisane::assets {

struct Sound {
  int id = 0;
  int sampleRate = 0;
  int bits = 0;
  bool loop = false;          // plays looping: must join seamlessly
  std::vector<float> samples;  // -1..1
};

Sound AmbientLoop();  // 151: sea wash on the hull, gulls, rigging; 22050 Hz 16-bit
Sound Creak();        // 152: timber creak; 11025 Hz 16-bit
Sound WindLoop();     // 153: wind through the rigging; 22050 Hz 16-bit
Sound GunShot();      // 155: crack, boom and rumble; 22050 Hz 16-bit
Sound SecondCreak();  // 157: deeper, slower creak; 11025 Hz 8-bit

// Peak level every sound is normalised to (just under full scale).
constexpr float kPeakLevel = 0.89f;

}  // namespace brisane::assets
