#include "scene/qt/QtDialogs.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>

#include <fstream>
#include <functional>
#include <string>

namespace {

// Acts on the modal dialog as soon as it is shown; a dialog that the action left
// open (a failed check) is cancelled, so that the test cannot hang.
void WhenModal(std::function<void(QWidget*)> action) {
  auto* timer = new QTimer(qApp);
  QObject::connect(timer, &QTimer::timeout, [timer, action] {
    if (QWidget* dialog = QApplication::activeModalWidget()) {
      timer->stop();
      timer->deleteLater();
      action(dialog);
      if (auto* open = qobject_cast<QDialog*>(dialog); open && open->isVisible()) open->reject();
    }
  });
  timer->start(10);
}

TEST(QtDialogs, MessageBoxShowsTheTextUnderTheApplicationsName) {
  WhenModal([](QWidget* w) {
    auto* box = qobject_cast<QMessageBox*>(w);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->text(), "Invalid size");
    EXPECT_EQ(box->windowTitle(), QGuiApplication::applicationDisplayName());
    box->accept();
  });
  TQtDialogs().ShowMessage("Invalid size");
}

TEST(QtDialogs, InputQueryReturnsTheTextOrTheDefault) {
  TQtDialogs dialogs;
  WhenModal([](QWidget* w) {
    auto* dialog = qobject_cast<QInputDialog*>(w);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->labelText(), "Name:");
    dialog->setTextValue("Knight");
    dialog->accept();
  });
  EXPECT_EQ(dialogs.InputQuery("Engine", "Name:", "none"), "Knight");
  WhenModal([](QWidget* w) {
    qobject_cast<QDialog*>(w)->findChild<QLineEdit*>()->setText("typed");
    qobject_cast<QDialog*>(w)->reject();
  });
  EXPECT_EQ(dialogs.InputQuery("Engine", "Name:", "none"), "none");
}

TEST(QtDialogs, OpenPictureChangesTheNameOnlyWhenConfirmed) {
  TQtDialogs dialogs;
  QTemporaryDir folder;
  const std::string picture = folder.filePath("board.bmp").toStdString();
  std::ofstream(picture) << "BM";
  std::string fileName = picture;
  WhenModal([](QWidget* w) { qobject_cast<QDialog*>(w)->reject(); });
  EXPECT_FALSE(dialogs.OpenPicture(fileName));
  EXPECT_EQ(fileName, picture);

  fileName = folder.filePath("missing.bmp").toStdString();
  WhenModal([&picture](QWidget* w) {
    auto* dialog = qobject_cast<QFileDialog*>(w);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->fileMode(), QFileDialog::ExistingFile);
    // Only what the picture loader can read is offered.
    EXPECT_EQ(dialog->selectedNameFilter(), "All pictures (*.bmp *.jpg *.jpeg)");
    // As the user would: type the name, then confirm.
    dialog->findChild<QLineEdit*>("fileNameEdit")->setText(QString::fromStdString(picture));
    static_cast<QDialog*>(dialog)->accept();
  });
  EXPECT_TRUE(dialogs.OpenPicture(fileName));
  EXPECT_EQ(fileName, picture);
}

}  // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  // Listing the tests needs no display; running them does.
  if (::testing::GTEST_FLAG(list_tests)) return RUN_ALL_TESTS();
  QApplication application(argc, argv);
  return RUN_ALL_TESTS();
}
