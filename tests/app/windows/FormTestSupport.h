#pragma once
// The program's windows in a test: the main window made as the program makes it, its
// board window once the start-up tick has made it, recorded dialogs, and waits that
// keep the event loop running.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCoreApplication>
#include <QLabel>
#include <QMessageBox>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <unistd.h>

#include "app/windows/Main.h"
#include "app/game/maindefine.h"
#include "app/windows/uchess.h"
#include "app/game/utility.h"
#include "meshes/GLVectorFileObjects.h"
#include "scene/GLSceneBuffer.h"
#include "scene/qt/GLSceneViewer.h"
#include "scene/qt/QtDialogs.h"
#include "tests/base/RecordingDialogs.h"

// Runs the event loop until `done` holds (true) or `timeoutMs` passes (false). The
// default is far beyond what engines and drawn frames need on a busy machine.
inline bool WaitFor(const std::function<bool()>& done, int timeoutMs = 60000) {
  return QTest::qWaitFor(done, timeoutMs);
}

// The view as the screen shows it once a frame has been drawn after the scene's last
// change. The GL hands its frames to the X server on a connection of its own, which a
// grab on the toolkit's connection can overtake, the more so on a busy machine: frames
// are drawn and grabbed until two grabs in a row agree.
inline QImage ShownFrame(TGLSceneViewer& view) {
  QImage shown;
  for (int grabs = 0; grabs < 100; ++grabs) {
    const int frames = view.Buffer().FrameCount();
    view.update();
    EXPECT_TRUE(WaitFor([&] { return view.Buffer().FrameCount() > frames; })) << "no frame drawn";
    QApplication::sync();
    QImage grabbed = view.screen()->grabWindow(view.winId()).toImage();
    if (grabs > 0 && grabbed == shown) return shown;
    shown = std::move(grabbed);
  }
  ADD_FAILURE() << "the screen shows a different picture at every frame";
  return shown;
}

inline std::string ReadBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

inline void WriteBytes(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

// A folder of the test's own, removed afterwards.
inline std::filesystem::path TestFolder(const std::string& kind) {
  auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
  std::filesystem::path folder = std::filesystem::temp_directory_path() /
                                 ("brv " + kind + " " + test->name() + "." + std::to_string(::getpid()));
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  return folder;
}

class MainWindow : public ::testing::Test {
protected:
  void SetUp() override {
    Form = std::make_unique<TForm1>();
    ASSERT_TRUE(WaitFor([this] { return Form->FormOpengl != nullptr; }));
    Board = Form->FormOpengl;
  }
  void TearDown() override {
    Form.reset();
    QCoreApplication::processEvents();
  }

  TRecordingDialogs Recorded;
  std::unique_ptr<TForm1> Form;
  TFormOpengl* Board = nullptr;
};

// A message box as the user saw it: its text, and whether its label took that text
// as plain text rather than as markup.
struct TShownMessage {
  std::string Text;
  bool Plain = false;
};

// While it lives, messages are the toolkit's real message boxes: each one is read
// from the screen, `whileShown` runs in the box's own event loop, and the user
// presses OK. The other dialogs still answer from `recorded`.
class TMessageBoxes : public TQtDialogs {
public:
  explicit TMessageBoxes(TRecordingDialogs& recorded, std::function<void()> whileShown = {})
      : FRecorded(recorded), FWhileShown(std::move(whileShown)) {
    SetDialogs(this);
    QObject::connect(&FTimer, &QTimer::timeout, [this] { AnswerBox(); });
    FTimer.start(10);
  }
  ~TMessageBoxes() override { SetDialogs(&FRecorded); }
  bool OpenFile(const std::string& filter, std::string& fileName) override {
    return FRecorded.OpenFile(filter, fileName);
  }
  bool SaveFile(const std::string& filter, std::string& fileName) override {
    return FRecorded.SaveFile(filter, fileName);
  }

  std::vector<TShownMessage> Shown;

private:
  void AnswerBox() {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box || !box->isVisible() || FAnswering) return;
    FAnswering = true;
    const auto* label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
    Shown.push_back({box->text().toStdString(), label && label->textFormat() == Qt::PlainText});
    if (FWhileShown) FWhileShown();
    if (QAbstractButton* ok = box->button(QMessageBox::Ok)) QTest::mouseClick(ok, Qt::LeftButton);
    if (box->isVisible()) box->reject();
    FAnswering = false;
  }

  TRecordingDialogs& FRecorded;
  std::function<void()> FWhileShown;
  QTimer FTimer;
  bool FAnswering = false;
};

// How many pieces stand on squares of the board, shown.
inline int PiecesOnSquares(const TFormOpengl& board) {
  int placed = 0;
  for (const auto& piece : board.PieceSlots)
    if (piece && piece->Row >= 1 && piece->Row <= 8 && piece->Obj->Visible()) ++placed;
  return placed;
}
