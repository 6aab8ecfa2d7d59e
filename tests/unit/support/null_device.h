// A device that draws nothing and costs next to nothing: it keeps the state a
// caller may read back and counts draws, so what a frame costs is the show's
// own work.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <vector>

#include "platform/audio.h"
#include "platform/device.h"

namespace brisane::testing {

class NullVertexBuffer final : public VertexBuffer {
 public:
  NullVertexBuffer(std::uint32_t fvf, std::uint32_t count)
      : fvf_(fvf), count_(count), bytes_(static_cast<std::size_t>(VertexSize(fvf)) * count) {}
  std::uint32_t Fvf() const override { return fvf_; }
  std::uint32_t Count() const override { return count_; }
  void* Lock(std::uint32_t) override { return bytes_.data(); }
  void Unlock() override {}

 private:
  std::uint32_t fvf_, count_;
  std::vector<unsigned char> bytes_;
};

// Stores `from` in `to` and succeeds: the body of every setter and getter here.
template <typename T>
HResult Keep(T& to, const T& from) {
  to = from;
  return kOk;
}

class NullDevice final : public Device {
 public:
  std::uint64_t draws = 0, primitives = 0;
  // Render and stage state calls, and those that set the value already set.
  std::uint64_t stateCalls = 0, repeatedStateCalls = 0;

  HResult SetTransform(TransformState s, const DeviceMatrix& m) override { return Keep(transforms_[s], m); }
  HResult GetTransform(TransformState s, DeviceMatrix& m) override { return Keep(m, transforms_[s]); }
  HResult SetRenderState(RenderState state, std::uint32_t value) override {
    return Count(RenderSlot(state), value);
  }
  HResult GetRenderState(RenderState state, std::uint32_t& value) override { return Read(RenderSlot(state), value); }
  HResult SetTextureStageState(std::uint32_t stage, TextureStageState state, std::uint32_t value) override {
    return Count(StageSlot(stage, state), value);
  }
  HResult GetTextureStageState(std::uint32_t stage, TextureStageState state, std::uint32_t& value) override {
    return Read(StageSlot(stage, state), value);
  }
  HResult SetTexture(std::uint32_t, Surface*) override { return kOk; }
  HResult SetMaterial(const DeviceMaterial& m) override { return Keep(material_, m); }
  HResult GetMaterial(DeviceMaterial& m) override { return Keep(m, material_); }
  HResult SetLight(std::uint32_t, const DeviceLight&) override { return kOk; }
  HResult LightEnable(std::uint32_t index, bool enable) override { return Keep(lights_[index], enable); }
  HResult GetLightEnable(std::uint32_t index, bool& enabled) override { return Keep(enabled, lights_[index]); }
  HResult SetViewport(const DeviceViewport& v) override { return Keep(viewport_, v); }
  HResult GetViewport(DeviceViewport& v) override { return Keep(v, viewport_); }
  HResult SetRenderTarget(Surface*) override { return kOk; }
  HResult Clear(std::uint32_t, std::uint32_t, float, std::uint32_t) override { return kOk; }
  HResult BeginScene() override { return kOk; }
  HResult EndScene() override { return kOk; }
  HResult DrawPrimitive(PrimitiveType, std::uint32_t, const void*, std::uint32_t n) override { return Drew(n); }
  HResult DrawIndexedPrimitive(PrimitiveType, std::uint32_t, const void*, std::uint32_t, const std::uint16_t*,
                               std::uint32_t n) override {
    return Drew(n);
  }
  std::unique_ptr<VertexBuffer> CreateVertexBuffer(std::uint32_t fvf, std::uint32_t count, std::uint32_t) override {
    return std::make_unique<NullVertexBuffer>(fvf, count);
  }
  HResult DrawPrimitiveVB(PrimitiveType, VertexBuffer&, std::uint32_t, std::uint32_t n) override { return Drew(n); }
  HResult DrawIndexedPrimitiveVB(PrimitiveType, VertexBuffer&, std::uint32_t, std::uint32_t, const std::uint16_t*,
                                 std::uint32_t n) override {
    return Drew(n);
  }
  HResult ReadBackBuffer(const PixelRect& rect, std::vector<std::uint32_t>& argb) override {
    const auto w = static_cast<std::size_t>(std::max(0, rect.right - rect.left));
    const auto h = static_cast<std::size_t>(std::max(0, rect.bottom - rect.top));
    argb.assign(w * h, 0xff000000u);
    return kOk;
  }

 private:
  HResult Drew(std::uint32_t vertices) {
    ++draws;
    primitives += vertices / 3;
    return kOk;
  }
  // States beyond the tables are neither kept nor counted.
  HResult Count(std::uint32_t* slot, std::uint32_t value) {
    if (!slot) return kOk;
    ++stateCalls;
    if (*slot == value) ++repeatedStateCalls;
    *slot = value;
    return kOk;
  }
  static HResult Read(const std::uint32_t* slot, std::uint32_t& value) { return Keep(value, slot ? *slot : 0u); }
  // Flat tables, so the device's own bookkeeping does not show up in the
  // show's figures.
  std::uint32_t* RenderSlot(RenderState state) {
    const auto i = static_cast<std::size_t>(state);
    return i < renderStates_.size() ? &renderStates_[i] : nullptr;
  }
  std::uint32_t* StageSlot(std::uint32_t stage, TextureStageState state) {
    const auto i = static_cast<std::size_t>(state);
    return stage < stageStates_.size() && i < stageStates_[stage].size() ? &stageStates_[stage][i] : nullptr;
  }

  std::map<TransformState, DeviceMatrix> transforms_;
  std::array<std::uint32_t, 256> renderStates_{};
  std::array<std::array<std::uint32_t, 32>, 8> stageStates_{};
  std::map<std::uint32_t, bool> lights_;
  DeviceMaterial material_;
  DeviceViewport viewport_{0, 0, 1024, 768, 0.0f, 1.0f};
};

// Sound that goes nowhere, so the listener pass and the shots run as they do
// with a device.
class NullSoundBuffer final : public SoundBuffer {
 public:
  HResult Fill(std::span<const std::uint8_t>) override { return kOk; }
  HResult Play(bool) override { return Keep(playing_, true); }
  HResult Stop() override { return Keep(playing_, false); }
  HResult IsPlaying(bool& playing) override { return Keep(playing, playing_); }
  HResult SetPlayPosition(std::uint32_t) override { return kOk; }
  HResult SetVolume(std::int32_t) override { return kOk; }
  HResult IsLost(bool& lost) override { return Keep(lost, false); }
  HResult Restore() override { return kOk; }
  HResult GetParameters(SoundParameters& p) override { return Keep(p, parameters_); }
  HResult SetParameters(const SoundParameters& p, bool) override { return Keep(parameters_, p); }
  HResult SetConeAngles(std::uint32_t, std::uint32_t) override { return kOk; }

 private:
  bool playing_ = false;
  SoundParameters parameters_;
};

class NullAudio final : public AudioDevice {
 public:
  std::unique_ptr<SoundBuffer> CreateBuffer(const WaveFormat&, std::uint32_t, HResult& result) override {
    result = kOk;
    return std::make_unique<NullSoundBuffer>();
  }
  HResult GetListener(ListenerParameters& p) override { return Keep(p, listener_); }
  HResult SetListener(const ListenerParameters& p) override { return Keep(listener_, p); }
  HResult SetDistanceFactor(float factor) override { return Keep(listener_.distanceFactor, factor); }
  void Sleep(std::uint32_t) override {}

 private:
  ListenerParameters listener_;
};

}  // namespace brisane::testing
