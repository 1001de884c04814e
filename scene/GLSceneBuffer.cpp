#include "scene/GLSceneBuffer.h"

#include "base/Strings.h"
#include "scene/gl/XOpenGL.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {

// A selection buffer larger than this many names means a driver that never
// stops overflowing: 64 MB of hits is no pick any scene makes.
constexpr int MAX_PICK_NAMES = 1 << 24;

// Index -> GL query of QueryGLLimit.
constexpr GLenum GL_LIMITS[] = {
    GL_MAX_CLIP_PLANES, GL_MAX_EVAL_ORDER, GL_MAX_LIGHTS, GL_MAX_LIST_NESTING, GL_MAX_MODELVIEW_STACK_DEPTH,
    GL_MAX_NAME_STACK_DEPTH, GL_MAX_PIXEL_MAP_TABLE, GL_MAX_PROJECTION_STACK_DEPTH, GL_MAX_TEXTURE_SIZE,
    GL_MAX_TEXTURE_STACK_DEPTH, GL_MAX_VIEWPORT_DIMS, GL_ACCUM_ALPHA_BITS, GL_ACCUM_BLUE_BITS, GL_ACCUM_GREEN_BITS,
    GL_ACCUM_RED_BITS, GL_ALPHA_BITS, GL_AUX_BUFFERS, GL_BLUE_BITS, GL_GREEN_BITS, GL_RED_BITS, GL_INDEX_BITS,
    GL_STEREO, GL_DOUBLEBUFFER, GL_SUBPIXEL_BITS, GL_DEPTH_BITS, GL_STENCIL_BITS};
constexpr int LIMIT_MAX_LIGHTS = 2;
constexpr int LIMIT_MAX_VIEWPORT_DIMS = 10;

void ReadMatrix(GLenum which, TMatrix4& matrix) {
  matrix = IdentityHmgMatrix;
  GL->glGetFloatv(which, &matrix[0].x);
}

void SetGLState(TGLStates& states, TGLState state, bool on) {
  if (on)
    EnableGLState(states, state);
  else
    DisableGLState(states, state);
}

// The calls of `action` inside an activation of `context`, deactivated however it ends.
template <class F>
auto InsideActivation(TGLContext& context, F action) {
  context.Activate();
  try {
    if constexpr (std::is_void_v<decltype(action())>) {
      action();
      context.Deactivate();
    } else {
      auto result = action();
      context.Deactivate();
      return result;
    }
  } catch (...) {
    if (context.Active()) context.Deactivate();
    throw;
  }
}

// A selection-buffer depth (unsigned, 0 .. 2^32 - 1) as 0..1.
float SelectionDepth(GLuint value) { return float(double(value >> 1) / 2147483647.0); }

}  // namespace

// ---------------------------------------------------------------------------
// Pick lists

const TPickRecord& TGLPickList::Record(int index) const {
  if (index < 0 || index >= Count()) RaiseListIndexError(index);
  return *FRecords[static_cast<std::size_t>(index)];
}

void TGLPickList::Reserve(int count) {
  if (count > 0) FRecords.reserve(static_cast<std::size_t>(count));
}

bool TGLPickList::Before(const TPickRecord& a, const TPickRecord& b) const {
  switch (FSortType) {
    case psName: {
      const TGLBaseSceneObject *objectA = a.Object.Get(), *objectB = b.Object.Get();
      return LowerCase(objectA ? objectA->Name() : "") < LowerCase(objectB ? objectB->Name() : "");
    }
    case psMinDepth:
      return a.ZMin < b.ZMin;
    case psMaxDepth:
      return a.ZMax < b.ZMax;
    default:
      return false;
  }
}

