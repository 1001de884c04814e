#include "app/windows/uhelp.h"

#include <initializer_list>

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

TOKRightDlg::TOKRightDlg(const std::string& programFolder, QWidget* parent)
    : QDialog(parent), FProgramFolder(programFolder) {
  setObjectName(QStringLiteral("OKRightDlg"));
  setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
  setFixedSize(261, 383);

  auto* layout = new QVBoxLayout(this);
  FreeEnginesCaption = TextLabel(this, "Label8", QStringLiteral("To download free engines:"));
  FreeEnginesLink = LinkLabel(this, "Label12", [this] { OpenFreeEnginesPage(); });
  // Shown without its scheme, which the narrow box would cut off.
  FreeEnginesLink->setText(QString::fromLatin1(FREE_ENGINES_ADDRESS).remove(QStringLiteral("https://")));
  layout->addWidget(FreeEnginesCaption);
  layout->addWidget(FreeEnginesLink);

  auto* infoPanel = new QFrame(this);
  infoPanel->setObjectName(QStringLiteral("Panel1"));
  infoPanel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  auto* panel = new QVBoxLayout(infoPanel);
  ProductNameLabel = TextLabel(infoPanel, "Label6", QStringLiteral("nome"));
  QFont big = ProductNameLabel->font();
  big.setPointSize(big.pointSize() + 6);
  big.setBold(true);
  ProductNameLabel->setFont(big);
  VersionLabel = TextLabel(infoPanel, "Label7", QStringLiteral("Version"));
  WebLink = LinkLabel(infoPanel, "Label4", [this] { OpenWebPage(); });
  WebLink->setText(QStringLiteral("url"));
  MailLink = LinkLabel(infoPanel, "Label2", [this] { MailAuthor(); });
  MailLink->setText(QStringLiteral("mail"));
  DescriptionLabel = TextLabel(infoPanel, "Label9", QStringLiteral("A chess board in 3D, made with Qt and OpenGL"));
  DescriptionLabel->setWordWrap(true);
  ArtworkCaption = TextLabel(infoPanel, "Label3", QStringLiteral("Chess pieces and Boards by"));
  ArtworkLink = LinkLabel(infoPanel, "Label1", [this] { MailArtworkAuthor(); });
  ArtworkLink->setText(QStringLiteral("the Brovanel artwork generator"));
  for (QWidget* widget : std::initializer_list<QWidget*>{ProductNameLabel, VersionLabel, WebLink, MailLink,
                                                         DescriptionLabel, ArtworkCaption, ArtworkLink})
    panel->addWidget(widget);

  auto* hostEngineGroup = new QGroupBox(QStringLiteral("Host Engine"), infoPanel);
  hostEngineGroup->setObjectName(QStringLiteral("GroupBox2"));
  auto* group = new QVBoxLayout(hostEngineGroup);
  HostEngineMemo = new QPlainTextEdit(QStringLiteral("no engine"), hostEngineGroup);
  HostEngineMemo->setObjectName(QStringLiteral("memo1"));
  HostEngineMemo->setReadOnly(true);
  HostEngineMemo->setFocusPolicy(Qt::NoFocus);
  QPalette silver = HostEngineMemo->palette();
  silver.setColor(QPalette::Base, QColor(192, 192, 192));
  HostEngineMemo->setPalette(silver);
  group->addWidget(HostEngineMemo);
  panel->addWidget(hostEngineGroup);
  layout->addWidget(infoPanel, 1);

  // Holds the keyboard focus unseen, so that Esc reaches the dialog at once.
  FocusHolder = new QLineEdit(QStringLiteral("Edit1"), this);
  FocusHolder->setObjectName(QStringLiteral("Edit1"));
  FocusHolder->setFixedWidth(0);
  FocusHolder->setFrame(false);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(FocusHolder);
  LicenseButton = new QPushButton(QStringLiteral("License"), this);
  LicenseButton->setObjectName(QStringLiteral("Button1"));
  OKButton = new QPushButton(QStringLiteral("OK"), this);
  OKButton->setObjectName(QStringLiteral("OKButton"));
  OKButton->setDefault(true);
  buttons->addWidget(LicenseButton);
  buttons->addStretch(1);
  buttons->addWidget(OKButton);
  layout->addLayout(buttons);
  connect(LicenseButton, &QPushButton::clicked, this, [this] { ShowLicense(); });
  connect(OKButton, &QPushButton::clicked, this, [this] { CloseBox(); });
  FocusHolder->setFocus();
  FillIn();
}

void TOKRightDlg::FillIn() {
  ProductNameLabel->setText(QString::fromLatin1(PRODUCT_NAME));
  WebLink->setText(QString::fromLatin1(PRODUCT_WEB_ADDRESS));
  VersionLabel->setText(QStringLiteral("Version 0.1 (Build 0.1)"));
  setWindowTitle(QStringLiteral("About Brovanel 0.1"));
  MailLink->setText(QString::fromLatin1(PRODUCT_MAIL_ADDRESS));
}

void TOKRightDlg::MailAuthor() { OpenUrl(MailTo(PRODUCT_MAIL_ADDRESS)); }

void TOKRightDlg::OpenWebPage() { OpenUrl(QUrl(QString::fromLatin1(PRODUCT_WEB_ADDRESS))); }

void TOKRightDlg::MailArtworkAuthor() { OpenUrl(MailTo(ARTWORK_MAIL_ADDRESS)); }

void TOKRightDlg::OpenFreeEnginesPage() { OpenUrl(QUrl(QString::fromLatin1(FREE_ENGINES_ADDRESS))); }

void TOKRightDlg::ShowLicense() {
  // Beside the program, wherever the program was started from. Shown here rather than
  // handed to the desktop, which may have no program for text files and not say so.
  const QString path = QString::fromStdString(FProgramFolder) + QLatin1Char('/') + LICENSE_FILE_NAME;
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

void TOKRightDlg::CloseBox() { done(QDialog::Accepted); }

void TOKRightDlg::reject() { done(QDialog::Accepted); }
