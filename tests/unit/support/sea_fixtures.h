// A small sea: a grid of sea with foam over it, a ship with its three water
// points, deck parts the reflection leaves out (one with a part below it), a
// hull it keeps, and a camera above looking down at the ship.
#pragma once

#include <cmath>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/textures.h"
#include "recording_device.h"
#include "scene/archive_writer.h"
#include "scene_fixtures.h"
#include "show/ship_contract.h"

namespace brisane::testing {

// Vertices of a flat grid in z = 0 with normals up, every vertex's texture
// pairs set to (9, 9) so a rewrite shows.
inline ArchiveMesh GridMesh(const std::string& material, float x0, float x1, float y0, float y1, float step) {
  ArchiveMesh mesh{.fvf = kFvfTwoTextures, .vertices = {}, .indices = {}, .material = material};
  const int columns = static_cast<int>(std::lround((x1 - x0) / step)) + 1,
            rows = static_cast<int>(std::lround((y1 - y0) / step)) + 1;
  for (int r = 0; r < rows; ++r)
    for (int c = 0; c < columns; ++c) {
      const float v[10] = {
          x0 + step * static_cast<float>(c), y0 + step * static_cast<float>(r), 0, 0, 0, 1, 9, 9, 9, 9};
      const auto* bytes = reinterpret_cast<const std::uint8_t*>(v);
      mesh.vertices.insert(mesh.vertices.end(), bytes, bytes + sizeof v);
    }
  for (int r = 0; r + 1 < rows; ++r)
    for (int c = 0; c + 1 < columns; ++c) {
      const auto at = [&](int rr, int cc) { return static_cast<std::uint16_t>(rr * columns + cc); };
      mesh.indices.insert(mesh.indices.end(),
                          {at(r, c), at(r + 1, c), at(r, c + 1), at(r, c + 1), at(r + 1, c), at(r + 1, c + 1)});
    }
  return mesh;
}

// A camera's world matrix at eye looking at target, z up: local -z forward, local y up.
inline Matrix LookingAt(Vector3 eye, Vector3 target) {
  const Vector3 f = Normalize(target - eye), right = Normalize(Cross(f, {0, 0, 1})), up = Cross(right, f);
  Matrix m = Matrix::Identity();
  const Vector3 rows[4] = {right, up, -f, eye};
  for (std::size_t r = 0; r < 4; ++r) m(r, 0) = rows[r].x, m(r, 1) = rows[r].y, m(r, 2) = rows[r].z;
  return m;
}

// Perspective in view units (a hundredth of a scene unit), 60 degrees across.
inline Matrix Perspective() {
  const float nearZ = 0.1f, farZ = 120.0f, scale = 1.0f / std::tan(0.5236f);
  Matrix p;
  p(0, 0) = scale, p(1, 1) = scale * 4.0f / 3.0f, p(2, 2) = farZ / (farZ - nearZ);
  p(2, 3) = 1.0f, p(3, 2) = -nearZ * farZ / (farZ - nearZ);
  return p;
}

// Bow, port and starboard quarters.
inline constexpr Vector3 kSeaPoints[3] = {{-225, 0, 0}, {175, -52, 0}, {175, 52, 0}};

inline SceneArchiveWriter SeaWriter(Matrix waterLocal = Matrix::Identity(), Matrix shipLocal = Matrix::Identity()) {
  SceneArchiveWriter w;
  w.AddMaterial(std::string(contract::kWaterMaterials[0]), Layered({Layer(1, {"Sea.jpg"})}));
  w.AddMaterial(std::string(contract::kWaterMaterials[1]), Layered({Layer(1, {"Foam.jpg"}), Layer(4, {"Foam_alfa.jpg"}, 1)}));
  w.AddMaterial("Wood", Layered({Layer(1, {"Wood.jpg"})}));
  for (const char* image : {"Sea.jpg", "Foam.jpg", "Foam_alfa.jpg", "Wood.jpg"}) w.AddImage(image, Bytes(image));
  w.AddGeometry(std::string(contract::kWater[0]), NodeUnder("Scene Root", waterLocal),
                OneFrame({GridMesh(std::string(contract::kWaterMaterials[0]), -300, 300, -150, 150, 50)}));
  // Two meshes: the second's indices count from its own first vertex.
  const std::string foamMaterial(contract::kWaterMaterials[1]);
  w.AddGeometry(
      std::string(contract::kWater[1]), NodeUnder("Scene Root", waterLocal),
      OneFrame({GridMesh(foamMaterial, -250, -150, -50, 50, 50), GridMesh(foamMaterial, 150, 250, -50, 50, 50)}));
  const std::string ship(contract::kShipRoot);
  w.AddGeometry(ship, NodeUnder("Scene Root", shipLocal), {});
  for (std::size_t i = 0; i < 3; ++i)
    w.AddGeometry(std::string(contract::kWaterPoints[i]),
                  NodeUnder(ship, Matrix::Translation(kSeaPoints[i].x, kSeaPoints[i].y, kSeaPoints[i].z)), {});
  w.AddGeometry("hull", NodeUnder(ship), OneFrame({QuadMesh("Wood")}));
  w.AddGeometry("Box01", NodeUnder(ship), OneFrame({QuadMesh("Wood")}));
  w.AddGeometry("Box01_lid", NodeUnder("Box01"), OneFrame({QuadMesh("Wood")}));
  w.AddGeometry("lantern01", NodeUnder(ship), OneFrame({QuadMesh("Wood")}));
  w.AddCamera("Camera01", NodeUnder("Scene Root", LookingAt({0, -600, 300}, {0, 0, 0})), Perspective());
  return w;
}

// Makes pictures named by their bytes and render targets of any kind, named "envmap" (kind 4) and "mixed"
// (kind 5), at the asked size cut to maxSide; refuses when refuse is set.
class TargetLoader : public FakeTextureLoader {
 public:
  TextureRef createTextureFromJpeg(std::span<const std::uint8_t> bytes, std::uint32_t, std::uint16_t) override {
    ++calls;
    return std::make_shared<RecordingSurface>(std::string(bytes.begin(), bytes.end()));
  }
  TextureRef CreateSurfaceOfType(std::uint32_t width, std::uint32_t height, SurfaceKind kind) override {
    asked.push_back({width, height, kind});
    if (refuse.count(kind)) return nullptr;
    auto surface = std::make_shared<RecordingSurface>(kind == SurfaceKind::TargetWithDepth ? "envmap" : "mixed");
    sizes[surface.get()] = {std::min(width, maxSide), std::min(height, maxSide)};
    return surface;
  }
  void SurfaceSize(const Surface& surface, std::uint32_t& width, std::uint32_t& height) const override {
    const auto it = sizes.find(&surface);
    std::tie(width, height) = it == sizes.end() ? std::pair(0u, 0u) : it->second;
  }
  struct Asked {
    std::uint32_t width, height;
    SurfaceKind kind;
  };
  std::vector<Asked> asked;
  std::set<SurfaceKind> refuse;
  std::uint32_t maxSide = 4096;

 private:
  std::map<const Surface*, std::pair<std::uint32_t, std::uint32_t>> sizes;
};

}  // namespace brisane::testing
