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

// Decodes for real, as the program's loader does, within a device's largest
// texture, and says at what size each picture came out.
class DecodingLoader : public TextureLoader {
 public:
  explicit DecodingLoader(std::uint32_t largest) : largest_(largest) {}
  TextureRef createTextureFromJpeg(std::span<const std::uint8_t> bytes, std::uint32_t loadKind,
                                   std::uint16_t threshold) override {
    DecodedPicture picture;
    if (!DecodePicture(bytes.data(), bytes.size(), picture, largest_, largest_)) return nullptr;
    decoded.push_back(picture);
    decoded.back().pixels.clear();  // only the sizes are of interest
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
    ArchiveMaterial flag;
    flag.layers = {Layer(1, {"Ensign.jpg"})};
    w.addMaterial(std::string(contract::kFlagMaterial), flag);
    ArchiveMaterial pennant;
    pennant.layers = {Layer(1, {"Pennant.jpg"}), Layer(4, {"Pennant_alfa.jpg"})};
    w.addMaterial("Flag2", pennant);
    for (const char* image : {"Ensign.jpg", "Pennant.jpg", "Pennant_alfa.jpg"}) w.addImage(image, Bytes(image));
    w.addGeometry("flag01", NodeUnder("Scene Root"), OneFrame({QuadMesh(std::string(contract::kFlagMaterial))}));
    w.addGeometry("flagx01", NodeUnder("Scene Root"), OneFrame({QuadMesh("Flag2")}));
    EXPECT_TRUE(harness.load(w.finish()));
    calls = harness.loader.calls;
  }
  ~FlagTest() override {
    std::error_code ignored;
    if (!file.empty()) std::filesystem::remove_all(file, ignored);
  }

  FlagOutcome Apply(std::int32_t flag, const std::string& path = {}) {
    settings.Get(key::FlagNum) = Value(flag);
    if (!path.empty()) settings.Get(key::FlagPath) = Value(path);
    return ApplyFlag(scene(), settings, resources);
  }
  Scene& scene() { return *harness.scene; }
  Material& Flag() { return *scene().findMaterial(std::string(contract::kFlagMaterial)); }
  const testing::FakeTexture& FlagPicture() {
    const TextureLayer* layer = Flag().layer(LayerDiffuse);
    EXPECT_EQ(layer->frames().size(), 1u);
    return AsFake(layer->frames().front());
  }
  TextureState Textures() {
    TextureState state;
    for (const auto& [name, material] : scene().materials()) {
      for (std::uint32_t kind = 1; kind <= 6; ++kind) {
        if (const TextureLayer* layer = material->layer(kind)) state.emplace_back(layer, layer->frames());
      }
    }
    return state;
  }
  std::string WriteFile(const std::vector<std::uint8_t>& bytes) {
    file = (std::filesystem::temp_directory_path() /
            ("brisane_flag_" + std::to_string(reinterpret_cast<std::uintptr_t>(this)) + ".jpg"))
               .string();
    std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                 static_cast<std::streamsize>(bytes.size()));
    return file;
  }

  testing::SceneHarness harness;
  MemoryResourceSource resources;
  Node settings;
  std::string file;
  int calls = 0;
};

TEST_F(FlagTest, TheScenesOwnFlagReadsNothingAndTouchesNoTexture) {
  const TextureState before = Textures();
  EXPECT_EQ(ApplyFlag(scene(), settings, resources), FlagOutcome::kSceneFlag) << "no FlagNum at all";
  EXPECT_FALSE(settings.Has(key::FlagNum, TypeInt));
  EXPECT_FALSE(settings.Has(key::FlagPath, TypeString)) << "the settings are read, not added to";
  for (std::int32_t flag : {0, -1, -2147483647 - 1}) {
    EXPECT_EQ(Apply(flag), FlagOutcome::kSceneFlag) << flag;
  }
  EXPECT_EQ(Textures(), before);
  EXPECT_EQ(harness.loader.calls, calls) << "nothing decoded";
}

TEST_F(FlagTest, BuiltInFlagsComeFromTheirResources) {
  for (std::uint16_t id : {1100, 1101, 1123, 1124}) resources.add(id, "JPEGFILE", Bytes("flag " + std::to_string(id)));
  const TextureLayer* pennant = scene().findMaterial("Flag2")->layer(LayerDiffuse);
  for (const auto& [flag, picture] :
       {std::pair{26, "flag 1124"}, std::pair{2, "flag 1100"}, std::pair{3, "flag 1101"}}) {
    ASSERT_EQ(Apply(flag), FlagOutcome::kApplied) << flag;
    EXPECT_EQ(FlagPicture().image, picture);
    EXPECT_EQ(FlagPicture().loadKind, 0u) << "decoded as a diffuse picture";
  }
  const TextureLayer& layer = *Flag().layer(LayerDiffuse);
  EXPECT_EQ(layer.kind(), LayerDiffuse);
  EXPECT_EQ(layer.texCoordIndex(), 0);
  EXPECT_EQ(layer.rate(), 0u);
  EXPECT_EQ(scene().findMaterial("Flag2")->layer(LayerDiffuse), pennant) << "the pennant keeps its picture";
  EXPECT_EQ(AsFake(pennant->frames().front()).image, "Pennant.jpg");
}

