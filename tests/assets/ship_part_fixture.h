// One part of the ship scene authored alone under the ship's frames and
// loaded by the program's own loader, afresh for every test, on a clock the
// test moves.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/resource_source.h"
#include "scene/scene.h"
#include "scene/scene_node.h"
#include "ship/author.h"
#include "ship/layout.h"

namespace brisane::assets::ship::fixtures {

// Pictures are not decoded: every texture is an empty surface.
class AnyTexture : public TextureLoader {
 public:
  TextureRef createTextureFromJpeg(std::span<const std::uint8_t>, std::uint32_t, std::uint16_t) override {
    return std::make_shared<Surface>();
  }
};

// Part supplies `static void Author(SceneAuthor&)` (the part alone) and
// `static constexpr const char* kFamily` (its triangle family).
template <class Part>
class LoadedShipPart : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    SceneAuthor author;
    author.group(layout::kShip, SceneAuthor::kRoot, Matrix::identity());
    author.group(layout::kRig, layout::kShip, Translate(layout::kRigOffset));
    Part::Author(author);
    archive_ = std::make_unique<std::vector<std::uint8_t>>(author.finish());
    triangles_ = author.triangles().at(Part::kFamily);
  }
  static void TearDownTestSuite() { archive_.reset(); }

  void SetUp() override {
    resources_.add(147, "SSSFILE", *archive_);
    scene_ = std::make_unique<Scene>(clock_);
    scene_->setResourceSource(&resources_);
    scene_->setTextureLoader(&textures_);
    ASSERT_TRUE(scene_->load("", 147)) << scene_->loadError();
    settle();
  }

  SceneNode& node(const std::string& name) {
    SceneNode* n = scene_->findNode(name);
    if (!n) throw std::runtime_error("no node " + name);
    return *n;
  }
  GeometryObject& object(const std::string& name) { return dynamic_cast<GeometryObject&>(node(name)); }
  // World matrices lag their animation by one pass.
  void settle() {
    scene_->root().updateSubtree();
    scene_->root().updateSubtree();
  }

  static constexpr std::uint32_t kStart = 50000;
  static inline std::unique_ptr<std::vector<std::uint8_t>> archive_;
  static inline std::size_t triangles_ = 0;
  ManualClock clock_{kStart};
  MemoryResourceSource resources_;
  AnyTexture textures_;
  std::unique_ptr<Scene> scene_;
};

}  // namespace brisane::assets::ship::fixtures
