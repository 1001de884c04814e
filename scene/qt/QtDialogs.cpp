#include "scene/qt/QtDialogs.h"

#include <QFileDialog>
#include <QGuiApplication>
#include <QInputDialog>
#include <QMessageBox>
#include <QStringList>

namespace {

QString ToQString(const std::string& text) { return QString::fromStdString(text); }

// The files our picture loader reads (it chooses BMP or JPEG by the extension), not
// those of the toolkit's own image readers: a PNG offered here could not be opened.
QStringList PictureFilters() {
  return {QStringLiteral("All pictures (*.bmp *.jpg *.jpeg)"), QStringLiteral("Bitmaps (*.bmp)"),
          QStringLiteral("JPEG pictures (*.jpg *.jpeg)")};
}

}  // namespace

void TQtDialogs::ShowMessage(const std::string& text) {
  QMessageBox::information(nullptr, QGuiApplication::applicationDisplayName(), ToQString(text), QMessageBox::Ok);
}

std::string TQtDialogs::InputQuery(const std::string& caption, const std::string& prompt,
                                   const std::string& defaultText) {
  bool ok = false;
  QString text =
      QInputDialog::getText(nullptr, ToQString(caption), ToQString(prompt), QLineEdit::Normal, ToQString(defaultText), &ok);
  return ok ? text.toStdString() : defaultText;
}

bool TQtDialogs::OpenPicture(std::string& fileName) {
  // A stack object: freed on every path out.
  QFileDialog dialog(nullptr);
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setNameFilters(PictureFilters());
  if (!fileName.empty()) dialog.selectFile(ToQString(fileName));
  if (dialog.exec() != QDialog::Accepted) return false;
  const QStringList chosen = dialog.selectedFiles();
  if (chosen.isEmpty()) return false;
  fileName = chosen.first().toStdString();
  return true;
}
