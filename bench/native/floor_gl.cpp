// The floor the native show is measured against: a bare OpenGL 3.3 program
// that opens a window and then, every frame, clears, draws N triangles lit by
// one directional light with two textures modulated, sent from the program's
// memory each frame as the show's geometry is, and swaps. Frames are paced
// by the clock to the display's refresh, as the show's are where the swap
// does not wait (a virtual X server), unless told "unpaced". Prints, as the native program does,
// when its first frame was shown (milliseconds after the process was
// created), the frames and the seconds between the first and the last.
//   floor_gl [WIDTHxHEIGHT [TRIANGLES [SECONDS [unpaced]]]]
#include <SDL.h>
#include <epoxy/gl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

struct Vertex {
  float x, y, z;
  float nx, ny, nz;
  float u0, v0, u1, v1;
};
// As many vertices a call as the Direct3D floor sends.
constexpr std::size_t kBatchVertices = 65535 / 3 * 3;

[[noreturn]] void Fail(const std::string& what) {
  std::printf("error=%s\n", what.c_str());
  std::fflush(stdout);
  std::exit(1);
}

// Seconds from the process's creation (the kernel's start time) to now, so
// the figure includes loading the libraries, as the native program's does.
double SecondsSinceProcessStart() {
  std::ifstream stat("/proc/self/stat");
  const std::string text{std::istreambuf_iterator<char>(stat), std::istreambuf_iterator<char>()};
  const std::size_t close = text.rfind(')');
  if (close == std::string::npos) return 0;
  std::istringstream fields(text.substr(close + 2));
  std::string field;
  for (int i = 3; i <= 22 && fields >> field; ++i) {
  }
  timespec now = {};
  clock_gettime(CLOCK_BOOTTIME, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9 -
         std::strtod(field.c_str(), nullptr) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

constexpr const char* kVertexShader = R"(#version 330 core
layout(location = 0) in vec3 position;
layout(location = 1) in vec3 normal;
layout(location = 2) in vec2 uv0;
layout(location = 3) in vec2 uv1;
uniform mat4 projection;
uniform vec3 toLight;
out vec4 colour;
out vec2 t0;
out vec2 t1;
void main() {
  gl_Position = projection * vec4(position, 1.0);
  vec3 ambient = vec3(0.25) * vec3(0.3);
  vec3 diffuse = vec3(1.0, 0.95, 0.9) * max(dot(normalize(normal), toLight), 0.0);
  colour = vec4(min(ambient + diffuse, 1.0), 1.0);
  t0 = uv0;
  t1 = uv1;
})";

constexpr const char* kFragmentShader = R"(#version 330 core
in vec4 colour;
in vec2 t0;
in vec2 t1;
uniform sampler2D stage0;
uniform sampler2D stage1;
out vec4 fragment;
void main() { fragment = texture(stage1, t1) * (texture(stage0, t0) * colour); })";

GLuint Compile(GLenum kind, const char* source) {
  const GLuint shader = glCreateShader(kind);
  glShaderSource(shader, 1, &source, nullptr);
  glCompileShader(shader);
  GLint ok = 0;
  glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
  if (!ok) {
    char log[1024] = {};
    glGetShaderInfoLog(shader, sizeof log, nullptr, log);
    Fail(std::string("shader: ") + log);
  }
  return shader;
}

// A checker in one stage and a soft gradient in the other, as the Direct3D
// floor has.
GLuint MakeTexture(int pattern) {
  std::vector<std::uint32_t> texels(256 * 256);
  for (std::uint32_t y = 0; y < 256; ++y)
    for (std::uint32_t x = 0; x < 256; ++x)
      texels[y * 256 + x] = pattern == 0 ? (((x / 32 + y / 32) & 1) ? 0xff4080c0u : 0xff806040u)
                                         : 0xff800000u | (y << 8) | x;  // RGBA bytes, little-endian
  GLuint texture = 0;
  glGenTextures(1, &texture);
  glBindTexture(GL_TEXTURE_2D, texture);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 256, 256, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
  return texture;
}

