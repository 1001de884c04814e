#include "scene/GLzBuffer.h"

#include "base/Dialogs.h"

#include <algorithm>
#include <cmath>

namespace {

// 4 x 4 matrices in doubles, row-major, acting on column vectors as GL's
// matrices do. Depth values near 1 lose too much in singles on the way back to
// scene points.
using TDblMatrix = double[16];

// GL's matrix as the buffer keeps it (as GL returns it, column by column).
void FromGLMatrix(const TMatrix4& m, TDblMatrix out) {
  for (int row = 0; row < 4; ++row)
    for (int column = 0; column < 4; ++column) out[row * 4 + column] = m[column][row];
}

void Multiply(const TDblMatrix a, const TDblMatrix b, TDblMatrix out) {
  for (int row = 0; row < 4; ++row)
    for (int column = 0; column < 4; ++column) {
      double sum = 0;
      for (int k = 0; k < 4; ++k) sum += a[row * 4 + k] * b[k * 4 + column];
      out[row * 4 + column] = sum;
    }
}

// Gauss-Jordan elimination with partial pivoting; false for a singular matrix.
bool Invert(const TDblMatrix m, TDblMatrix out) {
  double a[4][8];
  for (int row = 0; row < 4; ++row)
    for (int column = 0; column < 4; ++column) {
      a[row][column] = m[row * 4 + column];
      a[row][column + 4] = row == column ? 1 : 0;
    }
  for (int column = 0; column < 4; ++column) {
    int pivot = column;
    for (int row = column + 1; row < 4; ++row)
      if (std::fabs(a[row][column]) > std::fabs(a[pivot][column])) pivot = row;
    if (!(std::fabs(a[pivot][column]) > 1e-300)) return false;
    std::swap(a[pivot], a[column]);
    const double scale = 1 / a[column][column];
    for (double& value : a[column]) value *= scale;
    for (int row = 0; row < 4; ++row) {
      if (row == column) continue;
      const double factor = a[row][column];
      for (int k = 0; k < 8; ++k) a[row][k] -= factor * a[column][k];
    }
  }
  for (int row = 0; row < 4; ++row)
    for (int column = 0; column < 4; ++column) out[row * 4 + column] = a[row][column + 4];
  return true;
}

struct TDblVector {
  double x, y, z, w;
};

TDblVector Transform(const TDblMatrix m, const TDblVector& v) {
  return {m[0] * v.x + m[1] * v.y + m[2] * v.z + m[3] * v.w, m[4] * v.x + m[5] * v.y + m[6] * v.z + m[7] * v.w,
          m[8] * v.x + m[9] * v.y + m[10] * v.z + m[11] * v.w,
          m[12] * v.x + m[13] * v.y + m[14] * v.z + m[15] * v.w};
}

std::uint8_t ColorByte(float component) {
  return static_cast<std::uint8_t>(std::clamp(std::lround(double(component) * 255), 0L, 255L));
}

// What the shadow's drawing pushes and pops around itself: the enable states,
// blending, the current colour and the hints as attributes, and both matrices.
// Everything changed in between is undone, also when a step raises, so the
// objects drawn after the shadow find the frame as it was.
class TOverlayScope {
public:
  TOverlayScope() {
    GL->glPushAttrib(GL_ENABLE_BIT | GL_COLOR_BUFFER_BIT | GL_CURRENT_BIT | GL_HINT_BIT);
    FAttributes = true;
  }
  void PushMatrices(const TMatrix4& modelView) {
    GL->glMatrixMode(GL_MODELVIEW);
    GL->glPushMatrix();
    FModelView = true;
    GL->glLoadMatrixf(&modelView[0].x);
    GL->glMatrixMode(GL_PROJECTION);
    GL->glPushMatrix();
    FProjection = true;
    GL->glLoadIdentity();
    GL->glMatrixMode(GL_MODELVIEW);
  }
  ~TOverlayScope() {
    try {
      if (FProjection) {
        GL->glMatrixMode(GL_PROJECTION);
        GL->glPopMatrix();
      }
      GL->glMatrixMode(GL_MODELVIEW);
      if (FModelView) GL->glPopMatrix();
      if (FAttributes) GL->glPopAttrib();
    } catch (...) {
      // Nothing may leave a destructor; the frame's own error is on its way.
    }
  }
  TOverlayScope(const TOverlayScope&) = delete;
  TOverlayScope& operator=(const TOverlayScope&) = delete;

private:
  bool FAttributes = false, FModelView = false, FProjection = false;
};

}  // namespace

