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

using namespace testing;

// Decodes for real within a device's largest texture; keeps the sizes.
struct DecodingLoader : TextureLoader {
  TextureRef createTextureFromJpeg(std::span<const std::uint8_t> bytes, std::uint32_t kind,
                                   std::uint16_t threshold) override {
    DecodedPicture picture;
    if (!DecodePicture(bytes.data(), bytes.size(), picture, 2048, 2048)) return nullptr;
    sizes.push_back({picture.scale, picture.width, picture.height});
    return std::make_shared<FakeTexture>("decoded", kind, threshold);
  }
  std::vector<std::array<int, 3>> sizes;
};

// Every layer of every material and the frames it holds.
using TextureState = std::vector<std::pair<const TextureLayer*, std::vector<TextureRef>>>;

class FlagTest : public ::testing::Test {
 protected:
  FlagTest() {
    SceneArchiveWriter w;
    w.AddMaterial(std::string(contract::kFlagMaterial), Layered({Layer(1, {"Ensign.jpg"})}));
    w.AddMaterial("Flag2", Layered({Layer(1, {"Pennant.jpg"}), Layer(4, {"Pennant_alfa.jpg"})}));
    for (const char* image : {"Ensign.jpg", "Pennant.jpg", "Pennant_alfa.jpg"}) w.AddImage(image, Bytes(image));
    w.AddGeometry("flag01", NodeUnder("Scene Root"), OneFrame({QuadMesh(std::string(contract::kFlagMaterial))}));
    w.AddGeometry("flagx01", NodeUnder("Scene Root"), OneFrame({QuadMesh("Flag2")}));
    EXPECT_TRUE(harness.Load(w.Finish()));
    calls = harness.loader.calls;
    before = Textures();
  }
  ~FlagTest() override {
    std::error_code ignored;
    for (const std::filesystem::path& file : files) std::filesystem::remove(file, ignored);
  }
  FlagOutcome Apply(std::int32_t flag, const std::string& path = {}) {
    settings.Get(key::FlagNum) = Value(flag);
    settings.Get(key::FlagPath) = Value(path);
    return ApplyFlag(*harness.scene, settings, resources);
  }
  const FakeTexture& FlagPicture() {
    const TextureLayer* layer = harness.scene->FindMaterial(std::string(contract::kFlagMaterial))->layer(LayerKind::Diffuse);
    EXPECT_EQ(layer->frames().size(), 1u);
    return AsFake(layer->frames().front());
  }
  TextureState Textures() {
    TextureState state;
    for (const auto& [name, material] : harness.scene->materials())
      for (std::uint32_t kind = 1; kind <= 6; ++kind)
        if (const TextureLayer* layer = material->layer(kind)) state.emplace_back(layer, layer->frames());
    return state;
  }
  std::string Write(const std::vector<std::uint8_t>& bytes) {
    const std::string name = std::to_string(reinterpret_cast<std::uintptr_t>(this)) + "_" + std::to_string(files.size());
    files.push_back(std::filesystem::temp_directory_path() / ("brisane_flag_" + name + ".jpg"));
    std::ofstream(files.back(), std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return files.back().string();
  }

  SceneHarness harness;
  MemoryResourceSource resources;
  Node settings;
  std::vector<std::filesystem::path> files;
  int calls = 0;
  TextureState before;
};

TEST_F(FlagTest, TheScenesOwnBuiltInFlagsAndTheUsersFile) {
  EXPECT_EQ(ApplyFlag(*harness.scene, settings, resources), FlagOutcome::SceneFlag) << "no FlagNum at all";
  EXPECT_FALSE(settings.Has(key::FlagNum, ValueType::Int) || settings.Has(key::FlagPath, ValueType::String)) << "read, not added to";
  for (std::uint16_t id : {1098, 1100, 1101, 1124}) resources.add(id, "JPEGFILE", Bytes("flag " + std::to_string(id)));
  for (std::int32_t flag : {0, -2147483647 - 1}) EXPECT_EQ(Apply(flag), FlagOutcome::SceneFlag) << flag;
  EXPECT_TRUE(Textures() == before && harness.loader.calls == calls) << "nothing decoded";

  const TextureLayer* pennant = harness.scene->FindMaterial("Flag2")->layer(LayerKind::Diffuse);
  for (const auto& [flag, picture] : {std::pair{26, "flag 1124"}, {2, "flag 1100"}, {3, "flag 1101"}}) {
    ASSERT_EQ(Apply(flag), FlagOutcome::Applied) << flag;
    EXPECT_EQ(std::tuple(FlagPicture().image, FlagPicture().loadKind), std::tuple(std::string(picture), 0u)) << "diffuse";
  }
  EXPECT_EQ(harness.scene->FindMaterial("Flag2")->layer(LayerKind::Diffuse), pennant) << "the pennant keeps its picture";
  ASSERT_EQ(Apply(contract::kCustomFlag, Write(Bytes("my own flag"))), FlagOutcome::Applied);
  EXPECT_EQ(FlagPicture().image, "my own flag");
}

// Whatever fails, the flag material keeps the very layer and picture it had.
TEST_F(FlagTest, FailuresKeepTheScenesFlag) {
  resources.add(1124, "JPEGFILE", Bytes("bad flag"));  // the fake loader decodes no "bad..." bytes
  resources.add(1110, "JPEGFILE", {});
  resources.add(1125, "JPEGFILE", Bytes("flag 27"));  // 27 is no flag, whatever the program holds
  const std::string tmp = std::filesystem::temp_directory_path().string();
  using enum FlagOutcome;
  const std::int32_t custom = contract::kCustomFlag;
  const std::tuple<std::int32_t, std::string, FlagOutcome> cases[] = {
      {27, "", UnknownFlag}, {65535 - 1098, "", UnknownFlag}, {5, "", NoPicture}, {12, "", NoPicture},
      {custom, "", NoPicture}, {custom, tmp + "/brisane_no_such_flag.jpg", NoPicture}, {custom, tmp, NoPicture},
      {custom, Write({}), NoPicture},  // an empty file, which a length-prefixed read would misread
      {26, "", NotDecoded}, {custom, Write(Bytes("bad bytes")), NotDecoded}};
  for (const auto& [flag, path, outcome] : cases) {
    EXPECT_EQ(Apply(flag, path), outcome) << flag << " " << path;
    ASSERT_EQ(Textures(), before) << flag;
  }
  SceneHarness bare;  // no flag material: nothing worth decoding
  ASSERT_TRUE(bare.Load(SampleArchive()));
  const int decoded = bare.loader.calls;
  settings.Get(key::FlagNum) = Value(26);
  EXPECT_EQ(ApplyFlag(*bare.scene, settings, resources), NoFlag);
  EXPECT_EQ(bare.loader.calls, decoded);
}

// Real JPEG bytes through the real decoder: a first scan of a component the
// frame lacks decodes not one row, and a black flag would be no better than
// none; a phone's 24-megapixel picture comes out at the largest reduction
// that fits the device's textures.
TEST_F(FlagTest, DamagedAndCameraSizedPicturesThroughTheDecoder) {
  DecodingLoader decoder;
  harness.scene->SetTextureLoader(&decoder);
  std::vector<std::uint8_t> badScan = DcPicture(64, 48);
  for (std::size_t i = 0; i + 5 < badScan.size(); ++i)
    if (badScan[i] == 0xFF && badScan[i + 1] == 0xDA) badScan[i + 5] = 7;
  resources.add(1112, "JPEGFILE", badScan);
  EXPECT_EQ(Apply(14), FlagOutcome::NotDecoded);
  EXPECT_TRUE(Textures() == before && decoder.sizes.empty());
  ASSERT_EQ(Apply(contract::kCustomFlag, Write(DcPicture(6000, 4000))), FlagOutcome::Applied);
  EXPECT_EQ(decoder.sizes, (std::vector<std::array<int, 3>>{{4, 1500, 1000}}));
}

}  // namespace
}  // namespace brisane