void TGLPickList::AddHit(TGLBaseSceneObject& object, std::vector<int> subObjects, float zMin, float zMax) {
  auto record = std::make_unique<TPickRecord>();
  record->Object = &object;
  record->SubObjects = std::move(subObjects);
  record->ZMin = zMin;
  record->ZMax = zMax;
  // After every hit it does not sort before: equal hits keep their order.
  auto at = std::upper_bound(FRecords.begin(), FRecords.end(), record,
                             [this](const auto& added, const auto& listed) { return Before(*added, *listed); });
  FRecords.insert(at, std::move(record));
}

// ---------------------------------------------------------------------------
// One frame, pick or context creation

// The buffer's context activated and its rendering flag set for the length of a
// frame or a pick. An exception that leaves one half-done leaves GL and the buffer
// ready for the next: render mode back from select mode, the matrix mode on the
// model-view, the view of the last good frame, an empty model-view stack, the
// flag cleared and the activation undone.
class TGLSceneBuffer::TFrameScope {
public:
  TFrameScope(TGLSceneBuffer& buffer, TGLContext& context)
      : FBuffer(buffer),
        FContext(context),
        FProjection(buffer.FProjectionMatrix),
        FBaseProjection(buffer.FBaseProjectionMatrix),
        FModelView(buffer.FModelViewMatrix),
        FCameraPosition(buffer.FCameraPosition) {
    FContext.Activate();
    FBuffer.FRendering = true;
  }
  TFrameScope(const TFrameScope&) = delete;
  TFrameScope& operator=(const TFrameScope&) = delete;

  ~TFrameScope() {
    if (FFinished) return;
    try {
      if (FSelectMode) GL->glRenderMode(GL_RENDER);
      GL->glMatrixMode(GL_MODELVIEW);
    } catch (...) {
      // The frame's own error is on its way out; GL is reset with the next frame.
    }
    RestoreView();
    FBuffer.FModelViewStack.clear();
    FBuffer.FRendering = false;
    try {
      if (FContext.Active()) FContext.Deactivate();
    } catch (const std::exception& e) {
      LogGLProblem(std::string("Ending a frame that failed: ") + e.what());
    }
  }

  void SetSelectMode(bool value) { FSelectMode = value; }
  // Puts back the view recorded before the scope began.
  void RestoreView() {
    FBuffer.FProjectionMatrix = FProjection;
    FBuffer.FBaseProjectionMatrix = FBaseProjection;
    FBuffer.FModelViewMatrix = FModelView;
    FBuffer.FCameraPosition = FCameraPosition;
  }
  // The end of a frame that went well; a failing deactivation is the caller's to hear.
  void Finish() {
    FFinished = true;
    FBuffer.FRendering = false;
    // A window that went away during the frame took the activation with it.
    if (FContext.Active()) FContext.Deactivate();
  }

private:
  TGLSceneBuffer& FBuffer;
  TGLContext& FContext;
  TMatrix4 FProjection, FBaseProjection, FModelView;
  TVector FCameraPosition;
  bool FSelectMode = false;
  bool FFinished = false;
};

// ---------------------------------------------------------------------------
// Life, camera, change reports

TGLSceneBuffer::TGLSceneBuffer(TPersistent* owner)
    : TGLUpdateAbleObject(owner),
      FFogEnvironment(std::make_unique<TGLFogEnvironment>(this)),
      FCamera([this] { ReportChange(this); }),
      FCounter(ReadPerformanceCounter) {
  if (!ReadPerformanceFrequency(FCounterFrequency)) FCounterFrequency = 0;
}

TGLSceneBuffer::~TGLSceneBuffer() {
  NotifyFree();
  if (FCamera && FCamera->Scene()) FCamera->Scene()->DetachBuffer(*this);
  // The context's own destructor logs what it cannot free.
  FRenderingContext.reset();
}

void TGLSceneBuffer::SetCamera(TGLCamera* camera) {
  if (camera != FCamera.Get()) {
    if (FCamera && FCamera->Scene()) FCamera->Scene()->DetachBuffer(*this);
    FCamera = camera && camera->Scene() ? camera : nullptr;
    if (FCamera) FCamera->MarkTransformDirty();
  }
  ReportChange(this);
}

