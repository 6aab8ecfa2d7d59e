#include "show/guns.h"

#include <algorithm>
#include <string>

#include "settings/settings_keys.h"
#include "show/ship_contract.h"

namespace brisane {

namespace {

constexpr std::uint32_t kPortLead = 10000;   // ports open this long before a volley, close this long after
constexpr float kSoundNear = 350.0f, kSoundFar = 2210.0f;
constexpr std::uint32_t kShotBurst = 10;
constexpr float kPortSpeed = 0.3f, kCarriageSpeed = 0.5f;

constexpr std::int32_t Length(contract::KeyWindow window) { return static_cast<std::int32_t>(window.to - window.from); }

template <typename T>
T* FindAs(Scene& scene, std::string_view name, std::uint32_t type) {
  SceneNode* node = scene.FindNode(std::string(name));
  return node && node->type() == type ? static_cast<T*>(node) : nullptr;
}

// Signed difference of two clock readings: the shot may lie ahead.
std::int32_t Since(std::uint32_t now, std::uint32_t then) { return static_cast<std::int32_t>(now - then); }

// A draw above half the range: heads.
constexpr std::int32_t kHalfRandomRange = kRandomMax / 2;
bool CoinToss(RandomSource& random) { return random.Next() > kHalfRandomRange; }

float Spread(RandomSource& random) {
  return 2.0f * static_cast<float>(random.Next()) * (1.0f / static_cast<float>(kRandomMax)) - 1.0f;
}

}  // namespace

std::uint32_t FiringPeriodMs(std::int32_t firingPeriod) {
  return static_cast<std::uint32_t>(FiringPeriodMinutes(firingPeriod)) * 60000u;
}

Gun::Gun(Scene& scene, int index, const PictureSource& pictures, AudioDevice* audio, std::uint16_t soundResource)
    : index_(index) {
  const auto slot = static_cast<std::size_t>(index - 1);
  gunNode_ = scene.FindNode(std::string(contract::kGuns.at(slot)));
  muzzle_ = scene.FindNode(std::string(contract::kGunMuzzles.at(slot)));
  fire1_ = FindAs<GeometryObject>(scene, contract::kGunFires1.at(slot), NodeType::Geometry);
  fire2_ = FindAs<GeometryObject>(scene, contract::kGunFires2.at(slot), NodeType::Geometry);
  const Matrix m = muzzle_ ? muzzle_->world() : Matrix::Identity();

  flash_ = std::make_unique<Sprite>(pictures, Picture{"", contract::kFlashPicture}, 30, m);
  flash_->zEnable = 1;
  flash_->enabled = false;

  // Smoke is blown out of the port and drifts back against the ship; the
  // first side's ports face -y.
  const float out = index <= 4 ? -1.0f : 1.0f;
  SmokeSpec hot;
  hot.picture = {"", contract::kHotSmokePicture};
  hot.sizeMean = 4;
  hot.burstMean = 10;
  hot.position = m;
  hot.velocity = Matrix::Translation(0, 100 * out, 0);
  hot.acceleration = Matrix::Translation(0, -140 * out, -6);
  hot.lifeMean = 0.6f;
  hot.growthMean = 0.3f;
  hot.fadeSpread = 0.3f;
  hot.fade = true;
  smoke_ = std::make_unique<SmokeEmitter>(pictures, hot);
  smoke_->SetEmitting(false);
  smoke_->SetVelocitySpreads({15, 50, 15});

  SmokeSpec grey;
  grey.picture = {"", contract::kGreySmokePicture};
  grey.sizeMean = 30;
  grey.burstMean = 10;
  grey.position = m;
  grey.velocity = Matrix::Translation(0, 30 * out, 0);
  grey.acceleration = Matrix::Translation(0, -10 * out, 0);
  grey.lifeMean = 2.0f;
  grey.growthMean = 1.0f;
  grey.fadeSpread = 0.0f;
  grey.fade = true;
  smokeTrail_ = std::make_unique<AlphaSmokeEmitter>(pictures, grey);
  smokeTrail_->SetEmitting(false);
  smokeTrail_->SetVelocitySpreads({8, 30, 8});
  smokeTrail_->SetSizeSpread(100);

  port_ = scene.FindNode(std::string(contract::kGunPorts.at(slot)));

  sound_ = std::make_unique<Sound3D>();
  if (audio && soundResource != 0 &&
      !Failed(sound_->Load(*audio, pictures.resources, soundResource, {}))) {
    const Vector3 p = TranslationOf(m);
    sound_->Set3DParameters({p.x, p.y, p.z}, {0, 0, 0}, kSoundNear, kSoundFar);
  }
}

Gun::~Gun() {
  flash_.reset();
  smoke_.reset();
  smokeTrail_.reset();
  sound_.reset();
}

bool Gun::Fire(std::int32_t delay, std::uint32_t now) {
  if (firing_) return false;
  delay_ = delay;
  if (gunNode_)
    gunNode_->StartAnimation(contract::kGunRecoil.from, contract::kGunRecoil.to, delay, 1.0f, 1);
  fireTime_ = now - static_cast<std::uint32_t>(delay);
  firing_ = true;
  shotPending_ = true;
  flashPending_ = true;
  return true;
}

// The port and the gun move one after the other: the gun starts running out
// as many ms after the port starts opening as the port's key window is long
// (499), and the port starts closing as long after the gun starts running
// in as the gun's window is (800).
void Gun::OpenPort() {
  if (port_) port_->StartAnimation(contract::kPortOpen.from, contract::kPortOpen.to, 0, kPortSpeed, 1);
  if (gunNode_)
    gunNode_->StartAnimation(contract::kGunRunOut.from, contract::kGunRunOut.to, -Length(contract::kPortOpen),
                             kCarriageSpeed, 1);
}

void Gun::ClosePort() {
  if (port_)
    port_->StartAnimation(contract::kPortClose.from, contract::kPortClose.to, -Length(contract::kGunRunIn),
                          kPortSpeed, 1);
  if (gunNode_) gunNode_->StartAnimation(contract::kGunRunIn.from, contract::kGunRunIn.to, 0, kCarriageSpeed, 1);
}

void Gun::Update(std::uint32_t now) {
  if (!firing_) return;
  const std::int32_t sinceShot = Since(now, fireTime_);
  if (shotPending_ && sinceShot > 0) {
    if (fire1_) {
      fire1_->StartAnimation(0, contract::kFireKeysEnd, 0, 1.0f, 1);
      fire1_->StartGeometryAnimation(contract::kFire1Frames.from, contract::kFire1Frames.to, contract::kFire1Offset,
                                     1.0f, 1);
    }
    if (fire2_) {
      fire2_->StartAnimation(0, contract::kFireKeysEnd, 0, 1.0f, 1);
      fire2_->StartGeometryAnimation(contract::kFire2Frames.from, contract::kFire2Frames.to, contract::kFire2Offset,
                                     1.0f, 1);
    }
    const Matrix m = muzzle_ ? muzzle_->world() : flash_->matrix;
    flash_->matrix = m;
    for (SmokeEmitter* puff : {smoke_.get(), smokeTrail_.get()}) {
      puff->SetPositionStart(m);
      puff->SetMaximumCount(kShotBurst);
      puff->SetPendingCount(kShotBurst);
    }
    flash_->enabled = true;
    smoke_->SetStartTime(now);
    smokeTrail_->SetStartTime(now);
    shotPending_ = false;
    sound_->Play(false);
  }
  if (flashPending_ && sinceShot > static_cast<std::int32_t>(kFlashMs)) {
    flash_->enabled = false;
    flashPending_ = false;
  }
  if (sinceShot > static_cast<std::int32_t>(kBusyMs)) firing_ = false;
}

void Gun::DrawEffects(Device& device, std::uint32_t now, RandomSource& random) {
  flash_->DrawBillboard(device);
  smoke_->Update(now, random);
  smoke_->Draw(device, now);
  smokeTrail_->Update(now, random);
  smokeTrail_->Draw(device, now);
}

Guns::Guns(Scene& scene, const PictureSource& pictures, AudioDevice* audio, std::uint16_t soundResource) {
  // The eight guns show the same three pictures: each is decoded once.
  PictureCache decoded;
  const PictureSource shared{pictures.clock, pictures.loader, pictures.resources, &decoded};
  for (int i = 1; i <= 8; ++i) {
    auto& gun = guns_[static_cast<std::size_t>(i - 1)];
    gun = std::make_unique<Gun>(scene, i, shared, audio, soundResource);
    emitters_.push_back(&gun->smoke());
    emitters_.push_back(&gun->smokeTrail());
  }
  for (std::size_t i = 0; i < 4; ++i) {
    first_[i] = guns_[i].get();
    second_[i] = guns_[i + 4].get();
  }
}

void Guns::AddPasses(FramePasses& passes) {
  passes.Add(FrameStep::UpdateGuns, updatePass_);
  passes.Add(FrameStep::GunEffects, effectsPass_);
  passes.Add(FrameStep::FiringSchedule, schedulePass_);
}

void Guns::RemovePasses(FramePasses& passes) {
  passes.Remove(updatePass_);
  passes.Remove(effectsPass_);
  passes.Remove(schedulePass_);
}

void Guns::OpenPorts(const Side& side) {
  for (Gun* gun : side) gun->OpenPort();
}

void Guns::ClosePorts(const Side& side) {
  for (Gun* gun : side) gun->ClosePort();
}

void Guns::FireVolley(const Side& side, std::uint32_t now, RandomSource& random) {
  // Four shots about 400 ms apart, each moved by up to 100 ms either way.
  std::array<std::int32_t, 4> offsets{};
  for (std::size_t i = 0; i < 4; ++i)
    offsets[i] = static_cast<std::int32_t>(100.0f * Spread(random) - 400.0f * static_cast<float>(i));
  // Who fires when: the side's first two guns and its last two fire as
  // pairs, back to back. Four coin tosses pick which gun opens the first
  // pair, which opens the second, whether the second pair leads (the first
  // then follows the other way round), and whether the opening shot moves
  // to the end.
  std::array<bool, 4> toss{};
  for (bool& t : toss) t = CoinToss(random);
  const std::array<int, 2> low = toss[0] ? std::array{0, 1} : std::array{1, 0};
  const std::array<int, 2> high = toss[1] ? std::array{2, 3} : std::array{3, 2};
  std::array<int, 4> order = toss[2] ? std::array{high[0], high[1], low[1], low[0]}
                                     : std::array{low[0], low[1], high[0], high[1]};
  if (toss[3]) std::rotate(order.begin(), order.begin() + 1, order.end());
  for (std::size_t i = 0; i < 4; ++i) side[static_cast<std::size_t>(order[i])]->Fire(offsets[i], now);
}

void Guns::RunSchedule(std::uint32_t now, std::int32_t firingPeriod, RandomSource& random) {
  if (!scheduleStarted_) {
    scheduleStarted_ = true;
    period_ = FiringPeriodMs(firingPeriod);
    lastVolley_ = now;
  }
  if (portsClosed_ && now - lastVolley_ > period_ - kPortLead) {
    OpenPorts(second_);
    OpenPorts(first_);
    portsClosed_ = false;
  }
  if (now - lastVolley_ > period_) {
    FireVolley(second_, now, random);
    FireVolley(first_, now, random);
    lastVolley_ = now;
    volleyDone_ = true;
  } else if (volleyDone_ && now - lastVolley_ > kPortLead) {
    ClosePorts(second_);
    ClosePorts(first_);
    portsClosed_ = true;
    volleyDone_ = false;
  }
}

void Guns::UpdateGuns(FrameContext& frame) {
  for (auto& gun : guns_) gun->Update(frame.now);
}

void Guns::DrawGunEffects(FrameContext& frame) {
  for (auto& gun : guns_) gun->DrawEffects(frame.device, frame.now, frame.random);
}

void Guns::RunScheduleIfEnabled(FrameContext& frame) {
  if (!frame.settings.Get(key::EnableFiring).AsBool()) return;
  RunSchedule(frame.now, frame.settings.Get(key::FiringPeriod).AsInt(), frame.random);
}

}  // namespace brisane
