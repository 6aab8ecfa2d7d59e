#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "render/texture_fill.h"
#include "settings/settings_keys.h"
#include "show/flag.h"
#include "show/ship_contract.h"
#include "support/jpeg_stream.h"
#include "support/scene_fixtures.h"

namespace brisane {
namespace {

using testing::AsFake;
using testing::Bytes;
using testing::Layer;
using testing::NodeUnder;
using testing::OneFrame;
using testing::QuadMesh;

// Decodes for real within a device's largest texture; keeps the sizes.
class DecodingLoader : public TextureLoader {
 public:
  explicit DecodingLoader(std::uint32_t largest) : largest_(largest) {}
  TextureRef createTextureFromJpeg(std::span<const std::uint8_t> bytes, std::uint32_t loadKind,
                                   std::uint16_t threshold) override {
    DecodedPicture picture;
    if (!DecodePicture(bytes.data(), bytes.size(), picture, largest_, largest_)) return nullptr;
    decoded.push_back(picture);
    decoded.back().pixels.clear();
    return std::make_shared<testing::FakeTexture>("decoded", loadKind, threshold);
  }
  std::vector<DecodedPicture> decoded;

 private:
  std::uint32_t largest_;
};

// Every layer of every material and the frames it holds.
using TextureState = std::vector<std::pair<const TextureLayer*, std::vector<TextureRef>>>;

class FlagTest : public ::testing::Test {
 protected:
  FlagTest() {
    SceneArchiveWriter w;
    ArchiveMaterial flag, pennant;
    flag.layers = {Layer(1, {"Ensign.jpg"})};
    pennant.layers = {Layer(1, {"Pennant.jpg"}), Layer(4, {"Pennant_alfa.jpg"})};
    w.addMaterial(std::string(contract::kFlagMaterial), flag);
    w.addMaterial("Flag2", pennant);
    for (const char* image : {"Ensign.jpg", "Pennant.jpg", "Pennant_alfa.jpg"}) w.addImage(image, Bytes(image));
    w.addGeometry("flag01", NodeUnder("Scene Root"), OneFrame({QuadMesh(std::string(contract::kFlagMaterial))}));
    w.addGeometry("flagx01", NodeUnder("Scene Root"), OneFrame({QuadMesh("Flag2")}));
    EXPECT_TRUE(harness.load(w.finish()));
    calls = harness.loader.calls;
  }
  ~FlagTest() override {
    std::error_code ignored;
    std::filesystem::remove(file, ignored);
  }

  FlagOutcome Apply(std::int32_t flag, const std::string& path = {}) {
    settings.Get(key::FlagNum) = Value(flag);
    if (!path.empty()) settings.Get(key::FlagPath) = Value(path);
    return ApplyFlag(scene(), settings, resources);
  }
  Scene& scene() { return *harness.scene; }
  const testing::FakeTexture& FlagPicture() {
    const TextureLayer* layer = scene().findMaterial(std::string(contract::kFlagMaterial))->layer(LayerDiffuse);
    EXPECT_EQ(layer->frames().size(), 1u);
    return AsFake(layer->frames().front());
  }
  TextureState Textures() {
    TextureState state;
    for (const auto& [name, material] : scene().materials())
      for (std::uint32_t kind = 1; kind <= 6; ++kind)
        if (const TextureLayer* layer = material->layer(kind)) state.emplace_back(layer, layer->frames());
    return state;
  }
  std::string WriteFile(const std::vector<std::uint8_t>& bytes) {
    file = std::filesystem::temp_directory_path() / ("brisane_flag_" + std::to_string(reinterpret_cast<std::uintptr_t>(this)) + ".jpg");
    std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                 static_cast<std::streamsize>(bytes.size()));
    return file.string();
  }