void TGLSceneBuffer::ReportChange(TObject*) {
  if (OnChange) OnChange(this);
}

bool TGLSceneBuffer::OwnerDesigning() const {
  const auto* component = dynamic_cast<const TComponent*>(Owner());
  return component && (component->ComponentState() & csDesigning);
}

void TGLSceneBuffer::Fire(const TNotifyEvent& event) {
  if (event && !OwnerDesigning()) event(this);
}

// ---------------------------------------------------------------------------
// Rendering context

void TGLSceneBuffer::CreateRenderingContext(TNativeDevice device, bool memoryContext) {
  BRV_ASSERT_MSG(!FRendering, "Already rendering");
  FreeRenderingContext();
  TGLContextManager* manager = GLContextManager();
  std::unique_ptr<TGLContext> context = manager ? manager->CreateContext() : nullptr;
  if (!context) throw EGLContext("Failed to create RenderingContext.");

  struct TRenderingFlag {
    bool& Flag;
    ~TRenderingFlag() { Flag = false; }
  } rendering{FRendering};
  FRendering = true;

  static constexpr int COLOR_BITS[] = {24, 8, 16, 24};
  static constexpr int DEPTH_BITS[] = {24, 16, 24, 32};
  TGLRCOptions options = 0;
  if (FContextOptions & roDoubleBuffer) options |= rcoDoubleBuffered;
  if (FContextOptions & roStereo) options |= rcoStereo;
  context->SetOptions(options);
  context->SetColorBits((FContextOptions & roNoColorBuffer) ? 0 : COLOR_BITS[FColorDepth]);
  context->SetDepthBits(DEPTH_BITS[FDepthPrecision]);
  context->SetStencilBits((FContextOptions & roStencilBuffer) ? 8 : 0);
  context->SetAlphaBits((FContextOptions & roDestinationAlpha) ? 8 : 0);
  context->SetAccumBits(0);
  context->SetAuxBuffers(0);
  context->SetAntiAliasing(FAntiAliasing);
  if (OnPrepareGLContext) OnPrepareGLContext(this);

  if (memoryContext)
    context->CreateMemoryContext(device, std::max(FViewPort.Width, 1), std::max(FViewPort.Height, 1));
  else
    context->CreateContext(device);
  // The buffer's own from here, so that OnContextCreated finds it; one that
  // cannot be set up goes again.
  FRenderingContext = std::move(context);
  try {
    InsideActivation(*FRenderingContext, [&] {
      if (!GL->VERSION_1_1()) throw EGLContext("Need at least OpenGL version 1.1");
      // A new context holds GL's defaults, of which dithering is the one that is on.
      FGLStates = GLStateBit(stDither);
      GL->glViewport(0, 0, FViewPort.Width, FViewPort.Height);
      SetupGLState();
      ApplyBackgroundColor();
      if (OnContextCreated) OnContextCreated(this);
    });
  } catch (...) {
    FreeAndClear(FRenderingContext);
    throw;
  }
  SetRenderingContext(std::move(FRenderingContext));
}

void TGLSceneBuffer::FreeRenderingContext() {
  BRV_ASSERT_MSG(!FRendering, "Already rendering");
  if (FCamera && FCamera->Scene()) FCamera->Scene()->DetachBuffer(*this);
  FreeAndClear(FRenderingContext);
}

void TGLSceneBuffer::SetRenderingContext(std::unique_ptr<TGLContext> context) {
  FRenderingContext = std::move(context);
  // GL knows nothing of the fog in a context it has just made.
  if (FRenderingContext) FFogEnvironment->ReportChange(FFogEnvironment.get());
}

// ---------------------------------------------------------------------------
// Viewport and options

void TGLSceneBuffer::Resize(int width, int height) {
  FViewPort.Width = std::max(width, 1);
  FViewPort.Height = std::max(height, 1);
  if (HasLiveContext())
    InsideActivation(*FRenderingContext, [&] { GL->glViewport(0, 0, FViewPort.Width, FViewPort.Height); });
}

