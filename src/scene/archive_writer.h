// Writes scene archives: the directory sorted by (name, type), then the
// records back to back in directory order, each a u32 length and its
// payload. The asset generator and the tests make their scenes with it.
#pragma once

#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <vector>

#include "scene/archive.h"
#include "scene/descriptions.h"
#include "scene/vertex_format.h"

namespace brisane {

// Little-endian encoder of the archive's scalars. Strings and counts that do
// not fit their u16 field throw std::length_error instead of wrapping.
class ByteWriter {
 public:
  void WriteU8(std::uint8_t v) { bytes_.push_back(v); }
  void WriteU16(std::uint16_t v);
  void WriteU32(std::uint32_t v);
  void WriteF32(float v);
  void WriteCount16(std::size_t n);
  void WriteString(const std::string& s);
  void WriteMatrix(const Matrix& m);
  void WriteColor(const DeviceColor& c);
  void WriteBytes(std::span<const std::uint8_t> data) { bytes_.insert(bytes_.end(), data.begin(), data.end()); }

  std::vector<std::uint8_t>& data() { return bytes_; }
  std::vector<std::uint8_t> Take() { return std::move(bytes_); }

 private:
  std::vector<std::uint8_t> bytes_;
};

struct ArchiveMesh {
  std::uint32_t fvf = kFvfOneTexture;
  std::vector<std::uint8_t> vertices;  // interleaved, FvfStride(fvf) bytes a vertex
  std::vector<std::uint16_t> indices;  // triangle list
  std::string material;                // empty: no material
};

struct ArchiveFrame {
  std::uint32_t time = 0;
  std::vector<ArchiveMesh> meshes;
};

struct ArchiveNode {
  std::string parentName = kFileRootName;
  std::vector<TransformKey> keys{TransformKey{}};
};

struct ArchiveLayer {
  std::uint16_t kind = 1;
  std::uint16_t param = 0;
  std::uint16_t texCoordIndex = 0;
  std::vector<std::string> frames;  // names of image records
};

struct ArchiveMaterial {
  DeviceMaterial description;
  std::uint16_t twoSided = 0;
  std::vector<ArchiveLayer> layers;
};

// Payload encoders, public so that tests can damage or extend a record.
std::vector<std::uint8_t> EncodeGeometry(const ArchiveNode& node, const std::vector<ArchiveFrame>& frames);
std::vector<std::uint8_t> EncodeCamera(const ArchiveNode& node, const Matrix& projection);
std::vector<std::uint8_t> EncodeLight(const ArchiveNode& node, const DeviceLight& light,
                                      const std::vector<std::string>& excluded);
std::vector<std::uint8_t> EncodeMaterial(const ArchiveMaterial& material);

class SceneArchiveWriter {
 public:
  // A pair written twice keeps the later payload. Invalid content (a vertex
  // array that is not whole vertices of its format, an index past the
  // vertices, an index count that is no triangle list) throws
  // std::invalid_argument.
  void AddGeometry(const std::string& name, const ArchiveNode& node, const std::vector<ArchiveFrame>& frames);
  void AddCamera(const std::string& name, const ArchiveNode& node, const Matrix& projection);
  void AddLight(const std::string& name, const ArchiveNode& node, const DeviceLight& light,
                const std::vector<std::string>& excluded = {});
  void AddMaterial(const std::string& name, const ArchiveMaterial& material);
  void AddImage(const std::string& name, std::vector<std::uint8_t> jpeg);
  void AddRecord(const std::string& name, const std::string& type, std::vector<std::uint8_t> payload);

  std::vector<std::uint8_t> Finish() const;

 private:
  std::map<ArchiveKey, std::vector<std::uint8_t>> records_;
};

}  // namespace brisane
