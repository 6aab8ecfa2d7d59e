// Renders a scene archive through its cameras into pictures, off screen, with
// the program's own renderer, textures and render states (lightmaps on, the
// light of full day), so that a scene can be looked at while it is authored.
//
//   scene_view ARCHIVE OUTDIR [options]
//     --camera NAME      a camera of the scene; repeatable. With neither
//                        --camera nor --look: every camera of the scene, in
//                        name order.
//     --time MS          the show's time: camera paths, waving sails, flags
//                        and ropes as if the show had run MS milliseconds
//                        with that camera selected at its start (default 0).
//     --size WxH         picture size (default 800x600).
//     --look EX,EY,EZ:TX,TY,TZ
//                        a free viewpoint: eye and target in world units, z
//                        up, 45 degrees vertical field; repeatable, written
//                        as look1.bmp, look2.bmp, ... in the order given.
//   Writes OUTDIR/<camera>.bmp and OUTDIR/lookN.bmp (24-bit) and prints one
//   line per picture: "picture=NAME|WIDTH|HEIGHT|DISTINCT_COLOURS". Exit
//   code 0; 2 for bad arguments, 3 for an archive that does not load, 4 for
//   a camera the scene lacks, 5 when the display cannot be brought up, 6
//   when a picture cannot be written.
#include <windows.h>
#include <ddraw.h>
#include <d3d.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "win32/com_ptr.h"
#include "tools/scene_view/offscreen.h"
#include "win32/d3d7_device.h"
#include "win32/texture_surface.h"
#include "render/device_frame.h"
#include "render/scene_renderer.h"
#include "scene/scene.h"
#include "show/show.h"

using namespace brisane;

namespace {

struct Look {
  Vector3 eye, target;
};

struct Options {
  std::string archive, outDir;
  std::vector<std::string> cameras;
  std::uint32_t timeMs = 0;
  DWORD width = 800, height = 600;
  std::vector<Look> looks;
};

bool ParseVector(const std::string& text, Vector3& v) {
  char tail = 0;
  return std::sscanf(text.c_str(), "%f,%f,%f%c", &v.x, &v.y, &v.z, &tail) == 3 && std::isfinite(v.x) &&
         std::isfinite(v.y) && std::isfinite(v.z);
}

std::optional<Options> Parse(int argc, char** argv) {
  if (argc < 3) return std::nullopt;
  Options o;
  o.archive = argv[1];
  o.outDir = argv[2];
  for (int i = 3; i < argc; ++i) {
    const std::string flag = argv[i];
    if (i + 1 >= argc) return std::nullopt;
    const std::string value = argv[++i];
    char tail = 0;
    if (flag == "--camera") {
      o.cameras.push_back(value);
    } else if (flag == "--time") {
      unsigned long ms = 0;
      // sscanf would take "-5" as a huge unsigned number.
      if (value.empty() || value[0] == '-' || std::sscanf(value.c_str(), "%lu%c", &ms, &tail) != 1 ||
          ms > 0xFFFFFFFFul)
        return std::nullopt;
      o.timeMs = static_cast<std::uint32_t>(ms);
    } else if (flag == "--size") {
      unsigned long w = 0, h = 0;
      if (std::sscanf(value.c_str(), "%lux%lu%c", &w, &h, &tail) != 2 || w < 1 || h < 1 || w > 4096 || h > 4096)
        return std::nullopt;
      o.width = static_cast<DWORD>(w);
      o.height = static_cast<DWORD>(h);
    } else if (flag == "--look") {
      const auto colon = value.find(':');
      Look look;
      if (colon == std::string::npos || !ParseVector(value.substr(0, colon), look.eye) ||
          !ParseVector(value.substr(colon + 1), look.target))
        return std::nullopt;
      o.looks.push_back(look);
    } else {
      return std::nullopt;
    }
  }
  return o;
}

// Perspective in view units (the view scales scene units by 0.01): near 5
// scene units, far 20000, so the whole sky fits.
Matrix Perspective(float verticalFov, float aspect) {
  const float zn = 0.05f, zf = 200.0f;
  const float yScale = 1.0f / std::tan(verticalFov / 2);
  Matrix p;
  p(0, 0) = yScale / aspect;
  p(1, 1) = yScale;
  p(2, 2) = zf / (zf - zn);
  p(2, 3) = 1.0f;
  p(3, 2) = -zn * zf / (zf - zn);
  return p;
}

bool WriteBmp(const std::string& path, DWORD width, DWORD height, const std::vector<std::uint32_t>& argb) {
  const DWORD rowBytes = (width * 3 + 3) & ~3u;
  BITMAPFILEHEADER file = {};
  BITMAPINFOHEADER info = {};
  file.bfType = 0x4D42;  // "BM"
  file.bfOffBits = sizeof file + sizeof info;
  file.bfSize = file.bfOffBits + rowBytes * height;
  info.biSize = sizeof info;
  info.biWidth = static_cast<LONG>(width);
  info.biHeight = static_cast<LONG>(height);  // bottom-up
  info.biPlanes = 1;
  info.biBitCount = 24;
  info.biCompression = BI_RGB;
  info.biSizeImage = rowBytes * height;
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> out(std::fopen(path.c_str(), "wb"), std::fclose);
  if (!out) return false;
  std::fwrite(&file, sizeof file, 1, out.get());
  std::fwrite(&info, sizeof info, 1, out.get());
  std::vector<std::uint8_t> row(rowBytes, 0);
  for (DWORD y = height; y-- > 0;) {
    for (DWORD x = 0; x < width; ++x) {
      const std::uint32_t p = argb[static_cast<std::size_t>(y) * width + x];
      row[x * 3 + 0] = static_cast<std::uint8_t>(p);
      row[x * 3 + 1] = static_cast<std::uint8_t>(p >> 8);
      row[x * 3 + 2] = static_cast<std::uint8_t>(p >> 16);
    }
    if (std::fwrite(row.data(), 1, row.size(), out.get()) != row.size()) return false;
  }
  return std::fflush(out.get()) == 0;
}

class Viewer {
 public:
  Viewer(const Options& options, Offscreen& display)
      : options_(options),
        display_(display),
        device_(display.d3d.Get(), display.device.Get(), display.target.Get()),
        textures_(display.directDraw.Get(), display.device.Get(), display.target.Get(), true),
        scene_(clock_) {}

