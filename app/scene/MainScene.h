#pragma once
// The board window's scene, apart from the window that shows it: the scene tree (the
// group that holds everything drawn, the drop-square marker, the shadows, the classic
// board's height field, the camera with its light), the piece models and their
// squares, the classic board, and the places beside the board where captured pieces
// are parked. The board window derives from it; the benchmark builds it alone and
// draws it off screen.
//
// Board coordinates: a row 1..8 is the rank, a column runs from the h-file (1) to the
// a-file (8). A piece on (row, column) stands at X = column * SquareSize +
// BoardOriginX, Z = row * SquareSize + BoardOriginZ, Y = PieceHeight in the frame of
// AllObjects; the models carry the offset that puts them in the middle of the square.

#include <array>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/game/BoardMove.h"
#include "app/game/ProgramFolders.h"
#include "app/game/maindefine.h"
#include "base/GLCrossPlatform.h"
#include "base/Geometry.h"

class TActor;
class TArrowLine;
class TDummyCube;
class TFreeForm;
class TGLBaseSceneObject;
class TGLCamera;
class TGLLightSource;
class TGLMaterialLibrary;
class TGLMemoryViewer;
class TGLScene;
class TGLSceneBuffer;
class THeightField;
class TZShadows;

// One piece model.
struct TBoardPiece {
  TFreeForm* Obj = nullptr;  // a child of AllObjects; freed with the record
  char Letter = 0;           // its FEN letter: p n b r q k dark, P N B R Q K light
  int Row = 0;               // 1..8, or UNPLACED_ROW, or CAPTURED_ROW
  int Col = 0;
  std::string ModelFile;     // the model it was loaded from
  // The emission it was given: a colour, or TBoardScene::HIGHLIGHT_EMISSION.
  TColorValue Emission = 0;

  // Where it stands: on the board only while Row is 1..8.
  TSquare Square() const { return {Row, Col}; }
};

inline constexpr int UNPLACED_ROW = -1;
inline constexpr int CAPTURED_ROW = -2;

// A place beside the board for a captured piece.
struct TCapturedSlot {
  int X = 0;
  int Z = 0;
  bool Used = false;
};

class TBoardScene {
public:
  // The slots of piece records: the start position's 32 pieces in 0..31, models for
  // pieces beyond those (a promotion, a loaded position) in the spare slots.
  static constexpr int PIECE_SLOT_COUNT = 41;
  static constexpr int START_PIECE_COUNT = 32;
  // Places per colour beside the board: table 0 the dark pieces', 1 the light pieces'.
  static constexpr int CAPTURED_SLOT_COUNT = 101;
  static constexpr char START_PLACEMENT[] = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";

  // The scene tree with its stored properties, no pieces and no board picture. Models
  // and board pictures come from `folders`, which must outlive the scene.
  explicit TBoardScene(const TProgramFolders& folders);
  virtual ~TBoardScene();
  TBoardScene(const TBoardScene&) = delete;
  TBoardScene& operator=(const TBoardScene&) = delete;

  // The components, by their names. The scene owns the objects of its tree.
  std::unique_ptr<TGLScene> SceneTree;
  TDummyCube* AllObjects;
  TArrowLine* DropMarker;  // the drop-square marker
  TZShadows* Shadows;
  THeightField* ClassicBoard;  // the classic board
  TGLCamera* Camera;
  TGLLightSource* CameraLight;
  TGLCamera* ShadowCamera;
  std::unique_ptr<TGLMemoryViewer> ShadowCaster;  // the shadows' caster; never drawn
  std::unique_ptr<TGLMaterialLibrary> MaterialLibrary;

  std::array<std::unique_ptr<TBoardPiece>, PIECE_SLOT_COUNT> PieceSlots;
  int PieceNameCounter = 0;
  std::string KingModel, QueenModel, KnightModel, PawnModel, BishopModel, RookModel;
  // The board geometry, set when the classic pieces are loaded.
  int SquareSize = 30;
  int BoardOriginX = 290;
  int BoardOriginZ = -60;
  int PieceHeight = -170;
  int CameraMinHeight = 15;
  int ArtisticBoardX = -1;
  int ArtisticBoardY = -160;
  int ArtisticBoardZ = -2;
  // The artistic board's halves; null while the classic board is shown.
  TActor* LightBoardMesh = nullptr;
  TActor* DarkBoardMesh = nullptr;
  // The emission colour a piece gets back when it is put down.
  TColorValue SavedEmission = 0;
  std::array<std::array<TCapturedSlot, CAPTURED_SLOT_COUNT>, 2> CapturedSlot;

  // The window viewer's buffer draws the scene through Camera on black, and the
  // shadows darken its image.
  void AttachViewer(TGLSceneBuffer& buffer);

