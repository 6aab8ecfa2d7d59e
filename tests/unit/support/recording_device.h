// A Device that draws nothing: it keeps the state a real device would keep and
// logs every call, so tests can check both what the renderer leaves behind and
// the order in which it got there.
#pragma once

#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/device.h"

namespace brisane::testing {

// A texture or render target known by a name in the log.
class RecordingSurface : public Surface {
 public:
  explicit RecordingSurface(std::string name) : name_(std::move(name)) {}
  const std::string& Name() const { return name_; }

 private:
  std::string name_;
};

class RecordingVertexBuffer : public VertexBuffer {
 public:
  RecordingVertexBuffer(std::uint32_t fvf, std::uint32_t count)
      : fvf_(fvf), count_(count), bytes_(static_cast<std::size_t>(VertexSize(fvf)) * count) {}
  std::uint32_t Fvf() const override { return fvf_; }
  std::uint32_t Count() const override { return count_; }
  void* Lock(std::uint32_t) override {
    if (locked_) return nullptr;  // a second lock fails, as it does on a device
    locked_ = true;
    return bytes_.data();
  }
  void Unlock() override { locked_ = false; }
  bool Locked() const { return locked_; }
  const std::vector<unsigned char>& Bytes() const { return bytes_; }

 private:
  std::uint32_t fvf_, count_;
  std::vector<unsigned char> bytes_;
  bool locked_ = false;
};

class RecordingDevice : public Device {
 public:
  struct Draw {
    PrimitiveType type;
    std::uint32_t fvf;
    std::uint32_t vertexCount;
    std::vector<std::uint16_t> indices;
    DeviceMatrix world, view;
    std::string target;                                  // "" for the back buffer
    std::map<RenderState, std::uint32_t> renderStates;  // in force at the draw
    std::vector<std::string> textures;                   // per stage, "" for none
    std::vector<std::uint8_t> vertices;                  // the bytes of client-memory vertices
  };

  // Every call as text, e.g. "SetRenderState(27, 1)", "SetTexture(0, water)".
  std::vector<std::string> log;
  std::vector<Draw> draws;
  std::map<RenderState, std::uint32_t> renderStates;
  std::map<std::pair<std::uint32_t, TextureStageState>, std::uint32_t> stageStates;
  std::map<TransformState, DeviceMatrix> transforms;
  std::map<std::uint32_t, DeviceLight> lights;
  std::map<std::uint32_t, bool> lightsEnabled;
  std::vector<Surface*> textures = std::vector<Surface*>(8, nullptr);
  DeviceMaterial material;
  DeviceViewport viewport{0, 0, 640, 480, 0.0f, 1.0f};
  Surface* renderTarget = nullptr;
  bool inScene = false;
  // A call whose name is here fails with that result (it is still logged).
  std::map<std::string, HResult> failing;

  // Stage state in force, or the value a fresh device starts with.
  std::uint32_t StageState(std::uint32_t stage, TextureStageState state) const {
    auto it = stageStates.find({stage, state});
    if (it != stageStates.end()) return it->second;
    return DefaultTextureStageState(stage, state);
  }
  std::uint32_t State(RenderState state) const {
    auto it = renderStates.find(state);
    return it == renderStates.end() ? 0 : it->second;
  }
  static std::string SurfaceName(const Surface* surface) {
    auto* named = dynamic_cast<const RecordingSurface*>(surface);
    return surface ? (named ? named->Name() : "?") : "";
  }
  // Calls whose text starts with the prefix.
  std::vector<std::string> Calls(const std::string& prefix) const {
    std::vector<std::string> out;
    for (const std::string& entry : log)
      if (entry.compare(0, prefix.size(), prefix) == 0) out.push_back(entry);
    return out;
  }