void TGLSceneBuffer::SetViewPort(int x, int y, int width, int height) {
  FViewPort = {x, y, width, height};
  ReportChange(this);
}

template <class T>
void TGLSceneBuffer::SetOption(T& field, T value) {
  if (StoreChanged(field, value)) ReportChange(this);
}

template <class T>
void TGLSceneBuffer::SetStructuralOption(T& field, T value) {
  if (StoreChanged(field, value) && OnStructuralChange) OnStructuralChange(this);
}

void TGLSceneBuffer::SetBackgroundColor(TColorValue value) { SetOption(FBackgroundColor, value); }
void TGLSceneBuffer::SetDepthTest(bool value) { SetOption(FDepthTest, value); }
void TGLSceneBuffer::SetFaceCulling(bool value) { SetOption(FFaceCulling, value); }
void TGLSceneBuffer::SetLighting(bool value) { SetOption(FLighting, value); }
void TGLSceneBuffer::SetFogEnable(bool value) { SetOption(FFogEnable, value); }

void TGLSceneBuffer::SetShadeModel(TGLShadeModel value) { SetOption(FShadeModel, value); }
void TGLSceneBuffer::SetContextOptions(TContextOptions value) { SetStructuralOption(FContextOptions, value); }
void TGLSceneBuffer::SetAntiAliasing(TGLAntiAliasing value) { SetStructuralOption(FAntiAliasing, value); }
void TGLSceneBuffer::SetDepthPrecision(TDepthPrecision value) { SetStructuralOption(FDepthPrecision, value); }
void TGLSceneBuffer::SetColorDepth(TColorDepth value) { SetStructuralOption(FColorDepth, value); }

void TGLSceneBuffer::SetFogEnvironment(const TGLFogEnvironment& value) {
  FFogEnvironment->Assign(&value);
  ReportChange(this);
}

// ---------------------------------------------------------------------------
// Frames

void TGLSceneBuffer::SetupGLState() {
  GL->glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, (FContextOptions & roTwoSideLighting) ? 1 : 0);
  EnableGLState(FGLStates, stNormalize);
  SetGLState(FGLStates, stDepthTest, FDepthTest);
  SetGLState(FGLStates, stCullFace, FFaceCulling);
  SetGLState(FGLStates, stLighting, FLighting);
  SetGLState(FGLStates, stFog, FFogEnable);
  GLint alphaBits = 0;
  GL->glGetIntegerv(GL_ALPHA_BITS, &alphaBits);
  SetGLState(FGLStates, stDither, alphaBits < 8);
  GL->glDepthFunc(GL_LESS);
  GL->glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
  switch (FShadeModel) {
    case smDefault:
    case smSmooth:
      GL->glShadeModel(GL_SMOOTH);
      break;
    case smFlat:
      GL->glShadeModel(GL_FLAT);
      break;
    default:
      AssertionFailure("TGLSceneBuffer: unknown shade model " + std::to_string(FShadeModel), __FILE__, __LINE__);
  }
}

void TGLSceneBuffer::ApplyBackgroundColor() {
  const TVector color = ConvertWinColor(FBackgroundColor, 1);
  GL->glClearColor(color.x, color.y, color.z, 1);
}

void TGLSceneBuffer::Render() {
  if (FRendering || !HasLiveContext()) return;
  TGLContext& context = *FRenderingContext;
  if (TGLCamera* camera = Camera(); camera && camera->Scene()) {
    camera->WorldMatrix();
    camera->Scene()->AttachBuffer(*this);
  }
  {
    TFrameScope frame(*this, context);
    FRenderDPI = 96;
    DrainGLErrors();
    SetupGLState();
    ApplyBackgroundColor();
    RaiseOnGLError();
    GLbitfield clear = GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT;
    if (FContextOptions & roStencilBuffer) clear |= GL_STENCIL_BUFFER_BIT;
    GL->glClear(clear);
    RaiseOnGLError();
    RenderScene(dsRendering, nullptr);
    RaiseOnGLError();
    GL->glFlush();
    context.SwapBuffers();
    AddFrameTime();
    RaiseOnGLError();
    frame.Finish();
  }
  Fire(AfterRender);
}

