// The ship's eight guns, four a broadside, and the schedule that fires
// them: ten seconds before a volley the ports open and the guns run out,
// the four guns of each side fire one after another in a shuffled order
// (recoil, fire meshes, muzzle flash, two puffs of smoke, the shot), and
// ten seconds after it the guns run in and the ports close.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/audio.h"
#include "platform/random.h"
#include "render/smoke.h"
#include "render/sprite.h"
#include "scene/scene.h"
#include "sound/sound3d.h"
#include "show/frame.h"
#include "show/member_pass.h"

namespace brisane {

// Milliseconds between volleys for a FiringPeriod value; anything unknown
// is one minute.
std::uint32_t FiringPeriodMs(std::int32_t firingPeriod);

class Gun {
 public:
  static constexpr std::uint32_t kFlashMs = 160;
  static constexpr std::uint32_t kBusyMs = 2500;

  // Gun `index` (1 to 8) bound to its nodes in the scene; nodes the scene
  // lacks are left out of what the gun does. The shot is loaded from the
  // WAVFILE resource when there is an audio device and soundResource is not 0.
  Gun(Scene& scene, int index, const PictureSource& pictures, AudioDevice* audio, std::uint16_t soundResource);
  // The flash, the two smokes and the sound go in this order.
  ~Gun();
  Gun(const Gun&) = delete;
  Gun& operator=(const Gun&) = delete;

  // Starts the shot `delay` ms ago (negative: in the future) unless the gun
  // is still busy with its last one; false when it was busy.
  bool Fire(std::int32_t delay, std::uint32_t now);
  void OpenPort();
  void ClosePort();
  // Starts the shot's effects once its moment has come, puts the flash out
  // after 160 ms and frees the gun 2500 ms after the shot.
  void Update(std::uint32_t now);
  // The flash, then each smoke moved on and drawn.
  void DrawEffects(Device& device, std::uint32_t now, RandomSource& random);

  int index() const { return index_; }
  bool firing() const { return firing_; }
  bool shotPending() const { return shotPending_; }
  bool flashOn() const { return flash_ && flash_->enabled; }
  std::uint32_t fireTime() const { return fireTime_; }
  std::int32_t delay() const { return delay_; }
  Sprite& flash() { return *flash_; }
  SmokeEmitter& smoke() { return *smoke_; }
  SmokeEmitter& smokeTrail() { return *smokeTrail_; }
  Sound3D& sound() { return *sound_; }
  SceneNode* gunNode() const { return gunNode_; }
  SceneNode* port() const { return port_; }

 private:
  int index_;
  bool firing_ = false;
  std::uint32_t fireTime_ = 0;
  bool shotPending_ = true;
  bool flashPending_ = true;  // the flash is still to be put out
  std::int32_t delay_ = 0;
  SceneNode* gunNode_ = nullptr;
  SceneNode* muzzle_ = nullptr;
  SceneNode* port_ = nullptr;
  GeometryObject* fire1_ = nullptr;
  GeometryObject* fire2_ = nullptr;
  std::unique_ptr<Sprite> flash_;
  std::unique_ptr<SmokeEmitter> smoke_;
  std::unique_ptr<SmokeEmitter> smokeTrail_;
  std::unique_ptr<Sound3D> sound_;
};

// The eight guns with their frame passes: the updates before drawing, the
// flashes and smoke after the scene, the schedule after them (only while
// EnableFiring is on; the updates run regardless, so a shot under way
// always finishes).
class Guns {
 public:
  using Side = std::array<Gun*, 4>;

  Guns(Scene& scene, const PictureSource& pictures, AudioDevice* audio, std::uint16_t soundResource);

  void AddPasses(FramePasses& passes);
  void RemovePasses(FramePasses& passes);

  // The ports of a side open and its guns run out 499 ms later.
  static void OpenPorts(const Side& side);
  // The guns run in and the ports close 800 ms later.
  static void ClosePorts(const Side& side);
  // The side's four guns fire in a shuffled order, about 400 ms apart.
  static void FireVolley(const Side& side, std::uint32_t now, RandomSource& random);

  // One step of the schedule.
  void RunSchedule(std::uint32_t now, std::int32_t firingPeriod, RandomSource& random);

  Gun& gun(int index) { return *guns_[static_cast<std::size_t>(index - 1)]; }
  const Side& side(int which) const { return which == 0 ? first_ : second_; }
  // Every smoke emitter of the guns, in gun order.
  const std::vector<SmokeEmitter*>& emitters() const { return emitters_; }
  bool portsClosed() const { return portsClosed_; }
  std::uint32_t period() const { return period_; }

 private:
  void UpdateGuns(FrameContext& frame);
  void DrawGunEffects(FrameContext& frame);
  void RunScheduleIfEnabled(FrameContext& frame);

  std::array<std::unique_ptr<Gun>, 8> guns_;
  Side first_{}, second_{};
  std::vector<SmokeEmitter*> emitters_;
  MemberPass<Guns> updatePass_{*this, &Guns::UpdateGuns, "guns"};
  MemberPass<Guns> effectsPass_{*this, &Guns::DrawGunEffects, "gun effects"};
  MemberPass<Guns> schedulePass_{*this, &Guns::RunScheduleIfEnabled, "firing schedule"};
  bool scheduleStarted_ = false;
  std::uint32_t period_ = 60000;
  std::uint32_t lastVolley_ = 0;
  bool portsClosed_ = true;
  bool volleyDone_ = false;
};

}  // namespace brisane
