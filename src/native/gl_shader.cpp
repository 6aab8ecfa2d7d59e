#include "native/gl_shader.h"

#include <epoxy/gl.h>

#include <algorithm>

namespace brisane::gl {

namespace {

// The state block, shared by both stages. row_major: the matrices arrive as
// the device holds them and are applied to row vectors, v * M. The integer
// states come as the constants before it; their slots here keep the layout.
constexpr const char* kBlock = R"(
struct ShaderLight {
  vec4 diffuse, specular, ambient;
  vec4 position;     // camera space; w: 1 point, 2 spot, 3 directional
  vec4 direction;    // camera space, unit length
  vec4 attenuation;  // a0, a1, a2, range
  vec4 spot;         // cos(theta / 2), cos(phi / 2), falloff
};
layout(std140, row_major) uniform DeviceState {
  mat4 worldView;
  mat4 projection;
  mat4 normalMatrix;
  mat4 textureMatrix[4];
  vec4 viewport;
  vec4 depthRange;
  ivec4 formatSlot;
  ivec4 lightingSlot;
  ivec4 sourcesSlot;
  ivec4 misc;  // z: alpha reference
  vec4 ambient;
  vec4 materialDiffuse, materialAmbient, materialSpecular, materialEmissive;
  vec4 materialPower;
  vec4 textureFactor;
  ivec4 stageColourSlot[4];
  ivec4 stageAlphaSlot[4];
  ivec4 stageCoordSlot[4];
  ShaderLight lights[8];
};
)";

constexpr const char* kVertexBody = R"(
layout(location = 0) in vec4 aPosition;  // x, y, z (w 1) or screen x, y, z, rhw
layout(location = 1) in vec3 aNormal;
layout(location = 2) in vec4 aDiffuse;   // ARGB dwords, read through GL_BGRA
layout(location = 3) in vec4 aSpecular;
layout(location = 4) in vec2 aTex0;
layout(location = 5) in vec2 aTex1;
layout(location = 6) in vec2 aTex2;
layout(location = 7) in vec2 aTex3;

SHADE out vec4 vDiffuse;
SHADE out vec4 vSpecular;
out vec4 vTex[4];

const float kCentreShift = 63.0 / 128.0;

// A material colour or one of the vertex colours (the *MaterialSource
// states, already resolved against ColorVertex and the vertex format).
vec4 Source(int source, vec4 material, vec4 diffuse, vec4 specular) {
  if (source == 1) return diffuse;
  if (source == 2) return specular;
  return material;
}

// One light's share. N.L counts up to 1: a normal longer than unit (a
// world matrix that scales, NormalizeNormals off) brightens no further.
void AddLight(int i, int type, vec3 P, vec3 N, vec3 toViewer, inout vec3 sumAmbient, inout vec3 sumDiffuse,
              inout vec3 sumSpecular) {
  vec3 L;
  float factor = 1.0;
  if (type == 3) {
    L = -lights[i].direction.xyz;  // directional: no attenuation, no range
  } else {
    vec3 d = lights[i].position.xyz - P;
    float dist = length(d);
    if (dist > lights[i].attenuation.w) return;  // beyond range the light adds nothing
    L = dist > 0.0 ? d / dist : vec3(0.0);
    vec3 a = lights[i].attenuation.xyz;
    float denominator = a.x + a.y * dist + a.z * dist * dist;
    factor = denominator > 0.0 ? 1.0 / denominator : 1.0;
    if (type == 2) {
      // Spot: full inside theta, none outside phi, falloff between.
      float rho = dot(-L, lights[i].direction.xyz);
      vec3 s = lights[i].spot.xyz;
      if (rho <= s.y) return;
      if (rho <= s.x) factor *= pow((rho - s.y) / (s.x - s.y), s.z);
    }
  }
  sumAmbient += lights[i].ambient.rgb * factor;
  float nl = dot(N, L);
  if (nl > 0.0) {
    sumDiffuse += lights[i].diffuse.rgb * min(nl, 1.0) * factor;
    if (kSpecular != 0) {
      float nh = dot(N, normalize(L + toViewer));
      if (nh > 0.0) sumSpecular += lights[i].specular.rgb * pow(nh, materialPower.x) * factor;
    }
  }
}

// Direct3D 7 lighting in camera space. The normal is used as transformed:
// only NormalizeNormals makes it unit length. One call per enabled light,
// each with its type as a constant.
void Light(vec3 P, vec3 N, inout vec4 diffuse, inout vec4 specular) {
  vec4 md = Source(sources.x, materialDiffuse, diffuse, specular);
  vec4 ma = Source(sources.y, materialAmbient, diffuse, specular);
  vec4 ms = Source(sources.z, materialSpecular, diffuse, specular);
  vec4 me = Source(sources.w, materialEmissive, diffuse, specular);
  vec3 sumAmbient = ambient.rgb, sumDiffuse = vec3(0.0), sumSpecular = vec3(0.0);
  // The viewer: at the eye with LocalViewer, else infinitely far down -z.
  vec3 toViewer = lighting.w != 0 ? normalize(-P) : vec3(0.0, 0.0, -1.0);
  if (lighting.y > 0) AddLight(0, lightTypes[0], P, N, toViewer, sumAmbient, sumDiffuse, sumSpecular);
  if (lighting.y > 1) AddLight(1, lightTypes[1], P, N, toViewer, sumAmbient, sumDiffuse, sumSpecular);
  if (lighting.y > 2) AddLight(2, lightTypes[2], P, N, toViewer, sumAmbient, sumDiffuse, sumSpecular);
  if (lighting.y > 3) AddLight(3, lightTypes[3], P, N, toViewer, sumAmbient, sumDiffuse, sumSpecular);
  if (lighting.y > 4) AddLight(4, lightTypes[4], P, N, toViewer, sumAmbient, sumDiffuse, sumSpecular);
  if (lighting.y > 5) AddLight(5, lightTypes[5], P, N, toViewer, sumAmbient, sumDiffuse, sumSpecular);
  if (lighting.y > 6) AddLight(6, lightTypes[6], P, N, toViewer, sumAmbient, sumDiffuse, sumSpecular);
  if (lighting.y > 7) AddLight(7, lightTypes[7], P, N, toViewer, sumAmbient, sumDiffuse, sumSpecular);
  diffuse = clamp(vec4(me.rgb + ma.rgb * sumAmbient + md.rgb * sumDiffuse, md.a), 0.0, 1.0);
  specular = kSpecular != 0 ? clamp(vec4(ms.rgb * sumSpecular, ms.a), 0.0, 1.0) : vec4(0.0);
}

// A stage's coordinates before the fragment stage divides or drops any.
vec4 StageCoordinates(int s, vec2 sets[4], vec3 eye, vec3 normal) {
  ivec4 c = stageCoord[s];
  vec4 t;
  if (c.y == 0 || format.w != 0) {
    // A two-float set enters a texture transform as (u, v, 1, 0).
    t = vec4(c.x >= 0 ? sets[c.x] : vec2(0.0), 1.0, 0.0);
  } else if (c.y == 1) {
    t = vec4(normal, 1.0);
  } else if (c.y == 2) {
    t = vec4(eye, 1.0);
  } else {
    t = vec4(reflect(normalize(eye), normal), 1.0);
  }
  if (c.z != 0 && format.w == 0) t = t * textureMatrix[s];
  return t;
}

void main() {
  vec4 diffuse = format.y != 0 ? aDiffuse : vec4(1.0);  // white without a colour
  vec4 specular = format.z != 0 ? aSpecular : vec4(0.0);
  vec2 sets[4] = vec2[4](aTex0, aTex1, aTex2, aTex3);
  vec3 eye = vec3(0.0), normal = vec3(0.0);
  if (format.w != 0) {
    // Screen pixels with rhw. Direct3D's pixel centres lie on integers,
    // OpenGL's on halves: the vertex moves right and down by a shade under
    // half a pixel, so that an edge through pixel centres never ties and
    // Direct3D's top-left rule decides (the top and left rows are in).
    float w = aPosition.w > 0.0 ? 1.0 / aPosition.w : 1.0;
    vec2 p = (aPosition.xy + kCentreShift - viewport.xy) / viewport.zw;
    float span = depthRange.y - depthRange.x;
    float z = span != 0.0 ? (aPosition.z - depthRange.x) / span : 0.0;
    gl_Position = vec4(p.x * 2.0 - 1.0, 1.0 - p.y * 2.0, z, 1.0) * w;
  } else {
    vec4 e = vec4(aPosition.xyz, 1.0) * worldView;
    eye = e.xyz;
    vec4 clip = e * projection;
    clip.x += clip.w * 2.0 * kCentreShift / viewport.z;  // the same shift, in clip space
    clip.y -= clip.w * 2.0 * kCentreShift / viewport.w;
    gl_Position = clip;
    if (format.x != 0) normal = (vec4(aNormal, 0.0) * normalMatrix).xyz;
    if (lighting.z != 0 && dot(normal, normal) > 0.0) normal = normalize(normal);
    if (lighting.x != 0) Light(eye, normal, diffuse, specular);
  }
  vDiffuse = diffuse;
  vSpecular = specular;
  vTex[0] = StageCoordinates(0, sets, eye, normal);
  vTex[1] = StageCoordinates(1, sets, eye, normal);
  vTex[2] = StageCoordinates(2, sets, eye, normal);
  vTex[3] = StageCoordinates(3, sets, eye, normal);
}
)";