// ---------------------------------------------------------------------------
// The depth buffer

TGLzBuffer::TGLzBuffer() = default;

TGLzBuffer::~TGLzBuffer() = default;

void TGLzBuffer::AttachToViewer(TGLSceneBuffer& viewerBuffer) {
  FBuffer = &viewerBuffer;
  if (viewerBuffer.Width() != FWidth || viewerBuffer.Height() != FHeight)
    SetSize(viewerBuffer.Width(), viewerBuffer.Height());
  PrepareProjection();
}

void TGLzBuffer::AttachToMemoryViewer(TGLMemoryViewer& viewer) {
  FBuffer = &viewer.Buffer();
  // The buffer's viewport takes the viewer's size only with its first frame.
  if (viewer.Width() != FWidth || viewer.Height() != FHeight) SetSize(viewer.Width(), viewer.Height());
  PrepareProjection();
}

void TGLzBuffer::SetSize(int width, int height) {
  FWidth = std::max(width, 0);
  FHeight = std::max(height, 0);
  FData.assign(std::size_t(FWidth) * std::size_t(FHeight), 0.0f);
}

const std::vector<float>& TGLzBuffer::ReadDepthBuffer(bool prepareProjection, bool contextActive) {
  TGLSceneBuffer* buffer = Buffer();
  if (!buffer || !buffer->HasLiveContext()) {
    // Nothing to read, and the last view belongs to a frame that is gone.
    FProjectionReady = false;
    return FData;
  }
  // A viewer resized since it was attached: its conversions and its rows follow.
  if (buffer->Width() != FWidth || buffer->Height() != FHeight) SetSize(buffer->Width(), buffer->Height());
  auto read = [&] { GL->glReadPixels(0, 0, FWidth, FHeight, GL_DEPTH_COMPONENT, GL_FLOAT, FData.data()); };
  if (contextActive) {
    read();
  } else {
    TGLContext& context = *buffer->RenderingContext();
    context.Activate();
    try {
      read();
    } catch (...) {
      context.Deactivate();
      throw;
    }
    context.Deactivate();
  }
  if (prepareProjection) PrepareProjection();
  return FData;
}

void TGLzBuffer::Refresh() {
  if (Buffer()) ReadDepthBuffer(true, false);
}

float TGLzBuffer::PixelDepthValue(int x, int y) const {
  if (unsigned(x) >= unsigned(FWidth) || unsigned(y) >= unsigned(FHeight)) return 0;
  return FData[std::size_t(FHeight - 1 - y) * std::size_t(FWidth) + std::size_t(x)];
}

void TGLzBuffer::PrepareProjection() {
  FProjectionReady = false;
  TGLSceneBuffer* buffer = Buffer();
  if (!buffer) return;
  if (!buffer->Camera()) {
    // Asked from inside frames: one message box, not one per frame.
    if (!FNoCameraReported) {
      FNoCameraReported = true;
      Dialogs().ShowMessage("No Camera!");
    }
    return;
  }
  FViewPort = buffer->ViewPort();
  if (FViewPort.Width <= 0 || FViewPort.Height <= 0 || FWidth <= 0 || FHeight <= 0) return;
  FromGLMatrix(buffer->ModelViewMatrix(), FModelView);
  FromGLMatrix(buffer->ProjectionMatrix(), FProjection);
  TDblMatrix view;
  Multiply(FProjection, FModelView, view);
  if (!Invert(view, FUnproject)) return;

  const float w = float(FViewPort.Width), h = float(FViewPort.Height);
  FCornerRay = Vec3Of(buffer->PixelToViewRay({0, 0, 0}));
  FRightEdge = Vec3Sub(Vec3Of(buffer->PixelToViewRay({w, 0, 0})), FCornerRay);
  FUpperEdge = Vec3Sub(Vec3Of(buffer->PixelToViewRay({0, h, 0})), FCornerRay);
  FProjectionReady = true;
}

