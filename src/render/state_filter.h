// A device in front of another that passes on only the render and stage
// states that change something. The scene's materials set their whole stage
// chain before every mesh, and most of those calls repeat what is already in
// force; on a real driver each costs a call through the runtime. States it
// has not seen set are asked of the device behind it, and then remembered:
// everything that sets states on the device must go through the filter, for
// as long as the filter lives.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/device.h"

namespace brisane {

class StateFilter final : public Device {
 public:
  explicit StateFilter(Device& inner) : inner_(inner) {}

  // Sets that repeated the state in force and went no further.
  std::uint64_t repeatsStopped() const { return repeatsStopped_; }

  HResult SetRenderState(RenderState state, std::uint32_t value) override;
  HResult GetRenderState(RenderState state, std::uint32_t& value) override;
  HResult SetTextureStageState(std::uint32_t stage, TextureStageState state, std::uint32_t value) override;
  HResult GetTextureStageState(std::uint32_t stage, TextureStageState state, std::uint32_t& value) override;

  // The rest passes straight through.
  HResult SetTransform(TransformState state, const DeviceMatrix& matrix) override {
    return inner_.SetTransform(state, matrix);
  }
  HResult GetTransform(TransformState state, DeviceMatrix& matrix) override {
    return inner_.GetTransform(state, matrix);
  }
  // Not filtered: a texture freed and another made at the same address
  // would look bound when it is not.
  HResult SetTexture(std::uint32_t stage, Surface* texture) override { return inner_.SetTexture(stage, texture); }
  HResult SetMaterial(const DeviceMaterial& material) override { return inner_.SetMaterial(material); }
  HResult GetMaterial(DeviceMaterial& material) override { return inner_.GetMaterial(material); }
  HResult SetLight(std::uint32_t index, const DeviceLight& light) override { return inner_.SetLight(index, light); }
  HResult LightEnable(std::uint32_t index, bool enable) override { return inner_.LightEnable(index, enable); }
  HResult GetLightEnable(std::uint32_t index, bool& enabled) override { return inner_.GetLightEnable(index, enabled); }
  HResult SetViewport(const DeviceViewport& viewport) override { return inner_.SetViewport(viewport); }
  HResult GetViewport(DeviceViewport& viewport) override { return inner_.GetViewport(viewport); }
  HResult SetRenderTarget(Surface* target) override { return inner_.SetRenderTarget(target); }
  HResult Clear(std::uint32_t flags, std::uint32_t argb, float z, std::uint32_t stencil) override {
    return inner_.Clear(flags, argb, z, stencil);
  }
  HResult BeginScene() override { return inner_.BeginScene(); }
  HResult EndScene() override { return inner_.EndScene(); }
  HResult DrawPrimitive(PrimitiveType type, std::uint32_t fvf, const void* vertices,
                        std::uint32_t vertexCount) override {
    return inner_.DrawPrimitive(type, fvf, vertices, vertexCount);
  }
  HResult DrawIndexedPrimitive(PrimitiveType type, std::uint32_t fvf, const void* vertices, std::uint32_t vertexCount,
                               const std::uint16_t* indices, std::uint32_t indexCount) override {
    return inner_.DrawIndexedPrimitive(type, fvf, vertices, vertexCount, indices, indexCount);
  }
  std::unique_ptr<VertexBuffer> CreateVertexBuffer(std::uint32_t fvf, std::uint32_t count,
                                                   std::uint32_t caps) override {
    return inner_.CreateVertexBuffer(fvf, count, caps);
  }
  HResult DrawPrimitiveVB(PrimitiveType type, VertexBuffer& buffer, std::uint32_t start,
                          std::uint32_t count) override {
    return inner_.DrawPrimitiveVB(type, buffer, start, count);
  }
  HResult DrawIndexedPrimitiveVB(PrimitiveType type, VertexBuffer& buffer, std::uint32_t start, std::uint32_t count,
                                 const std::uint16_t* indices, std::uint32_t indexCount) override {
    return inner_.DrawIndexedPrimitiveVB(type, buffer, start, count, indices, indexCount);
  }
  HResult ReadBackBuffer(const PixelRect& rect, std::vector<std::uint32_t>& argb) override {
    return inner_.ReadBackBuffer(rect, argb);
  }

 private:
  // What is known of one state: its value once set or read.
  struct Slot {
    std::uint32_t value = 0;
    bool known = false;
  };
  // Direct3D 7 numbers its render states below 256 and stage states below
  // 32 on eight stages; anything beyond passes unfiltered.
  static constexpr std::size_t kRenderStates = 256, kStages = 8, kStageStates = 32;

  Slot* RenderSlot(RenderState state);
  Slot* StageSlot(std::uint32_t stage, TextureStageState state);

  template <typename Forward>
  HResult Set(Slot* slot, std::uint32_t value, Forward forward);

  Device& inner_;
  std::uint64_t repeatsStopped_ = 0;
  std::array<Slot, kRenderStates> render_{};
  std::array<std::array<Slot, kStageStates>, kStages> stages_{};
};

}  // namespace brisane