constexpr const char* kFragmentBody = R"(
SHADE in vec4 vDiffuse;
SHADE in vec4 vSpecular;
in vec4 vTex[4];
uniform sampler2D uTexture0;
uniform sampler2D uTexture1;
uniform sampler2D uTexture2;
uniform sampler2D uTexture3;
out vec4 fragColour;

// The stage's coordinates: the transform's count of them, divided by the
// last one when projected.
vec2 Coordinates(int s) {
  ivec4 c = stageCoord[s];
  vec4 t = vTex[s];
  if (c.z == 1) return vec2(t.x, 0.0);
  if (c.z >= 2 && c.w != 0) return t.xy / t[c.z - 1];
  return t.xy;
}

// An argument: the source, then complement, then alpha replicated.
vec4 Arg(int arg, vec4 current, vec4 texel) {
  int which = arg & 15;
  vec4 v = vec4(0.0);
  if (which == 0) v = vDiffuse;
  else if (which == 1) v = current;
  else if (which == 2) v = texel;
  else if (which == 3) v = textureFactor;
  else if (which == 4) v = vSpecular;
  if ((arg & 16) != 0) v = 1.0 - v;
  if ((arg & 32) != 0) v = vec4(v.a);
  return v;
}

vec4 Op(int op, vec4 a, vec4 b, vec4 current, vec4 texel) {
  vec4 r;
  if (op == 2) r = a;
  else if (op == 3) r = b;
  else if (op == 4) r = a * b;
  else if (op == 5) r = 2.0 * a * b;
  else if (op == 6) r = 4.0 * a * b;
  else if (op == 7) r = a + b;
  else if (op == 8) r = a + b - 0.5;
  else if (op == 9) r = 2.0 * (a + b - 0.5);
  else if (op == 10) r = a - b;
  else if (op == 11) r = a + b - a * b;
  else if (op == 12) r = mix(b, a, vDiffuse.a);
  else if (op == 13) r = mix(b, a, texel.a);
  else if (op == 14) r = mix(b, a, textureFactor.a);
  else if (op == 15) r = a + b * (1.0 - texel.a);
  else if (op == 16) r = mix(b, a, current.a);
  else r = current;  // operations the program never sets pass the stage through
  return clamp(r, 0.0, 1.0);
}