TAffineVector TGLzBuffer::FastScreenToVector(float x, float y) const {
  if (FWidth <= 0 || FHeight <= 0) return {0, 0, 0};
  const float u = x / float(FWidth), v = (float(FHeight) - y) / float(FHeight);
  return Vec3Add(FCornerRay, Vec3Add(Vec3Scaled(FRightEdge, u), Vec3Scaled(FUpperEdge, v)));
}

TAffineVector TGLzBuffer::PixelToWorldPoint(int x, int y) const {
  if (!FProjectionReady || unsigned(x) >= unsigned(FWidth) || unsigned(y) >= unsigned(FHeight)) return {0, 0, 0};
  const double depth = PixelDepthValue(x, y);
  // The centre of the pixel, rows counted from the bottom as GL does.
  const double windowX = x + 0.5, windowY = FHeight - 1 - y + 0.5;
  const TDblVector device{2 * (windowX - FViewPort.X) / FViewPort.Width - 1,
                          2 * (windowY - FViewPort.Y) / FViewPort.Height - 1, 2 * depth - 1, 1};
  const TDblVector p = Transform(FUnproject, device);
  if (std::fabs(p.w) < 1e-300) return {0, 0, 0};
  return {float(p.x / p.w), float(p.y / p.w), float(p.z / p.w)};
}

bool TGLzBuffer::WorldToPixel(const TAffineVector& point, float& x, float& y, float& depth) const {
  x = y = depth = 0;
  if (!FProjectionReady) return false;
  const TDblVector eye = Transform(FModelView, {point.x, point.y, point.z, 1});
  // The camera looks down its -Z axis.
  if (!(eye.z < 0)) return false;
  const TDblVector clip = Transform(FProjection, eye);
  if (!(clip.w > 0)) return false;
  x = float(FViewPort.X + (clip.x / clip.w + 1) * 0.5 * FViewPort.Width);
  y = float(FViewPort.Y + (clip.y / clip.w + 1) * 0.5 * FViewPort.Height);
  depth = float((clip.z / clip.w + 1) * 0.5);
  return x >= 0 && x < float(FWidth) && y >= 0 && y < float(FHeight);
}

// ---------------------------------------------------------------------------
// The shadows

TZShadows::TZShadows(TComponent* owner)
    : TGLBaseSceneObject(owner), FColor(std::make_unique<TGLColor>(this)) {
  SetObjectStyle(StyleBit(TGLObjectStyle::DirectDraw) | StyleBit(TGLObjectStyle::NeverCulled));
  AllocateMap();
}

TZShadows::~TZShadows() = default;

void TZShadows::SetViewer(TGLSceneBuffer* viewerBuffer) {
  FViewer = viewerBuffer;
  FViewerBuffer.reset();
  if (!viewerBuffer) return;
  SetWidth(viewerBuffer->Width());
  SetHeight(viewerBuffer->Height());
}

void TZShadows::SetCaster(TGLMemoryViewer* caster) {
  FCaster = caster;
  // The depth read from another caster casts nothing for this one.
  FCasterBuffer.reset();
}

void TZShadows::SetWidth(int value) {
  FWidth = std::clamp(value, 0, MAX_MAP_SIZE);
  FMapWidth = std::max(NextPowerOfTwo(FWidth), 2);
  AllocateMap();
}

void TZShadows::SetHeight(int value) {
  FHeight = std::clamp(value, 0, MAX_MAP_SIZE);
  FMapHeight = std::max(NextPowerOfTwo(FHeight), 2);
  AllocateMap();
}

void TZShadows::AllocateMap() {
  FMap.assign(std::size_t(FMapWidth) * std::size_t(FMapHeight), 0);
  FUploaded = false;
}

void TZShadows::SetSoft(bool value) {
  FSoft = value;
  ReportChange(this);
}

bool TZShadows::CastShadow() {
  TGLMemoryViewer* caster = Caster();
  if (!caster) return false;
  if (TGLCamera* camera = caster->Camera(); camera && camera->CameraStyle() == csOrthogonal) {
    if (const TGLBaseSceneObject* target = camera->TargetObject())
      camera->Position().SetPoint(target->Position().X(), camera->Position().Y(), target->Position().Z());
    camera->Direction().SetVector(0, -1, 0);
  }
  caster->Render();
  if (!FCasterBuffer) FCasterBuffer = std::make_unique<TGLzBuffer>();
  FCasterBuffer->AttachToMemoryViewer(*caster);
  FCasterBuffer->Refresh();
  return FCasterBuffer->ProjectionReady();
}

