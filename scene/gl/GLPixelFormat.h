#pragma once
// Choosing a pixel format (a frame-buffer configuration) for a rendering context
// from the formats the driver describes: the strict request with its relaxation
// steps, and the lenient "closest format" path used when the strict one finds
// nothing.

#include "scene/gl/GLContext.h"

#include <cstddef>
#include <vector>

// Attributes of a pixel-format request. 0 ends an attribute list.
enum TPixelFormatAttribute : int {
  pfaDrawToWindow = 1,
  pfaDrawToPbuffer,
  pfaFullAcceleration,
  pfaColorBits,
  pfaAlphaBits,
  pfaDepthBits,
  pfaStencilBits,
  pfaAccumBits,
  pfaAuxBuffers,
  pfaDoubleBuffer,
  pfaStereo,
  pfaSampleBuffers,
  pfaSamples,
};

// A list of (attribute, value) pairs ended by a 0.
class TAttributeList {
public:
  TAttributeList() { Clear(); }
  void Clear() { FItems.assign(1, 0); }
  // Appends a pair, keeping the final 0.
  void Add(int attribute, int value);
  // Replaces the value of `attribute`, or adds the pair.
  void Change(int attribute, int value);
  // Removes the pairs of `attribute`.
  void Drop(int attribute);
  bool Find(int attribute, int* value = nullptr) const;
  // The flat list, pairs then 0.
  const std::vector<int>& Items() const { return FItems; }

private:
  std::vector<int> FItems;
};

// One pixel format as the driver describes it.
struct TPixelFormatInfo {
  int Id = 0;
  int RedBits = 0, GreenBits = 0, BlueBits = 0, AlphaBits = 0;
  int BufferBits = 0;  // all colour bits of a pixel, alpha included
  int DepthBits = 0, StencilBits = 0;
  int SampleBuffers = 0, Samples = 0;
  bool Window = false;    // can draw to a window
  bool Pbuffer = false;   // can draw to a pixel buffer
  bool OpenGL = true;     // renders with desktop OpenGL
  bool RGBA = true;       // fixed-point RGB(A) colour buffer
  bool Slow = false;      // the driver marks it slow (not accelerated)
};

// The strict choice: indices into `formats` of those that satisfy every pair of
// `request` (sizes are minimums, the rest exact), best first, at most `maxCount`.
std::vector<std::size_t> ChoosePixelFormats(const TAttributeList& request,
                                            const std::vector<TPixelFormatInfo>& formats,
                                            std::size_t maxCount = 32);

// What a context asks of its pixel format.
struct TPixelFormatSettings {
  int ColorBits = 32, AlphaBits = 0, DepthBits = 0, StencilBits = 0, AccumBits = 0, AuxBuffers = 0;
  TGLRCOptions Options = 0;
  TGLAntiAliasing AntiAliasing = aaDefault;
  bool Multisample = true;  // the driver can describe multisampled formats
};

// The request for a window (with its double-buffer and stereo options) or for a
// pixel buffer, relaxed step by step until the strict choice finds a format;
// then the pick among the found ones by the anti-aliasing setting. -1 when the
// last relaxation still finds nothing.
int ChoosePixelFormatStrict(const TPixelFormatSettings& settings, bool window,
                            const std::vector<TPixelFormatInfo>& formats);

// The closest format for a window: every size short of the request counts
// against it, and on a window a slow format is refused while the depth and
// then the colour request drop to 16 bits; the last choice is taken as it is.
// -1 only when no format can draw to a window with OpenGL.
int ChoosePixelFormatLenient(const TPixelFormatSettings& settings,
                             const std::vector<TPixelFormatInfo>& formats);
