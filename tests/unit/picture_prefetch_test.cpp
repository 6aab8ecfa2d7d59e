// Pictures decoded ahead come out exactly as decoding them on the spot does,
// whatever order they are asked for in and however far ahead the thread may go.
#include "render/picture_prefetch.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "support/jpeg_stream.h"

namespace brisane {
namespace {

using JpegBytes = std::vector<std::uint8_t>;

// Flat blocks of one shade per picture, so that two pictures never decode alike.
JpegBytes Flat(int width, int height, int dc, bool cut = false) {
  testing::Stream s;
  s.Tables(), s.Frame(width, height), s.Scan();
  const int blocks = (width + 7) / 8 * ((height + 7) / 8);
  s.Block(dc);
  for (int i = 1; i < (cut ? blocks / 2 : blocks); ++i) s.Block(0);
  s.End();
  return s.bytes;
}

constexpr std::uint32_t kMax = 64;

void ExpectAsDecodedHere(const JpegBytes& bytes, bool ok, const DecodedPicture& got) {
  DecodedPicture want;
  EXPECT_EQ(ok, DecodePicture(bytes.data(), bytes.size(), want, kMax, kMax));
  EXPECT_EQ(got.pixels, want.pixels);
  EXPECT_EQ(std::vector<int>({got.width, got.height, got.scale}), std::vector<int>({want.width, want.height, want.scale}));
  EXPECT_EQ(got.stride, want.stride);
}

std::vector<std::span<const std::uint8_t>> Spans(const std::vector<JpegBytes>& pictures) {
  return {pictures.begin(), pictures.end()};
}

TEST(PicturePrefetchTest, EachPictureComesOutAsDecodedHereInAnyOrder) {
  // 256 wide is over the largest side: decoded at a quarter, by both threads alike.
  const std::vector<JpegBytes> pictures = {
      Flat(16, 16, 40), Flat(256, 16, -200), Flat(24, 8, 100), Flat(32, 32, 7, true), {0xFF, 0xD8, 0xFF, 0xC0},
      Flat(8, 8, -64)};
  const JpegBytes elsewhere = Flat(8, 16, 300);
  PicturePrefetch prefetch(Spans(pictures), kMax, kMax, std::size_t{1} << 20);
  // Time for the thread to decode them all first, so that what is checked is
  // its work (on a busy machine some may still be decoded here, which gives
  // the same answers).
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  for (std::size_t i : {5u, 0u, 3u, 1u, 4u, 2u, 3u}) {  // the damaged one twice
    SCOPED_TRACE(i);
    DecodedPicture got;
    const bool ok = prefetch.Take(pictures[i], got);
    ExpectAsDecodedHere(pictures[i], ok, got);
  }
  DecodedPicture got;
  const bool ok = prefetch.Take(elsewhere, got);
  ExpectAsDecodedHere(elsewhere, ok, got);
  // The same bytes at another address are another picture's, decoded here.
  const JpegBytes copy = pictures[2];
  EXPECT_TRUE(prefetch.Take(copy, got));
  ExpectAsDecodedHere(copy, true, got);
}

TEST(PicturePrefetchTest, NothingHeldAheadStillGivesEveryPictureAndPicturesNotTakenAreDropped) {
  std::vector<JpegBytes> pictures;
  for (int i = 0; i < 12; ++i) pictures.push_back(Flat(8 * (i % 3 + 1), 8, i * 16 - 96));
  {
    PicturePrefetch prefetch(Spans(pictures), kMax, kMax, 0);
    for (std::size_t i = 0; i < 6; ++i) {
      DecodedPicture got;
      const bool ok = prefetch.Take(pictures[i], got);
      ExpectAsDecodedHere(pictures[i], ok, got);
    }
  }  // six never taken: the thread, waiting or decoding, ends with it
  PicturePrefetch none({}, kMax, kMax, 0);
  DecodedPicture got;
  EXPECT_TRUE(none.Take(pictures[7], got));
  ExpectAsDecodedHere(pictures[7], true, got);
}

}  // namespace
}  // namespace brisane
