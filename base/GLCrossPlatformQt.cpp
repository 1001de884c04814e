#include "GLCrossPlatformQt.h"

#include <QFileDialog>
#include <QGuiApplication>
#include <QImageReader>
#include <QInputDialog>
#include <QMessageBox>
#include <QScreen>
#include <QStringList>

namespace {

QString ToQString(const std::string& text) { return QString::fromStdString(text); }

// "All pictures (*.bmp *.jpg ...)" from the formats the toolkit can read, then all files.
QString PictureFilter() {
  QStringList patterns;
  for (const QByteArray& format : QImageReader::supportedImageFormats())
    patterns << QStringLiteral("*.") + QString::fromLatin1(format);
  return QStringLiteral("All pictures (") + patterns.join(QLatin1Char(' ')) + QStringLiteral(");;All files (*)");
}

}  // namespace

void InformationDialog(const std::string& text) {
  QMessageBox::information(nullptr, QGuiApplication::applicationDisplayName(), ToQString(text), QMessageBox::Ok);
}

std::string InputDialog(const std::string& caption, const std::string& prompt, const std::string& defaultText) {
  bool ok = false;
  QString text =
      QInputDialog::getText(nullptr, ToQString(caption), ToQString(prompt), QLineEdit::Normal, ToQString(defaultText), &ok);
  return ok ? text.toStdString() : defaultText;
}

bool OpenPictureDialogExecute(std::string& fileName, const std::string& title) {
  // A stack object: freed on every path out.
  QFileDialog dialog(nullptr);
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setNameFilter(PictureFilter());
  if (!title.empty()) dialog.setWindowTitle(ToQString(title));
  if (!fileName.empty()) dialog.selectFile(ToQString(fileName));
  if (dialog.exec() != QDialog::Accepted) return false;
  const QStringList chosen = dialog.selectedFiles();
  if (chosen.isEmpty()) return false;
  fileName = chosen.first().toStdString();
  return true;
}

int ScreenColorDepth() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  return screen ? screen->depth() : 0;
}
