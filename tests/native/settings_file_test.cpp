#include "native/settings_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>

#include "native/embedded_resources.h"
#include "native/native_app.h"
#include "resources/resource_numbers.h"
#include "settings/settings.h"
#include "settings/settings_keys.h"

namespace brisane {
namespace {

namespace fs = std::filesystem;


class SettingsFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() / ("brisane_settings_" + std::to_string(getpid()) + "_" +
                                       ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    path = dir / "brisane" / "brisane.conf";
  }
  void TearDown() override { fs::remove_all(dir); }

  void WriteFile(const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
  }
  std::string ReadFile() const {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  // The settings a run gets from the file, as the program loads them.
  std::unique_ptr<Node> Load(bool expectReadable = true) {
    SettingsFile file(path);
    warnings.clear();
    EXPECT_EQ(file.Read(warnings), expectReadable);
    auto root = std::make_unique<Node>();
    LoadFileSettings(*root, file);
    return root;
  }
  static std::int32_t Default(std::string_view key) { return FindSetting(key)->defaultValue; }

  fs::path dir, path;
  std::vector<std::string> warnings;
};

TEST(SettingsFilePath, FollowsTheBaseDirectoryRules) {
  EXPECT_EQ(SettingsFilePath("/x/conf", "/home/u"), fs::path("/x/conf/brisane/brisane.conf"));
  // Unset, empty or relative: the home's .config instead.
  for (const char* xdg : {static_cast<const char*>(nullptr), "", "conf", "./conf"})
    EXPECT_EQ(SettingsFilePath(xdg, "/home/u"), fs::path("/home/u/.config/brisane/brisane.conf")) << (xdg ? xdg : "unset");
  EXPECT_EQ(SettingsFilePath(nullptr, nullptr), fs::path());
  EXPECT_EQ(SettingsFilePath("rel", "also-rel"), fs::path());
}

// With no file the defaults, and the one GL device applies two textures at once.
TEST_F(SettingsFileTest, NoFileGivesTheDefaultsAndWritesNothing) {
  std::unique_ptr<Node> root = Load();
  EXPECT_EQ(root->Get(key::SwitchPeriod).AsInt(), Default(key::SwitchPeriod));
  EXPECT_EQ(root->Get(key::EnableLightmaps).AsInt(), 1);
  EXPECT_EQ(root->Get(key::EnableEnvWater).AsInt(), 1);
  EXPECT_TRUE(warnings.empty());
  EXPECT_FALSE(fs::exists(dir));
}

TEST_F(SettingsFileTest, SavedSettingsComeBackAndTheFileReadsAsItWasWritten) {
  std::unique_ptr<Node> saved = Load();
  saved->Get(key::SwitchPeriod) = Value(std::int32_t{-7});
  saved->Get(key::ShowFPS) = Value(std::int32_t{1});
  saved->Get(key::FlagPath) = Value("/home/u/flags/my flag=1.jpg");
  saved->Get("Extra/Inner") = Value(0.5f);  // a sub-key becomes a section
  {
    SettingsFile file(path);
    ASSERT_TRUE(file.Read(warnings));
    SaveSettings(*saved, *file.CurrentUser());
    std::string error;
    ASSERT_TRUE(file.Save(error)) << error;
  }
  const std::string text = ReadFile();
  EXPECT_NE(text.find("\nSwitchPeriod=2: -7\n"), std::string::npos) << text;
  EXPECT_NE(text.find("\n[Extra]\nInner=1: 0.500000\n"), std::string::npos) << text;
  EXPECT_FALSE(fs::exists(path.string() + ".new"));

  std::unique_ptr<Node> loaded = Load();
  EXPECT_TRUE(warnings.empty());
  EXPECT_EQ(loaded->Get(key::SwitchPeriod).AsInt(), -7);
  EXPECT_EQ(loaded->Get(key::ShowFPS).AsInt(), 1);
  EXPECT_EQ(loaded->Get(key::FlagPath).AsString(), "/home/u/flags/my flag=1.jpg");
  EXPECT_EQ(loaded->Get("Extra/Inner").AsFloat(), 0.5f);
  EXPECT_EQ(ReadFile(), text);  // reading never rewrites
}

// Each line stands alone: what cannot be read takes its default, the
// neighbours keep their values, and the file stays as the user left it.
TEST_F(SettingsFileTest, UnreadableLinesLoseOnlyThemselves) {
  const std::string text =
      "# comment\r\n"
      "  ShowFPS =  2: 1\r\n"
      "garbage without equals\n"
      "=2: 5\n"
      "SwitchPeriod=2: twelve\n"
      "ChangeDelay=7: 3\n"
      "FiringPeriod=3: text where a number belongs\n"
      "LightDelay=2: 9\n"
      "[broken\n"
      "MasterVolume=2: 1\n"
      "[]\n"
      "showfps=2: 1\n"
      "DisableSound=2: 1\n"
      "RandomView=2: 0";  // no line break at the end
  WriteFile(text);
  std::unique_ptr<Node> root = Load();
  EXPECT_EQ(root->Get(key::ShowFPS).AsInt(), 1);
  EXPECT_EQ(root->Get(key::LightDelay).AsInt(), 9);
  EXPECT_EQ(root->Get(key::DisableSound).AsInt(), 1);
  EXPECT_EQ(root->Get(key::RandomView).AsInt(), 0);
  EXPECT_EQ(root->Get(key::SwitchPeriod).AsInt(), Default(key::SwitchPeriod));
  EXPECT_EQ(root->Get(key::ChangeDelay).AsInt(), Default(key::ChangeDelay));
  EXPECT_EQ(root->Get(key::FiringPeriod).AsInt(), Default(key::FiringPeriod));  // wrong type: default
  // Under a damaged heading nothing is taken, not even into another key.
  EXPECT_EQ(root->Get(key::MasterVolume).AsInt(), Default(key::MasterVolume));
  EXPECT_EQ(warnings.size(), 3u);  // no '=', no name, the heading
  EXPECT_EQ(ReadFile(), text);
}

// --save over a file it could not read (here, over the size limit) would put
// the defaults in its place.
TEST_F(SettingsFileTest, SaveLeavesAFileItCouldNotReadAndFails) {
  const std::string text = "SwitchPeriod=2: 40\n" + std::string(2 << 20, '#');
  WriteFile(text);
  const char* was = std::getenv("XDG_CONFIG_HOME");
  const std::string saved = was ? was : "";
  setenv("XDG_CONFIG_HOME", dir.c_str(), 1);
  const int code = RunNative({.save = true, .overrides = {{key::ShowFPS, Value(std::int32_t{1})}}});
  was ? setenv("XDG_CONFIG_HOME", saved.c_str(), 1) : unsetenv("XDG_CONFIG_HOME");
  EXPECT_EQ(code, 1);
  EXPECT_TRUE(ReadFile() == text);
}

// As saved by a Windows editor: a byte-order mark and CRLF line ends.
// Run from the daemon's settings page the file is left unread: the defaults,
// then the command line, whatever the file holds.
TEST_F(SettingsFileTest, ARunWithoutTheFileTakesTheDefaultsThenTheCommandLine) {
  WriteFile("ShowFPS=2: 1\nSwitchPeriod=2: 40\nLightDelay=2: 9\n");
  NativeOptions options;
  options.overrides = {{key::SwitchPeriod, Value(std::int32_t{30})}};
  for (const bool noFile : {false, true}) {
    options.noSettingsFile = noFile;
    SettingsFile file(path);
    Node settings;
    EXPECT_TRUE(LoadRunSettings(settings, file, options));
    EXPECT_EQ(settings.Get(key::ShowFPS).AsInt(), noFile ? Default(key::ShowFPS) : 1) << noFile;
    EXPECT_EQ(settings.Get(key::LightDelay).AsInt(), noFile ? Default(key::LightDelay) : 9) << noFile;
    EXPECT_EQ(settings.Get(key::SwitchPeriod).AsInt(), 30) << noFile;
  }
}

TEST_F(SettingsFileTest, AByteOrderMarkIsNotPartOfTheFirstName) {
  WriteFile("\xEF\xBB\xBFShowFPS=2: 1\r\nLightDelay=2: 9\r\n");
  std::unique_ptr<Node> root = Load();
  EXPECT_EQ(root->Get(key::ShowFPS).AsInt(), 1);
  EXPECT_EQ(root->Get(key::LightDelay).AsInt(), 9);
  EXPECT_TRUE(warnings.empty());
}

TEST_F(SettingsFileTest, AFileThatCannotBeReadGivesTheDefaultsAndIsLeftAlone) {
  // Binary junk: no line reads, every setting its default.
  std::string junk(4096, '\0');
  for (std::size_t i = 0; i < junk.size(); ++i) junk[i] = static_cast<char>((i * 131 + 7) & 0xFF);
  WriteFile(junk);
  std::unique_ptr<Node> root = Load();
  EXPECT_EQ(root->Get(key::SwitchPeriod).AsInt(), Default(key::SwitchPeriod));
  EXPECT_EQ(ReadFile(), junk);

  // Too large to be settings: not read at all.
  WriteFile(std::string(kMaxSettingsFileBytes, '\n') + "ShowFPS=2: 1\n");
  root = Load(false);
  EXPECT_EQ(root->Get(key::ShowFPS).AsInt(), Default(key::ShowFPS));
  ASSERT_EQ(warnings.size(), 1u);

  // A folder where the file belongs.
  fs::remove(path);
  fs::create_directories(path);
  root = Load(false);
  EXPECT_EQ(root->Get(key::ShowFPS).AsInt(), Default(key::ShowFPS));
  EXPECT_TRUE(fs::is_directory(path));
}

// A save changes values only: the user's comments, lines it could not read,
// a damaged section, the layout, line ends and byte-order mark stay; new
// values join their section; the file keeps its mode and stays behind its link.
TEST_F(SettingsFileTest, ASaveKeepsWhatItDoesNotOwn) {
  fs::create_directories(path.parent_path());
  fs::create_symlink("real.conf", path);
  WriteFile("\xEF\xBB\xBF# my notes\r\nShowFPS=2: 1\r\nMyOwn=hello\r\ngarbage line\r\n[broken\r\n"
            "MasterVolume=2: 1\r\n[Extra]\r\nInner =  1: 0.25\r\n# tail");
  fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  SettingsFile file(path);
  ASSERT_TRUE(file.Read(warnings));
  std::unique_ptr<SettingsKey> user = file.CurrentUser();
  user->CreateForWrite(SettingsKeyPath(), false)->SetText("ShowFPS", "2: 0");
  user->CreateForWrite(SettingsKeyPath(), false)->SetText("SwitchPeriod", "2: -7");
  user->CreateForWrite(std::string(SettingsKeyPath()) + "\\Extra", false)->SetText("Inner", "1: 0.5");
  user->CreateForWrite(std::string(SettingsKeyPath()) + "\\Other", false)->SetText("New", "2: 3");
  std::string error;
  ASSERT_TRUE(file.Save(error)) << error;
  EXPECT_EQ(ReadFile(),
            "\xEF\xBB\xBF# my notes\r\nShowFPS=2: 0\r\nMyOwn=hello\r\nSwitchPeriod=2: -7\r\ngarbage line\r\n"
            "[broken\r\nMasterVolume=2: 1\r\n[Extra]\r\nInner =  1: 0.5\r\n# tail\r\n\r\n[Other]\r\nNew=2: 3\r\n");
  EXPECT_TRUE(fs::is_symlink(path));
  EXPECT_EQ(fs::status(path).permissions(), fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  EXPECT_FALSE(fs::exists(dir / "brisane" / "real.conf.new"));
}

TEST_F(SettingsFileTest, AFailedSaveKeepsTheOldFile) {
  WriteFile("ShowFPS=2: 1\n");
  SettingsFile file(path);
  ASSERT_TRUE(file.Read(warnings));
  file.CurrentUser()->CreateForWrite(SettingsKeyPath(), false)->SetText("ShowFPS", "2: 0");
  fs::create_directories(path.string() + ".new/blocker");  // the temporary file cannot be made
  std::string error;
  EXPECT_FALSE(file.Save(error));
  EXPECT_FALSE(error.empty());
  EXPECT_EQ(ReadFile(), "ShowFPS=2: 1\n");

  SettingsFile nowhere{fs::path()};
  EXPECT_FALSE(nowhere.Save(error));
}

// Values the line form cannot give back are left out rather than written
// into a line that would read as something else.
TEST(SettingsFileFormat, LeavesOutWhatWouldNotReadBack) {
  MemorySettingsStore store;
  store.SetText("Top", "Good", "2: 1");
  store.SetText("Top", "Two\nLines", "2: 1");
  store.SetText("Top", "Path", "3: a\nFake=2: 9");
  store.SetText("Top", "A=B", "2: 1");
  store.SetText("Top", "[Section]", "2: 1");
  store.Make("Top\\Bad]Key");
  const std::string text = SettingsFile::Format(*store.Find("Top"));
  MemorySettingsStore back;
  std::vector<std::string> warnings;
  SettingsFile::Parse(text, back, "Top", warnings);
  EXPECT_TRUE(warnings.empty()) << text;
  ASSERT_NE(back.Find("Top"), nullptr);
  EXPECT_EQ(back.Find("Top")->values, (std::vector<std::pair<std::string, std::string>>{{"Good", "2: 1"}}));
  EXPECT_TRUE(back.Find("Top")->subKeys.empty());
}

// Every listed resource under its number and Windows type name (any case),
// its own signature at its start.
TEST(EmbeddedResources, CarryEveryListedResourceWhole) {
  EmbeddedResources resources;
  EXPECT_EQ(EmbeddedResources::Count(), resource::kAll.size());
  for (const resource::Entry& entry : resource::kAll) {
    const bool wav = entry.kind == resource::Kind::Wav, jpeg = entry.kind == resource::Kind::Jpeg || entry.kind == resource::Kind::Flag;
    const auto bytes = resources.find(entry.number, entry.kind == resource::Kind::Scene ? "SSSFILE"
                                                    : wav                                ? "WAVFILE"
                                                    : jpeg                               ? "JPEGFILE"
                                                                                         : "ICON");
    ASSERT_TRUE(bytes && bytes->size() > 4) << entry.number;
    const std::string_view head(reinterpret_cast<const char*>(bytes->data()), 4);
    EXPECT_TRUE(wav ? head == "RIFF" : !jpeg || head.starts_with("\xFF\xD8")) << entry.number;
  }
  EXPECT_TRUE(resources.find(resource::kSceneResource, "sssfile"));
  EXPECT_FALSE(resources.find(resource::kSceneResource, "JPEGFILE") || resources.find(1, "JPEGFILE"));
}

}  // namespace
}  // namespace brisane
