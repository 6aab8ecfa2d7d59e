// Greyscale JPEG streams written by hand for tests that need real JPEG
// bytes without an encoder.
#pragma once

#include <cstdint>
#include <vector>

namespace brisane::testing {

// Flat 8x8 blocks (DC only), every DC size coded in 4 bits and a 1-bit
// end-of-block, quantisation 1: a block of DC value P decodes to
// 128 + (P + 4) / 8 (rounded down).
class Stream {
 public:
  std::vector<std::uint8_t> bytes;
  Stream() { Marker(0xD8); }
  void Marker(int code) { bytes.insert(bytes.end(), {0xFF, static_cast<std::uint8_t>(code)}); }
  void Segment(int code, const std::vector<std::uint8_t>& payload) {
    Marker(code);
    const std::size_t length = payload.size() + 2;
    bytes.insert(bytes.end(), {static_cast<std::uint8_t>(length >> 8), static_cast<std::uint8_t>(length & 0xFF)});
    bytes.insert(bytes.end(), payload.begin(), payload.end());
  }
  void Tables() {
    std::vector<std::uint8_t> q(65, 1);
    q[0] = 0x00;  // 8-bit table 0
    Segment(0xDB, q);
    std::vector<std::uint8_t> dc = {0x00, 0, 0, 0, 12, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    for (int i = 0; i < 12; ++i) dc.push_back(static_cast<std::uint8_t>(i));
    Segment(0xC4, dc);
    Segment(0xC4, {0x10, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x00});
  }
  void Frame(int width, int height, int marker = 0xC0) {
    Segment(marker, {8, static_cast<std::uint8_t>(height >> 8), static_cast<std::uint8_t>(height),
                     static_cast<std::uint8_t>(width >> 8), static_cast<std::uint8_t>(width), 1, 1, 0x11, 0});
  }
  void Restarts(int interval) { Segment(0xDD, {0, static_cast<std::uint8_t>(interval)}); }
  void Scan() { Segment(0xDA, {1, 1, 0x00, 0, 63, 0}); }
  // One block whose DC differs from the previous one by diff.
  void Block(int diff) {  // and an end of block
    Dc(diff);
    Bits(0, 1);
  }
  // The DC part alone, as a progressive picture's first DC scan codes it.
  void Dc(int diff) {
    int size = 0;
    for (int m = diff < 0 ? -diff : diff; m; m >>= 1) ++size;
    Bits(static_cast<unsigned>(size), 4);
    if (size) Bits(static_cast<unsigned>(diff > 0 ? diff : diff + (1 << size) - 1), size);
  }
  void Restart(int n) {
    Flush();
    Marker(0xD0 + (n & 7));
  }
  void End() {
    Flush();
    Marker(0xD9);
  }
  void Flush() { if (count_) Bits(0x7F, 8 - count_); }  // pads with ones

 private:
  void Bits(unsigned value, int n) {
    for (int i = n - 1; i >= 0; --i) {
      acc_ = static_cast<std::uint8_t>(acc_ << 1 | ((value >> i) & 1));
      if (++count_ == 8) {
        bytes.push_back(acc_);
        if (acc_ == 0xFF) bytes.push_back(0);
        acc_ = 0, count_ = 0;
      }
    }
  }
  std::uint8_t acc_ = 0;
  int count_ = 0;
};

// A w x h picture of DC-only blocks whose values step along each row: cheap
// to write and to decode at any size, yet not flat.
inline std::vector<std::uint8_t> DcPicture(int w, int h) {
  Stream s;
  s.Tables(), s.Frame(w, h), s.Scan();
  int pred = 0;
  for (int by = 0; by < (h + 7) / 8; ++by)
    for (int bx = 0; bx < (w + 7) / 8; ++bx) {
      const int dc = ((bx + by) % 16) * 64 - 512;
      s.Block(dc - pred);
      pred = dc;
    }
  s.End();
  return s.bytes;
}

}  // namespace brisane::testing
