#pragma once
// The About box: the product's name, version and addresses, the credits, where to
// find free engines, and the licence text.

#include <functional>
#include <string>

#include <QDialog>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QUrl;

// Opens a web address, a mail address or a local file with the desktop's own program.
// The program's opener is the desktop's; tests put one of their own with SetUrlOpener.
using TUrlOpener = std::function<bool(const QUrl&)>;
void SetUrlOpener(TUrlOpener opener);
bool OpenUrl(const QUrl& url);

inline constexpr char PRODUCT_NAME[] = "Brovanel";
inline constexpr char PRODUCT_WEB_ADDRESS[] = "https://brovanel.example.org/";
inline constexpr char PRODUCT_MAIL_ADDRESS[] = "brovanel@example.org";
inline constexpr char ARTWORK_MAIL_ADDRESS[] = "artwork@brovanel.example.org";
inline constexpr char FREE_ENGINES_ADDRESS[] = "https://www.chessprogramming.org/WinBoard";
inline constexpr char LICENSE_FILE_NAME[] = "license.TXT";

class TOKRightDlg : public QDialog {
public:
  // Without a parent: the board window shows it modally and frees it. The licence text
  // is read from `programFolder`.
  explicit TOKRightDlg(const std::string& programFolder, QWidget* parent = nullptr);

  // Each has its component's name as its objectName ("Label12", "memo1", ...).
  QLabel* FreeEnginesCaption;
  QLabel* FreeEnginesLink;
  QLabel* ProductNameLabel;
  QLabel* VersionLabel;
  QLabel* WebLink;
  QLabel* MailLink;
  QLabel* DescriptionLabel;
  QLabel* ArtworkCaption;
  QLabel* ArtworkLink;
  QPlainTextEdit* HostEngineMemo;
  QLineEdit* FocusHolder;
  QPushButton* OKButton;
  QPushButton* LicenseButton;

  // The product's name, version and addresses in the box's labels.
  void FillIn();
  // The links: a mail to the author, the product's web page, a mail to the author of
  // the pieces and boards and the free-engine page, opened by the desktop; and the
  // licence text beside the program, shown in a dialog of its own (a file that cannot
  // be read is reported).
  void MailAuthor();
  void OpenWebPage();
  void MailArtworkAuthor();
  void OpenFreeEnginesPage();
  void ShowLicense();
  void CloseBox();

  // Esc closes the dialog as the OK button does.
  void reject() override;

private:
  std::string FProgramFolder;
};
