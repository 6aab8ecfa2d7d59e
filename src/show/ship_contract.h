// What the show and the ship scene agree on: the names the show looks up,
// the key windows it plays, the fixed clone matrices and the camera table.
// The asset generator authors the scene from these same tables, and tests
// read them rather than repeating the literals.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "resources/resource_numbers.h"
#include "settings/settings_keys.h"

namespace brisane::contract {

using resource::kSceneResource;  // SSSFILE

// Key windows the show loops: ropes and sails, then flags and pennants.
inline constexpr std::uint32_t kRiggingWindow = 1679;
inline constexpr std::uint32_t kFlagWindow = 1499;
inline constexpr float kWavingSpeed = 0.5f;

// Hull parts whose lightmaps cycle (kind 5 layers, 20 frames a second).
inline constexpr std::uint32_t kHullLightmapRate = 20;
inline constexpr std::array<std::string_view, 14> kHullLightmapNodes = {
    "balkon_down", "board_high01", "board_high02", "board_low01", "board_low02", "board_mid01", "board_mid02",
    "bottom01",    "bottom02",     "kiel",         "rudder",      "tranetc_up",  "tranetc01",   "tranetc03"};

inline constexpr std::array<std::string_view, 12> kRopes = {
    "anch_kanat01", "anch_kanat02", "Line257",     "sailkanat01", "sailkanat02", "sailkanat03",
    "sailkanat04",  "sailkanat05",  "sailkanat06", "sailkanat07", "sailkanat08", "sailkanat09"};

// One waving part of the rig: its node, the key window it loops over and
// how far ahead of time zero it starts.
struct Waving {
  std::string_view node;
  std::uint32_t toTime;
  std::int32_t offset;
};

// Sails, flags and their copies, in the order the show starts them.
inline constexpr std::array<Waving, 11> kCloths = {{
    {"sail01", kRiggingWindow, 800},
    {"sail01sail02clone", kRiggingWindow, 0},
    {"sail01sail03clone", kRiggingWindow, 300},
    {"sailx01", kRiggingWindow, 500},
    {"sailx01sailx02clone", kRiggingWindow, 0},
    {"sailxx01", kRiggingWindow, 0},
    {"flagx01", kFlagWindow, 0},
    {"flagx01flagx02clone", kFlagWindow, 600},
    {"flag01", kFlagWindow, 0},
    {"flag01flag02clone", kFlagWindow, 700},
    {"flag01flag03clone", kFlagWindow, 400},
}};

// A copy of a sail or flag: where it goes (rows of its local matrix, in the
// frame of its original's parent) and, for sails, the cloth it wears instead
// of the copy of the original's. The scene carries those cloths as materials
// no node uses.
struct CloneSpec {
  std::string_view original;
  std::string_view suffix;
  std::array<float, 16> local;
  std::string_view cloth;        // material put on the copy; empty: keeps its copy
  std::string_view copiedCloth;  // the material the copy came with
};

inline constexpr std::array<CloneSpec, 6> kClones = {{
    {"sail01", "sail02clone",
     {0.241886f, -0.902734f, 0, 0, 0.023099f, 0.006189f, 0.761422f, 0, 0.772528f, 0.206998f, -0.013447f, 0,
      -33.08929f, 167.7166f, -42.734f, 1},
     "sail01_sail02_1", "sail01_sail01_1sail02clone"},
    {"sail01", "sail03clone",
     {0.184871f, -0.689947f, 0, 0, -0.073754f, -0.019762f, 0.456283f, 0, 0.670901f, 0.179767f, 0.116231f, 0,
      84.20404f, 168.8775f, -75.78201f, 1},
     "sail01_sail03_1", "sail01_sail01_1sail03clone"},
    {"sailx01", "sailx02clone",
     {0.239647f, -0.894376f, 0, 0, 0.048608f, 0.013024f, 0.960221f, 0, 0.910002f, 0.243834f, -0.049374f, 0,
      -29.46042f, 168.5049f, 48.89615f, 1},
     "sail02_sailx02_1", "sail02_sailx01_1sailx02clone"},
    {"flagx01", "flagx02clone",
     {0.998135f, 0, -0.061049f, 0, 0, 1, 0, 0, 0.061049f, 0, 0.998135f, 0, -26.29717f, 167.4824f, 117.2579f, 1},
     {}, {}},
    {"flag01", "flag02clone",
     {0.883305f, 0, -0.054025f, 0, 0, 0.884956f, 0, 0, 0.054025f, 0, 0.883305f, 0, -25.81691f, 167.5155f,
      137.7154f, 1},
     {}, {}},
    {"flag01", "flag03clone",
     {0.839824f, 0, 0.029327f, 0, 0, 0.840336f, 0, 0, -0.029327f, 0, 0.839824f, 0, -250.7436f, 167.5155f,
      83.85338f, 1},
     {}, {}},
}};

// One camera of the show: the setting that selects it, its node, and how
// its flight path plays (toTime 0: a still camera).
struct CameraSpec {
  std::string_view setting;
  std::string_view node;
  std::int32_t remainingTime;
  std::int32_t pathTime;
  std::uint32_t fromTime;
  std::uint32_t toTime;
  float speed;
};

// The seven cameras in the order of their settings. Settings and nodes pair
// crosswise on purpose: Camera3 selects "Camera05" and Camera5 "Camera03".
inline constexpr std::array<CameraSpec, 7> kCameras = {{
    {"Camera1", "Camera01", 0, 0, 0, 3333, 0.07f},
    {"Camera2", "Camera02", 0, 0, 0, 9999, 0.07f},
    {"Camera3", "Camera05", 47614, 47614, 0, 3333, 0.07f},
    {"Camera4", "Camera04", 0, 0, 0, 0, 1.0f},
    {"Camera5", "Camera03", 47614, 47614, 0, 3333, 0.07f},
    {"Camera6", "Camera06", 47614, 47614, 0, 3333, 0.07f},
    {"Camera7", "Camera07", 33329, 33329, 0, 3333, 0.1f},
}};
inline constexpr std::string_view kFirstCamera = "Camera01";

// The flag the ship flies: the scene's material that takes the chosen
// picture, and the setting's numbers. FlagNum 1 is the user's own picture;
// the built-in flags follow, JPEGFILE resources FlagNum + kFlagResourceOffset.
inline constexpr std::string_view kFlagMaterial = "Flag_flag01_1";
inline constexpr std::int32_t kCustomFlag = brisane::kCustomFlag;  // the dialog's file entry
inline constexpr std::int32_t kLastBuiltInFlag = resource::kLastFlagNum;
inline constexpr std::int32_t kFlagResourceOffset = resource::kFlagPictureOffset;
static_assert(resource::kFirstFlagNum == kCustomFlag + 1, "the built-in flags follow the file entry");

// Points and parts the show binds by name.
inline constexpr std::string_view kSun = "Dummy_sun";
inline constexpr std::array<std::string_view, 2> kLanterns = {"Dummy_lantern01", "Dummy_lantern02"};
inline constexpr std::array<std::string_view, 2> kMetreMarks = {"Dummy_metr01", "Dummy_metr02"};
inline constexpr std::string_view kWind = "Dummy_wind01";
inline constexpr std::array<std::string_view, 2> kCreaks = {"Dummy_skrip01", "Dummy_skrip02"};
inline constexpr std::array<std::string_view, 2> kWater = {"Water01", "Water02"};
inline constexpr std::array<std::string_view, 2> kWaterMaterials = {"Water", "Water02 alfa"};
// The ship's own sounds, WAVFILE resources placed at nodes, with their
// distances in scene units, their cone angles in degrees where set, and
// whether the first listener update starts them looping (the others wait
// for the ship's motion). Loaded, started, stopped and released in this order.
struct AmbientSoundSpec {
  std::uint16_t resource;
  std::string_view node;
  float minDistance, maxDistance;
  bool cones;
  std::uint32_t insideCone, outsideCone;
  bool loops;
};
// Positions in kAmbientSounds and in the show's array of those sounds.
struct AmbientSound {
  enum : std::size_t { LanternLoop, CreakHigh, CreakLow, WindLoop };
};
inline constexpr std::array<AmbientSoundSpec, 4> kAmbientSounds = {{
    {resource::kLanternLoopSound, kLanterns[0], 350, 2000, true, 360, 360, true},
    {resource::kCreakHighSound, kCreaks[0], 40, 950, false, 0, 0, false},
    {resource::kCreakLowSound, kCreaks[1], 60, 900, false, 0, 0, false},
    {resource::kWindLoopSound, kWind, 280, 1450, true, 360, 0, true},
}};
// Each gun's shot; 0 when sound is off, which loads nothing.
using resource::kGunShotSound;

inline constexpr std::array<std::string_view, 8> kGuns = {"Gun01", "Gun02", "Gun03", "Gun04",
                                                           "Gun05", "Gun06", "Gun07", "Gun08"};

// Where the ship meets the water: the bow, then the port and starboard
// quarters. The ship rides the waves sampled under these three points.
inline constexpr std::array<std::string_view, 3> kWaterPoints = {"Dummy_water01", "Dummy_water02", "Dummy_water03"};
// The node that heaves, pitches and rolls with the sea.
inline constexpr std::string_view kShipRoot = "Brisane";

// Deck-level parts the sea does not mirror (they would show through the hull
// in the reflection): gun carriages, casks, supports, the boat, boxes, inner
// planking and decks, then the fittings along the bulwarks and the lantern.
// Each hides with everything below it.
inline constexpr std::array<std::string_view, 154> kReflectionHidden = {
    "gun_lafet01_01", "gun_lafet02_01", "gun_lafet03_01", "gun_wheel01_01", "gun_wheel02_01", "gun_wheel03_01",
    "gun_wheel04_01", "gun_shadow01", "gun_lafet01_02", "gun_lafet02_02", "gun_lafet03_02", "gun_wheel01_02",
    "gun_wheel02_02", "gun_wheel03_02", "gun_wheel04_02", "gun_shadow02", "gun_lafet01_03", "gun_lafet02_03",
    "gun_lafet03_03", "gun_wheel01_03", "gun_wheel02_03", "gun_wheel03_03", "gun_wheel04_03", "gun_shadow03",
    "gun_lafet01_04", "gun_lafet02_04", "gun_lafet03_04", "gun_wheel01_04", "gun_wheel02_04", "gun_wheel03_04",
    "gun_wheel04_04", "gun_shadow04", "gun_lafet01_05", "gun_lafet02_05", "gun_lafet03_05", "gun_wheel01_05",
    "gun_wheel02_05", "gun_wheel03_05", "gun_wheel04_05", "gun_shadow05", "gun_lafet01_06", "gun_lafet02_06",
    "gun_lafet03_06", "gun_wheel01_06", "gun_wheel02_06", "gun_wheel03_06", "gun_wheel04_06", "gun_shadow06",
    "gun_lafet01_07", "gun_lafet02_07", "gun_lafet03_07", "gun_wheel01_07", "gun_wheel02_07", "gun_wheel03_07",
    "gun_wheel04_07", "gun_shadow07", "gun_lafet01_08", "gun_lafet02_08", "gun_lafet03_08", "gun_wheel01_08",
    "gun_wheel02_08", "gun_wheel03_08", "gun_wheel04_08", "gun_shadow08", "bochka01", "bochka02", "bochka03",
    "bochka04", "bochka05", "podpor01", "podpor02", "podpor03", "podpor04", "podpor05", "podpor06", "podpor07",
    "podpor08", "mastbase01", "mastbase02", "mastbase03", "boat_1_01", "banka01", "banka02", "banka03",
    "banka04", "banka05", "boat_toretc", "boat_rubber01", "boat_rubber02", "Box01", "Box02", "Box03", "Box04",
    "Box05", "Box06", "Box07", "Box08", "Box09", "Box10", "Box11", "Box12", "Box13", "Box14", "Box15", "Box16",
    "Box17", "Box18", "Box19", "Box20", "Box21", "Box22", "Box23", "Box24", "Box25", "Box26", "Box27", "Box28",
    "Box29", "Box30", "Box31", "Box38", "Box39", "Box40", "Box41", "Box42", "Box43", "Box184", "Box185",
    "Box186", "Box187", "Box188", "Box189", "Box190", "Box191", "Box192", "Box193", "Box194", "Box195",
    "bushprit_x", "ard_high_inside02", "f_board02in02", "board_high_inside", "f_board01in", "f_board03in",
    "f_board02in01", "Line01", "Line02", "Line03", "Line04", "desc01", "desck02", "desck03", "desck04",
    "desck05",
};
inline constexpr std::array<std::string_view, 38> kReflectionHiddenFittings = {
    "boardbox01", "boardbox02", "boardbox03", "boardbox04", "boardbox05", "boardbox06", "boardbox08",
    "boardbox09", "boardbox10", "boardbox11", "boardbox12", "boardbox13", "boardbox14", "boardbox15",
    "boardbox16", "boardbox17", "boardbox18", "boardbox19", "boardbox20", "boardbox21", "boardbox22",
    "boardbox23", "boardbox24", "boardbox25", "boardbox26", "boardbox27", "boardbox28", "boardbox29",
    "boardbox30", "boardbox31", "boardbox32", "boardbox33", "boardbox34", "boardbox35", "boardbox36",
    "lantern01", "reshotka01", "lantern01_top",
};

// The rest of each gun, in gun order: the muzzle point where its smoke,
// flash and shot sound sit, the two fire meshes and the port lid. Guns 1 to
// 4 are one broadside, 5 to 8 the other.
inline constexpr std::array<std::string_view, 8> kGunMuzzles = {
    "Dummy_gun01", "Dummy_gun02", "Dummy_gun03", "Dummy_gun04",
    "Dummy_gun05", "Dummy_gun06", "Dummy_gun07", "Dummy_gun08"};
inline constexpr std::array<std::string_view, 8> kGunFires1 = {
    "gun_fire1_01", "gun_fire1_02", "gun_fire1_03", "gun_fire1_04",
    "gun_fire1_05", "gun_fire1_06", "gun_fire1_07", "gun_fire1_08"};
inline constexpr std::array<std::string_view, 8> kGunFires2 = {
    "gun_fire2_01", "gun_fire2_02", "gun_fire2_03", "gun_fire2_04",
    "gun_fire2_05", "gun_fire2_06", "gun_fire2_07", "gun_fire2_08"};
inline constexpr std::array<std::string_view, 8> kGunPorts = {"port01", "port02", "port03", "port04",
                                                               "port05", "port06", "port07", "port08"};

// Key windows of the guns and their ports (key milliseconds).
struct KeyWindow {
  std::uint32_t from, to;
};
inline constexpr KeyWindow kGunRunOut{0, 999};
inline constexpr KeyWindow kGunRecoil{1349, 1899};
inline constexpr KeyWindow kGunRunIn{2149, 2949};
inline constexpr KeyWindow kPortOpen{0, 499};
inline constexpr KeyWindow kPortClose{2649, 3199};
// The fire meshes move over 0..2939 and show their flames in the last
// frames of these geometry windows.
inline constexpr std::uint32_t kFireKeysEnd = 2939;
inline constexpr KeyWindow kFire1Frames{0, 1440};
inline constexpr KeyWindow kFire2Frames{0, 1500};
inline constexpr std::int32_t kFire1Offset = 1339, kFire2Offset = 1379;

// Pictures of the effects (JPEGFILE resources).
using resource::kSunGlowPicture;
inline constexpr std::array<std::uint16_t, 2> kLanternGlowPictures = {resource::kLanternGlowPicture1,
                                                                      resource::kLanternGlowPicture2};
using resource::kFlashPicture;
using resource::kGreySmokePicture;
using resource::kHotSmokePicture;

// The sun's flare: picture, size factor (times 6 x screen scale pixels) and
// place on the line from the sun through the screen centre.
struct FlareSpec {
  std::uint16_t picture;
  float sizeFactor;
  float t;
};
inline constexpr std::array<FlareSpec, 7> kFlares = {{{resource::kFlarePicture1, 20, 0.2885f},
                                                      {resource::kFlarePicture2, 15, 0.3885f},
                                                      {resource::kFlarePicture3, 30, 0.4535f},
                                                      {resource::kFlarePicture4, 10, 0.545f},
                                                      {resource::kFlarePicture5, 60, 0.72f},
                                                      {resource::kFlarePicture6, 40, 0.85f},
                                                      {resource::kFlarePicture7, 17, 1.0f}}};

}  // namespace brisane::contract
