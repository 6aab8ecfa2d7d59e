#include "render/state_filter.h"

namespace brisane {

namespace {

template <typename Forward>
HResult Get(auto* slot, std::uint32_t& value, Forward forward) {
  if (slot && slot->known) {
    value = slot->value;
    return kOk;
  }
  const HResult result = forward();
  if (slot && !Failed(result)) *slot = {value, true};
  return result;
}

}  // namespace

// Passes a set on unless the slot already holds the value; a set that fails
// leaves the device's state unknown.
template <typename Forward>
HResult StateFilter::Set(Slot* slot, std::uint32_t value, Forward forward) {
  if (slot && slot->known && slot->value == value) {
    ++repeatsStopped_;
    return kOk;
  }
  const HResult result = forward();
  if (slot) *slot = {value, !Failed(result)};
  return result;
}

StateFilter::Slot* StateFilter::RenderSlot(RenderState state) {
  const auto i = static_cast<std::size_t>(state);
  return i < kRenderStates ? &render_[i] : nullptr;
}

StateFilter::Slot* StateFilter::StageSlot(std::uint32_t stage, TextureStageState state) {
  const auto i = static_cast<std::size_t>(state);
  return stage < kStages && i < kStageStates ? &stages_[stage][i] : nullptr;
}

HResult StateFilter::SetRenderState(RenderState state, std::uint32_t value) {
  return Set(RenderSlot(state), value, [&] { return inner_.SetRenderState(state, value); });
}

HResult StateFilter::GetRenderState(RenderState state, std::uint32_t& value) {
  return Get(RenderSlot(state), value, [&] { return inner_.GetRenderState(state, value); });
}

HResult StateFilter::SetTextureStageState(std::uint32_t stage, TextureStageState state, std::uint32_t value) {
  return Set(StageSlot(stage, state), value, [&] { return inner_.SetTextureStageState(stage, state, value); });
}

HResult StateFilter::GetTextureStageState(std::uint32_t stage, TextureStageState state, std::uint32_t& value) {
  return Get(StageSlot(stage, state), value, [&] { return inner_.GetTextureStageState(stage, state, value); });
}

}  // namespace brisane
