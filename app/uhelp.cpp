#include "app/uhelp.h"

#include <QDesktopServices>
#include <QFile>
#include <QFontDatabase>
#include <QGroupBox>
#include <QMouseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

#include "FormSupport.h"
#include "app/maindefine.h"

namespace {

TUrlOpener& Opener() {
  static TUrlOpener opener = [](const QUrl& url) { return QDesktopServices::openUrl(url); };
  return opener;
}

// A label that acts as a link: a hand cursor, and `onClick` on a left click.
QLabel* LinkLabel(QWidget* parent, const char* name, std::function<void()> onClick) {
  struct TLinkLabel : QLabel {
    std::function<void()> OnClick;
    using QLabel::QLabel;
    void mouseReleaseEvent(QMouseEvent* event) override {
      if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()) && OnClick)
        RunGuarded(OnClick);
    }
  };
  auto* label = new TLinkLabel(parent);
  label->setObjectName(QString::fromLatin1(name));
  label->setCursor(Qt::PointingHandCursor);
  QPalette palette = label->palette();
  palette.setColor(QPalette::WindowText, QColor(0, 0, 192));
  label->setPalette(palette);
  label->OnClick = std::move(onClick);
  return label;
}

QLabel* TextLabel(QWidget* parent, const char* name, const QString& text) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(QString::fromLatin1(name));
  return label;
}

QUrl MailTo(const char* address) { return QUrl(QStringLiteral("mailto:") + QString::fromLatin1(address)); }

}  // namespace

void SetUrlOpener(TUrlOpener opener) { Opener() = std::move(opener); }

bool OpenUrl(const QUrl& url) { return Opener() && Opener()(url); }

TOKRightDlg::TOKRightDlg(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("OKRightDlg"));
  setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
  setFixedSize(261, 383);

  auto* layout = new QVBoxLayout(this);
  Label8 = TextLabel(this, "Label8", QStringLiteral("To download free engines:"));
  Label12 = LinkLabel(this, "Label12", [this] { Label12Click(); });
  // Shown without its scheme, which the narrow box would cut off.
  Label12->setText(QString::fromLatin1(FREE_ENGINES_ADDRESS).remove(QStringLiteral("https://")));
  layout->addWidget(Label8);
  layout->addWidget(Label12);

  auto* Panel1 = new QFrame(this);
  Panel1->setObjectName(QStringLiteral("Panel1"));
  Panel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  auto* panel = new QVBoxLayout(Panel1);
  Label6 = TextLabel(Panel1, "Label6", QStringLiteral("nome"));
  QFont big = Label6->font();
  big.setPointSize(big.pointSize() + 6);
  big.setBold(true);
  Label6->setFont(big);
  Label7 = TextLabel(Panel1, "Label7", QStringLiteral("Version"));
  Label4 = LinkLabel(Panel1, "Label4", [this] { Label4Click(); });
  Label4->setText(QStringLiteral("url"));
  Label2 = LinkLabel(Panel1, "Label2", [this] { Label2Click(); });
  Label2->setText(QStringLiteral("mail"));
  Label9 = TextLabel(Panel1, "Label9", QStringLiteral("A chess board in 3D, made with Qt and OpenGL"));
  Label9->setWordWrap(true);
  Label3 = TextLabel(Panel1, "Label3", QStringLiteral("Chess pieces and Boards by"));
  Label1 = LinkLabel(Panel1, "Label1", [this] { Label1Click(); });
  Label1->setText(QStringLiteral("the Brovanel artwork generator"));
  for (QWidget* widget : {static_cast<QWidget*>(Label6), static_cast<QWidget*>(Label7), static_cast<QWidget*>(Label4),
                          static_cast<QWidget*>(Label2), static_cast<QWidget*>(Label9), static_cast<QWidget*>(Label3),
                          static_cast<QWidget*>(Label1)})
    panel->addWidget(widget);

  auto* GroupBox2 = new QGroupBox(QStringLiteral("Host Engine"), Panel1);
  GroupBox2->setObjectName(QStringLiteral("GroupBox2"));
  auto* group = new QVBoxLayout(GroupBox2);
  memo1 = new QPlainTextEdit(QStringLiteral("no engine"), GroupBox2);
  memo1->setObjectName(QStringLiteral("memo1"));
  memo1->setReadOnly(true);
  memo1->setFocusPolicy(Qt::NoFocus);
  QPalette silver = memo1->palette();
  silver.setColor(QPalette::Base, QColor(192, 192, 192));
  memo1->setPalette(silver);
  group->addWidget(memo1);
  panel->addWidget(GroupBox2);
  layout->addWidget(Panel1, 1);

  // Holds the keyboard focus unseen, so that Esc reaches the dialog at once.
  Edit1 = new QLineEdit(QStringLiteral("Edit1"), this);
  Edit1->setObjectName(QStringLiteral("Edit1"));
  Edit1->setFixedWidth(0);
  Edit1->setFrame(false);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(Edit1);
  Button1 = new QPushButton(QStringLiteral("License"), this);
  Button1->setObjectName(QStringLiteral("Button1"));
  OKButton = new QPushButton(QStringLiteral("OK"), this);
  OKButton->setObjectName(QStringLiteral("OKButton"));
  OKButton->setDefault(true);
  buttons->addWidget(Button1);
  buttons->addStretch(1);
  buttons->addWidget(OKButton);
  layout->addLayout(buttons);
  connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
  connect(OKButton, &QPushButton::clicked, this, [this] { OKButtonClick(); });
  Edit1->setFocus();
  FormCreate();
}

