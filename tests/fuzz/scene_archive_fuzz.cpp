// A damaged scene archive loads as false or as a scene that can be run: any
// bytes go through Scene::load, and a scene that loads is animated a little.
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "tests/unit/support/recording_device.h"
#include "tests/unit/support/scene_fixtures.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  using namespace brisane;
  using namespace brisane::testing;
  const char* corpus = std::getenv("BRISANE_FUZZ_CORPUS");
  if (!corpus || !std::filesystem::is_directory(corpus)) return 0;
  const auto seed = [folder = std::filesystem::path(corpus)](const char* name, const std::vector<std::uint8_t>& bytes) {
    std::ofstream(folder / name, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  };
  seed("seed_sample", SampleArchive());
  SceneArchiveWriter small;  // keyed layers, bad pictures, a missing material, a light, parents given later
  ArchiveMaterial keyed;
  keyed.layers = {Layer(6, {"a.jpg", "b.jpg"}), Layer(3, {"a.jpg"})};
  small.AddMaterial("K", keyed);
  small.AddImage("a.jpg", Bytes("a"));
  small.AddImage("b.jpg", Bytes("bad"));
  small.AddGeometry("g", NodeUnder("h"), OneFrame({QuadMesh("K"), QuadMesh("missing", kFvfTwoTextures)}));
  small.AddGeometry("h", NodeUnder("Scene Root"), {});
  small.AddLight("l", NodeUnder("g"), DeviceLight{}, {"g", "x"});
  seed("seed_small", small.Finish());
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace brisane;
  testing::SceneHarness h;
  if (!h.Load(std::vector<std::uint8_t>(data, data + size))) {
    if (!h.scene->nodes().empty() || !h.scene->materials().empty()) __builtin_trap();
    return 0;
  }
  Scene& scene = *h.scene;
  scene.root().StartAnimation(0, 1000, 0, 1.0f, -1);
  for (const auto& [name, node] : scene.nodes())
    if (node->type() == NodeType::Geometry) {
      auto* geometry = static_cast<GeometryObject*>(node);
      geometry->StartGeometryAnimation(0, 200, 0, 0.5f, -1);
      geometry->StartTextureAnimation(20, 5);
      testing::RecordingVertexBuffer buffer(kFvfOneTexture, geometry->vertexCount());
      std::vector<std::uint16_t> indices;
      if (geometry->AppendToVertexBuffer(buffer, indices) < 0 && geometry->vertexCount() != 0) __builtin_trap();
    }
  for (int frame = 0; frame < 3; ++frame, h.clock.advance(37)) scene.root().UpdateSubtree();
  for (const auto& [name, material] : scene.materials())
    for (std::uint32_t kind = 1; kind <= 6; ++kind)
      if (TextureLayer* layer = material->layer(kind)) (void)layer->currentFrame();
  return 0;
}
