#include "native/gl_display.h"

#include <epoxy/gl.h>

#include "native/display_gl.h"
#include "native/gl_shader.h"

namespace brisane {

namespace {

// One triangle over the whole window; each pixel finds its own texel, so a
// picture of the window's size is copied exactly. Row 0 of the back buffer
// is the picture's top, and the window's is its bottom.
constexpr char kVertexSource[] = R"(#version 330 core
void main() {
  vec2 corner = vec2(gl_VertexID == 1 ? 3.0 : -1.0, gl_VertexID == 2 ? 3.0 : -1.0);
  gl_Position = vec4(corner, 0.0, 1.0);
}
)";

// Every channel looked up in the ramp as the display's hardware would: the
// entry of the 8-bit value, and of that entry its high byte.
constexpr char kFragmentSource[] = R"(#version 330 core
uniform sampler2D picture;
uniform usampler2D ramp;
uniform vec2 windowSize;
out vec4 colour;
void main() {
  vec2 at = gl_FragCoord.xy / windowSize;
  vec3 texel = texture(picture, vec2(at.x, 1.0 - at.y)).rgb;
  ivec3 index = ivec3(texel * 255.0 + 0.5);
  vec3 mapped = vec3(texelFetch(ramp, ivec2(index.r, 0), 0).r, texelFetch(ramp, ivec2(index.g, 0), 0).g,
                     texelFetch(ramp, ivec2(index.b, 0), 0).b);
  colour = vec4(floor(mapped / 256.0) / 255.0, 1.0);
}
)";

}  // namespace

namespace {

bool KeepsColours(const GammaRamp& ramp) {
  for (std::size_t i = 0; i < 256; ++i)
    for (const auto* channel : {&ramp.red, &ramp.green, &ramp.blue})
      if (((*channel)[i] * 255u + 32767u) / 65535u != i) return false;
  return true;
}

}  // namespace

struct GlDisplay::State {
  ~State() {
    // The device and everything of it first: its objects live in the context.
    filter.reset();
    device.reset();
    // Nothing to give back (and maybe no context) when Init never ran.
    if (program) glDeleteProgram(program);
    if (vertexArray) glDeleteVertexArrays(1, &vertexArray);
    if (rampTexture) glDeleteTextures(1, &rampTexture);
    if (framebuffer) glDeleteFramebuffers(1, &framebuffer);
    if (depth) glDeleteRenderbuffers(1, &depth);
    if (colour) glDeleteTextures(1, &colour);
  }

  std::uint32_t width = 0, height = 0;
  GLuint colour = 0, depth = 0, framebuffer = 0;
  GLuint rampTexture = 0, vertexArray = 0, program = 0;
  GLint pictureUniform = -1, rampUniform = -1, windowSizeUniform = -1;
  GammaRamp ramp = IdentityRamp();
  bool rampChanged = true;
  // The ramp changes no 8-bit colour: the frame is copied as it is, which
  // costs a software rasteriser far less than a look-up per pixel.
  bool rampKeepsColours = true;
  GlTextureLoader textures;
  std::unique_ptr<GlDevice> device;
  std::unique_ptr<StateFilter> filter;
};

GlDisplay::GlDisplay() : state_(std::make_unique<State>()) {}

GlDisplay::~GlDisplay() = default;