  bool Load() {
    scene_.SetTextureLoader(&textures_);
    scene_.SetLightmapsEnabled(true);
    clock_.set(0);
    if (!scene_.Load(WindowsPath(options_.archive), 0)) return false;
    MakeRiggingClones(scene_);
    StartRiggingAnimation(scene_);
    SetFixedRenderStates(device_, display_.anisotropic, kDayAmbient);
    return true;
  }

  std::vector<std::string> AllCameras() const {
    std::vector<std::string> names;
    for (const auto& [name, node] : scene_.nodes())
      if (node->type() == NodeType::Camera) names.push_back(name);
    return names;
  }

  Camera* FindCamera(const std::string& name) const {
    return scene_.FindNode<Camera>(name);
  }

  // The camera's path runs from time zero as when the show selects it.
  bool RenderCamera(Camera& camera, const std::string& name) {
    clock_.set(0);
    if (const contract::CameraSpec* spec = FindShowCamera(camera.name())) StartCameraPath(camera, *spec);
    return RenderThrough(camera, name);
  }

  bool RenderLook(const Look& look, const std::string& name) {
    const auto world = CameraLookingAt(look.eye, look.target);
    if (!world) return false;
    Camera free("scene_view look", clock_);
    free.SetLocal(*world);
    free.Update(Matrix::Identity());
    free.projection = Perspective(3.14159265f / 4, static_cast<float>(options_.width) / options_.height);
    return RenderThrough(free, name);
  }

 private:
  bool RenderThrough(Camera& camera, const std::string& name) {
    Camera* previous = scene_.currentCamera();
    clock_.set(options_.timeMs);
    // A world matrix lags its animation by one update: the first pass poses,
    // the render's own pass places.
    scene_.root().UpdateSubtree();
    scene_.SetCurrentCamera(&camera);
    const FrameStatus status =
        DrawFrame(device_, 0xFF000000u, [&](Device& device) { scene_.Render(device); }, nullptr);
    scene_.SetCurrentCamera(previous);
    if (status != FrameStatus::Presented) {
      std::fprintf(stderr, "scene_view: the frame for %s failed\n", name.c_str());
      return false;
    }
    std::vector<std::uint32_t> pixels;
    const PixelRect all = {0, 0, static_cast<std::int32_t>(options_.width), static_cast<std::int32_t>(options_.height)};
    if (FAILED(ReadSurfacePixels(display_.target.Get(), all, pixels)) ||
        pixels.size() != static_cast<std::size_t>(options_.width) * options_.height)
      return false;
    const std::string path = WindowsPath(options_.outDir) + "\\" + name + ".bmp";
    if (!WriteBmp(path, options_.width, options_.height, pixels)) {
      std::fprintf(stderr, "scene_view: cannot write %s\n", path.c_str());
      return false;
    }
    const std::set<std::uint32_t> distinct(pixels.begin(), pixels.end());
    std::printf("picture=%s|%lu|%lu|%zu\n", name.c_str(), static_cast<unsigned long>(options_.width),
                static_cast<unsigned long>(options_.height), distinct.size());
    std::fflush(stdout);
    return true;
  }

  const Options& options_;
  Offscreen& display_;
  D3D7Device device_;
  TextureFactory textures_;
  ManualClock clock_;
  Scene scene_;  // last member: its textures go before the factory's device
};

int Run(const Options& options) {
  HWND window = MakeToolWindow("SceneViewWindow");

  Offscreen display;
  const std::string failed = BringUp(window, options.width, options.height, display);
  if (!failed.empty()) {
    std::fprintf(stderr, "scene_view: display bring-up failed at %s\n", failed.c_str());
    return 5;
  }
  CreateDirectoryA(WindowsPath(options.outDir).c_str(), nullptr);  // may exist already

  int result = 0;
  {
    Viewer viewer(options, display);
    if (!viewer.Load()) {
      std::fprintf(stderr, "scene_view: %s does not load\n", options.archive.c_str());
      return 3;
    }
    std::vector<std::string> cameras = options.cameras;
    if (cameras.empty() && options.looks.empty()) cameras = viewer.AllCameras();
    for (const std::string& name : cameras) {
      Camera* camera = viewer.FindCamera(name);
      if (!camera) {
        std::fprintf(stderr, "scene_view: no camera \"%s\" in the scene\n", name.c_str());
        result = 4;
        continue;
      }
      if (!viewer.RenderCamera(*camera, name)) result = 6;
    }
    for (std::size_t i = 0; i < options.looks.size(); ++i)
      if (!viewer.RenderLook(options.looks[i], "look" + std::to_string(i + 1))) result = 6;
  }
  DestroyWindow(window);
  return result;
}

}  // namespace

int main(int argc, char** argv) {
  const auto options = Parse(argc, argv);
  if (!options) {
    std::fprintf(stderr,
                 "usage: scene_view ARCHIVE OUTDIR [--camera NAME]... [--time MS] [--size WxH] "
                 "[--look EX,EY,EZ:TX,TY,TZ]...\n");
    return 2;
  }
  return Run(*options);
}
