#include "scene/qt/QtDialogs.h"

#include <QColorDialog>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QInputDialog>
#include <QMessageBox>
#include <QStringList>

#include "base/GLCrossPlatform.h"

namespace {

QString ToQString(const std::string& text) { return QString::fromStdString(text); }

// The files our picture loader reads (it chooses BMP or JPEG by the extension), not
// those of the toolkit's own image readers: a PNG offered here could not be opened.
QStringList PictureFilters() {
  return {QStringLiteral("All pictures (*.bmp *.jpg *.jpeg)"), QStringLiteral("Bitmaps (*.bmp)"),
          QStringLiteral("JPEG pictures (*.jpg *.jpeg)")};
}

// A file dialog of `mode` for `filters`, starting at `fileName`: a folder, or a file or
// pattern whose folder it opens. True and the chosen name in `fileName` on confirmation.
bool RunFileDialog(QFileDialog::AcceptMode mode, QFileDialog::FileMode fileMode, const QStringList& filters,
                   std::string& fileName) {
  // A stack object: freed on every path out.
  QFileDialog dialog(nullptr);
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setAcceptMode(mode);
  dialog.setFileMode(fileMode);
  dialog.setNameFilters(filters);
  if (!fileName.empty()) {
    QFileInfo start(ToQString(fileName));
    if (start.isDir()) {
      dialog.setDirectory(start.filePath());
    } else {
      dialog.setDirectory(start.path());
      // A pattern such as "*.fen" is not a name to offer.
      if (!start.fileName().contains(QLatin1Char('*'))) dialog.selectFile(start.fileName());
    }
  }
  if (dialog.exec() != QDialog::Accepted) return false;
  const QStringList chosen = dialog.selectedFiles();
  if (chosen.isEmpty()) return false;
  fileName = chosen.first().toStdString();
  return true;
}

// "*.fen" offers those files and, as a second choice, every file; empty, every file.
// Patterns may be separated by ";" ("*.jpg;*.bmp"), which the dialog takes as blanks.
QStringList FileFilters(const std::string& filter) {
  QStringList filters;
  if (!filter.empty()) filters << ToQString(filter).replace(QLatin1Char(';'), QLatin1Char(' '));
  filters << QStringLiteral("All files (*)");
  return filters;
}

}  // namespace

void TQtDialogs::ShowMessage(const std::string& text) {
  // Messages carry text from files, the clipboard and engines: shown as it is, never
  // taken for markup ("<h1>" is no heading, "<script>" does not end the text).
  QMessageBox box(QMessageBox::Information, QGuiApplication::applicationDisplayName(), ToQString(text),
                  QMessageBox::Ok);
  box.setTextFormat(Qt::PlainText);
  box.exec();
}

std::string TQtDialogs::InputQuery(const std::string& caption, const std::string& prompt,
                                   const std::string& defaultText) {
  bool ok = false;
  QString text =
      QInputDialog::getText(nullptr, ToQString(caption), ToQString(prompt), QLineEdit::Normal, ToQString(defaultText), &ok);
  return ok ? text.toStdString() : defaultText;
}

bool TQtDialogs::OpenPicture(std::string& fileName) {
  return RunFileDialog(QFileDialog::AcceptOpen, QFileDialog::ExistingFile, PictureFilters(), fileName);
}

bool TQtDialogs::OpenFile(const std::string& filter, std::string& fileName) {
  return RunFileDialog(QFileDialog::AcceptOpen, QFileDialog::ExistingFile, FileFilters(filter), fileName);
}

bool TQtDialogs::SaveFile(const std::string& filter, std::string& fileName) {
  return RunFileDialog(QFileDialog::AcceptSave, QFileDialog::AnyFile, FileFilters(filter), fileName);
}

bool TQtDialogs::ChooseColour(int& colour) {
  QColor start(RedOf(colour), GreenOf(colour), BlueOf(colour));
  QColor chosen = QColorDialog::getColor(start, nullptr, QString(), QColorDialog::DontUseNativeDialog);
  if (!chosen.isValid()) return false;
  colour = MakeRGB(std::uint8_t(chosen.red()), std::uint8_t(chosen.green()), std::uint8_t(chosen.blue()));
  return true;
}
