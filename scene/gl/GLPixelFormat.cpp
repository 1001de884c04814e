#include "scene/gl/GLPixelFormat.h"

#include <algorithm>
#include <tuple>

void TAttributeList::Add(int attribute, int value) {
  FItems.pop_back();
  FItems.push_back(attribute);
  FItems.push_back(value);
  FItems.push_back(0);
}

void TAttributeList::Change(int attribute, int value) {
  for (std::size_t i = 0; i + 1 < FItems.size(); i += 2)
    if (FItems[i] == attribute) {
      FItems[i + 1] = value;
      return;
    }
  Add(attribute, value);
}

void TAttributeList::Drop(int attribute) {
  std::vector<int> kept;
  for (std::size_t i = 0; i + 1 < FItems.size(); i += 2)
    if (FItems[i] != attribute) {
      kept.push_back(FItems[i]);
      kept.push_back(FItems[i + 1]);
    }
  kept.push_back(0);
  FItems.swap(kept);
}

bool TAttributeList::Find(int attribute, int* value) const {
  for (std::size_t i = 0; i + 1 < FItems.size(); i += 2)
    if (FItems[i] == attribute) {
      if (value) *value = FItems[i + 1];
      return true;
    }
  return false;
}

namespace {

bool Satisfies(const TPixelFormatInfo& format, int attribute, int value) {
  switch (attribute) {
    case pfaDrawToWindow:
      return format.Window == (value != 0);
    case pfaDrawToPbuffer:
      return format.Pbuffer == (value != 0);
    case pfaFullAcceleration:
      return format.Slow == (value == 0);
    case pfaColorBits:
      return format.BufferBits >= value;
    case pfaAlphaBits:
      return format.AlphaBits >= value;
    case pfaDepthBits:
      return format.DepthBits >= value;
    case pfaStencilBits:
      return format.StencilBits >= value;
    case pfaAccumBits:  // no accumulation buffers and no auxiliary buffers are described
    case pfaAuxBuffers:
      return value == 0;
    case pfaDoubleBuffer:  // a window surface is made single- or double-buffered as asked
      return format.Window || value == 0;
    case pfaStereo:
      return value == 0;
    case pfaSampleBuffers:
      return format.SampleBuffers >= value;
    case pfaSamples:
      return format.Samples >= value;
    default:
      return false;
  }
}

// Best first: fast before slow, then the smallest buffers that still satisfy
// the request, plain 8-bit channels before wide ones at equal size.
auto Rank(const TPixelFormatInfo& f) {
  int widest = std::max({f.RedBits, f.GreenBits, f.BlueBits});
  return std::make_tuple(f.Slow, f.SampleBuffers, f.Samples, f.BufferBits, widest, f.AlphaBits, f.DepthBits,
                         f.StencilBits, f.Id);
}

bool Usable(const TPixelFormatInfo& format) { return format.OpenGL && format.RGBA; }

void SortBest(std::vector<std::size_t>& indices, const std::vector<TPixelFormatInfo>& formats) {
  std::stable_sort(indices.begin(), indices.end(),
                   [&](std::size_t a, std::size_t b) { return Rank(formats[a]) < Rank(formats[b]); });
}

TAttributeList FormatRequest(const TPixelFormatSettings& s, bool window) {
  TAttributeList request;
  if (window) {
    request.Add(pfaDrawToWindow, 1);
    request.Add(pfaStereo, (s.Options & rcoStereo) ? 1 : 0);
    request.Add(pfaDoubleBuffer, (s.Options & rcoDoubleBuffered) ? 1 : 0);
  } else {
    request.Add(pfaDrawToPbuffer, 1);
  }
  request.Add(pfaFullAcceleration, 1);
  request.Add(pfaColorBits, s.ColorBits);
  if (s.AlphaBits > 0) request.Add(pfaAlphaBits, s.AlphaBits);
  request.Add(pfaDepthBits, s.DepthBits);
  if (s.StencilBits > 0) request.Add(pfaStencilBits, s.StencilBits);
  if (s.AccumBits > 0) request.Add(pfaAccumBits, s.AccumBits);
  if (s.AuxBuffers > 0) request.Add(pfaAuxBuffers, s.AuxBuffers);
  if (s.AntiAliasing != aaDefault && s.Multisample) {
    if (s.AntiAliasing == aaNone) {
      request.Add(pfaSampleBuffers, 0);
    } else {
      request.Add(pfaSampleBuffers, 1);
      request.Add(pfaSamples, (s.AntiAliasing == aa2x || s.AntiAliasing == aa2xHQ) ? 2 : 4);
    }
  }
  return request;
}

}  // namespace