  HResult SetTransform(TransformState state, const DeviceMatrix& matrix) override {
    return transforms[state] = matrix, Record("SetTransform(" + Num(state) + ")");
  }
  HResult GetTransform(TransformState state, DeviceMatrix& matrix) override {
    return matrix = Transform(state), Record("GetTransform(" + Num(state) + ")");
  }
  HResult SetRenderState(RenderState state, std::uint32_t value) override {
    return renderStates[state] = value, Record("SetRenderState(" + Num(state) + ", " + std::to_string(value) + ")");
  }
  HResult GetRenderState(RenderState state, std::uint32_t& value) override {
    return value = State(state), Record("GetRenderState(" + Num(state) + ")");
  }
  HResult SetTextureStageState(std::uint32_t stage, TextureStageState state, std::uint32_t value) override {
    if (stage >= 8) return Record("SetTextureStageState(bad stage)", true);
    stageStates[{stage, state}] = value;
    return Record("SetTextureStageState(" + std::to_string(stage) + ", " + Num(state) + ", " + std::to_string(value) + ")");
  }
  HResult GetTextureStageState(std::uint32_t stage, TextureStageState state, std::uint32_t& value) override {
    if (stage >= 8) return Record("GetTextureStageState(bad stage)", true);
    return value = StageState(stage, state), Record("GetTextureStageState(" + std::to_string(stage) + ", " + Num(state) + ")");
  }
  HResult SetTexture(std::uint32_t stage, Surface* texture) override {
    if (stage >= 8) return Record("SetTexture(bad stage)", true);
    return textures[stage] = texture, Record("SetTexture(" + std::to_string(stage) + ", " + SurfaceName(texture) + ")");
  }
  HResult SetMaterial(const DeviceMaterial& m) override { return material = m, Record("SetMaterial"); }
  HResult GetMaterial(DeviceMaterial& m) override { return m = material, Record("GetMaterial"); }
  HResult SetLight(std::uint32_t index, const DeviceLight& light) override {
    return lights[index] = light, Record("SetLight(" + std::to_string(index) + ")");
  }
  HResult LightEnable(std::uint32_t index, bool enable) override {
    return lightsEnabled[index] = enable, Record("LightEnable(" + std::to_string(index) + ", " + (enable ? "1" : "0") + ")");
  }
  HResult GetLightEnable(std::uint32_t index, bool& enabled) override {
    const auto it = lightsEnabled.find(index);
    return enabled = it != lightsEnabled.end() && it->second, Record("GetLightEnable(" + std::to_string(index) + ")");
  }
  HResult SetViewport(const DeviceViewport& v) override { return viewport = v, Record("SetViewport"); }
  HResult GetViewport(DeviceViewport& v) override { return v = viewport, Record("GetViewport"); }
  HResult SetRenderTarget(Surface* target) override {
    renderTarget = target;
    return Record("SetRenderTarget(" + (target ? SurfaceName(target) : std::string("backbuffer")) + ")");
  }
  HResult Clear(std::uint32_t flags, std::uint32_t argb, float z, std::uint32_t stencil) override {
    char text[96];
    std::snprintf(text, sizeof text, "Clear(%u, %08X, %g, %u)", flags, argb, static_cast<double>(z), stencil);
    return Record(text);
  }
  HResult BeginScene() override {
    const HResult result = Record("BeginScene", inScene);
    if (!Failed(result)) inScene = true;  // a refused BeginScene opens nothing
    return result;
  }
  HResult EndScene() override {
    const bool outside = !inScene;
    return inScene = false, Record("EndScene", outside);
  }
  HResult DrawPrimitive(PrimitiveType type, std::uint32_t fvf, const void* vertices, std::uint32_t count) override {
    if (!vertices) return Record("DrawPrimitive(null)", true);
    return RecordDraw("DrawPrimitive", type, fvf, count, nullptr, 0, vertices);
  }
  HResult DrawIndexedPrimitive(PrimitiveType type, std::uint32_t fvf, const void* vertices, std::uint32_t count,
                               const std::uint16_t* indices, std::uint32_t indexCount) override {
    if (!vertices || !indices) return Record("DrawIndexedPrimitive(null)", true);
    for (std::uint32_t i = 0; i < indexCount; ++i)
      if (indices[i] >= count) return Record("DrawIndexedPrimitive(index out of range)", true);
    return RecordDraw("DrawIndexedPrimitive", type, fvf, count, indices, indexCount, vertices);
  }
  std::unique_ptr<VertexBuffer> CreateVertexBuffer(std::uint32_t fvf, std::uint32_t count,
                                                   std::uint32_t caps) override {
    if (Failed(Record("CreateVertexBuffer(" + std::to_string(fvf) + ", " + std::to_string(count) + ", " +
                      std::to_string(caps) + ")")))
      return nullptr;
    return std::make_unique<RecordingVertexBuffer>(fvf, count);
  }
  HResult DrawPrimitiveVB(PrimitiveType type, VertexBuffer& buffer, std::uint32_t start,
                          std::uint32_t count) override {
    if (!VertexRangeOk(buffer, start, count)) return Record("DrawPrimitiveVB(bad range)", true);
    return RecordDraw("DrawPrimitiveVB", type, buffer.Fvf(), count, nullptr, 0);
  }
  HResult DrawIndexedPrimitiveVB(PrimitiveType type, VertexBuffer& buffer, std::uint32_t start, std::uint32_t count,
                                 const std::uint16_t* indices, std::uint32_t indexCount) override {
    if (!VertexRangeOk(buffer, start, count) || !indices) return Record("DrawIndexedPrimitiveVB(bad range)", true);
    for (std::uint32_t i = 0; i < indexCount; ++i)
      if (indices[i] >= count) return Record("DrawIndexedPrimitiveVB(index out of range)", true);
    return RecordDraw("DrawIndexedPrimitiveVB", type, buffer.Fvf(), count, indices, indexCount);
  }
  // Nothing is drawn, so there is nothing to read back unless a test says
  // what the back buffer holds (x, y -> 0xAARRGGBB).
  std::function<std::uint32_t(std::int32_t, std::int32_t)> backBuffer;
  HResult ReadBackBuffer(const PixelRect& rect, std::vector<std::uint32_t>& argb) override {
    argb.clear();
    if (!backBuffer) return Record("ReadBackBuffer", true);
    for (std::int32_t y = rect.top; y < rect.bottom; ++y)
      for (std::int32_t x = rect.left; x < rect.right; ++x) argb.push_back(backBuffer(x, y));
    return Record("ReadBackBuffer(" + std::to_string(rect.left) + ", " + std::to_string(rect.top) + ")");
  }

