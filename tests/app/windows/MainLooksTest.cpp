// The board window's tool bar as a user drives it: looks chosen with the colour and
// file dialogs, saved and opened again, the board of the View menu in the saved look,
// the look named on the command line, and positions saved and loaded.

#include <QAction>
#include <QApplication>
#include <QScreen>

#include "FormTestSupport.h"
#include "base/GLCrossPlatform.h"
#include "meshes/GLVectorFileObjects.h"
#include "scene/GLSceneBuffer.h"
#include "scene/objects/GLGraph.h"
#include "scene/qt/GLSceneViewer.h"
#include "scene/texture/GLMaterial.h"
#include "scene/texture/GLTexture.h"
#include "tests/base/ProcessMemory.h"
#include "tests/scene/support/PictureTestSupport.h"

namespace fs = std::filesystem;

namespace {

const char START_FILE[] = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1\r\n";
// Dark to move, and the pawn may be taken en passant.
const char AFTER_E4_FILE[] = "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3 0 1\r\n";

// What an object of the scene shows: its colour, or "picture" over white.
std::string Shown(TGLCustomSceneObject& object) {
  TGLMaterial& material = object.Material();
  const TColorValue diffuse = material.FrontProperties().Diffuse().AsWinColor();
  if (!material.Texture().Disabled())
    return diffuse == MakeRGB(255, 255, 255) ? "picture" : "picture over " + std::to_string(diffuse);
  return std::to_string(diffuse);
}

// What the light and the dark pieces show, when all of a side show the same, else "mixed".
std::pair<std::string, std::string> PiecesShow(TFormOpengl& board) {
  std::string light, dark;
  for (const auto& piece : board.PieceSlots) {
    if (!piece) continue;
    std::string& side = IsLightLetter(piece->Letter) ? light : dark;
    const std::string shown = Shown(*piece->Obj);
    side = side.empty() || side == shown ? shown : "mixed";
  }
  return {light, dark};
}

long ResidentMegabytes() { return ProcessStatusMegabytes("VmRSS:"); }

// While it exists, the real GL's uploads are recorded, and GL_MAX_TEXTURE_SIZE
// answers at most `maxSize`, as a smaller driver would.
class TUploadRecorder {
public:
  explicit TUploadRecorder(GLint maxSize) {
    FMaxSize = maxSize;
    Sizes.clear();
    FTexImage = std::exchange(GL->glTexImage2D, &TexImage2D);
    FGetIntegerv = std::exchange(GL->glGetIntegerv, &GetIntegerv);
    FBuildMipmaps = std::exchange(GL->gluBuild2DMipmaps, &Build2DMipmaps);
  }
  ~TUploadRecorder() {
    GL->glTexImage2D = FTexImage;
    GL->glGetIntegerv = FGetIntegerv;
    GL->gluBuild2DMipmaps = FBuildMipmaps;
  }
  TUploadRecorder(const TUploadRecorder&) = delete;
  TUploadRecorder& operator=(const TUploadRecorder&) = delete;

  // Width and height of each image uploaded as a texture's level 0.
  static inline std::vector<std::pair<int, int>> Sizes;

private:
  static void TexImage2D(GLenum target, GLint level, GLint format, GLsizei width, GLsizei height, GLint border,
                         GLenum pixelFormat, GLenum type, const void* pixels) {
    if (level == 0) Sizes.emplace_back(width, height);
    FTexImage(target, level, format, width, height, border, pixelFormat, type, pixels);
  }
  static GLint Build2DMipmaps(GLenum target, GLint format, GLsizei width, GLsizei height, GLenum pixelFormat,
                              GLenum type, const void* pixels) {
    Sizes.emplace_back(width, height);
    return FBuildMipmaps(target, format, width, height, pixelFormat, type, pixels);
  }
  static void GetIntegerv(GLenum name, GLint* values) {
    FGetIntegerv(name, values);
    if (name == GL_MAX_TEXTURE_SIZE) *values = std::min(*values, FMaxSize);
  }