std::vector<std::size_t> ChoosePixelFormats(const TAttributeList& request,
                                            const std::vector<TPixelFormatInfo>& formats,
                                            std::size_t maxCount) {
  std::vector<std::size_t> found;
  const std::vector<int>& items = request.Items();
  for (std::size_t i = 0; i < formats.size(); ++i) {
    if (!Usable(formats[i])) continue;
    bool ok = true;
    for (std::size_t k = 0; ok && k + 1 < items.size(); k += 2) ok = Satisfies(formats[i], items[k], items[k + 1]);
    if (ok) found.push_back(i);
  }
  SortBest(found, formats);
  if (found.size() > maxCount) found.resize(maxCount);
  return found;
}

int ChoosePixelFormatStrict(const TPixelFormatSettings& settings, bool window,
                            const std::vector<TPixelFormatInfo>& formats) {
  TAttributeList request = FormatRequest(settings, window);
  std::vector<std::size_t> found = ChoosePixelFormats(request, formats);
  // Each step relaxes the request further and asks again, only while nothing fits.
  auto retry = [&](bool condition, auto relax) {
    if (!found.empty() || !condition) return;
    relax();
    found = ChoosePixelFormats(request, formats);
  };
  retry(settings.AntiAliasing != aaDefault, [&] {
    request.Drop(pfaSampleBuffers);
    request.Drop(pfaSamples);
  });
  retry(settings.DepthBits >= 32, [&] { request.Change(pfaDepthBits, 24); });
  retry(settings.DepthBits >= 24, [&] { request.Change(pfaDepthBits, 16); });
  retry(settings.ColorBits >= 24, [&] { request.Change(pfaColorBits, 16); });
  retry(true, [&] {
    request.Change(pfaColorBits, settings.ColorBits);
    request.Change(pfaDepthBits, settings.DepthBits);
    request.Drop(pfaFullAcceleration);
  });
  if (found.empty()) return -1;
  if (settings.Multisample && (settings.AntiAliasing == aaDefault || settings.AntiAliasing == aaNone)) {
    for (std::size_t index : found)
      if (formats[index].SampleBuffers == 0) return static_cast<int>(index);
    return -1;
  }
  return static_cast<int>(found.front());
}

namespace {

int ClosestWindowFormat(const TPixelFormatSettings& s, const std::vector<TPixelFormatInfo>& formats) {
  std::vector<std::size_t> candidates;
  for (std::size_t i = 0; i < formats.size(); ++i)
    if (Usable(formats[i]) && formats[i].Window) candidates.push_back(i);
  if (candidates.empty()) return -1;
  SortBest(candidates, formats);
  // Fewest shortfalls first: colour, depth, alpha, stencil, in that weight.
  auto shortfall = [&](std::size_t i) {
    const TPixelFormatInfo& f = formats[i];
    return (f.BufferBits < s.ColorBits ? 8 : 0) + (f.DepthBits < s.DepthBits ? 4 : 0) +
           (f.AlphaBits < s.AlphaBits ? 2 : 0) + (f.StencilBits < s.StencilBits ? 1 : 0);
  };
  std::stable_sort(candidates.begin(), candidates.end(),
                   [&](std::size_t a, std::size_t b) { return shortfall(a) < shortfall(b); });
  return static_cast<int>(candidates.front());
}

}  // namespace

int ChoosePixelFormatLenient(const TPixelFormatSettings& settings,
                             const std::vector<TPixelFormatInfo>& formats) {
  TPixelFormatSettings request = settings;
  int chosen = ClosestWindowFormat(request, formats);
  if (chosen < 0 || !formats[chosen].Slow) return chosen;
  request.DepthBits = std::min(request.DepthBits, 16);
  chosen = ClosestWindowFormat(request, formats);
  if (!formats[chosen].Slow) return chosen;
  request.ColorBits = std::min(request.ColorBits, 16);
  return ClosestWindowFormat(request, formats);
}