void TGLSceneBuffer::ReleaseFrameMemory() {
  if (FRendering || !HasLiveContext()) return;
  InsideActivation(*FRenderingContext, [] {
    // llvmpipe keeps a frame's binned commands (7 MB for the board window at about
    // 1280 x 900) until the next clear or drawing starts another frame: an idle
    // window would hold them for good. Once the last frame is drawn to its end, a
    // clear of the depth alone starts that next frame, and the last one's go.
    GL->glFinish();
    GL->glPushAttrib(GL_DEPTH_BUFFER_BIT | GL_SCISSOR_BIT);
    GL->glDepthMask(GL_TRUE);
    GL->glDisable(GL_SCISSOR_TEST);
    GL->glClear(GL_DEPTH_BUFFER_BIT);
    GL->glPopAttrib();
  });
  // The driver's freed commands stay the process's in the heap otherwise.
  ReleaseFreedHeap();
}

void TGLSceneBuffer::SetupRenderingMatrices(const TRect* pickRect) {
  TGLCamera& camera = *Camera();
  GL->glMatrixMode(GL_PROJECTION);
  GL->glLoadIdentity();
  if (pickRect) {
    GLint viewport[4] = {FViewPort.X, FViewPort.Y, FViewPort.Width, FViewPort.Height};
    GL->gluPickMatrix((pickRect->Left + pickRect->Right) / 2.0,
                      FViewPort.Height - (pickRect->Top + pickRect->Bottom) / 2.0,
                      std::abs(pickRect->Right - pickRect->Left), std::abs(pickRect->Bottom - pickRect->Top),
                      viewport);
  }
  ReadMatrix(GL_PROJECTION_MATRIX, FBaseProjectionMatrix);
  camera.SetProjection(FViewPort, FViewPort.Width, FViewPort.Height, FRenderDPI);
  ReadMatrix(GL_PROJECTION_MATRIX, FProjectionMatrix);
  GL->glMatrixMode(GL_MODELVIEW);
  GL->glLoadIdentity();
  camera.Scene()->SetCurrentBuffer(this);
  camera.Apply();
  ReadMatrix(GL_MODELVIEW_MATRIX, FModelViewMatrix);
  FCameraPosition = camera.WorldPosition();
}

void TGLSceneBuffer::RenderScene(TDrawState drawState, const TRect* pickRect) {
  TGLCamera* camera = Camera();
  if (!camera || !camera->Scene()) return;
  TGLScene& scene = *camera->Scene();
  SetupRenderingMatrices(pickRect);
  XGLMapToMain();
  Fire(BeforeRender);
  scene.ApplyLights(QueryGLLimit(LIMIT_MAX_LIGHTS));
  if (FFogEnable) {
    EnableGLState(FGLStates, stFog);
    FFogEnvironment->ApplyFog();
  } else {
    DisableGLState(FGLStates, stFog);
  }
  scene.DrawSceneInto(*this, FViewPort.Width, FViewPort.Height, drawState);
  Fire(PostRender);
  BRV_ASSERT_MSG(FModelViewStack.empty(), "Unbalance Push/PopModelViewMatrix.");
}

void TGLSceneBuffer::AddFrameTime() {
  ++FFrameCount;
  const std::int64_t now = FCounter ? FCounter() : 0;
  if (FFrameCount > 1) {
    const std::int64_t interval = now - FLastCounter;
    FElapsedTicks += FFrameCount == 2 ? 2 * interval : interval;
  }
  FLastCounter = now;
  if (FElapsedTicks > 0 && FCounterFrequency > 0)
    FFrameRate = float(double(FFrameCount) * double(FCounterFrequency) / double(FElapsedTicks));
}

