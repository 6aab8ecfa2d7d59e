// The shape of one frame. A frame advances the show by the clock, clears,
// draws its passes inside one scene, and presents. Each feature of the show
// is an object that adds itself as a pass at its step; the steps are
// numbered in the order the frame runs them, and the numbers leave the
// clear (5) and BeginScene (6) between advancing and drawing.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/device.h"
#include "platform/random.h"
#include "render/device_frame.h"
#include "settings/node.h"

namespace brisane {

enum class FrameStep : int {
  // Before the clear: the show moves on.
  LightCycle = 1,
  Director = 2,
  // The ship samples the sea at the phase the water's update in the draw
  // band set last frame: the frame's order puts the motion before the
  // clear, so the ship rides one frame behind the waves it is drawn on.
  ShipMotion = 3,
  UpdateGuns = 4,
  // Between BeginScene and EndScene.
  Water = 7,
  Scene = 8,
  Glows = 9,
  SunFlare = 10,
  GunEffects = 11,
  FiringSchedule = 12,
  FrameRateText = 13,
  Listener = 14,
};
inline constexpr FrameStep kFirstDrawStep = FrameStep::Water;

// What every pass of one frame may use. now is read once per frame, so all
// passes of a frame see the same time.
struct FrameContext {
  Device& device;
  std::uint32_t now;
  Node& settings;
  RandomSource& random;
};

class FramePass {
 public:
  virtual ~FramePass() = default;
  virtual std::string_view Name() const = 0;
  virtual void Run(FrameContext& frame) = 0;
};

// The passes of a frame in step order; passes of one step run in the order
// they were added. Passes are borrowed: their owners outlive the list.
class FramePasses {
 public:
  struct Entry {
    FrameStep step;
    FramePass* pass;
  };

  void Add(FrameStep step, FramePass& pass);
  // Takes the pass out again (a feature torn down before the show).
  void Remove(const FramePass& pass);
  const std::vector<Entry>& entries() const { return entries_; }

  // One frame: the advance passes, then the frame bracket (clear colour 0,
  // depth 1, stencil 0) around the draw passes, then present.
  FrameStatus RunFrame(FrameContext& frame, const std::function<HResult()>& present);

 private:
  std::vector<Entry> entries_;
};

// One feature the show owns and runs: a pass at its step, or several when the
// feature adds them itself (AddPasses / RemovePasses). A new one takes the
// old one out of the frame and destroys it first; the slot takes its pass
// out when it goes, so the passes must outlive it.
template <class Feature>
class PassSlot {
  // Declared first: the constructor's requires-clause names it.
  static constexpr bool kSeveral = requires(Feature& f, FramePasses& p) { f.AddPasses(p); };

 public:
  PassSlot(FramePasses& passes, FrameStep step) : passes_(passes), step_(step) {}
  explicit PassSlot(FramePasses& passes)
    requires kSeveral
      : passes_(passes) {}
  ~PassSlot() { Reset(); }
  PassSlot(const PassSlot&) = delete;
  PassSlot& operator=(const PassSlot&) = delete;

  // The feature made (or given; null leaves the slot empty) and added.
  Feature* Set(std::unique_ptr<Feature> feature) {
    Reset();
    feature_ = std::move(feature);
    if (!feature_) return nullptr;
    if constexpr (kSeveral) {
      feature_->AddPasses(passes_);
    } else {
      passes_.Add(step_, *feature_);
    }
    return feature_.get();
  }
  template <class... Args>
  Feature& Make(Args&&... args) {
    Reset();
    return *Set(std::make_unique<Feature>(std::forward<Args>(args)...));
  }
  void Reset() {
    if (!feature_) return;
    if constexpr (kSeveral) {
      feature_->RemovePasses(passes_);
    } else {
      passes_.Remove(*feature_);
    }
    feature_.reset();
  }

  Feature* get() const { return feature_.get(); }
  Feature* operator->() const { return feature_.get(); }
  explicit operator bool() const { return feature_ != nullptr; }

 private:
  FramePasses& passes_;
  FrameStep step_ = FrameStep::Scene;  // unused by a feature of several passes
  std::unique_ptr<Feature> feature_;
};

}  // namespace brisane