// A grid of triangles filling the view on a plane in front of the eye.
std::vector<Vertex> MakeTriangles(unsigned count) {
  const unsigned cells = (count + 1) / 2;
  const auto columns = static_cast<unsigned>(std::ceil(std::sqrt(cells * 4.0 / 3.0)));
  const unsigned rows = columns ? (cells + columns - 1) / columns : 0;
  std::vector<Vertex> vertices;
  vertices.reserve(static_cast<std::size_t>(count) * 3);
  const float width = 8.0f, height = 6.0f, depth = -5.0f;
  for (unsigned r = 0; r < rows && vertices.size() < count * 3u; ++r) {
    for (unsigned c = 0; c < columns && vertices.size() < count * 3u; ++c) {
      const float x0 = -width / 2 + width * c / columns, x1 = -width / 2 + width * (c + 1) / columns;
      const float y0 = height / 2 - height * r / rows, y1 = height / 2 - height * (r + 1) / rows;
      const float u0 = float(c) / columns, u1 = float(c + 1) / columns;
      const float v0 = float(r) / rows, v1 = float(r + 1) / rows;
      const Vertex a = {x0, y0, depth, 0, 0, 1, u0 * 8, v0 * 8, u0, v0};
      const Vertex b = {x1, y0, depth, 0, 0, 1, u1 * 8, v0 * 8, u1, v0};
      const Vertex d = {x0, y1, depth, 0, 0, 1, u0 * 8, v1 * 8, u0, v1};
      const Vertex e = {x1, y1, depth, 0, 0, 1, u1 * 8, v1 * 8, u1, v1};
      vertices.insert(vertices.end(), {a, b, d});
      if (vertices.size() < count * 3u) vertices.insert(vertices.end(), {b, e, d});
    }
  }
  return vertices;
}

std::int64_t MonotonicMicroseconds() {
  return std::chrono::duration_cast<std::chrono::microseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

}  // namespace