  static inline GLint FMaxSize = 0;
  static inline BRV_GL_SIGNATURE(glTexImage2D)* FTexImage = nullptr;
  static inline BRV_GL_SIGNATURE(glGetIntegerv)* FGetIntegerv = nullptr;
  static inline BRV_GL_SIGNATURE(gluBuild2DMipmaps)* FBuildMipmaps = nullptr;
};

class BoardToolBar : public MainWindow {
protected:
  void SetUp() override {
    MainWindow::SetUp();
    Folder = TestFolder("toolbar");
  }
  void TearDown() override {
    MainWindow::TearDown();
    fs::remove_all(Folder);
  }
  std::string Path(const std::string& name) const { return (Folder / name).string(); }
  std::size_t FilesInFolder() const {
    return std::size_t(std::distance(fs::directory_iterator(Folder), fs::directory_iterator()));
  }
  // Saves the look through "Save look" under `name`.
  std::string SaveLook(const std::string& name) {
    Recorded.Chosen = Path(name);
    Board->SaveLookButton->trigger();
    return ReadBytes(Path(name + ".bvl"));
  }

  fs::path Folder;
};

TEST_F(BoardToolBar, ColoursChosenAreSavedAndOpenedAgain) {
  // From a look of zeros: the dialogs open on black.
  Board->Look = TLookState();
  Recorded.Colours = {0x0000FF, 0x00FF00, 0x123456, 0xABCDEF, 0x010203};
  for (QAction* button : {Board->LightPieceColourButton, Board->DarkPieceColourButton, Board->BackgroundColourButton,
                          Board->LightBoardColourButton, Board->DarkBoardColourButton})
    button->trigger();
  // Cancelled: nothing changes.
  Board->LightPieceColourButton->trigger();
  EXPECT_EQ(Recorded.Asked, (std::vector<std::string>{"colour|0", "colour|0", "colour|0", "colour|0", "colour|0",
                                                      "colour|255"}));
  // Each side in its own colour, the artistic board's halves in theirs.
  EXPECT_EQ(PiecesShow(*Board), std::make_pair(std::string("255"), std::string("65280")));
  EXPECT_EQ(Shown(*Board->LightBoardMesh), "11259375");
  EXPECT_EQ(Shown(*Board->DarkBoardMesh), "66051");
  const std::string text = SaveLook("mine");
  EXPECT_EQ(Recorded.Asked.back(), "save|*.bvl|" + Board->StartFolder + "/res/conf/*.bvl");
  EXPECT_EQ(text,
            "[board]\r\nname=Brovanel\r\nversion=Brovanel\r\n[type]\r\nview=artistic\r\n"
            "[white]\r\ncolor=65280\r\ncolorboard=11259375\r\n[black]\r\ncolor=255\r\ncolorboard=66051\r\n"
            "[back]\r\ncolor=1193046\r\n");
  const TLookState chosen = Board->Look;
  Board->Look = TLookState();
  Recorded.Chosen = Path("mine.bvl");
  Board->OpenLookButton->trigger();
  EXPECT_EQ(Recorded.Asked.back(), "open|*.bvl|" + Board->StartFolder + "/res/conf/*.bvl");
  EXPECT_EQ(Board->Look, chosen);
  EXPECT_TRUE(Recorded.Messages.empty());
  // A name that ends in ".BVL" is kept; a cancelled dialog saves nothing.
  EXPECT_EQ(SaveLook("upper.BVL"), "");
  EXPECT_TRUE(fs::exists(Path("upper.BVL")));
  Recorded.Chosen.clear();
  Board->SaveLookButton->trigger();
  EXPECT_EQ(FilesInFolder(), 2u);
}

// The saved look names the board of the View menu; a look named on the command line
// brings its board with it.
TEST_F(BoardToolBar, TheBoardOfTheViewMenuGoesWithTheLook) {
  Form->ClassicPictureItems[2]->trigger();
  EXPECT_NE(SaveLook("classic").find("[type]\r\nview=classic\r\nmod=3\r\n"), std::string::npos);
  Form->ArtisticItem->trigger();
  EXPECT_NE(SaveLook("artistic").find("[type]\r\nview=artistic\r\n[white]"), std::string::npos);

  Board->LoadStartLook(Path("classic.bvl"));
  EXPECT_TRUE(Form->ClassicItem->isChecked());
  EXPECT_TRUE(Form->ClassicPictureItems[2]->isChecked());
  EXPECT_FALSE(Form->ArtisticItem->isChecked());
  EXPECT_FALSE(Board->LightBoardTextureButton->isVisible());
  EXPECT_EQ(Board->LightBoardMesh, nullptr);
  Board->LoadStartLook(Path("artistic.bvl"));
  EXPECT_NE(Board->LightBoardMesh, nullptr);
  EXPECT_TRUE(Form->ArtisticItem->isChecked());
  EXPECT_FALSE(Form->ClassicItem->isChecked());
  EXPECT_TRUE(Board->LightBoardTextureButton->isVisible());
  EXPECT_TRUE(Recorded.Messages.empty());
}

// Open look brings the board the look was saved with, and the View menu follows; a
// file that is no look changes neither.
TEST_F(BoardToolBar, AnOpenedLookBringsItsBoardAndTheViewMenuFollows) {
  Form->ClassicPictureItems[2]->trigger();
  SaveLook("classic");
  Form->ArtisticItem->trigger();
  SaveLook("artistic");
  WriteBytes(Path("notes.bvl"), "no look\r\n");
  // The View items, then the board shown and its look buttons.
  auto shown = [this] {
    std::string text = Form->ArtisticItem->isChecked() ? "artistic " : "classic ";
    for (QAction* item : Form->ClassicPictureItems) text += item->isChecked() ? '1' : '0';
    text += Form->ArtisticItem->isEnabled() == Form->ClassicItem->isChecked() ? "" : " (Artistic item enabled wrongly)";
    const bool artistic = Board->LightBoardMesh && Board->DarkBoardMesh && !Board->ClassicBoard->Visible();
    const bool classic = !Board->LightBoardMesh && Board->ClassicBoard->Visible();
    text += artistic ? ", artistic board" : classic ? ", classic board" : ", both boards";
    return text + (Board->LightBoardTextureButton->isVisible() ? " with its buttons" : "");
  };
  auto open = [this](const char* name) {
    Recorded.Chosen = Path(name);
    Board->OpenLookButton->trigger();
  };

  open("classic.bvl");
  EXPECT_EQ(shown(), "classic 00100, classic board");
  open("notes.bvl");
  EXPECT_EQ(shown(), "classic 00100, classic board");
  ASSERT_EQ(Recorded.Messages.size(), 1u);
  EXPECT_EQ(Recorded.Messages[0], Path("notes.bvl") + " is not a valid file.");
  open("artistic.bvl");
  EXPECT_EQ(shown(), "artistic 00000, artistic board with its buttons");
  open("notes.bvl");
  EXPECT_EQ(shown(), "artistic 00000, artistic board with its buttons");
  EXPECT_EQ(Recorded.Messages.size(), 2u);
}

// The main window's title shows the board window's caption after its own: whichever
// window loaded or saved a position file last, both name that one file.
TEST_F(BoardToolBar, BothCaptionsNameTheSameFile) {
  ASSERT_TRUE(Form->Game.LoadFen(START_POSITION_FEN));
  const std::string naming = "Brovanel 0.1 ";
  auto named = [&](const std::string& file) {
    const std::string title = Form->windowTitle().toStdString();
    for (const char* other : {"a.fen", "b.fen", "c.fen", "d.fen"})
      if (Path(other) != file && title.find(Path(other)) != std::string::npos) return "also " + Path(other);
    if (title.find(naming + file) == std::string::npos) return "not " + file;
    if (Board->windowTitle().toStdString() != naming + file) return "board " + Board->windowTitle().toStdString();
    return std::string("one file");
  };
  Recorded.Chosen = Path("a");
  Board->SavePositionButton->trigger();
  EXPECT_EQ(Board->windowTitle().toStdString(), naming + Path("a.fen"));
  WriteBytes(Path("b.fen"), START_FILE);
  WriteBytes(Path("c.fen"), AFTER_E4_FILE);
  Recorded.Chosen = Path("b.fen");
  Form->LoadPositionItem->trigger();
  EXPECT_EQ(named(Path("b.fen")), "one file");
  Recorded.Chosen = Path("c.fen");
  Board->LoadPositionButton->trigger();
  EXPECT_EQ(named(Path("c.fen")), "one file");
  Recorded.Chosen = Path("d");
  Form->SavePositionAsItem->trigger();
  EXPECT_EQ(named(Path("d.fen")), "one file");
  EXPECT_EQ(ReadBytes(Path("d.fen")), AFTER_E4_FILE);
  EXPECT_TRUE(Recorded.Messages.empty());
}

TEST_F(BoardToolBar, PositionsAreSavedAndLoadedWithExactBytes) {
  ASSERT_TRUE(Form->Game.LoadFen(START_POSITION_FEN));
  // No name chosen: nothing is written, not even a file without a name.
  Board->SavePositionButton->trigger();
  EXPECT_EQ(Recorded.Asked, (std::vector<std::string>{"save|*.fen|*.fen"}));
  EXPECT_EQ(FilesInFolder(), 0u);
  EXPECT_EQ(Form->PositionFile, "");

  Recorded.Chosen = Path("game");
  Board->SavePositionButton->trigger();
  EXPECT_EQ(ReadBytes(Path("game.fen")), START_FILE);
  EXPECT_EQ(Board->windowTitle().toStdString(), "Brovanel 0.1 " + Path("game.fen"));
  // After 1. e4, saved again under the same name without asking.
  TBoardMove e4{2, 4, 4, 4};
  ASSERT_EQ(Form->Game.Apply(e4, TSide::Light), TMoveResult::Applied);
  Recorded.Asked.clear();
  Board->SavePositionButton->trigger();
  EXPECT_TRUE(Recorded.Asked.empty());
  EXPECT_EQ(ReadBytes(Path("game.fen")), AFTER_E4_FILE);

  // Loaded back: the same position; the engine is not told and the lock stays.
  ASSERT_TRUE(Form->Game.LoadFen(START_POSITION_FEN));
  Form->Game.SetEngineThinking(true);
  Recorded.Chosen = Path("game.fen");
  Board->LoadPositionButton->trigger();
  EXPECT_EQ(Recorded.Asked.back(), "open|*.fen|*.fen");
  EXPECT_EQ(FenFileText(Form->Game.Board(), Form->Game.Rights()), AFTER_E4_FILE);
  EXPECT_TRUE(Form->Game.EngineThinking());
  Board->SavePositionButton->trigger();
  EXPECT_EQ(ReadBytes(Path("game.fen")), AFTER_E4_FILE);
  EXPECT_EQ(FilesInFolder(), 1u);
  EXPECT_TRUE(Recorded.Messages.empty());
}

class BoardLooks : public BoardToolBar {
protected:
  void SetUp() override {
    BoardToolBar::SetUp();
    Form->resize(1000, 800);
    ASSERT_TRUE(WaitFor([this] { return Board->FirstPiecesTimer == nullptr; }));
  }
  std::string Picture(const char* name) const { return Board->StartFolder + "/res/textures/" + name; }
  std::string LoadLook(const std::string& text) {
    WriteBytes(Path("look.bvl"), "[board]\r\nname=Brovanel\r\n" + text);
    Board->LoadLookFile(Path("look.bvl"));
    return Path("look.bvl");
  }
  // A frame drawn after the last change, as the screen shows it.
  QImage Frame() { return ShownFrame(*Board->BoardView); }
};

// Look files dress the pieces, the artistic board's halves and the background; a
// piece model made later wears its side's look, and junk leaves the rest applied.
TEST_F(BoardLooks, LookFilesDressTheScene) {
  ASSERT_TRUE(Board->LightBoardMesh && Board->DarkBoardMesh);
  const std::string marble = Picture("white-marble.jpg"), walnut = Picture("walnut.bmp");
  struct TCase {
    std::string Text;
    std::string Light, Dark, LightHalf, DarkHalf;
  };
  const TCase cases[] = {
      // The first colour key colours every piece.
      {"[white]\r\ncolor=255\r\ncolorboard=4210752\r\n[black]\r\ncolorboard=65280\r\n", "255", "255",
       "4210752", "65280"},
      // Pictured light pieces keep the dark ones' colour; a half takes a picture.
      {"[white]\r\ncolor=16711680\r\ntexture=" + marble + "\r\n[black]\r\ntextureboard=" + walnut + "\r\n",
       "picture", "16711680", "4210752", "picture"},
      {"[black]\r\ncolor=66051\r\ntexture=" + marble + "\r\n[white]\r\ntextureboard=" + walnut + "\r\n",
       "66051", "picture", "picture", "picture"},
  };
  for (const TCase& test : cases) {
    SCOPED_TRACE(test.Text);
    LoadLook(test.Text);
    EXPECT_EQ(PiecesShow(*Board), std::make_pair(test.Light, test.Dark));
    EXPECT_EQ(Shown(*Board->LightBoardMesh), test.LightHalf);
    EXPECT_EQ(Shown(*Board->DarkBoardMesh), test.DarkHalf);
  }
  EXPECT_TRUE(Recorded.Messages.empty());

  // A second light queen and a third dark rook get models of their own, in the look.
  ASSERT_TRUE(Form->Game.LoadFen("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR/"));
  Form->RefreshBoard();
  ASSERT_TRUE(Form->Game.LoadFen("rnbqkbnr/pppppppp/8/2r5/3Q4/8/PPPPPPPP/RNBQKBNR/"));
  Form->RefreshBoard();
  ASSERT_TRUE(Board->PieceSlots[32] && Board->PieceSlots[33]);
  EXPECT_EQ(PiecesShow(*Board), std::make_pair(std::string("66051"), std::string("picture")));

  // Junk: one message naming the file; the sound keys still apply.
  const std::string file = LoadLook("[type]\r\nview=classic\r\nmod=two\r\n[white]\r\ncolor=128\r\n"
                                    "texture=" + Path("none.jpg") + "\r\n[back]\r\ncolor=99999999\r\n");
  ASSERT_EQ(Recorded.Messages.size(), 1u);
  EXPECT_EQ(Recorded.Messages[0].rfind("The look file " + file + " holds values that were left out:", 0), 0u);
  EXPECT_EQ(PiecesShow(*Board), std::make_pair(std::string("128"), std::string("128")));
}

// An 8000 x 8000 picture chosen for the dark pieces is read once, at 2048 pixels,
// and uploaded once for all of them at the largest texture the GL takes; the board
// half given the same file shows the same texture; colours in its place free it.
TEST_F(BoardLooks, ABigPictureIsReadAndUploadedOnceForAllThatShowIt) {
  const std::string picture = Path("big.jpg");
  WriteBytes(picture, FlatJpegBytes(8000, 8000, 150, 90, 40));
  // Whatever the scene uploads of its own goes first.
  Frame();
  ASSERT_NE(GL, nullptr);
  const TUploadRecorder uploads(2048);
  const long before = ResidentMegabytes();
  // The pictures of the file held; the artistic board's halves show their own.
  auto held = [&] {
    std::vector<const TGLTexture*> textures;
    for (const TFormOpengl::TLookPicture& shown : Board->LookPictures)
      if (shown.Path == picture) textures.push_back(shown.Texture.get());
    return textures;
  };
  Recorded.Chosen = picture;
  Board->DarkPieceTextureButton->trigger();
  EXPECT_EQ(Recorded.Messages, std::vector<std::string>{});
  EXPECT_EQ(PiecesShow(*Board).second, "picture");
  Frame();
  Frame();
  EXPECT_EQ(TUploadRecorder::Sizes, (std::vector<std::pair<int, int>>{{2048, 2048}}));
  ASSERT_EQ(held().size(), 1u);
  EXPECT_EQ(held()[0]->Image().GetWidth(), 2048);
  // One picture of 12 MB and its texture of 21 MB; a copy for each piece would
  // hold half a gigabyte.
  EXPECT_LT(ResidentMegabytes() - before, 200);

  Recorded.Chosen = picture;
  Board->LightBoardTextureButton->trigger();
  Frame();
  EXPECT_EQ(Shown(*Board->LightBoardMesh), "picture");
  EXPECT_EQ(Board->LightBoardMesh->Material().Texture().SharedTexture(), held().at(0));
  EXPECT_EQ(TUploadRecorder::Sizes.size(), 1u);

  Recorded.Colours = {0x203040, 0x405060};
  Board->DarkPieceColourButton->trigger();
  Board->LightBoardColourButton->trigger();
  Frame();
  EXPECT_EQ(PiecesShow(*Board).second, std::to_string(0x203040));
  EXPECT_TRUE(held().empty());
  EXPECT_LT(ResidentMegabytes() - before, 150) << "the picture and its texture are freed";
}

// An 8000 x 8000 JPEG for the dark pieces, as the user chooses it: read at 2048
// pixels, so that the process grows by tens of megabytes instead of gigabytes, and
// shown on the pieces; a colour in its place gives the memory back, the GL texture's
// included.
TEST_F(BoardLooks, ABigPictureShowsReducedAndGivesItsMemoryBack) {
  const std::string picture = Path("big.jpg");
  WriteBytes(picture, FlatJpegBytes(8000, 8000, 40, 170, 60));
  // Pixels of the window in the picture's green, lit or shaded.
  auto green = [](const QImage& frame) {
    int count = 0;
    for (int y = 0; y < frame.height(); ++y)
      for (int x = 0; x < frame.width(); ++x) {
        const QColor c = frame.pixelColor(x, y);
        count += c.green() > c.red() + 40 && c.green() > c.blue() + 40;
      }
    return count;
  };
  EXPECT_EQ(green(Frame()), 0);
  const long start = ResidentMegabytes();
  ResetPeakMemory();
  Recorded.Chosen = picture;
  Board->DarkPieceTextureButton->trigger();
  EXPECT_GT(green(Frame()), 5000) << "the dark pieces show the picture";
  EXPECT_EQ(Recorded.Messages, std::vector<std::string>{});
  ASSERT_FALSE(Board->LookPictures.empty());
  EXPECT_EQ(Board->LookPictures.back().Texture->Image().GetWidth(), 2048);
  // Read whole and uploaded at 8192 pixels with its mipmaps, it took 1.8 GB.
  EXPECT_LT(ProcessStatusMegabytes("VmHWM:") - start, 300);

  Recorded.Colours = {0x404040};
  Board->DarkPieceColourButton->trigger();
  // The driver lets the texture's storage go when it draws again.
  EXPECT_TRUE(WaitFor([&] { return green(Frame()) == 0 && ResidentMegabytes() - start < 30; }))
      << ResidentMegabytes() - start << " MB more than before the picture";
}

// A board window that has drawn its frame and falls idle gives back what the driver
// kept of the frame: llvmpipe holds a frame's binned commands, megabytes for the
// board, until it starts the next frame, which an idle window never does.
TEST_F(BoardLooks, AnIdleBoardGivesBackWhatItsLastFrameHeld) {
  Frame();
  TGLSceneViewer& view = *Board->BoardView;
  // The process as a frame leaves it, read before the window can fall idle, with
  // what the heap kept of earlier frees given back first: all that goes after it
  // is the window's to give.
  long drawn = 0;
  view.Buffer().AfterRender = [&](TObject*) {
    ReleaseFreedHeap();
    drawn = ProcessStatusKb("RssAnon:");
  };
  view.update();
  ASSERT_TRUE(WaitFor([&] { return drawn > 0; }));
  view.Buffer().AfterRender = nullptr;
  EXPECT_TRUE(WaitFor([&] { return ProcessStatusKb("RssAnon:") < drawn - 3 * 1024; }))
      << (drawn - ProcessStatusKb("RssAnon:")) / 1024 << " MB given back";
}

// The View menu switches between the boards: the classic board's height field with
// its picture, the artistic board's halves made again with their look.
TEST_F(BoardLooks, TheViewMenuSwitchesBoards) {
  for (int round = 0; round < 2; ++round) {
    Form->ClassicPictureItems[1]->trigger();
    EXPECT_EQ(Board->LightBoardMesh, nullptr);
    EXPECT_EQ(Board->DarkBoardMesh, nullptr);
    EXPECT_TRUE(Board->ClassicBoard->Visible());
    EXPECT_FALSE(Board->ClassicBoard->Material().Texture().Disabled());
    EXPECT_FALSE(Board->LightBoardColourButton->isVisible());
    EXPECT_TRUE(Form->ClassicPictureItems[1]->isChecked() && Form->ArtisticItem->isEnabled());
    // Board colours without the artistic board are only kept.
    LoadLook("[white]\r\ncolorboard=77\r\n");
    EXPECT_EQ(Board->Look.LightBoardColour, 77);

    Form->ArtisticItem->trigger();
    ASSERT_TRUE(Board->LightBoardMesh && Board->DarkBoardMesh);
    EXPECT_FALSE(Board->ClassicBoard->Visible());
    EXPECT_EQ(Shown(*Board->LightBoardMesh), "picture");
    EXPECT_TRUE(Board->LightBoardColourButton->isVisible());
    EXPECT_TRUE(Form->ArtisticItem->isChecked() && !Form->ArtisticItem->isEnabled());
  }
  EXPECT_TRUE(Recorded.Messages.empty());
}

// A half the reader refuses, while the classic board is shown: reported, and the
// classic board and the View menu stay as they were.
TEST_F(BoardLooks, ARefusedHalfLeavesTheClassicBoard) {
  Form->ClassicPictureItems[2]->trigger();
  const fs::path models = Folder / "models";
  fs::create_directories(models);
  fs::copy_file(Form->Folders.Models + "scacchieranero.3ds", models / "scacchieranero.3ds");
  // The light half at its size, but no model.
  const std::uintmax_t size = fs::file_size(Form->Folders.Models + "scacchierabianco.3ds");
  WriteBytes(models / "scacchierabianco.3ds", std::string(size, 'x'));
  Form->Folders.Models = models.string() + "/";
  Form->ArtisticItem->trigger();
  ASSERT_EQ(Recorded.Messages.size(), 1u);
  EXPECT_EQ(Board->LightBoardMesh, nullptr);
  EXPECT_EQ(Board->DarkBoardMesh, nullptr);
  EXPECT_TRUE(Board->ClassicBoard->Visible());
  EXPECT_FALSE(Board->LightBoardColourButton->isVisible());
  EXPECT_TRUE(Form->ClassicPictureItems[2]->isChecked());
  EXPECT_FALSE(Form->ArtisticItem->isChecked());
  EXPECT_TRUE(Form->ArtisticItem->isEnabled());
}

// The colours reach the frames drawn: red pieces on a green background, then blue ones.
TEST_F(BoardLooks, FramesShowTheLook) {
  auto count = [](const QImage& image, int channel) {
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
      for (int x = 0; x < image.width(); ++x) {
        const QColor c = image.pixelColor(x, y);
        const int v[] = {c.red(), c.green(), c.blue()};
        if (v[channel] > 40 && v[channel] > 3 * v[(channel + 1) % 3] && v[channel] > 3 * v[(channel + 2) % 3]) ++n;
      }
    return n;
  };
  LoadLook("[white]\r\ncolor=255\r\n[back]\r\ncolor=65280\r\n");
  QImage frame = Frame();
  EXPECT_EQ(frame.pixelColor(2, 2), QColor(0, 255, 0));
  const int red = count(frame, 0), area = frame.width() * frame.height();
  EXPECT_GT(red, area / 50);
  EXPECT_EQ(count(frame, 2), 0);

  LoadLook("[white]\r\ncolor=16711680\r\n[back]\r\ncolor=0\r\n");
  frame = Frame();
  EXPECT_EQ(frame.pixelColor(2, 2), QColor(0, 0, 0));
  EXPECT_EQ(count(frame, 0), 0);
  EXPECT_GT(count(frame, 2), red / 2);
}

}  // namespace
