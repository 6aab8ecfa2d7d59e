#include "scene/archive_writer.h"

#include <cstring>
#include <stdexcept>

namespace brisane {

void ByteWriter::WriteU16(std::uint16_t v) {
  bytes_.push_back(static_cast<std::uint8_t>(v));
  bytes_.push_back(static_cast<std::uint8_t>(v >> 8));
}

void ByteWriter::WriteU32(std::uint32_t v) {
  for (int shift = 0; shift < 32; shift += 8) bytes_.push_back(static_cast<std::uint8_t>(v >> shift));
}

void ByteWriter::WriteF32(float v) {
  std::uint32_t bits;
  std::memcpy(&bits, &v, sizeof bits);
  WriteU32(bits);
}

void ByteWriter::WriteCount16(std::size_t n) {
  if (n > 0xFFFF) throw std::length_error("count does not fit 16 bits");
  WriteU16(static_cast<std::uint16_t>(n));
}

void ByteWriter::WriteString(const std::string& s) {
  WriteCount16(s.size());
  bytes_.insert(bytes_.end(), s.begin(), s.end());
}

void ByteWriter::WriteMatrix(const Matrix& m) {
  for (float v : m.m) WriteF32(v);
}

void ByteWriter::WriteColor(const DeviceColor& c) {
  WriteF32(c.r);
  WriteF32(c.g);
  WriteF32(c.b);
  WriteF32(c.a);
}

namespace {

void WriteHeader(ByteWriter& out, const ArchiveNode& node) {
  out.WriteString(node.parentName);
  out.WriteCount16(node.keys.size());
  for (const auto& key : node.keys) {
    out.WriteU32(key.time);
    out.WriteMatrix(key.matrix);
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
  out.WriteU32(mesh.fvf);
  out.WriteCount16(vertexCount);
  out.WriteU32(static_cast<std::uint32_t>(mesh.vertices.size()));
  out.WriteBytes(mesh.vertices);
  out.WriteCount16(mesh.indices.size());
  out.WriteU32(static_cast<std::uint32_t>(mesh.indices.size() * 2));
  for (std::uint16_t index : mesh.indices) out.WriteU16(index);
  out.WriteString(mesh.material);
}

}  // namespace

std::vector<std::uint8_t> EncodeGeometry(const ArchiveNode& node, const std::vector<ArchiveFrame>& frames) {
  ByteWriter out;
  WriteHeader(out, node);
  out.WriteCount16(frames.size());
  for (const auto& frame : frames) {
    out.WriteU32(frame.time);
    out.WriteCount16(frame.meshes.size());
    for (const auto& mesh : frame.meshes) WriteMesh(out, mesh);
  }
  return out.Take();
}

std::vector<std::uint8_t> EncodeCamera(const ArchiveNode& node, const Matrix& projection) {
  ByteWriter out;
  WriteHeader(out, node);
  out.WriteMatrix(projection);
  return out.Take();
}

std::vector<std::uint8_t> EncodeLight(const ArchiveNode& node, const DeviceLight& light,
                                      const std::vector<std::string>& excluded) {
  ByteWriter out;
  WriteHeader(out, node);
  out.WriteU32(light.type);
  out.WriteColor(light.diffuse);
  out.WriteColor(light.specular);
  out.WriteColor(light.ambient);
  for (const DeviceVector& v : {light.position, light.direction}) {
    out.WriteF32(v.x);
    out.WriteF32(v.y);
    out.WriteF32(v.z);
  }
  for (float v : {light.range, light.falloff, light.attenuation0, light.attenuation1, light.attenuation2,
                  light.theta, light.phi})
    out.WriteF32(v);
  out.WriteCount16(excluded.size());
  for (const auto& name : excluded) out.WriteString(name);
  return out.Take();
}

std::vector<std::uint8_t> EncodeMaterial(const ArchiveMaterial& material) {
  ByteWriter out;
  const DeviceMaterial& d = material.description;
  out.WriteColor(d.diffuse);
  out.WriteColor(d.ambient);
  out.WriteColor(d.specular);
  out.WriteColor(d.emissive);
  out.WriteF32(d.power);
  out.WriteU16(material.twoSided);
  out.WriteCount16(material.layers.size());
  for (const auto& layer : material.layers) {
    out.WriteU16(layer.kind);
    if (layer.kind < 1 || layer.kind > 6) continue;  // such kinds carry no fields
    out.WriteU16(layer.param);
    out.WriteU16(layer.texCoordIndex);
    out.WriteCount16(layer.frames.size());
    for (const auto& name : layer.frames) out.WriteString(name);
  }
  return out.Take();
}

void SceneArchiveWriter::AddGeometry(const std::string& name, const ArchiveNode& node,
                                     const std::vector<ArchiveFrame>& frames) {
  AddRecord(name, kRecordGeometry, EncodeGeometry(node, frames));
}

void SceneArchiveWriter::AddCamera(const std::string& name, const ArchiveNode& node, const Matrix& projection) {
  AddRecord(name, kRecordCamera, EncodeCamera(node, projection));
}

void SceneArchiveWriter::AddLight(const std::string& name, const ArchiveNode& node, const DeviceLight& light,
                                  const std::vector<std::string>& excluded) {
  AddRecord(name, kRecordLight, EncodeLight(node, light, excluded));
}

void SceneArchiveWriter::AddMaterial(const std::string& name, const ArchiveMaterial& material) {
  AddRecord(name, kRecordMaterial, EncodeMaterial(material));
}

void SceneArchiveWriter::AddImage(const std::string& name, std::vector<std::uint8_t> jpeg) {
  AddRecord(name, kRecordImage, std::move(jpeg));
}

void SceneArchiveWriter::AddRecord(const std::string& name, const std::string& type,
                                   std::vector<std::uint8_t> payload) {
  if (name.size() > 0xFFFF || type.size() > 0xFFFF) throw std::length_error("record name too long");
  const std::uint64_t length = payload.size();
  if (length >> 32 != 0) throw std::length_error("record too long");
  records_[ArchiveKey{name, type}] = std::move(payload);
}

std::vector<std::uint8_t> SceneArchiveWriter::Finish() const {
  if (records_.size() > 0xFFFF) throw std::length_error("too many records");
  // The directory's length depends only on the names, so the offsets of the
  // records are known before they are written.
  std::size_t directoryBytes = 2;
  for (const auto& [key, payload] : records_) directoryBytes += 2 + key.name.size() + 2 + key.type.size() + 8;
  std::uint64_t offset = 4 + directoryBytes;

  ByteWriter out;
  out.WriteU32(static_cast<std::uint32_t>(directoryBytes));
  out.WriteCount16(records_.size());
  for (const auto& [key, payload] : records_) {
    out.WriteString(key.name);
    out.WriteString(key.type);
    out.WriteU32(static_cast<std::uint32_t>(offset));
    out.WriteU32(static_cast<std::uint32_t>(offset >> 32));
    offset += 4 + payload.size();
  }
  for (const auto& [key, payload] : records_) {
    out.WriteU32(static_cast<std::uint32_t>(payload.size()));
    out.WriteBytes(payload);
  }
  return out.Take();
}

}  // namespace brisane