int main(int argc, char** argv) {
  int width = 1024, height = 768;
  if (argc > 1 && (std::sscanf(argv[1], "%dx%d", &width, &height) != 2 || width <= 0 || height <= 0))
    Fail("size: expected WIDTHxHEIGHT");
  const unsigned triangles = argc > 2 ? static_cast<unsigned>(std::strtoul(argv[2], nullptr, 10)) : 128000;
  const double seconds = argc > 3 ? std::atof(argv[3]) : 10.0;
  const bool paced = !(argc > 4 && std::string(argv[4]) == "unpaced");

  if (SDL_Init(SDL_INIT_VIDEO) != 0) Fail(std::string("SDL_Init: ") + SDL_GetError());
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
  SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 24);
  const std::unique_ptr<SDL_Window, decltype(&SDL_DestroyWindow)> window(
      SDL_CreateWindow("floor", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, width, height,
                       SDL_WINDOW_OPENGL | SDL_WINDOW_SHOWN),
      SDL_DestroyWindow);
  if (!window) Fail(std::string("SDL_CreateWindow: ") + SDL_GetError());
  const std::unique_ptr<void, decltype(&SDL_GL_DeleteContext)> context(SDL_GL_CreateContext(window.get()),
                                                                        SDL_GL_DeleteContext);
  if (!context) Fail(std::string("SDL_GL_CreateContext: ") + SDL_GetError());
  SDL_GL_SetSwapInterval(0);
  SDL_DisplayMode desktop = {};
  SDL_GetDesktopDisplayMode(0, &desktop);
  const std::int64_t period = 1000000 / (desktop.refresh_rate > 0 ? desktop.refresh_rate : 60);

  const GLuint program = glCreateProgram();
  glAttachShader(program, Compile(GL_VERTEX_SHADER, kVertexShader));
  glAttachShader(program, Compile(GL_FRAGMENT_SHADER, kFragmentShader));
  glLinkProgram(program);
  GLint linked = 0;
  glGetProgramiv(program, GL_LINK_STATUS, &linked);
  if (!linked) Fail("shader program does not link");
  glUseProgram(program);
  const float aspect = float(width) / float(height), zn = 1.0f, zf = 100.0f;
  const float projection[16] = {1.0f / aspect, 0, 0, 0, 0, 1, 0, 0, 0, 0, -(zf + zn) / (zf - zn), -1,
                                0, 0, -2 * zf * zn / (zf - zn), 0};
  glUniformMatrix4fv(glGetUniformLocation(program, "projection"), 1, GL_FALSE, projection);
  const float length = std::sqrt(0.3f * 0.3f + 0.4f * 0.4f + 1.0f);
  glUniform3f(glGetUniformLocation(program, "toLight"), -0.3f / length, 0.4f / length, 1.0f / length);
  glUniform1i(glGetUniformLocation(program, "stage0"), 0);
  glUniform1i(glGetUniformLocation(program, "stage1"), 1);
  glActiveTexture(GL_TEXTURE0);
  const GLuint stage0 = MakeTexture(0);
  glActiveTexture(GL_TEXTURE1);
  const GLuint stage1 = MakeTexture(1);

  GLuint array = 0, buffer = 0;
  glGenVertexArrays(1, &array);
  glBindVertexArray(array);
  glGenBuffers(1, &buffer);
  glBindBuffer(GL_ARRAY_BUFFER, buffer);
  const auto attribute = [](GLuint index, GLint size, std::size_t offset) {
    glEnableVertexAttribArray(index);
    glVertexAttribPointer(index, size, GL_FLOAT, GL_FALSE, sizeof(Vertex), reinterpret_cast<const void*>(offset));
  };
  attribute(0, 3, offsetof(Vertex, x));
  attribute(1, 3, offsetof(Vertex, nx));
  attribute(2, 2, offsetof(Vertex, u0));
  attribute(3, 2, offsetof(Vertex, u1));
  glEnable(GL_DEPTH_TEST);
  glDisable(GL_CULL_FACE);
  glViewport(0, 0, width, height);
  glClearColor(0x20 / 255.0f, 0x30 / 255.0f, 0x40 / 255.0f, 1.0f);

  const std::vector<Vertex> vertices = MakeTriangles(triangles);
  double firstFrame = 0;
  unsigned long long frames = 0;
  std::int64_t first = 0, last = 0, deadline = 0;
  for (bool running = true; running;) {
    SDL_Event event;
    while (SDL_PollEvent(&event))
      if (event.type == SDL_QUIT) running = false;
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    for (std::size_t at = 0; at < vertices.size(); at += kBatchVertices) {
      const std::size_t count = std::min(kBatchVertices, vertices.size() - at);
      glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(count * sizeof(Vertex)), &vertices[at], GL_STREAM_DRAW);
      glDrawArrays(GL_TRIANGLES, 0, static_cast<GLsizei>(count));
    }
    if (paced) {
      const std::int64_t now = MonotonicMicroseconds();
      if (deadline > now) std::this_thread::sleep_for(std::chrono::microseconds(deadline - now));
      deadline = std::max(deadline + period, now);
    }
    SDL_GL_SwapWindow(window.get());
    last = MonotonicMicroseconds();
    if (frames++ == 0) {
      firstFrame = SecondsSinceProcessStart();
      first = last;
    }
    if (static_cast<double>(last - first) >= seconds * 1e6) break;
  }
  if (const GLenum error = glGetError(); error != GL_NO_ERROR) Fail("GL error " + std::to_string(error));
  std::printf("first_frame_ms=%.0f frames=%llu seconds=%.3f triangles=%u\n", firstFrame * 1000.0, frames,
              static_cast<double>(last - first) * 1e-6, triangles);
  std::fflush(stdout);

  glDeleteBuffers(1, &buffer);
  glDeleteVertexArrays(1, &array);
  glDeleteTextures(1, &stage0);
  glDeleteTextures(1, &stage1);
  glDeleteProgram(program);
  return 0;
}