  // The model of a letter (either case); any other letter shows "err" and the letter
  // and gives an empty path.
  std::string PieceModelFile(char letter) const;
  // A new piece model under AllObjects named "a" + PieceNameCounter, loaded and
  // pitched upright, unplaced and in no slot. A model the reader refuses raises its
  // error, and nothing is left in the scene.
  std::unique_ptr<TBoardPiece> CreatePiece(char letter);
  // The first record (slots 0..40) of this letter not on the board, or null.
  TBoardPiece* FindUnplacedPiece(char letter) const;
  // Puts a piece of `letter` on `square`; "-" puts nothing. A letter without a free
  // record gets a new model in a free slot; with none left it is left out and false
  // comes back.
  bool PlacePieceOnSquare(char letter, const TSquare& square);
  // A model made for a piece beyond the start pieces (a promotion, a loaded
  // position), before it is placed: the window gives it its side's look.
  virtual void PieceModelAdded(TBoardPiece&) {}
  // The first record on `square`, or null.
  TBoardPiece* PieceAtSquare(const TSquare& square) const;
  // The record whose model is `object`, or null.
  TBoardPiece* PieceOfObject(const TGLBaseSceneObject* object) const;
  // Every piece model and the artistic board's halves go.
  void FreeAllPieces();
  // Makes the 32 start pieces in slots 0..31; false (reported) when the models folder
  // or a model file is missing or a model is refused.
  bool LoadClassicPieces();
  void CreateStartPieces();
  // Shows the pieces of `position`: every model hidden and unplaced, the parking places
  // free, then a model on every occupied square.
  void ShowPosition(const TBitBoards& position);
  // A pawn that reached the last rank is shown as the piece `position` made of it.
  void ShowPromotion(TBoardPiece& pawn, const TBitBoards& position);

  // The models folder and both halves of the artistic board at their sizes; what is
  // missing is reported.
  bool ArtisticBoardFilesPresent();
  // Both halves of the artistic board made anew from the models folder: the dark one
  // white, the light one black until a look colours them. A half the reader refuses is
  // reported, and no half is left.
  bool BuildArtisticBoard();
  void FreeArtisticBoard();
  // The classic board in place of the artistic one.
  bool ShowClassicBoard();
  void PlaceClassicBoard();
  // Board picture n (1..5) of res/boards on the classic board; any other n keeps the
  // picture it has.
  void SetClassicBoardPicture(int n);
  void Report3dsNotFound();

  // The board's surface in AllObjects' frame, where the pieces stand, and the centre
  // of square (row, col) on it (where the drop-square marker goes).
  static constexpr float BOARD_SURFACE_Y = -25;
  float SquareCentreX(int col) const { return float(col * SquareSize - 155); }
  float SquareCentreZ(int row) const { return float(row * SquareSize - 130); }
  // The point of the board's surface drawn at window pixel (x, y from the top) in the
  // buffer's last frame, in world coordinates; false above the horizon.
  bool BoardPointAt(const TGLSceneBuffer& buffer, int x, int y, TVector& world) const;
  // The square whose area holds a world point of the board (row and column may lie
  // outside 1..8), and the position that puts a piece's foot on that point.
  TSquare SquareOfBoardPoint(const TVector& world) const;
  void PlaceModelOnPoint(TBoardPiece& piece, const TVector& world);

  // The centre of square (row, col) as a piece's position.
  float SquareX(int col) const { return float(col * SquareSize + BoardOriginX); }
  float SquareZ(int row) const { return float(row * SquareSize + BoardOriginZ); }
  // Moves a piece's model to `square` without changing its record.
  void MoveModelTo(TBoardPiece& piece, const TSquare& square);
  // Every parking place free: the dark pieces' at X 210, the light pieces' at X 230,
  // Z = 200 - 15 x place.
  void ResetCapturedSlots();
  // Puts a captured piece on the first free place of its colour.
  void ParkPiece(TBoardPiece& piece);
  // The emission that highlights a picked or moving piece; other emissions are
  // colours. The highlight is no colour of its own: the piece glows with
  // HIGHLIGHT_LIFT of its own diffuse colour, so that it brightens in its own hue and
  // a dark piece still reads as dark; a picture, which modulates a white diffuse
  // colour, brightens in proportion to its own colours.
  static constexpr TColorValue HIGHLIGHT_EMISSION = MakeRGB(100, 100, 100);
  // About half as bright again as the light alone shows a piece.
  static constexpr float HIGHLIGHT_LIFT = 100 / 255.f;
  static void SetEmission(TBoardPiece& piece, TColorValue color);
  // The emission last given to the piece (HIGHLIGHT_EMISSION while highlighted).
  static TColorValue Emission(const TBoardPiece& piece);
  // Shows the piece's emission anew after its colour or picture changed: a highlight
  // follows the piece's new look.
  static void ShowEmission(TBoardPiece& piece);

private:
  // The bytes of a model file, read at its first use since the pieces were loaded:
  // the start position's 32 pieces come from six files.
  const std::string& ModelFileBytes(const std::string& path);

  const TProgramFolders& FFolders;
  std::map<std::string, std::string> FModelFiles;
  // The start pieces were made: models of further pieces may be made.
  bool FPiecesLoaded = false;
  std::string FClassicPicture;  // the chosen board picture, as the hidden image holds it
};

// Whether a piece letter is a light piece's.
inline bool IsLightLetter(char letter) { return letter >= 'A' && letter <= 'Z'; }
// The side of a piece letter.
inline TSide SideOfLetter(char letter) { return IsLightLetter(letter) ? TSide::Light : TSide::Dark; }