TEST_F(FlagTest, TheUsersOwnPictureFile) {
  const std::string path = WriteFile(Bytes("my own flag"));
  ASSERT_EQ(Apply(contract::kCustomFlag, path), FlagOutcome::kApplied);
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
    const char* what;
    std::int32_t flag;
    std::string path;
    std::vector<std::uint8_t> file;  // written to the path when not empty
    FlagOutcome outcome;
  } cases[] = {
      {"a number past the list", 27, {}, {}, FlagOutcome::kUnknownFlag},
      {"a number far past it", 65535 - 1098, {}, {}, FlagOutcome::kUnknownFlag},
      {"a built-in flag whose resource is missing", 5, {}, {}, FlagOutcome::kNoPicture},
      {"an empty resource", 12, {}, {}, FlagOutcome::kNoPicture},
      {"a resource that does not decode", 26, {}, {}, FlagOutcome::kNotDecoded},
      {"no path", contract::kCustomFlag, {}, {}, FlagOutcome::kNoPicture},
      {"a missing file", contract::kCustomFlag, unreadable, {}, FlagOutcome::kNoPicture},
      {"a folder", contract::kCustomFlag, std::filesystem::temp_directory_path().string(), {}, FlagOutcome::kNoPicture},
      {"a damaged file", contract::kCustomFlag, {}, Bytes("bad bytes"), FlagOutcome::kNotDecoded},
  };
  for (const Case& c : cases) {
    settings.Get(key::FlagPath) = Value(c.file.empty() ? c.path : WriteFile(c.file));
    settings.Get(key::FlagNum) = Value(c.flag);
    EXPECT_EQ(ApplyFlag(scene(), settings, resources), c.outcome) << c.what;
    ASSERT_EQ(Textures(), before) << c.what;
  }
  // An empty file, which a length-prefixed read would misread.
  settings.Get(key::FlagPath) = Value(WriteFile({}));
  EXPECT_EQ(ApplyFlag(scene(), settings, resources), FlagOutcome::kNoPicture);
  EXPECT_EQ(Textures(), before);
}

TEST_F(FlagTest, ASceneWithoutTheFlagMaterialDecodesNothing) {
  resources.add(1124, "JPEGFILE", Bytes("flag 1124"));
  testing::SceneHarness bare;
  ASSERT_TRUE(bare.load(testing::SampleArchive()));
  const int before = bare.loader.calls;
  settings.Get(key::FlagNum) = Value(26);
  EXPECT_EQ(ApplyFlag(*bare.scene, settings, resources), FlagOutcome::kNoFlag);
  EXPECT_EQ(bare.loader.calls, before);
}

// Real JPEG bytes through the real decoder.
TEST_F(FlagTest, ProgressiveAndDamagedPicturesThroughTheDecoder) {
  DecodingLoader decoder(2048);
  scene().setTextureLoader(&decoder);
  const TextureState before = Textures();
  std::vector<std::uint8_t> cut = testing::DcPicture(64, 48);
  cut.resize(100);  // inside the tables
  resources.add(1111, "JPEGFILE", cut);
  // Headers that read, but a first scan of a component the frame lacks:
  // not one row decodes, and a black flag would be no better than none.
  std::vector<std::uint8_t> bad_scan = testing::DcPicture(64, 48);
  for (std::size_t i = 0; i + 5 < bad_scan.size(); ++i) {
    if (bad_scan[i] == 0xFF && bad_scan[i + 1] == 0xDA) bad_scan[i + 5] = 7;
  }
  resources.add(1112, "JPEGFILE", bad_scan);
  for (std::int32_t flag : {13, 14}) {
    EXPECT_EQ(Apply(flag), FlagOutcome::kNotDecoded) << flag;
    EXPECT_EQ(Textures(), before);
  }
  EXPECT_TRUE(decoder.decoded.empty());

  resources.add(1124, "JPEGFILE", testing::DcPicture(120, 80, true));
  ASSERT_EQ(Apply(26), FlagOutcome::kApplied);
  ASSERT_EQ(decoder.decoded.size(), 1u);
  EXPECT_EQ(decoder.decoded[0].width, 120);
  EXPECT_EQ(decoder.decoded[0].height, 80);
  EXPECT_EQ(decoder.decoded[0].scale, 1);
}

// A phone's 24-megapixel picture is decoded at the largest reduction that
// fits the device's textures, not refused and not decoded whole (the choice
// of scale for other limits is the decoder's own test).
TEST_F(FlagTest, ACameraSizedPictureIsDecodedReducedToTheTextureLimit) {
  DecodingLoader decoder(2048);
  scene().setTextureLoader(&decoder);
  ASSERT_EQ(Apply(contract::kCustomFlag, WriteFile(testing::DcPicture(6000, 4000))), FlagOutcome::kApplied);
  ASSERT_EQ(decoder.decoded.size(), 1u);
  EXPECT_EQ(decoder.decoded[0].scale, 4);
  EXPECT_EQ(decoder.decoded[0].width, 1500);
  EXPECT_EQ(decoder.decoded[0].height, 1000);
}

}  // namespace
}  // namespace brisane