void TGLSceneBuffer::ResetFrameTiming() {
  FFrameCount = 0;
  FElapsedTicks = 0;
  FFrameRate = 0;
}

void TGLSceneBuffer::SetFrameClock(std::function<std::int64_t()> counter, std::int64_t frequency) {
  FCounter = std::move(counter);
  FCounterFrequency = frequency;
}

void TGLSceneBuffer::RecordView(const TMatrix4& modelViewMatrix, const TVector& cameraPosition) {
  FModelViewMatrix = modelViewMatrix;
  FCameraPosition = cameraPosition;
}

void TGLSceneBuffer::PushModelViewMatrix(const TMatrix4& matrix) {
  FModelViewStack.push_back(FModelViewMatrix);
  FModelViewMatrix = matrix;
}

void TGLSceneBuffer::PopModelViewMatrix() {
  BRV_ASSERT_MSG(!FModelViewStack.empty(), "Unbalance Push/PopModelViewMatrix.");
  FModelViewMatrix = FModelViewStack.back();
  FModelViewStack.pop_back();
}

// ---------------------------------------------------------------------------
// Picking

void TGLSceneBuffer::CollectPickHits(const TRect& rect, TGLPickList& pickList, int objectCountGuess) {
  TGLCamera* camera = Camera();
  if (!camera) return;
  BRV_ASSERT_MSG(!FRendering, "Already rendering");
  pickList.Clear();
  if (!HasLiveContext() || !camera->Scene()) return;
  TGLScene& scene = *camera->Scene();

  TFrameScope pick(*this, *FRenderingContext);
  XGLMapToMain();
  SetupRenderingMatrices(&rect);
  int guess = std::max(objectCountGuess, 8);
  std::vector<GLuint> selection;
  GLint hits = -1;
  while (hits < 0) {
    guess = CheckedMul(guess, 2);
    if (guess > MAX_PICK_NAMES)
      throw EOpenGLError("The hits of a pick do not fit a selection buffer of " + std::to_string(MAX_PICK_NAMES) +
                         " records");
    selection.assign(static_cast<std::size_t>(guess) * 4, 0);
    GL->glSelectBuffer(static_cast<GLsizei>(selection.size()), selection.data());
    GL->glRenderMode(GL_SELECT);
    pick.SetSelectMode(true);
    GL->glInitNames();
    GL->glPushName(0);
    FRenderDPI = 96;
    scene.DrawSceneInto(*this, FViewPort.Width, FViewPort.Height, dsPicking);
    GL->glFlush();
    hits = GL->glRenderMode(GL_RENDER);
    pick.SetSelectMode(false);
  }

  // Records: name count, minimum and maximum depth, the names. Each is checked
  // against the buffer's end, so that a driver's bad count reads nothing past it.
  pickList.Reserve(hits);
  std::size_t at = 0;
  for (GLint i = 0; i < hits && selection.size() - at >= 3; ++i) {
    const std::size_t names = selection[at];
    if (names > selection.size() - at - 3) break;
    const float zMin = SelectionDepth(selection[at + 1]), zMax = SelectionDepth(selection[at + 2]);
    const GLuint* name = selection.data() + at + 3;
    at += 3 + names;
    // The first name is the object's; one the scene does not know (the name of
    // nothing, or of an object freed since) is no hit.
    TGLBaseSceneObject* object = names > 0 ? TGLBaseSceneObject::ObjectOfPickName(name[0]) : nullptr;
    if (!object) continue;
    pickList.AddHit(*object, std::vector<int>(name + 1, name + names), zMin, zMax);
  }
  pick.RestoreView();
  pick.Finish();
}

std::unique_ptr<TGLPickList> TGLSceneBuffer::ObjectsAtRect(const TRect& rect, int objectCountGuess) {
  auto list = std::make_unique<TGLPickList>(psMinDepth);
  CollectPickHits(rect, *list, objectCountGuess);
  return list;
}

