// A device that draws nothing and costs next to nothing: it keeps the state a
// caller may read back (transforms, render and stage states, viewport,
// material, lights) and counts draws, so what a frame costs is the show's
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

class NullDevice final : public Device {
 public:
  std::uint64_t draws = 0, primitives = 0;
  // Render and stage state calls, and those that set the value already set.
  std::uint64_t stateCalls = 0, repeatedStateCalls = 0;

  HResult SetTransform(TransformState state, const DeviceMatrix& matrix) override {
    transforms_[state] = matrix;
    return kOk;
  }
  HResult GetTransform(TransformState state, DeviceMatrix& matrix) override {
    matrix = transforms_[state];
    return kOk;
  }
  HResult SetRenderState(RenderState state, std::uint32_t value) override {
    if (auto* slot = RenderSlot(state)) Count(*slot, value);
    return kOk;
  }
  HResult GetRenderState(RenderState state, std::uint32_t& value) override {
    const auto* slot = RenderSlot(state);
    value = slot ? *slot : 0;
    return kOk;
  }
  HResult SetTextureStageState(std::uint32_t stage, TextureStageState state, std::uint32_t value) override {
    if (auto* slot = StageSlot(stage, state)) Count(*slot, value);
    return kOk;
  }
  HResult GetTextureStageState(std::uint32_t stage, TextureStageState state, std::uint32_t& value) override {
    const auto* slot = StageSlot(stage, state);
    value = slot ? *slot : 0;
    return kOk;
  }
  HResult SetTexture(std::uint32_t, Surface*) override { return kOk; }
  HResult SetMaterial(const DeviceMaterial& material) override {
    material_ = material;
    return kOk;
  }
  HResult GetMaterial(DeviceMaterial& material) override {
    material = material_;
    return kOk;
  }
  HResult SetLight(std::uint32_t, const DeviceLight&) override { return kOk; }
  HResult LightEnable(std::uint32_t index, bool enable) override {
    lights_[index] = enable;
    return kOk;
  }
  HResult GetLightEnable(std::uint32_t index, bool& enabled) override {
    enabled = lights_[index];
    return kOk;
  }
  HResult SetViewport(const DeviceViewport& viewport) override {
    viewport_ = viewport;
    return kOk;
  }
  HResult GetViewport(DeviceViewport& viewport) override {
    viewport = viewport_;
    return kOk;
  }
  HResult SetRenderTarget(Surface*) override { return kOk; }
  HResult Clear(std::uint32_t, std::uint32_t, float, std::uint32_t) override { return kOk; }
  HResult BeginScene() override { return kOk; }
  HResult EndScene() override { return kOk; }
  HResult DrawPrimitive(PrimitiveType, std::uint32_t, const void*, std::uint32_t vertexCount) override {
    ++draws;
    primitives += vertexCount / 3;
    return kOk;
  }
  HResult DrawIndexedPrimitive(PrimitiveType, std::uint32_t, const void*, std::uint32_t, const std::uint16_t*,
                               std::uint32_t indexCount) override {
    ++draws;
    primitives += indexCount / 3;
    return kOk;
  }
  std::unique_ptr<VertexBuffer> CreateVertexBuffer(std::uint32_t fvf, std::uint32_t count, std::uint32_t) override {
    return std::make_unique<NullVertexBuffer>(fvf, count);
  }
  HResult DrawPrimitiveVB(PrimitiveType, VertexBuffer&, std::uint32_t, std::uint32_t vertexCount) override {
    ++draws;
    primitives += vertexCount / 3;
    return kOk;
  }
  HResult DrawIndexedPrimitiveVB(PrimitiveType, VertexBuffer&, std::uint32_t, std::uint32_t, const std::uint16_t*,
                                 std::uint32_t indexCount) override {
    ++draws;
    primitives += indexCount / 3;
    return kOk;
  }
  HResult ReadBackBuffer(const PixelRect& rect, std::vector<std::uint32_t>& argb) override {
    const auto w = static_cast<std::size_t>(std::max(0, rect.right - rect.left));
    const auto h = static_cast<std::size_t>(std::max(0, rect.bottom - rect.top));
    argb.assign(w * h, 0xff000000u);
    return kOk;
  }

 private:
  void Count(std::uint32_t& slot, std::uint32_t value) {
    ++stateCalls;
    if (slot == value) ++repeatedStateCalls;
    slot = value;
  }
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
  HResult Play(bool) override {
    playing_ = true;
    return kOk;
  }
  HResult Stop() override {
    playing_ = false;
    return kOk;
  }
  HResult IsPlaying(bool& playing) override {
    playing = playing_;
    return kOk;
  }
  HResult SetPlayPosition(std::uint32_t) override { return kOk; }
  HResult SetVolume(std::int32_t) override { return kOk; }
  HResult IsLost(bool& lost) override {
    lost = false;
    return kOk;
  }
  HResult Restore() override { return kOk; }
  HResult GetParameters(SoundParameters& parameters) override {
    parameters = parameters_;
    return kOk;
  }
  HResult SetParameters(const SoundParameters& parameters, bool) override {
    parameters_ = parameters;
    return kOk;
  }
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
  HResult GetListener(ListenerParameters& parameters) override {
    parameters = listener_;
    return kOk;
  }
  HResult SetListener(const ListenerParameters& parameters) override {
    listener_ = parameters;
    return kOk;
  }
  HResult SetDistanceFactor(float factor) override {
    listener_.distanceFactor = factor;
    return kOk;
  }
  void Sleep(std::uint32_t) override {}

 private:
  ListenerParameters listener_;
};

}  // namespace brisane::testing
