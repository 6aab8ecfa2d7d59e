#include "encode.h"

#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <stdexcept>

#include <jpeglib.h>

namespace brisane::assets {

namespace {

void Put16(Bytes& b, unsigned v) {
  b.push_back(static_cast<std::uint8_t>(v));
  b.push_back(static_cast<std::uint8_t>(v >> 8));
}
void Put32(Bytes& b, std::uint32_t v) {
  Put16(b, v & 0xFFFF);
  Put16(b, v >> 16);
}
void Put32Be(Bytes& b, std::uint32_t v) {
  for (int s = 24; s >= 0; s -= 8) b.push_back(static_cast<std::uint8_t>(v >> s));
}
void PutText(Bytes& b, const char* s) {
  while (*s) b.push_back(static_cast<std::uint8_t>(*s++));
}

struct JpegError {
  jpeg_error_mgr mgr;
  std::jmp_buf jump;
};

void OnJpegError(j_common_ptr info) {
  std::longjmp(reinterpret_cast<JpegError*>(info->err)->jump, 1);
}

// Kept free of objects with destructors: a libjpeg error longjmps out of it.
bool CompressRows(const std::uint8_t* rgb, int width, int height, int quality, unsigned char** out,
                  unsigned long* size) {
  jpeg_compress_struct cinfo;
  JpegError err;
  cinfo.err = jpeg_std_error(&err.mgr);
  err.mgr.error_exit = OnJpegError;
  if (setjmp(err.jump)) {
    jpeg_destroy_compress(&cinfo);
    return false;
  }
  jpeg_create_compress(&cinfo);
  jpeg_mem_dest(&cinfo, out, size);
  cinfo.image_width = static_cast<JDIMENSION>(width);
  cinfo.image_height = static_cast<JDIMENSION>(height);
  cinfo.input_components = 3;
  cinfo.in_color_space = JCS_RGB;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, quality, TRUE);
  // Full-resolution chroma: flags are all hard colour edges.
  for (int c = 0; c < 3; ++c) {
    cinfo.comp_info[c].h_samp_factor = 1;
    cinfo.comp_info[c].v_samp_factor = 1;
  }
  cinfo.optimize_coding = TRUE;
  cinfo.write_JFIF_header = TRUE;
  jpeg_start_compress(&cinfo, TRUE);
  while (cinfo.next_scanline < cinfo.image_height) {
    JSAMPROW row = const_cast<JSAMPROW>(rgb + static_cast<std::size_t>(cinfo.next_scanline) * width * 3);
    jpeg_write_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  return true;
}

struct FreeDeleter {
  void operator()(unsigned char* p) const { std::free(p); }
};

std::uint32_t Crc32(const std::uint8_t* p, std::size_t n, std::uint32_t crc = 0) {
  crc = ~crc;
  for (std::size_t i = 0; i < n; ++i) {
    crc ^= p[i];
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
  }
  return ~crc;
}

void PngChunk(Bytes& out, const char* type, const Bytes& data) {
  Put32Be(out, static_cast<std::uint32_t>(data.size()));
  Bytes body;
  PutText(body, type);
  body.insert(body.end(), data.begin(), data.end());
  out.insert(out.end(), body.begin(), body.end());
  Put32Be(out, Crc32(body.data(), body.size()));
}

}  // namespace

Bytes EncodeJpeg(const Image& image, int quality) {
  const std::vector<std::uint8_t> rgb = image.Bytes();
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  bool ok = CompressRows(rgb.data(), image.width, image.height, quality, &buffer, &size);
  std::unique_ptr<unsigned char, FreeDeleter> owned(buffer);
  if (!ok) throw std::runtime_error("JPEG encoding failed");
  return Bytes(buffer, buffer + size);
}

Bytes EncodeWav(const std::vector<float>& samples, int sampleRate, int bits) {
  const std::uint32_t bytesPerSample = bits == 8 ? 1 : 2;
  const std::uint32_t dataSize = static_cast<std::uint32_t>(samples.size()) * bytesPerSample;
  Bytes b;
  b.reserve(44 + dataSize + 1);
  PutText(b, "RIFF");
  Put32(b, 36 + dataSize + (dataSize & 1));
  PutText(b, "WAVE");
  PutText(b, "fmt ");
  Put32(b, 16);
  Put16(b, 1);  // PCM
  Put16(b, 1);  // mono
  Put32(b, static_cast<std::uint32_t>(sampleRate));
  Put32(b, static_cast<std::uint32_t>(sampleRate) * bytesPerSample);
  Put16(b, bytesPerSample);
  Put16(b, static_cast<unsigned>(bits));
  PutText(b, "data");
  Put32(b, dataSize);
  for (float s : samples) {
    double v = std::clamp<double>(s, -1.0, 1.0);
    if (bits == 8) {
      b.push_back(static_cast<std::uint8_t>(std::clamp<long>(std::lround(128 + v * 127), 0, 255)));
    } else {
      auto q = static_cast<std::int16_t>(std::clamp<long>(std::lround(v * 32767), -32767, 32767));
      Put16(b, static_cast<std::uint16_t>(q));
    }
  }
  if (dataSize & 1) b.push_back(bits == 8 ? 128 : 0);  // chunks are word aligned
  return b;
}

Bytes EncodePng(const Image& image) {
  const std::vector<std::uint8_t> rgb = image.Bytes();
  // Filter byte 0 in front of every row, wrapped as stored deflate blocks.
  Bytes raw;
  const std::size_t stride = static_cast<std::size_t>(image.width) * 3;
  raw.reserve((stride + 1) * image.height);
  for (int y = 0; y < image.height; ++y) {
    raw.push_back(0);
    raw.insert(raw.end(), rgb.begin() + y * stride, rgb.begin() + (y + 1) * stride);
  }
  Bytes z = {0x78, 0x01};
  std::size_t pos = 0;
  do {
    std::size_t n = std::min<std::size_t>(65535, raw.size() - pos);
    z.push_back(pos + n == raw.size() ? 1 : 0);
    Put16(z, static_cast<unsigned>(n));
    Put16(z, static_cast<unsigned>(~n & 0xFFFF));
    z.insert(z.end(), raw.begin() + pos, raw.begin() + pos + n);
    pos += n;
  } while (pos < raw.size());
  std::uint32_t a = 1, b = 0;
  for (std::uint8_t v : raw) {
    a = (a + v) % 65521;
    b = (b + a) % 65521;
  }
  Put32Be(z, (b << 16) | a);

  Bytes out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  Bytes ihdr;
  Put32Be(ihdr, static_cast<std::uint32_t>(image.width));
  Put32Be(ihdr, static_cast<std::uint32_t>(image.height));
  ihdr.insert(ihdr.end(), {8, 2, 0, 0, 0});
  PngChunk(out, "IHDR", ihdr);
  PngChunk(out, "IDAT", z);
  PngChunk(out, "IEND", {});
  return out;
}

Bytes EncodeIcon(const std::vector<Image>& images) {
  Bytes out;
  Put16(out, 0);
  Put16(out, 1);  // icon
  Put16(out, static_cast<unsigned>(images.size()));
  std::vector<Bytes> bodies;
  for (const Image& im : images) {
    Bytes body;
    const int w = im.width, h = im.height;
    const std::uint32_t maskStride = ((static_cast<std::uint32_t>(w) + 31) / 32) * 4;
    Put32(body, 40);
    Put32(body, static_cast<std::uint32_t>(w));
    Put32(body, static_cast<std::uint32_t>(h) * 2);  // colour and mask stacked
    Put16(body, 1);
    Put16(body, 32);
    Put32(body, 0);
    Put32(body, static_cast<std::uint32_t>(w * h * 4) + maskStride * h);
    for (int k = 0; k < 4; ++k) Put32(body, 0);
    const std::vector<std::uint8_t> rgb = im.Bytes();
    for (int y = h - 1; y >= 0; --y) {  // bottom-up
      for (int x = 0; x < w; ++x) {
        std::size_t i = static_cast<std::size_t>(y) * w + x;
        body.push_back(rgb[i * 3 + 2]);
        body.push_back(rgb[i * 3 + 1]);
        body.push_back(rgb[i * 3]);
        body.push_back(static_cast<std::uint8_t>(std::lround(std::clamp(im.alpha[i], 0.0f, 1.0f) * 255)));
      }
    }
    for (int y = h - 1; y >= 0; --y) {
      Bytes row(maskStride, 0);
      for (int x = 0; x < w; ++x) {
        if (im.alpha[static_cast<std::size_t>(y) * w + x] < 0.5f) row[x / 8] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
      }
      body.insert(body.end(), row.begin(), row.end());
    }
    bodies.push_back(std::move(body));
  }
  std::uint32_t offset = 6 + 16 * static_cast<std::uint32_t>(images.size());
  for (std::size_t k = 0; k < images.size(); ++k) {
    out.push_back(static_cast<std::uint8_t>(images[k].width >= 256 ? 0 : images[k].width));
    out.push_back(static_cast<std::uint8_t>(images[k].height >= 256 ? 0 : images[k].height));
    out.push_back(0);  // no palette
    out.push_back(0);
    Put16(out, 1);   // planes
    Put16(out, 32);  // bits
    Put32(out, static_cast<std::uint32_t>(bodies[k].size()));
    Put32(out, offset);
    offset += static_cast<std::uint32_t>(bodies[k].size());
  }
  for (const Bytes& body : bodies) out.insert(out.end(), body.begin(), body.end());
  return out;
}

}  // namespace brisane::assets