void TOKRightDlg::FormCreate() {
  Label6->setText(QString::fromLatin1(PRODUCT_NAME));
  Label4->setText(QString::fromLatin1(PRODUCT_WEB_ADDRESS));
  Label7->setText(QStringLiteral("Version 0.1 (Build 0.1)"));
  setWindowTitle(QStringLiteral("About Brovanel 0.1"));
  Label2->setText(QString::fromLatin1(PRODUCT_MAIL_ADDRESS));
}

void TOKRightDlg::Label2Click() { OpenUrl(MailTo(PRODUCT_MAIL_ADDRESS)); }

void TOKRightDlg::Label4Click() { OpenUrl(QUrl(QString::fromLatin1(PRODUCT_WEB_ADDRESS))); }

void TOKRightDlg::Label1Click() { OpenUrl(MailTo(ARTWORK_MAIL_ADDRESS)); }

void TOKRightDlg::Label12Click() { OpenUrl(QUrl(QString::fromLatin1(FREE_ENGINES_ADDRESS))); }

void TOKRightDlg::Button1Click() {
  // Beside the program, wherever the program was started from. Shown here rather than
  // handed to the desktop, which may have no program for text files and not say so.
  const QString path = QString::fromStdString(AppFolder) + QLatin1Char('/') + LICENSE_FILE_NAME;
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    Dialogs().ShowMessage("Cannot read the licence text " + path.toStdString() + ": " + file.errorString().toStdString());
    return;
  }
  QDialog dialog(this);
  dialog.setObjectName(QStringLiteral("LicenseDlg"));
  dialog.setWindowTitle(QStringLiteral("License"));
  dialog.resize(640, 440);
  auto* layout = new QVBoxLayout(&dialog);
  auto* text = new QPlainTextEdit(QString::fromUtf8(file.readAll()), &dialog);
  text->setObjectName(QStringLiteral("LicenseText"));
  text->setReadOnly(true);
  // The text keeps its own line breaks.
  text->setLineWrapMode(QPlainTextEdit::NoWrap);
  text->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  layout->addWidget(text);
  auto* ok = new QPushButton(QStringLiteral("OK"), &dialog);
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, &dialog, &QDialog::accept);
  layout->addWidget(ok, 0, Qt::AlignRight);
  dialog.exec();
}

void TOKRightDlg::OKButtonClick() { done(QDialog::Accepted); }

void TOKRightDlg::reject() { done(QDialog::Accepted); }