bool ReadsTexture(int op, int a, int b) {
  return ((a & 15) == 2 && op != 3) || ((b & 15) == 2 && op != 2);
}

bool AlphaPasses(int func, float alpha, float ref) {
  float a = floor(alpha * 255.0 + 0.5);
  if (func == 1) return false;
  if (func == 2) return a < ref;
  if (func == 3) return a == ref;
  if (func == 4) return a <= ref;
  if (func == 5) return a > ref;
  if (func == 6) return a != ref;
  if (func == 7) return a >= ref;
  return true;
}

// One stage of the chain over current, t its texel.
vec4 StageOutput(int s, vec4 current, vec4 t) {
  ivec4 c = stageColour[s];
  ivec4 a = stageAlpha[s];
  int colourOp = c.x, colour1 = c.y, colour2 = c.z;
  int alphaOp = a.x, alpha1 = a.y, alpha2 = a.z;
  // Alpha disabled under a live colour operation carries current alpha.
  if (alphaOp == 1) { alphaOp = 2; alpha1 = 1; }
  // A stage without a texture that reads one passes current through.
  if (c.w == 0 && ReadsTexture(colourOp, colour1, colour2)) { colourOp = 2; colour1 = 1; }
  if (c.w == 0 && ReadsTexture(alphaOp, alpha1, alpha2)) { alphaOp = 2; alpha1 = 1; }
  vec3 rgb = Op(colourOp, Arg(colour1, current, t), Arg(colour2, current, t), current, t).rgb;
  float alpha = Op(alphaOp, Arg(alpha1, current, t), Arg(alpha2, current, t), current, t).a;
  return vec4(rgb, alpha);
}