  testing::SceneHarness harness;
  MemoryResourceSource resources;
  Node settings;
  std::filesystem::path file;
  int calls = 0;
};

TEST_F(FlagTest, TheScenesOwnBuiltInFlagsAndTheUsersFile) {
  const TextureState before = Textures();
  EXPECT_EQ(ApplyFlag(scene(), settings, resources), FlagOutcome::kSceneFlag) << "no FlagNum at all";
  EXPECT_FALSE(settings.Has(key::FlagNum, TypeInt) || settings.Has(key::FlagPath, TypeString)) << "read, not added to";
  for (std::int32_t flag : {0, -2147483647 - 1}) EXPECT_EQ(Apply(flag), FlagOutcome::kSceneFlag) << flag;
  EXPECT_EQ(Textures(), before);
  EXPECT_EQ(harness.loader.calls, calls) << "nothing decoded";

  for (std::uint16_t id : {1100, 1101, 1124}) resources.add(id, "JPEGFILE", Bytes("flag " + std::to_string(id)));
  const TextureLayer* pennant = scene().findMaterial("Flag2")->layer(LayerDiffuse);
  for (const auto& [flag, picture] : {std::pair{26, "flag 1124"}, std::pair{2, "flag 1100"}, std::pair{3, "flag 1101"}}) {
    ASSERT_EQ(Apply(flag), FlagOutcome::kApplied) << flag;
    EXPECT_EQ(FlagPicture().image, picture);
    EXPECT_EQ(FlagPicture().loadKind, 0u) << "decoded as a diffuse picture";
  }
  EXPECT_EQ(scene().findMaterial("Flag2")->layer(LayerDiffuse), pennant) << "the pennant keeps its picture";
  ASSERT_EQ(Apply(contract::kCustomFlag, WriteFile(Bytes("my own flag"))), FlagOutcome::kApplied);
  EXPECT_EQ(FlagPicture().image, "my own flag");
}

// Whatever fails, the flag material keeps the very layer and picture it had.
TEST_F(FlagTest, FailuresKeepTheScenesFlag) {
  resources.add(1124, "JPEGFILE", Bytes("bad flag"));  // the fake loader decodes no "bad..." bytes
  resources.add(1110, "JPEGFILE", {});
  resources.add(1125, "JPEGFILE", Bytes("flag 27"));  // 27 is no flag, whatever the program holds
  const std::string unreadable = (std::filesystem::temp_directory_path() / "brisane_no_such_flag.jpg").string();
  const TextureState before = Textures();
  struct Case {
    std::int32_t flag;
    std::string path;
    std::vector<std::uint8_t> file;  // written to the path when not empty
    FlagOutcome outcome;
  } cases[] = {
      {27, {}, {}, FlagOutcome::kUnknownFlag},
      {65535 - 1098, {}, {}, FlagOutcome::kUnknownFlag},
      {5, {}, {}, FlagOutcome::kNoPicture},  // its resource is missing
      {12, {}, {}, FlagOutcome::kNoPicture},  // an empty resource
      {26, {}, {}, FlagOutcome::kNotDecoded},
      {contract::kCustomFlag, {}, {}, FlagOutcome::kNoPicture},  // no path
      {contract::kCustomFlag, unreadable, {}, FlagOutcome::kNoPicture},
      {contract::kCustomFlag, std::filesystem::temp_directory_path().string(), {}, FlagOutcome::kNoPicture},
      {contract::kCustomFlag, {}, Bytes("bad bytes"), FlagOutcome::kNotDecoded},
  };
  for (const Case& c : cases) {
    settings.Get(key::FlagPath) = Value(c.file.empty() ? c.path : WriteFile(c.file));
    settings.Get(key::FlagNum) = Value(c.flag);
    EXPECT_EQ(ApplyFlag(scene(), settings, resources), c.outcome) << c.flag << " " << c.path;
    ASSERT_EQ(Textures(), before) << c.flag;
  }
  settings.Get(key::FlagPath) = Value(WriteFile({}));  // which a length-prefixed read would misread
  EXPECT_EQ(ApplyFlag(scene(), settings, resources), FlagOutcome::kNoPicture);

  testing::SceneHarness bare;  // no flag material: nothing worth decoding
  ASSERT_TRUE(bare.load(testing::SampleArchive()));
  const int decoded = bare.loader.calls;
  settings.Get(key::FlagNum) = Value(26);
  EXPECT_EQ(ApplyFlag(*bare.scene, settings, resources), FlagOutcome::kNoFlag);
  EXPECT_EQ(bare.loader.calls, decoded);
}

// Real JPEG bytes through the real decoder: a first scan of a component the
// frame lacks decodes not one row, and a black flag would be no better than
// none; a phone's 24-megapixel picture comes out at the largest reduction
// that fits the device's textures.
TEST_F(FlagTest, DamagedAndCameraSizedPicturesThroughTheDecoder) {
  DecodingLoader decoder(2048);
  scene().setTextureLoader(&decoder);
  const TextureState before = Textures();
  std::vector<std::uint8_t> badScan = testing::DcPicture(64, 48);
  for (std::size_t i = 0; i + 5 < badScan.size(); ++i) {
    if (badScan[i] == 0xFF && badScan[i + 1] == 0xDA) badScan[i + 5] = 7;
  }
  resources.add(1112, "JPEGFILE", badScan);
  EXPECT_EQ(Apply(14), FlagOutcome::kNotDecoded);
  EXPECT_EQ(Textures(), before);
  EXPECT_TRUE(decoder.decoded.empty());

  ASSERT_EQ(Apply(contract::kCustomFlag, WriteFile(testing::DcPicture(6000, 4000))), FlagOutcome::kApplied);
  ASSERT_EQ(decoder.decoded.size(), 1u);
  EXPECT_EQ(decoder.decoded[0].scale, 4);
  EXPECT_EQ(decoder.decoded[0].width, 1500);
  EXPECT_EQ(decoder.decoded[0].height, 1000);
}

}  // namespace
}  // namespace brisane