bool GlDisplay::Init(std::uint32_t width, std::uint32_t height, std::string& error) {
  state_ = std::make_unique<State>();
  State& s = *state_;
  GLint maxSize = 0;
  glGetIntegerv(GL_MAX_RENDERBUFFER_SIZE, &maxSize);
  if (width == 0 || height == 0 || width > static_cast<std::uint32_t>(maxSize) ||
      height > static_cast<std::uint32_t>(maxSize)) {
    error = "a " + std::to_string(width) + "x" + std::to_string(height) + " picture does not fit this GL (at most " +
            std::to_string(maxSize) + ")";
    return false;
  }
  s.width = width;
  s.height = height;
  {
    DisplayGlState scope;
    glActiveTexture(GL_TEXTURE0);
    glGenTextures(1, &s.colour);
    glBindTexture(GL_TEXTURE_2D, s.colour);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, static_cast<GLsizei>(width), static_cast<GLsizei>(height), 0, GL_RGBA,
                 GL_UNSIGNED_BYTE, nullptr);
    // Linear only matters when the window is not the picture's size.
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);

    glGenRenderbuffers(1, &s.depth);
    glBindRenderbuffer(GL_RENDERBUFFER, s.depth);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH24_STENCIL8, static_cast<GLsizei>(width),
                          static_cast<GLsizei>(height));
    glBindRenderbuffer(GL_RENDERBUFFER, 0);

    glGenFramebuffers(1, &s.framebuffer);
    glBindFramebuffer(GL_FRAMEBUFFER, s.framebuffer);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, s.colour, 0);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER, s.depth);
    if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
      error = "the back buffer (colour and depth) cannot be made";
      return false;
    }
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);

    glGenTextures(1, &s.rampTexture);
    glBindTexture(GL_TEXTURE_2D, s.rampTexture);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB16UI, 256, 1, 0, GL_RGB_INTEGER, GL_UNSIGNED_SHORT, nullptr);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
    s.rampChanged = true;

    glGenVertexArrays(1, &s.vertexArray);
    s.program = gl::LinkProgram(kVertexSource, kFragmentSource, error);
    if (!s.program) {
      error = "the display's shader does not build: " + error;
      return false;
    }
    s.pictureUniform = glGetUniformLocation(s.program, "picture");
    s.rampUniform = glGetUniformLocation(s.program, "ramp");
    s.windowSizeUniform = glGetUniformLocation(s.program, "windowSize");
  }

  s.device = std::make_unique<GlDevice>();
  if (!s.device->failure().empty()) {
    error = "the device cannot draw: " + s.device->failure();
    return false;
  }
  s.device->SetBackBuffer(s.framebuffer, width, height);
  // As the Windows display starts its device: the whole picture, depth on.
  DeviceViewport viewport;
  viewport.width = width;
  viewport.height = height;
  s.device->SetViewport(viewport);
  s.device->SetRenderState(RenderState::ZEnable, d3d::kZbTrue);
  s.filter = std::make_unique<StateFilter>(*s.device);
  return true;
}

Device* GlDisplay::device() const { return state_->filter.get(); }

GlTextureLoader& GlDisplay::textures() { return state_->textures; }

void GlDisplay::SetGamma(double value, GammaCurve curve) {
  // The picture is mapped here and the desktop's own ramp is never read or
  // set, so every ramp is built from the identity.
  State& s = *state_;
  s.ramp = ComputeRamp(IdentityRamp(), value, curve);
  s.rampChanged = true;
  s.rampKeepsColours = KeepsColours(s.ramp);
}

const GammaRamp& GlDisplay::ramp() const { return state_->ramp; }

std::uint32_t GlDisplay::backBuffer() const { return state_->framebuffer; }

void GlDisplay::DrewOwnGl() {
  if (state_->device) state_->device->InvalidateState();
}

HResult GlDisplay::Present(std::uint32_t windowWidth, std::uint32_t windowHeight) {
  State& s = *state_;
  if (!s.program || windowWidth == 0 || windowHeight == 0) return kEFail;
  DisplayGlState scope;
  if (s.rampKeepsColours) {
    // Rows flipped on the way: the back buffer's row 0 is the picture's top.
    glBindFramebuffer(GL_READ_FRAMEBUFFER, s.framebuffer);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
    glBlitFramebuffer(0, 0, static_cast<GLint>(s.width), static_cast<GLint>(s.height), 0,
                      static_cast<GLint>(windowHeight), static_cast<GLint>(windowWidth), 0, GL_COLOR_BUFFER_BIT,
                      s.width == windowWidth && s.height == windowHeight ? GL_NEAREST : GL_LINEAR);
    return kOk;
  }
  glActiveTexture(GL_TEXTURE1);
  glBindTexture(GL_TEXTURE_2D, s.rampTexture);
  if (s.rampChanged) {
    std::uint16_t texels[256 * 3];
    for (int i = 0; i < 256; ++i) {
      texels[i * 3] = s.ramp.red[static_cast<std::size_t>(i)];
      texels[i * 3 + 1] = s.ramp.green[static_cast<std::size_t>(i)];
      texels[i * 3 + 2] = s.ramp.blue[static_cast<std::size_t>(i)];
    }
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, 256, 1, GL_RGB_INTEGER, GL_UNSIGNED_SHORT, texels);
    s.rampChanged = false;
  }
  glActiveTexture(GL_TEXTURE0);
  glBindTexture(GL_TEXTURE_2D, s.colour);
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  glViewport(0, 0, static_cast<GLsizei>(windowWidth), static_cast<GLsizei>(windowHeight));
  glUseProgram(s.program);
  glUniform1i(s.pictureUniform, 0);
  glUniform1i(s.rampUniform, 1);
  glUniform2f(s.windowSizeUniform, static_cast<float>(windowWidth), static_cast<float>(windowHeight));
  glBindVertexArray(s.vertexArray);
  glDrawArrays(GL_TRIANGLES, 0, 3);
  return kOk;
}

std::uint32_t GlDisplay::width() const { return state_->width; }

std::uint32_t GlDisplay::height() const { return state_->height; }

}  // namespace brisane