TGLBaseSceneObject* TGLSceneBuffer::ObjectAtPixel(int x, int y) {
  std::unique_ptr<TGLPickList> hits = ObjectsAtRect({x - 1, y - 1, x + 1, y + 1}, 64);
  return hits->Count() > 0 ? hits->Hit(0) : nullptr;
}

// ---------------------------------------------------------------------------
// Window points

float TGLSceneBuffer::DepthAtPixel(int x, int y) {
  if (!Camera() || !HasLiveContext()) return 0;
  // A mouse dragged outside the window still asks: the nearest pixel answers.
  // Rows count from the bottom in GL.
  x = std::clamp(x, 0, FViewPort.Width - 1);
  const int row = FViewPort.Height - 1 - std::clamp(y, 0, FViewPort.Height - 1);
  float depth = 1;
  InsideActivation(*FRenderingContext, [&] { GL->glReadPixels(x, row, 1, 1, GL_DEPTH_COMPONENT, GL_FLOAT, &depth); });
  return depth;
}

TVector TGLSceneBuffer::PixelToScenePoint(const TAffineVector& point) const {
  if (!Camera()) return Vec4FromVec3(point, 1);
  double modelView[16], projection[16];
  for (int i = 0; i < 16; ++i) {
    modelView[i] = FModelViewMatrix[i / 4][i % 4];
    projection[i] = FProjectionMatrix[i / 4][i % 4];
  }
  const GLint viewport[4] = {FViewPort.X, FViewPort.Y, FViewPort.Width, FViewPort.Height};
  double x = 0, y = 0, z = 0;
  // A view GLU cannot invert (no frame drawn yet, a degenerate projection) has
  // no scene point: the window point stands for itself, as without a camera.
  if (!GL->gluUnProject(point.x, point.y, point.z, modelView, projection, viewport, &x, &y, &z))
    return Vec4FromVec3(point, 1);
  return {float(x), float(y), float(z), 1};
}

TVector TGLSceneBuffer::PixelToViewRay(const TAffineVector& point) const {
  return Vec4SubAsDirection(PixelToScenePoint(point), FCameraPosition);
}

TVector TGLSceneBuffer::ScreenToWorldPoint(int x, int y) {
  TGLCamera* camera = Camera();
  if (!camera) return {float(x), float(y), 0, 1};
  const float nearPlane = camera->NearPlane();
  const float depthRange =
      camera->CameraStyle() == csOrtho2D ? 2.0f : camera->FarPlaneDistance() - camera->NearPlane();
  const float farPlane = nearPlane + depthRange;
  const float z = DepthAtPixel(x, y);
  const float distance = farPlane * nearPlane / (farPlane - z * depthRange);
  TVector ray = PixelToViewRay({float(x), float(FViewPort.Height - y), 0});
  Vec4NormalizeXYZInPlace(ray);
  TVector axis = PixelToViewRay({FViewPort.Width / 2.0f, FViewPort.Height / 2.0f, 0});
  Vec4NormalizeXYZInPlace(axis);
  // The depth is measured along the viewing axis; the ray runs at an angle to it.
  const float cosine = Vec4DotXYZ(ray, axis);
  const float along = cosine > 1e-6f ? distance / cosine : distance;
  TVector point = Vec4Add(FCameraPosition, Vec4Scaled(ray, along));
  point.w = 1;
  return point;
}

int TGLSceneBuffer::QueryGLLimit(int index) {
  if (index < 0 || index >= static_cast<int>(std::size(GL_LIMITS)) || !HasLiveContext()) return 0;
  return InsideActivation(*FRenderingContext, [&] {
    GLint values[2] = {0, 0};
    GL->glGetIntegerv(GL_LIMITS[index], values);
    return index == LIMIT_MAX_VIEWPORT_DIMS ? std::max(values[0], values[1]) : values[0];
  });
}