void main() {
  vec4 texels[4] = vec4[4](vec4(0.0, 0.0, 0.0, 1.0), vec4(0.0, 0.0, 0.0, 1.0), vec4(0.0, 0.0, 0.0, 1.0),
                           vec4(0.0, 0.0, 0.0, 1.0));
  if (kStageCount > 0 && stageColour[0].w != 0) texels[0] = texture(uTexture0, Coordinates(0));
  if (kStageCount > 1 && stageColour[1].w != 0) texels[1] = texture(uTexture1, Coordinates(1));
  if (kStageCount > 2 && stageColour[2].w != 0) texels[2] = texture(uTexture2, Coordinates(2));
  if (kStageCount > 3 && stageColour[3].w != 0) texels[3] = texture(uTexture3, Coordinates(3));

  vec4 current = vDiffuse;  // stage 0's current is the diffuse colour
  // A disabled colour operation ends the chain: kStageCount stages run.
  if (kStageCount > 0) current = StageOutput(0, current, texels[0]);
  if (kStageCount > 1) current = StageOutput(1, current, texels[1]);
  if (kStageCount > 2) current = StageOutput(2, current, texels[2]);
  if (kStageCount > 3) current = StageOutput(3, current, texels[3]);
  if (kSpecular != 0) current.rgb = min(current.rgb + vSpecular.rgb, 1.0);  // specular added after the stages
  if (kAlphaFunc != 0 && !AlphaPasses(kAlphaFunc, current.a, float(misc.z))) discard;
  fragColour = current;
}
)";

std::string Glsl(const IVec4& v) {
  return "ivec4(" + std::to_string(v.x) + ", " + std::to_string(v.y) + ", " + std::to_string(v.z) + ", " +
         std::to_string(v.w) + ")";
}

template <typename T, std::size_t N>
std::string GlslArray(const char* type, const char* name, const std::array<T, N>& values) {
  std::string s = std::string("const ") + type + " " + name + "[" + std::to_string(N) + "] = " + type + "[" +
                  std::to_string(N) + "](";
  for (std::size_t i = 0; i < N; ++i) {
    if constexpr (std::is_same_v<T, IVec4>)
      s += Glsl(values[i]);
    else
      s += std::to_string(values[i]);
    s += i + 1 < N ? ", " : ");\n";
  }
  return s;
}

