#include "scene/archive_writer.h"

#include <cstring>
#include <stdexcept>

namespace brisane {

void ByteWriter::u16(std::uint16_t v) {
  bytes_.push_back(static_cast<std::uint8_t>(v));
  bytes_.push_back(static_cast<std::uint8_t>(v >> 8));
}

void ByteWriter::u32(std::uint32_t v) {
  for (int shift = 0; shift < 32; shift += 8) bytes_.push_back(static_cast<std::uint8_t>(v >> shift));
}

void ByteWriter::f32(float v) {
  std::uint32_t bits;
  std::memcpy(&bits, &v, sizeof bits);
  u32(bits);
}

void ByteWriter::count16(std::size_t n) {
  if (n > 0xFFFF) throw std::length_error("count does not fit 16 bits");
  u16(static_cast<std::uint16_t>(n));
}

void ByteWriter::string(const std::string& s) {
  count16(s.size());
  bytes_.insert(bytes_.end(), s.begin(), s.end());
}

void ByteWriter::matrix(const Matrix& m) {
  for (float v : m.m) f32(v);
}

void ByteWriter::color(const DeviceColor& c) {
  f32(c.r);
  f32(c.g);
  f32(c.b);
  f32(c.a);
}

namespace {

void WriteHeader(ByteWriter& out, const ArchiveNode& node) {
  out.string(node.parentName);
  out.count16(node.keys.size());
  for (const auto& key : node.keys) {
    out.u32(key.time);
    out.matrix(key.matrix);
  }
}

void WriteMesh(ByteWriter& out, const ArchiveMesh& mesh) {
  const std::uint32_t stride = FvfStride(mesh.fvf);
  if (stride == 0) throw std::invalid_argument("mesh has no usable vertex format");
  if (mesh.vertices.size() % stride != 0) throw std::invalid_argument("mesh vertices are not whole vertices");
  const std::size_t vertexCount = mesh.vertices.size() / stride;
  if (mesh.indices.size() % 3 != 0) throw std::invalid_argument("mesh indices are not a triangle list");
  for (std::uint16_t index : mesh.indices)
    if (index >= vertexCount) throw std::invalid_argument("mesh index past its vertices");
  out.u32(mesh.fvf);
  out.count16(vertexCount);
  out.u32(static_cast<std::uint32_t>(mesh.vertices.size()));
  out.bytes(mesh.vertices);
  out.count16(mesh.indices.size());
  out.u32(static_cast<std::uint32_t>(mesh.indices.size() * 2));
  for (std::uint16_t index : mesh.indices) out.u16(index);
  out.string(mesh.material);
}

}  // namespace

std::vector<std::uint8_t> EncodeGeometry(const ArchiveNode& node, const std::vector<ArchiveFrame>& frames) {
  ByteWriter out;
  WriteHeader(out, node);
  out.count16(frames.size());
  for (const auto& frame : frames) {
    out.u32(frame.time);
    out.count16(frame.meshes.size());
    for (const auto& mesh : frame.meshes) WriteMesh(out, mesh);
  }
  return out.take();
}

std::vector<std::uint8_t> EncodeCamera(const ArchiveNode& node, const Matrix& projection) {
  ByteWriter out;
  WriteHeader(out, node);
  out.matrix(projection);
  return out.take();
}

std::vector<std::uint8_t> EncodeLight(const ArchiveNode& node, const DeviceLight& light,
                                      const std::vector<std::string>& excluded) {
  ByteWriter out;
  WriteHeader(out, node);
  out.u32(light.type);
  out.color(light.diffuse);
  out.color(light.specular);
  out.color(light.ambient);
  for (const DeviceVector& v : {light.position, light.direction}) {
    out.f32(v.x);
    out.f32(v.y);
    out.f32(v.z);
  }
  for (float v : {light.range, light.falloff, light.attenuation0, light.attenuation1, light.attenuation2,
                  light.theta, light.phi})
    out.f32(v);
  out.count16(excluded.size());
  for (const auto& name : excluded) out.string(name);
  return out.take();
}

std::vector<std::uint8_t> EncodeMaterial(const ArchiveMaterial& material) {
  ByteWriter out;
  const DeviceMaterial& d = material.description;
  out.color(d.diffuse);
  out.color(d.ambient);
  out.color(d.specular);
  out.color(d.emissive);
  out.f32(d.power);
  out.u16(material.twoSided);
  out.count16(material.layers.size());
  for (const auto& layer : material.layers) {
    out.u16(layer.kind);
    if (layer.kind < 1 || layer.kind > 6) continue;  // such kinds carry no fields
    out.u16(layer.param);
    out.u16(layer.texCoordIndex);
    out.count16(layer.frames.size());
    for (const auto& name : layer.frames) out.string(name);
  }
  return out.take();
}

void SceneArchiveWriter::addGeometry(const std::string& name, const ArchiveNode& node,
                                     const std::vector<ArchiveFrame>& frames) {
  addRecord(name, kRecordGeometry, EncodeGeometry(node, frames));
}

void SceneArchiveWriter::addCamera(const std::string& name, const ArchiveNode& node, const Matrix& projection) {
  addRecord(name, kRecordCamera, EncodeCamera(node, projection));
}

void SceneArchiveWriter::addLight(const std::string& name, const ArchiveNode& node, const DeviceLight& light,
                                  const std::vector<std::string>& excluded) {
  addRecord(name, kRecordLight, EncodeLight(node, light, excluded));
}

void SceneArchiveWriter::addMaterial(const std::string& name, const ArchiveMaterial& material) {
  addRecord(name, kRecordMaterial, EncodeMaterial(material));
}

void SceneArchiveWriter::addImage(const std::string& name, std::vector<std::uint8_t> jpeg) {
  addRecord(name, kRecordImage, std::move(jpeg));
}

void SceneArchiveWriter::addRecord(const std::string& name, const std::string& type,
                                   std::vector<std::uint8_t> payload) {
  if (name.size() > 0xFFFF || type.size() > 0xFFFF) throw std::length_error("record name too long");
  const std::uint64_t length = payload.size();
  if (length >> 32 != 0) throw std::length_error("record too long");
  records_[ArchiveKey{name, type}] = std::move(payload);
}

std::vector<std::uint8_t> SceneArchiveWriter::finish() const {
  if (records_.size() > 0xFFFF) throw std::length_error("too many records");
  // The directory's length depends only on the names, so the offsets of the
  // records are known before they are written.
  std::size_t directoryBytes = 2;
  for (const auto& [key, payload] : records_) directoryBytes += 2 + key.name.size() + 2 + key.type.size() + 8;
  std::uint64_t offset = 4 + directoryBytes;

  ByteWriter out;
  out.u32(static_cast<std::uint32_t>(directoryBytes));
  out.count16(records_.size());
  for (const auto& [key, payload] : records_) {
    out.string(key.name);
    out.string(key.type);
    out.u32(static_cast<std::uint32_t>(offset));
    out.u32(static_cast<std::uint32_t>(offset >> 32));
    offset += 4 + payload.size();
  }
  for (const auto& [key, payload] : records_) {
    out.u32(static_cast<std::uint32_t>(payload.size()));
    out.bytes(payload);
  }
  return out.take();
}

}  // namespace brisane
