#include "render/device_frame.h"

namespace brisane {

bool IsDisplayLost(HResult result) {
  return result == kSurfaceLost || result == kWrongMode || result == kNoExclusiveMode;
}

FrameStatus DrawFrame(Device& device, std::uint32_t clearArgb, const std::function<void(Device&)>& draw,
                      const std::function<HResult()>& present) {
  const HResult cleared = device.Clear(d3d::kClearTarget | d3d::kClearZBuffer, clearArgb, 1.0f, 0);
  if (IsDisplayLost(cleared)) return FrameStatus::DisplayLost;
  const HResult begun = device.BeginScene();
  if (Failed(begun)) return IsDisplayLost(begun) ? FrameStatus::DisplayLost : FrameStatus::Failed;
  if (draw) draw(device);
  const HResult ended = device.EndScene();
  if (IsDisplayLost(ended)) return FrameStatus::DisplayLost;
  const HResult presented = present ? present() : kOk;
  if (IsDisplayLost(presented)) return FrameStatus::DisplayLost;
  return Failed(presented) || Failed(ended) ? FrameStatus::Failed : FrameStatus::Presented;
}

}  // namespace brisane
