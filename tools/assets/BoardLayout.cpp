#include "tools/assets/BoardLayout.h"

#include <cmath>

#include "scene/GLCamera.h"
#include "scene/GLScene.h"

float BoardWindow::ClassicBoardHeight(float x, float y) {
  const float r = std::sqrt(x * x + y * y);
  return std::cos(12 * r) / ((6.28f * r + 1) * 2);
}

TPoint3 BakedPlacement::ArtisticSquareCentre(int row, int column) {
  // The board's frame turns the dummy cube's (X, Y, Z) into (Y + 160, -Z - 2, -X - 1).
  const double x = column * BoardWindow::SQUARE_SIZE + BoardWindow::BOARD_ORIGIN_X + PIECE_BASE.x;
  const double z = row * BoardWindow::SQUARE_SIZE + BoardWindow::BOARD_ORIGIN_Z - PIECE_BASE.y;
  return {ARTISTIC_TOP_X, -z + BoardWindow::ARTISTIC_Z, -x + BoardWindow::ARTISTIC_X};
}

TBoardLayout::TBoardLayout() : FScene(std::make_unique<TGLScene>(nullptr)) {
  using namespace BoardWindow;
  FAllObjects = &FScene->Objects().CreateChild<TGLBaseSceneObject>();
  FAllObjects->Position().SetPoint(-50, 6, 50);
  FAllObjects->Direction().SetVector(0, 0, -1);

  // A piece model: a free form pitched upright when it is made, then moved.
  FPiece = &FAllObjects->CreateChild<TGLBaseSceneObject>();
  FPiece->SetPitchAngle(90);

  FArtistic = &FAllObjects->CreateChild<TGLBaseSceneObject>();
  FArtistic->SetRollAngle(270);
  FArtistic->SetPitchAngle(90);
  FArtistic->Position().SetPoint(ARTISTIC_X, ARTISTIC_Y, ARTISTIC_Z);

  FClassic = &FAllObjects->CreateChild<TGLBaseSceneObject>();
  FClassic->Direction().SetVector(0, 1, 0);
  FClassic->Up().SetVector(0, 0, 1);
  FClassic->Scale().SetVector(CLASSIC_SCALE, CLASSIC_SCALE, 1);
  FClassic->Position().SetPoint(CLASSIC_X, CLASSIC_Y, CLASSIC_Z);

  FCamera = &FScene->Cameras().CreateChild<TGLCamera>();
  FCamera->Position().SetPoint(CAMERA_POSITION.x, CAMERA_POSITION.y, CAMERA_POSITION.z);
  FLight = &FCamera->CreateChild<TGLBaseSceneObject>();
  FLight->Position().SetPoint(LIGHT_POSITION.x, LIGHT_POSITION.y, LIGHT_POSITION.z);
}

TBoardLayout::~TBoardLayout() = default;

TMatrix4 TBoardLayout::PieceMatrix(int row, int column) const {
  using namespace BoardWindow;
  FPiece->Position().SetPoint(column * SQUARE_SIZE + BOARD_ORIGIN_X, PIECE_HEIGHT, row * SQUARE_SIZE + BOARD_ORIGIN_Z);
  return FPiece->WorldMatrix();
}

TMatrix4 TBoardLayout::ArtisticBoardMatrix() const { return FArtistic->WorldMatrix(); }

TMatrix4 TBoardLayout::ClassicBoardMatrix() const { return FClassic->WorldMatrix(); }

const TMatrix4& TBoardLayout::DummyCubeMatrix() const { return FAllObjects->WorldMatrix(); }

const TMatrix4& TBoardLayout::InverseDummyCubeMatrix() const { return FAllObjects->InverseWorldMatrix(); }

TAffineVector TBoardLayout::ClassicSquareCentre(int row, int column) const {
  // The picture's a-file is its left column (texture s = 0), rank 1 its bottom row
  // (t = 0); the height field samples s and t as its own x and y.
  const float x = (8 - column + 0.5f) / 8, y = (row - 0.5f) / 8;
  return TransformPoint({x, y, BoardWindow::ClassicBoardHeight(x, y)}, FClassic->LocalMatrix());
}

TAffineVector TBoardLayout::CameraPosition() const { return Vec3Of(FCamera->WorldPosition()); }

TAffineVector TBoardLayout::CameraTarget() const { return Vec3Of(FAllObjects->WorldPosition()); }

TAffineVector TBoardLayout::LightPosition() const { return Vec3Of(FLight->WorldPosition()); }

TAffineVector TransformPoint(const TAffineVector& v, const TMatrix4& m) {
  return Vec3Of(Vec4Transform(TVector{v.x, v.y, v.z, 1}, m));
}
