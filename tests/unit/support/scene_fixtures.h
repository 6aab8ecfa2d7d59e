// Scene test helpers: a texture loader that records what it decodes, meshes
// with recognisable vertices, and a small sample archive.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "scene/archive_writer.h"
#include "platform/resource_source.h"
#include "scene/scene.h"
#include "scene/texture.h"

namespace brisane::testing {

struct FakeTexture : Surface {
  FakeTexture(std::string image, std::uint32_t loadKind, std::uint16_t threshold)
      : image(std::move(image)), loadKind(loadKind), threshold(threshold) {}
  std::string image;  // the "decoded" bytes
  std::uint32_t loadKind;
  std::uint16_t threshold;
};

// Image records hold their own label as bytes; a label starting "bad" does
// not decode.
class FakeTextureLoader : public TextureLoader {
 public:
  TextureRef createTextureFromJpeg(std::span<const std::uint8_t> bytes, std::uint32_t loadKind,
                                   std::uint16_t threshold) override {
    ++calls;
    std::string image(bytes.begin(), bytes.end());
    if (image.rfind("bad", 0) == 0) return nullptr;
    return std::make_shared<FakeTexture>(image, loadKind, threshold);
  }
  int calls = 0;
};

inline const FakeTexture& AsFake(const TextureRef& texture) { return static_cast<const FakeTexture&>(*texture); }

template <typename T>
T* Find(Scene& scene, const std::string& name) {
  return scene.FindNode<T>(name);
}

inline std::vector<std::uint8_t> Bytes(const std::string& text) { return {text.begin(), text.end()}; }

// vertexCount vertices of the format whose bytes count up from seed.
inline std::vector<std::uint8_t> Vertices(std::uint32_t fvf, std::size_t vertexCount, std::uint8_t seed = 0) {
  std::vector<std::uint8_t> v(FvfStride(fvf) * vertexCount);
  for (std::size_t i = 0; i < v.size(); ++i) v[i] = static_cast<std::uint8_t>(seed + i);
  return v;
}

inline ArchiveMesh QuadMesh(const std::string& material, std::uint32_t fvf = kFvfOneTexture, std::uint8_t seed = 0) {
  return {.fvf = fvf, .vertices = Vertices(fvf, 4, seed), .indices = {0, 1, 2, 2, 1, 3}, .material = material};
}

inline ArchiveNode NodeUnder(const std::string& parent, Matrix local = Matrix::Identity()) {
  return {.parentName = parent, .keys = {TransformKey{0, local}}};
}

inline std::vector<ArchiveFrame> OneFrame(std::vector<ArchiveMesh> meshes) {
  return {ArchiveFrame{0, std::move(meshes)}};
}

inline ArchiveLayer Layer(std::uint16_t kind, std::vector<std::string> frames, std::uint16_t texCoordIndex = 0) {
  return {.kind = kind, .texCoordIndex = texCoordIndex, .frames = std::move(frames)};
}

inline ArchiveMaterial Layered(std::vector<ArchiveLayer> layers, std::uint16_t twoSided = 0) {
  return {.description = {}, .twoSided = twoSided, .layers = std::move(layers)};
}

// A small ship: a hull with a lightmapped material, a mast below it with a
// two-frame waving sail, a lantern with an opacity layer, two cameras and
// two lights, one of which excludes the hull.
inline SceneArchiveWriter SampleWriter() {
  SceneArchiveWriter w;
  ArchiveMaterial hull = Layered({Layer(1, {"Board.jpg"}), Layer(5, {"Board_lm.jpg"}, 1)});
  hull.description.diffuse = {0.5f, 0.4f, 0.3f, 1.0f};
  w.AddMaterial("Hull", hull);
  w.AddMaterial("Sail", Layered({Layer(1, {"Sail.jpg"})}, 1));
  w.AddMaterial("Lantern", Layered({Layer(1, {"Lantern.jpg"}), Layer(4, {"Lantern_alfa.jpg"})}));
  for (const char* image : {"Board.jpg", "Board_lm.jpg", "Sail.jpg", "Lantern.jpg", "Lantern_alfa.jpg"})
    w.AddImage(image, Bytes(image));
  w.AddGeometry("hull", NodeUnder("Scene Root", Matrix::Translation(0, 1, 0)),
                OneFrame({QuadMesh("Hull", kFvfTwoTextures), QuadMesh("Hull", kFvfTwoTextures, 7)}));
  w.AddGeometry("mast", NodeUnder("hull", Matrix::Translation(0, 10, 0)), {});
  w.AddGeometry("sail", NodeUnder("mast"),
                {ArchiveFrame{0, {QuadMesh("Sail")}}, ArchiveFrame{40, {QuadMesh("Sail", kFvfOneTexture, 9)}}});
  w.AddGeometry("lantern", NodeUnder("hull"), OneFrame({QuadMesh("Lantern")}));
  Matrix projection = Matrix::Identity();
  projection(2, 3) = 1.0f;
  ArchiveNode path = NodeUnder("Scene Root");
  path.keys = {TransformKey{0, Matrix::Translation(0, 0, 0)}, TransformKey{100, Matrix::Translation(10, 0, 0)}};
  w.AddCamera("Camera01", path, projection);
  w.AddCamera("Camera02", NodeUnder("mast"), projection);
  DeviceLight sun;
  sun.diffuse = {1, 1, 1, 1};
  sun.range = 1000.0f;
  w.AddLight("Sun", NodeUnder("Scene Root", Matrix::Translation(5, 6, 7)), sun);
  w.AddLight("Lamp", NodeUnder("lantern"), sun, {"hull"});
  return w;
}

inline std::vector<std::uint8_t> SampleArchive() { return SampleWriter().Finish(); }

// Loads archive bytes the way the show does: an empty path, then resource 147.
class SceneHarness {
 public:
  SceneHarness() {
    scene->SetResourceSource(&resources);
    scene->SetTextureLoader(&loader);
  }
  bool Load(std::vector<std::uint8_t> bytes) {
    resources.add(147, kSceneResourceType, std::move(bytes));
    return scene->Load("", 147);
  }
  ManualClock clock{1000};
  MemoryResourceSource resources;
  FakeTextureLoader loader;
  std::unique_ptr<Scene> scene = std::make_unique<Scene>(clock);
};

}  // namespace brisane::testing