// The key's states as constants ahead of the shared source.
std::string Source(const char* body, const ShaderKey& key) {
  std::string s = "#version 330 core\n";
  s += key.flat ? "#define SHADE flat\n" : "#define SHADE smooth\n";
  s += "const ivec4 format = " + Glsl(key.format) + ";  // normal, diffuse, specular, pre-transformed\n";
  s += "const ivec4 lighting = " + Glsl(key.lighting) + ";  // on, light count, normalize, local viewer\n";
  s += "const ivec4 sources = " + Glsl(key.sources) + ";  // diffuse, ambient, specular, emissive\n";
  s += "const int kSpecular = " + std::to_string(key.specular) + ";\n";
  s += "const int kAlphaFunc = " + std::to_string(key.alphaFunc) + ";  // 0: no alpha test\n";
  s += "const int kStageCount = " + std::to_string(key.stages) + ";\n";
  s += GlslArray("int", "lightTypes", key.lightTypes);
  s += GlslArray("ivec4", "stageColour", key.stageColour);  // op, arg1, arg2, texture bound
  s += GlslArray("ivec4", "stageAlpha", key.stageAlpha);    // op, arg1, arg2
  s += GlslArray("ivec4", "stageCoord", key.stageCoord);    // set, generation, transform count, projected
  s += kBlock;
  s += body;
  return s;
}

}  // namespace

ShaderKey KeyOf(const ShaderState& state, bool flat) {
  ShaderKey k;
  k.flat = flat;
  k.format = state.format;
  k.specular = state.misc.x;
  k.alphaFunc = state.misc.y;
  if (state.lighting.x != 0) {
    k.lighting = state.lighting;
    k.lighting.y = std::clamp(state.lighting.y, 0, kLights);
    k.sources = state.sources;
    for (int i = 0; i < k.lighting.y; ++i)
      k.lightTypes[static_cast<std::size_t>(i)] = static_cast<std::int32_t>(state.lights[i].position.w);
  }
  while (k.stages < kStages && state.stageColour[k.stages].x != 1) ++k.stages;
  for (int s = 0; s < k.stages; ++s) {
    const auto i = static_cast<std::size_t>(s);
    k.stageColour[i] = state.stageColour[s];
    k.stageAlpha[i] = state.stageAlpha[s];
    k.stageAlpha[i].w = 0;
    // Only a stage that samples reads its coordinates.
    if (state.stageColour[s].w != 0) k.stageCoord[i] = state.stageCoord[s];
  }
  return k;
}

std::string VertexShaderSource(const ShaderKey& key) { return Source(kVertexBody, key); }
std::string FragmentShaderSource(const ShaderKey& key) { return Source(kFragmentBody, key); }

namespace {

GLuint Compile(GLenum type, const std::string& source, std::string& error) {
  const GLuint shader = glCreateShader(type);
  const char* text = source.c_str();
  glShaderSource(shader, 1, &text, nullptr);
  glCompileShader(shader);
  GLint ok = GL_FALSE;
  glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
  if (ok) return shader;
  char log[1024] = {};
  glGetShaderInfoLog(shader, sizeof log, nullptr, log);
  error = std::string("shader: ") + log;
  glDeleteShader(shader);
  return 0;
}

}  // namespace

std::uint32_t LinkProgram(const std::string& vertexSource, const std::string& fragmentSource, std::string& error) {
  const GLuint vs = Compile(GL_VERTEX_SHADER, vertexSource, error);
  const GLuint fs = vs ? Compile(GL_FRAGMENT_SHADER, fragmentSource, error) : 0;
  if (!fs) {
    if (vs) glDeleteShader(vs);
    return 0;
  }
  const GLuint program = glCreateProgram();
  glAttachShader(program, vs);
  glAttachShader(program, fs);
  glLinkProgram(program);
  // The program keeps what it needs; the shaders go with it.
  glDeleteShader(vs);
  glDeleteShader(fs);
  GLint ok = GL_FALSE;
  glGetProgramiv(program, GL_LINK_STATUS, &ok);
  if (ok) return program;
  char log[1024] = {};
  glGetProgramInfoLog(program, sizeof log, nullptr, log);
  error = std::string("program: ") + log;
  glDeleteProgram(program);
  return 0;
}

}  // namespace brisane::gl