 private:
  template <typename E>
  static std::string Num(E e) { return std::to_string(static_cast<std::uint32_t>(e)); }
  DeviceMatrix Transform(TransformState state) const {
    auto it = transforms.find(state);
    return it == transforms.end() ? DeviceMatrix::Identity() : it->second;
  }
  static bool VertexRangeOk(const VertexBuffer& buffer, std::uint32_t start, std::uint32_t count) {
    return start <= buffer.Count() && count <= buffer.Count() - start;
  }
  HResult Record(std::string entry, bool misuse = false) {
    const std::string name = entry.substr(0, entry.find('('));
    log.push_back(std::move(entry));
    if (misuse) return kEFail;
    auto it = failing.find(name);
    return it == failing.end() ? kOk : it->second;
  }
  // Client-memory vertices are kept with the draw.
  HResult RecordDraw(const char* name, PrimitiveType type, std::uint32_t fvf, std::uint32_t count,
                     const std::uint16_t* indices, std::uint32_t indexCount, const void* vertices = nullptr) {
    if (!inScene) return Record(std::string(name) + "(outside scene)", true);
    Draw draw{type, fvf, count, {}, Transform(TransformState::World), Transform(TransformState::View),
              SurfaceName(renderTarget), renderStates, {}, {}};
    if (indices) draw.indices.assign(indices, indices + indexCount);
    if (const auto* bytes = static_cast<const std::uint8_t*>(vertices))
      draw.vertices.assign(bytes, bytes + static_cast<std::size_t>(VertexSize(fvf)) * count);
    for (Surface* t : textures) draw.textures.push_back(SurfaceName(t));
    draws.push_back(std::move(draw));
    return Record(std::string(name) + "(" + Num(type) + ", " + std::to_string(count) + ", " +
                  std::to_string(indexCount) + ")");
  }
};

}  // namespace brisane::testing