void TZShadows::RenderNode(TRenderContextInfo& rci, bool renderSelf, bool renderChildren) {
  TGLSceneBuffer* viewer = Viewer();
  // Only the viewer's own frames are shadowed: the caster draws this scene too,
  // and a pick would find the overlay in front of everything.
  if (renderSelf && rci.DrawState == dsRendering && viewer && Caster() && FCasterBuffer &&
      FCasterBuffer->ProjectionReady() && Scene() && Scene()->CurrentBuffer() == viewer)
    RenderShadow(*viewer);
  TGLBaseSceneObject::RenderNode(rci, false, renderChildren);
}

void TZShadows::RenderShadow(TGLSceneBuffer& viewer) {
  if (!FViewerBuffer) {
    FViewerBuffer = std::make_unique<TGLzBuffer>();
    FViewerBuffer->AttachToViewer(viewer);
  }
  FViewerBuffer->Refresh();
  if (!FViewerBuffer->ProjectionReady()) return;
  const int viewWidth = viewer.Width(), viewHeight = viewer.Height();
  FWidth = std::min(FWidth, viewWidth);
  FHeight = std::min(FHeight, viewHeight);
  BuildShadowTexture();

  TOverlayScope scope;
  PrepareTexture();
  GL->glDisable(GL_LIGHTING);
  GL->glDisable(GL_DEPTH_TEST);
  GL->glDisable(GL_CULL_FACE);
  if (GL->ARB_texture_cube_map) GL->glDisable(GL_TEXTURE_CUBE_MAP);
  GL->glDisable(GL_TEXTURE_GEN_S);
  GL->glDisable(GL_TEXTURE_GEN_T);
  GL->glEnable(GL_TEXTURE_2D);
  GL->glEnable(GL_BLEND);
  GL->glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  GL->glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_FASTEST);
  GL->glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
  ResetTextureMatrixCache();
  GL->glColor3f(FColor->Red(), FColor->Green(), FColor->Blue());

  // Rows of one byte need no padding; the other uploads set their own alignment.
  GL->glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  GL->glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
  GL->glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
  GL->glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
  if (!FUploaded) {
    GL->glTexImage2D(GL_TEXTURE_2D, 0, GL_ALPHA, FMapWidth, FMapHeight, 0, GL_ALPHA, GL_UNSIGNED_BYTE, FMap.data());
    FUploaded = true;
  } else {
    GL->glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, FMapWidth, FMapHeight, GL_ALPHA, GL_UNSIGNED_BYTE, FMap.data());
  }
  GL->glPixelStorei(GL_UNPACK_ALIGNMENT, 4);

  // Pixels of the viewport from its top left corner, moved by the position.
  scope.PushMatrices(viewer.BaseProjectionMatrix());
  GL->glScalef(2.0f / float(viewWidth), 2.0f / float(viewHeight), 1);
  GL->glTranslatef(Position().X() - float(viewWidth) * 0.5f, float(viewHeight) * 0.5f - Position().Y(),
                   Position().Z());
  const float w = float(FWidth), h = float(FHeight);
  const float s = w / float(FMapWidth), t = 1 - h / float(FMapHeight);
  GL->glNormal3fv(&ZVector.x);
  GL->glBegin(GL_QUADS);
  GL->glTexCoord2f(0, t);
  GL->glVertex2f(0, -h);
  GL->glTexCoord2f(s, t);
  GL->glVertex2f(w, -h);
  GL->glTexCoord2f(s, 1);
  GL->glVertex2f(w, 0);
  GL->glTexCoord2f(0, 1);
  GL->glVertex2f(0, 0);
  GL->glEnd();
}

void TZShadows::PrepareTexture() {
  if (FTexture.Handle() == 0) {
    // The first frame, or the context that held the texture went away.
    FTexture.AllocateHandle();
    FUploaded = false;
    BindTextureCached(0, GL_TEXTURE_2D, FTexture.Handle());
    GL->glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    GL->glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    return;
  }
  BindTextureCached(0, GL_TEXTURE_2D, FTexture.Handle());
}

