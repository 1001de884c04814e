#include "tests/scene/support/SceneFrame.h"

TSceneFrame::TSceneFrame(TGLCamera& camera, int width, int height) : FGL(width, height) {
  Buffer.SetRenderingContext(FGL.TakeContext());
  Buffer.SetCamera(&camera);
}

void TSceneFrame::Render() {
  TGLCamera& camera = *Buffer.Camera();
  const int width = FGL.Width(), height = FGL.Height();
  TGLStates& states = Buffer.GLStates();
  DrainGLErrors();
  GL->glViewport(0, 0, width, height);
  EnableGLState(states, stDepthTest);
  EnableGLState(states, stNormalize);
  Lighting ? EnableGLState(states, stLighting) : DisableGLState(states, stLighting);
  FogEnable ? EnableGLState(states, stFog) : DisableGLState(states, stFog);
  GL->glClearColor(0, 0, 0, 1);
  GL->glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);

  GL->glMatrixMode(GL_PROJECTION);
  GL->glLoadIdentity();
  camera.SetProjection({0, 0, width, height}, width, height, Buffer.RenderDPI());
  GL->glMatrixMode(GL_MODELVIEW);
  GL->glLoadIdentity();
  camera.Apply();
  TMatrix4 modelView;
  GL->glGetFloatv(GL_MODELVIEW_MATRIX, &modelView[0].x);
  Buffer.RecordView(modelView, camera.WorldPosition());

  GLint maxLights = 0;
  GL->glGetIntegerv(GL_MAX_LIGHTS, &maxLights);
  camera.Scene()->ApplyLights(maxLights);
  if (FogEnable) Buffer.FogEnvironment().ApplyFog();
  camera.Scene()->DrawSceneInto(Buffer, width, height, dsRendering);
  RaiseOnGLError();
}
