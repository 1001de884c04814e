#pragma once
// The About box: the product's name, version and addresses, the credits, where to
// find free engines, and the licence text.

#include <functional>

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
  // Without a parent: the board window shows it modally and frees it.
  explicit TOKRightDlg(QWidget* parent = nullptr);

  QLabel* Label8;
  QLabel* Label12;
  QLabel* Label6;
  QLabel* Label7;
  QLabel* Label4;
  QLabel* Label2;
  QLabel* Label9;
  QLabel* Label3;
  QLabel* Label1;
  QPlainTextEdit* memo1;
  QLineEdit* Edit1;
  QPushButton* OKButton;
  QPushButton* Button1;

  void FormCreate();
  // The links: a mail to the author, the product's web page, a mail to the author of
  // the pieces and boards and the free-engine page, opened by the desktop; and the
  // licence text beside the program, shown in a dialog of its own (a file that cannot
  // be read is reported).
  void Label2Click();
  void Label4Click();
  void Label1Click();
  void Label12Click();
  void Button1Click();
  void OKButtonClick();

  // Esc closes the dialog as the OK button does.
  void reject() override;
};
