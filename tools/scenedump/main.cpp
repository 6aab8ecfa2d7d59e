// scenedump FILE: loads a scene archive with the program's own reader and
// prints what it holds: a count line, then the node tree under the root.
#include <cstdio>
#include <set>
#include <string>

#include "platform/clock.h"
#include "scene/scene.h"

namespace {

using namespace brisane;

// Stands in for the renderer: every image record becomes a texture, so the
// images a scene refers to can be counted without decoding them.
class CountingLoader : public TextureLoader {
 public:
  TextureRef createTextureFromJpeg(std::span<const std::uint8_t>, std::uint32_t, std::uint16_t) override {
    return std::make_shared<Surface>();
  }
};

const char* TypeTag(const SceneNode& node) {
  switch (node.type()) {
    case NodeType::Geometry: return "GO";
    case NodeType::Camera: return "C";
    case NodeType::Light: return "L";
  }
  return "?";
}

void PrintTree(const SceneNode& node, int level) {
  for (const SceneNode* child : node.children()) {
    std::size_t frames = 0, meshes = 0;
    if (child->type() == NodeType::Geometry) {
      const auto& geometry = static_cast<const GeometryObject&>(*child);
      frames = geometry.frames().size();
      meshes = geometry.activeMeshes().size();
    }
    std::printf("%*s%s %s keys=%zu frames=%zu meshes=%zu\n", level * 2, "", child->name().c_str(), TypeTag(*child),
                child->keys().size(), frames, meshes);
    PrintTree(*child, level + 1);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: scenedump FILE\n");
    return 1;
  }
  const std::string path = argv[1];
  if (path.empty()) {
    std::fprintf(stderr, "scenedump: empty file name\n");
    return 1;
  }
  ManualClock clock;
  CountingLoader loader;
  Scene scene(clock);
  scene.SetTextureLoader(&loader);
  if (!scene.Load(path, 0)) {
    std::fprintf(stderr, "scenedump: %s: %s\n", path.c_str(), scene.loadError().c_str());
    return 1;
  }

  std::size_t counts[3] = {};
  for (const auto& [name, node] : scene.nodes())
    if (node->type() < 3) ++counts[node->type()];
  std::set<std::string> images;
  for (const auto& [key, texture] : scene.textures()) images.insert(key.name);
  std::printf("geometry=%zu cameras=%zu lights=%zu materials=%zu images=%zu\n", counts[NodeType::Geometry],
              counts[NodeType::Camera], counts[NodeType::Light], scene.materials().size(), images.size());
  PrintTree(scene.root(), 0);
  return 0;
}
