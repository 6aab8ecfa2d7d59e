// Everything the program embeds, generated in memory: its resource number and
// type, the file name the resource script refers to, and the bytes.
#pragma once

#include <string>
#include <vector>

#include "canvas.h"
#include "encode.h"
#include "sounds.h"

namespace brisane::assets {

enum class AssetKind { Jpeg, Wav, Icon, Scene };

struct Asset {
  int id = 0;
  AssetKind kind = AssetKind::Jpeg;
  std::string file;     // jpeg_150.jpg, wav_151.wav, icon_100.ico, scene_147.sss
  std::string title;    // what it is, for the review sheet
  Bytes bytes;
  Image picture;        // the picture before encoding (the largest, for the icon)
  Sound sound;          // for WAV assets
};

// Flags are drawn this wide; the other pictures have sizes of their own.
constexpr int kFlagWidth = 512;

// Resource numbers of everything generated, in resource-script order.
std::vector<int> AssetIds();
// One resource by number; std::out_of_range for a number not generated.
Asset Generate(int id);
std::vector<Asset> GenerateAll();

}  // namespace brisane::assets