float TZShadows::CasterDepth(int x, int row) const {
  const TGLzBuffer& caster = *FCasterBuffer;
  x = std::clamp(x, 0, caster.Width() - 1);
  row = std::clamp(row, 0, caster.Height() - 1);
  return caster.Data()[std::size_t(row) * std::size_t(caster.Width()) + std::size_t(x)];
}

std::uint8_t TZShadows::DepthFadeValue(float casterDepth) const {
  if (!FDepthFade) return 0;
  return static_cast<std::uint8_t>(
      std::clamp(std::lround(double(FAlpha) * (double(casterDepth) * 10 - 9)), 0L, long(FAlpha)));
}

std::uint8_t TZShadows::PixelShadowAlpha(int x, int y) {
  std::uint8_t& cell = MapAt(x, y);
  if (FViewerBuffer->PixelDepthValue(x, y) >= 1.0f) return cell = FSkyShadow ? FAlpha : 0;
  float cx = 0, cy = 0, cd = 0;
  const bool inside = FCasterBuffer->WorldToPixel(FViewerBuffer->PixelToWorldPoint(x, y), cx, cy, cd);
  const float tolerance = (1 - cd) * FTolerance;
  const std::uint8_t fade = DepthFadeValue(cd);
  if (!inside) return cell = FFrustShadow ? FAlpha : fade;
  // The caster's pixel under the point, and its neighbours for soft edges, each
  // kept inside the caster's map.
  const float column = std::floor(cx), row = std::floor(cy);
  const int ix = int(column), iy = int(row);
  auto shade = [&](int sx, int sy) { return cd - tolerance > CasterDepth(sx, sy) ? float(FAlpha) : float(fade); };
  if (!FSoft || iy <= 0) return cell = static_cast<std::uint8_t>(shade(ix, iy));
  const float left = shade(ix - 1, iy), right = shade(ix + 1, iy), centre = shade(ix, iy);
  const float below = shade(ix, iy - 1), above = shade(ix, iy + 1);
  const float fx = cx - column, fy = cy - row;
  const float value = (left + (right - left) * fx + below + (above - below) * fy + centre) / 3;
  return cell = static_cast<std::uint8_t>(std::clamp(std::lround(value), 0L, 255L));
}

void TZShadows::BuildShadowTexture() {
  FAlpha = ColorByte(FColor->Alpha());
  const int w = FWidth, h = FHeight;
  if (w <= 0 || h <= 0) return;
  if (FOptimise == opNone) {
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) PixelShadowAlpha(x, y);
    return;
  }

  // Tested pixels (1) are never tested again; filled ones (2) are tested when a
  // cell beside them turns out not to be uniform.
  const int step = FOptimise == op4in1 ? 2 : FOptimise == op9in1 ? 3 : 4;
  FKnown.assign(std::size_t(w) * std::size_t(h), 0);
  auto known = [&](int x, int y) -> std::uint8_t& { return FKnown[std::size_t(y) * std::size_t(w) + std::size_t(x)]; };
  auto exact = [&](int x, int y) {
    if (known(x, y) != 1) {
      PixelShadowAlpha(x, y);
      known(x, y) = 1;
    }
    return MapAt(x, y);
  };
  for (int x = 0; x < w; ++x) {
    exact(x, 0);
    exact(x, h - 1);
  }
  for (int y = 0; y < h; ++y) {
    exact(0, y);
    exact(w - 1, y);
  }
  // Grid lines every step pixels, and the last row and column.
  auto gridLines = [step](int size) {
    std::vector<int> lines;
    for (int i = 0; i < size - 1; i += step) lines.push_back(i);
    lines.push_back(size - 1);
    return lines;
  };
  const std::vector<int> columns = gridLines(w), rows = gridLines(h);
  for (std::size_t j = 0; j + 1 < rows.size(); ++j)
    for (std::size_t i = 0; i + 1 < columns.size(); ++i) {
      const int x0 = columns[i], x1 = columns[i + 1], y0 = rows[j], y1 = rows[j + 1];
      const std::uint8_t value = exact(x0, y0);
      const bool uniform = exact(x1, y0) == value && exact(x0, y1) == value && exact(x1, y1) == value;
      for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x) {
          if (!uniform) {
            exact(x, y);
          } else if (known(x, y) == 0) {
            MapAt(x, y) = value;
            known(x, y) = 2;
          }
        }
    }
}
