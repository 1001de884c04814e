// The board window's tool bar as a user drives it: looks chosen with the colour and
// file dialogs, saved and opened again, the board of the View menu in the saved look,
// the look named on the command line, and positions saved and loaded.

#include <QAction>

#include "FormTestSupport.h"

namespace fs = std::filesystem;

namespace {

const char START_FILE[] = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR/ w - - 0 1\r\n";
const char AFTER_E4_FILE[] = "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR/ w - - 0 1\r\n";

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
    Board->ToolButton23->trigger();
    return ReadBytes(Path(name + ".bvl"));
  }

  fs::path Folder;
};

TEST_F(BoardToolBar, ColoursChosenAreSavedAndOpenedAgain) {
  Recorded.Colours = {0x0000FF, 0x00FF00, 0x123456, 0xABCDEF, 0x010203};
  for (QAction* button : {Board->ToolButton6, Board->ToolButton7, Board->ToolButton4, Board->ToolButton34,
                          Board->ToolButton35})
    button->trigger();
  // Cancelled: nothing changes.
  Board->ToolButton6->trigger();
  EXPECT_EQ(Recorded.Asked, (std::vector<std::string>{"colour|0", "colour|0", "colour|0", "colour|0", "colour|0",
                                                      "colour|255"}));
  const std::string text = SaveLook("mine");
  EXPECT_EQ(Recorded.Asked.back(), "save|*.bvl|" + Board->StartFolder + "/res/conf/*.bvl");
  EXPECT_EQ(text,
            "[board]\r\nname=Brovanel\r\nversion=Brovanel\r\n[type]\r\nview=artistic\r\n"
            "[white]\r\ncolor=65280\r\ncolorboard=11259375\r\n[black]\r\ncolor=255\r\ncolorboard=66051\r\n"
            "[back]\r\ncolor=1193046\r\n");
  const TLookState chosen = Board->Look;
  Board->Look = TLookState();
  Recorded.Chosen = Path("mine.bvl");
  Board->ToolButton25->trigger();
  EXPECT_EQ(Recorded.Asked.back(), "open|*.bvl|" + Board->StartFolder + "/res/conf/*.bvl");
  EXPECT_EQ(Board->Look, chosen);
  EXPECT_TRUE(Recorded.Messages.empty());
  // A name that ends in ".BVL" is kept; a cancelled dialog saves nothing.
  EXPECT_EQ(SaveLook("upper.BVL"), "");
  EXPECT_TRUE(fs::exists(Path("upper.BVL")));
  Recorded.Chosen.clear();
  Board->ToolButton23->trigger();
  EXPECT_EQ(FilesInFolder(), 2u);
}

// The saved look names the board of the View menu; a look named on the command line
// brings its board with it.
TEST_F(BoardToolBar, TheBoardOfTheViewMenuGoesWithTheLook) {
  Form->ClassicItems[2]->trigger();
  EXPECT_NE(SaveLook("classic").find("[type]\r\nview=classic\r\nmod=3\r\n"), std::string::npos);
  Form->Artistic1->trigger();
  EXPECT_NE(SaveLook("artistic").find("[type]\r\nview=artistic\r\n[white]"), std::string::npos);

  Board->LoadStartLook(Path("classic.bvl"));
  EXPECT_TRUE(Form->Classic1->isChecked());
  EXPECT_TRUE(Form->ClassicItems[2]->isChecked());
  EXPECT_FALSE(Form->Artistic1->isChecked());
  EXPECT_FALSE(Board->ToolButton30->isVisible());
  Board->LoadStartLook(Path("artistic.bvl"));
  EXPECT_TRUE(Form->Artistic1->isChecked());
  EXPECT_FALSE(Form->Classic1->isChecked());
  EXPECT_TRUE(Board->ToolButton30->isVisible());
  EXPECT_TRUE(Recorded.Messages.empty());
}

TEST_F(BoardToolBar, PositionsAreSavedAndLoadedWithExactBytes) {
  ASSERT_TRUE(LoadFenPosition(START_POSITION_FEN));
  // No name chosen: nothing is written, not even a file without a name.
  Board->ToolButton11->trigger();
  EXPECT_EQ(Recorded.Asked, (std::vector<std::string>{"save|*.fen|*.fen"}));
  EXPECT_EQ(FilesInFolder(), 0u);
  EXPECT_EQ(Form->PositionFile, "");

  Recorded.Chosen = Path("game");
  Board->ToolButton11->trigger();
  EXPECT_EQ(ReadBytes(Path("game.fen")), START_FILE);
  EXPECT_EQ(Board->windowTitle().toStdString(), "Brovanel 0.1 " + Path("game.fen"));
  // After 1. e4, saved again under the same name without asking.
  TBoardMove e4{2, 4, 4, 4};
  ASSERT_EQ(ApplyMoveToBitboards(BitBoards, e4), TMoveResult::Applied);
  Recorded.Asked.clear();
  Board->ToolButton11->trigger();
  EXPECT_TRUE(Recorded.Asked.empty());
  EXPECT_EQ(ReadBytes(Path("game.fen")), AFTER_E4_FILE);

  // Loaded back: the same position; the engine is not told and the lock stays.
  ASSERT_TRUE(LoadFenPosition(START_POSITION_FEN));
  EngineThinking = true;
  Recorded.Chosen = Path("game.fen");
  Board->ToolButton9->trigger();
  EXPECT_EQ(Recorded.Asked.back(), "open|*.fen|*.fen");
  EXPECT_EQ(FenFileText(BitBoards), AFTER_E4_FILE);
  EXPECT_TRUE(EngineThinking);
  Board->ToolButton11->trigger();
  EXPECT_EQ(ReadBytes(Path("game.fen")), AFTER_E4_FILE);
  EXPECT_EQ(FilesInFolder(), 1u);
  EXPECT_TRUE(Recorded.Messages.empty());
}

}  // namespace
