// The shader programs that stand in for Direct3D 7's fixed-function pipeline,
// and the block of device state they read. The C++ struct mirrors the GLSL
// block under std140 rules: only 16-byte members, so no padding differs.
// The states that steer control flow (operations, sources, light types,
// formats) are compiled into each program as constants, one program per
// combination, so that the compiler drops every branch not taken; the
// block's integer members mirror them for the key and are not read.
#pragma once

#include <array>
#include <compare>
#include <cstdint>
#include <string>

namespace brisane::gl {

inline constexpr int kStages = 4;  // texture stages the program evaluates
inline constexpr int kLights = 8;  // lights lit at once

struct Vec4 {
  float x = 0, y = 0, z = 0, w = 0;
};
struct IVec4 {
  std::int32_t x = 0, y = 0, z = 0, w = 0;
  auto operator<=>(const IVec4&) const = default;
};
// Row-major, row vectors, as the device's matrices (the block is row_major).
struct Mat4 {
  float m[4][4] = {};
};

struct ShaderLight {
  Vec4 diffuse, specular, ambient;
  Vec4 position;     // camera space; w: light type
  Vec4 direction;    // camera space, unit length
  Vec4 attenuation;  // a0, a1, a2, range
  Vec4 spot;         // cos(theta / 2), cos(phi / 2), falloff
};

struct ShaderState {
  Mat4 worldView;
  Mat4 projection;
  Mat4 normalMatrix;  // inverse transpose of worldView's upper 3 x 3
  Mat4 textureMatrix[kStages];
  Vec4 viewport;    // x, y, width, height in pixels
  Vec4 depthRange;  // minZ, maxZ
  IVec4 format;     // has normal, has diffuse, has specular, pre-transformed
  IVec4 lighting;   // on, light count, normalize normals, local viewer
  IVec4 sources;    // diffuse, ambient, specular, emissive: 0 material, 1 colour 1, 2 colour 2
  IVec4 misc;       // specular enable, alpha function (0 off), alpha reference, texture sets
  Vec4 ambient;
  Vec4 materialDiffuse, materialAmbient, materialSpecular, materialEmissive;
  Vec4 materialPower;
  Vec4 textureFactor;
  IVec4 stageColour[kStages];  // op, arg1, arg2, texture bound
  IVec4 stageAlpha[kStages];   // op, arg1, arg2
  IVec4 stageCoord[kStages];   // set, generation (0..3), transform count (0 off), projected
  ShaderLight lights[kLights];
};

// What one program is specialised for: the block's integer states (the alpha
// reference aside, which stays a value), the enabled lights' types and the
// shade mode. Equal keys give the same program.
struct ShaderKey {
  bool flat = false;  // colours of the first vertex across the face
  IVec4 format, lighting, sources;
  std::int32_t specular = 0, alphaFunc = 0;
  std::int32_t stages = 0;  // stages before the first disabled one
  std::array<std::int32_t, kLights> lightTypes{};
  std::array<IVec4, kStages> stageColour{}, stageAlpha{}, stageCoord{};
  auto operator<=>(const ShaderKey&) const = default;
};

// The key of a block: unused parts (lights when unlit, stages past the
// chain's end, coordinates of stages that sample nothing) set to zero so
// that states with the same picture share one program.
ShaderKey KeyOf(const ShaderState& state, bool flat);

std::string VertexShaderSource(const ShaderKey& key);
std::string FragmentShaderSource(const ShaderKey& key);

// A linked program of the two sources (the context current); 0 with the
// compiler's or the linker's words in error.
std::uint32_t LinkProgram(const std::string& vertexSource, const std::string& fragmentSource, std::string& error);

// Binding points and texture units the program uses.
inline constexpr std::uint32_t kStateBinding = 0;
inline constexpr const char* kStateBlockName = "DeviceState";

}  // namespace brisane::gl
