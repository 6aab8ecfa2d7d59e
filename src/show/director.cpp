#include "show/director.h"

#include "settings/settings_keys.h"

namespace brisane {

namespace {

constexpr double kFadePerMs = 0.0005;
// A random source that never offers another camera must not hang the show:
// after this many draws the tour goes on in order.
constexpr int kMaxRandomDraws = 1000;

}  // namespace

ShowDirector::ShowDirector(Scene& scene, std::vector<CameraEntry> cameras, GammaTarget* gamma, float ceiling)
    : scene_(scene), cameras_(std::move(cameras)), gamma_(gamma), ceiling_(ceiling), level_(ceiling) {}

void ShowDirector::Run(FrameContext& frame) {
  const std::uint32_t now = frame.now;
  if (!started_) {
    started_ = true;
    // One camera: refresh it just before its path ends; a path time of 0
    // wraps to a period that never expires, so the show never switches.
    basePeriod_ = cameras_.size() == 1
                      ? static_cast<std::uint32_t>(cameras_[0].pathTime) - 1000u
                      : static_cast<std::uint32_t>(frame.settings.Get(key::SwitchPeriod).AsInt()) * 1000u;
    period_ = basePeriod_;
    random_ = frame.settings.Get(key::RandomView).AsInt() != 0;
  }
  if (now - lastSwitch_ > period_ && !cameras_.empty()) Switch(now, frame.random);
  Fade(now);
}

void ShowDirector::Switch(std::uint32_t now, RandomSource& random) {
  previous_ = current_;
  const std::size_t count = cameras_.size();
  std::size_t next = current_ ? (*current_ + 1) % count : 0;
  if (count > 1 && random_) {
    for (int draw = 0; draw < kMaxRandomDraws; ++draw) {
      const double r = random.Next();
      const auto i = static_cast<std::size_t>((r * (1.0 / kRandomMax) + 0.1) * static_cast<double>(count - 1));
      if (i < count && (!current_ || i != *current_)) {
        next = i;
        break;
      }
    }
  }
  current_ = next;
  level_ = ceiling_;
  if (firstSwitch_) {
    firstSwitch_ = false;  // the viewpoint the show started on stays
  } else {
    fadingOut_ = true;
  }
  fadeStart_ = now;
  if (previous_ && cameras_[*previous_].pathTime > 0)
    cameras_[*previous_].remainingTime -= static_cast<std::int32_t>(now - lastSwitch_);
  CameraEntry& entry = cameras_[next];
  if (count > 1) {
    if (entry.pathTime > 0 && entry.remainingTime < 10000) {
      // Too little flight left: the path starts over, parked until shown.
      entry.camera->StartAnimation(entry.fromTime, entry.toTime, 0, entry.speed, -1);
      entry.camera->SetAnimationSpeed(kParkedSpeed);
      entry.remainingTime = entry.pathTime;
    }
    period_ = entry.pathTime > 0 && static_cast<std::int32_t>(basePeriod_) > entry.remainingTime - 600
                  ? static_cast<std::uint32_t>(entry.remainingTime - 1000)
                  : basePeriod_;
  }
  lastSwitch_ = now;
}

void ShowDirector::Fade(std::uint32_t now) {
  // Each step adds the whole time since the phase began, so a fade speeds up
  // as it goes.
  if (fadingIn_) {
    level_ += static_cast<float>((now - fadeStart_) * kFadePerMs);
    if (level_ > ceiling_) level_ = ceiling_;
    ApplyLevel();
    if (!(level_ < ceiling_)) fadingIn_ = false;
  }
  if (fadingOut_) {
    level_ -= static_cast<float>((now - fadeStart_) * kFadePerMs);
    if (level_ <= 0) level_ = 0;
    ApplyLevel();
    if (level_ <= 0) {
      fadingOut_ = false;
      fadingIn_ = true;
      fadeStart_ = now;
      if (previous_ && cameras_[*previous_].toTime != 0) cameras_[*previous_].camera->SetAnimationSpeed(kParkedSpeed);
      CameraEntry& entry = cameras_[*current_];
      if (entry.toTime != 0) {
        if (cameras_.size() == 1) entry.camera->StartAnimation(entry.fromTime, entry.toTime, 0, entry.speed, -1);
        entry.camera->SetAnimationSpeed(entry.speed);
      }
      scene_.SetCurrentCamera(entry.camera);
    }
  }
}

void ShowDirector::ApplyLevel() {
  if (!gamma_) return;
  gamma_->SetGamma(level_, level_ <= 1.0f ? GammaCurve::Brightness : GammaCurve::Power);
}

}  // namespace brisane
