// The about window: construction in small steps, the system report filled in
// when it is shown, the links and the buttons.
#include "app/about_window.h"

#include <algorithm>

#include <QEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>

#include "app/app_windows.h"
#include "app/bevel_panel.h"
#include "app/dialog_service.h"
#include "app/error_display.h"
#include "app/picture_window.h"
#include "app/shell_service.h"

namespace vendrik {
namespace {

// The program and its author (our own sample content).
const QString kProductTitle = QStringLiteral("Vendrik '03");
const QString kVersion = QStringLiteral("V2.0.0.0");
const QString kAuthorName = QStringLiteral("Minta Ede");
const QString kAuthorAddress = QStringLiteral("9999 Mintaváros, Próba utca 1.");
const QString kAuthorPhone = QStringLiteral("00-0/000-0000");
const QString kAuthorMobile = QStringLiteral("00-00/000-0000");
const QString kAuthorEmail = QStringLiteral("vendrik@example.org");
const QString kAuthorWeb = QStringLiteral("www.example.org/vendrik");

// Twenty lines: the publication the program is based on, the communiqué that
// introduced the classification, and the communiqués it replaces.
const char* const kMemoLines[] = {
    "A program a Statisztikai Hivatal",
    "azonos című kiadványán alapul:",
    "Vendrik '03 – Szolgáltatások",
    "nemzeti osztályozási jegyzéke,",
    "2., javított kiadás.",
    "-------------------------------------------------",
    "A jegyzéket a Hivatal elnökének",
    "7/2002. (V. 21.) közleménye vezette be",
    "a statisztikáról szóló törvény",
    "felhatalmazása alapján.",
    "Alkalmazása 2002. augusztus 1-jétől",
    "kötelező.",
    "-------------------------------------------------",
    "A közlemény hatályon kívül helyezi",
    "– a 4/1996. (II. 12.) közleményt,",
    "– a 9/1998. (X. 30.) közleményt,",
    "– a 2/2000. (III. 3.) közleményt,",
    "– a 6/2001. (VI. 18.) közleményt",
    "és a hozzájuk kiadott",
    "módosító közleményeket.",
};

const QString kIconResource = QStringLiteral(":/images/icon.png");

const QString kBlue = QStringLiteral("#0000FF");
const QString kNavy = QStringLiteral("#000080");
const QString kPurple = QStringLiteral("#800080");

const QString kErrorCaption = QStringLiteral("Hiba történt:");

// Hints: the short part is the tooltip (and the accessible description's
// lead), the long part the description.
const QString kEmailHintShort = QStringLiteral("E-mail küldése");
const QString kEmailHintLong = QStringLiteral("E-mail küldése a szerzőnek !");
const QString kWebHintShort = QStringLiteral("Cím behívása");
const QString kWebHintLong = QStringLiteral("Cím behívása böngésző programba !");
const QString kInfoHint = QStringLiteral("Rendszerinformáció megjelenítése !");
const QString kCloseHint = QStringLiteral("Befejezés !");

constexpr int kValueLeft = 128;
constexpr int kValueWidth = 145;
constexpr int kCaptionLeft = 8;
constexpr int kRowTops[] = {8, 24, 40, 56, 72};
constexpr int kRowHeight = 13;
const char* const kRowCaptions[] = {"Operációs rendszer:", "Processzor típusa:", "Processzor sebessége:",
                                    "Fizikai memória:", "Memória használatban:"};

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text, const QRect& geometry,
                  Qt::Alignment alignment) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(QString::fromLatin1(name));
  label->setGeometry(geometry);
  label->setAlignment(alignment | Qt::AlignVCenter);
  label->setAccessibleName(text);
  return label;
}

// Centres `label` on the centre of `place`; a text wider than the place
// widens the label to both sides.
void PlaceCentred(QLabel* label, const QRect& place) {
  const int width = std::max(place.width(), label->sizeHint().width());
  QRect geometry(0, place.y(), width, place.height());
  geometry.moveCenter(QPoint(place.center().x(), place.center().y()));
  label->setGeometry(geometry);
}

void SetTextColour(QWidget* widget, const QString& colour) {
  widget->setStyleSheet(QStringLiteral("color: %1;").arg(colour));
}

QLabel* MakeLink(QWidget* parent, const char* name, const QString& text, const QRect& place,
                 const QString& hintShort, const QString& hintLong) {
  QLabel* label = MakeLabel(parent, name, text, place, Qt::AlignHCenter);
  QFont font = label->font();
  font.setUnderline(true);
  label->setFont(font);
  SetTextColour(label, kNavy);
  label->setCursor(Qt::PointingHandCursor);
  label->setToolTip(hintShort);
  label->setAccessibleDescription(hintLong);
  PlaceCentred(label, place);
  return label;
}

bool IsLeftClick(QEvent* event) {
  if (event->type() != QEvent::MouseButtonRelease) return false;
  return static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton;
}

}  // namespace

TForm7::TForm7(TAppWindows& windows)
    : TVendrikForm(QStringLiteral("Form7"), QStringLiteral(" Névjegy:"), QSize(298, 429), TBorderStyle::bsSingle),
      FWindows(windows),
      FSystemReportSource(GatherSystemReport) {
  createAuthorPanel();
  createMemo();
  createSystemPanel();
  createButtons();
}

void TForm7::SetSystemReportSource(std::function<TSystemReport()> source) {
  FSystemReportSource = std::move(source);
}

void TForm7::createAuthorPanel() {
  auto* panel = new TBevelPanel(this, QStringLiteral("Panel1"), QRect(8, 8, 281, 161));
  panel->setAccessibleName(QStringLiteral("Szerző"));

  auto* image = new QLabel(panel);
  image->setObjectName(QStringLiteral("Image1"));
  image->setGeometry(8, 8, 32, 32);
  image->setAlignment(Qt::AlignCenter);
  image->setPixmap(QPixmap(kIconResource));
  image->setAccessibleName(QStringLiteral("Program ikonja"));

  QLabel* title = MakeLabel(panel, "Label1", kProductTitle, QRect(48, 8, 225, 25), Qt::AlignHCenter);
  QFont titleFont(QStringLiteral("Arial"));
  titleFont.setPixelSize(17);
  titleFont.setBold(true);
  title->setFont(titleFont);
  SetTextColour(title, kBlue);

  QLabel* version = MakeLabel(panel, "Label2", kVersion, QRect(56, 32, 212, 13), Qt::AlignHCenter);
  QFont versionFont = version->font();
  versionFont.setBold(true);
  version->setFont(versionFont);
  SetTextColour(version, kBlue);

  const QRect authorPlace(64, 48, 169, 17);
  FLabel3 = MakeLabel(panel, "Label3", QStringLiteral("Készítette: %1.").arg(kAuthorName), authorPlace,
                      Qt::AlignHCenter);
  QFont authorFont(QStringLiteral("Times New Roman"));
  authorFont.setPixelSize(16);
  authorFont.setBold(true);
  FLabel3->setFont(authorFont);
  SetTextColour(FLabel3, kPurple);
  PlaceCentred(FLabel3, authorPlace);
  FLabel3->installEventFilter(this);

  struct TLine {
    const char* FName;
    QString FText;
    int FTop;
  };
  const TLine lines[] = {
      {"Label4", kAuthorAddress, 72},
      {"Label5", QStringLiteral("Tel/Fax: %1.").arg(kAuthorPhone), 88},
      {"Label6", QStringLiteral("Mobil: %1.").arg(kAuthorMobile), 104},
  };
  for (const TLine& line : lines) {
    const QRect place(16, line.FTop, 251, 13);
    QLabel* label = MakeLabel(panel, line.FName, line.FText, place, Qt::AlignHCenter);
    SetTextColour(label, kNavy);
    PlaceCentred(label, place);
  }

  FLabel7 = MakeLink(panel, "Label7", QStringLiteral("E-mail: %1").arg(kAuthorEmail), QRect(72, 120, 137, 13),
                     kEmailHintShort, kEmailHintLong);
  FLabel18 = MakeLink(panel, "Label18", QStringLiteral("Internet: %1").arg(kAuthorWeb), QRect(88, 136, 105, 13),
                      kWebHintShort, kWebHintLong);
  FLabel7->installEventFilter(this);
  FLabel18->installEventFilter(this);
}

void TForm7::createMemo() {
  auto* memo = new QPlainTextEdit(this);
  memo->setObjectName(QStringLiteral("Memo1"));
  memo->setGeometry(8, 176, 281, 57);
  memo->setReadOnly(true);
  memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  QStringList lines;
  for (const char* line : kMemoLines) lines << QString::fromUtf8(line);
  memo->setPlainText(lines.join(QLatin1Char('\n')));
  memo->setStyleSheet(QStringLiteral("QPlainTextEdit { color: %1; }").arg(kBlue));
  memo->setAccessibleName(QStringLiteral("Tájékoztató"));
}

void TForm7::createSystemPanel() {
  auto* panel = new TBevelPanel(this, QStringLiteral("Panel2"), QRect(8, 296, 281, 93));
  panel->setAccessibleName(QStringLiteral("Rendszer adatai"));
  QLabel** values[] = {&FLabel13, &FLabel14, &FLabel15, &FLabel16, &FLabel17};
  for (int row = 0; row < 5; ++row) {
    const QString caption = QString::fromUtf8(kRowCaptions[row]);
    const QByteArray captionName = "Label" + QByteArray::number(8 + row);
    const QByteArray valueName = "Label" + QByteArray::number(13 + row);
    QLabel* captionLabel = MakeLabel(panel, captionName.constData(), caption,
                                     QRect(kCaptionLeft, kRowTops[row], 0, kRowHeight), Qt::AlignLeft);
    captionLabel->resize(captionLabel->sizeHint().width(), kRowHeight);
    QLabel* value = MakeLabel(panel, valueName.constData(), QString(),
                              QRect(kValueLeft, kRowTops[row], kValueWidth, kRowHeight), Qt::AlignRight);
    // The caption names the value; the value itself is the description.
    value->setAccessibleName(caption);
    *values[row] = value;
  }
}

void TForm7::createButtons() {
  FBitBtn2 = new QPushButton(style()->standardIcon(QStyle::SP_ComputerIcon), QStringLiteral("MS Info"), this);
  FBitBtn2->setObjectName(QStringLiteral("BitBtn2"));
  FBitBtn2->setGeometry(8, 396, 100, 25);
  FBitBtn2->setAccessibleName(FBitBtn2->text());
  FBitBtn2->setAutoDefault(false);
  connect(FBitBtn2, &QPushButton::clicked, this, [this] { Guarded(&TForm7::BitBtn2Click); });

  FBitBtn1 = new QPushButton(style()->standardIcon(QStyle::SP_DialogCloseButton), QStringLiteral("Befejezés"), this);
  FBitBtn1->setObjectName(QStringLiteral("BitBtn1"));
  FBitBtn1->setGeometry(188, 396, 100, 25);
  FBitBtn1->setToolTip(kCloseHint);
  FBitBtn1->setAccessibleName(FBitBtn1->text());
  FBitBtn1->setAutoDefault(false);
  connect(FBitBtn1, &QPushButton::clicked, this, [this] { Guarded(&TForm7::BitBtn1Click); });
}

void TForm7::showEvent(QShowEvent* event) {
  TVendrikForm::showEvent(event);
  if (!event->spontaneous()) Guarded(&TForm7::FormShow);
}

bool TForm7::eventFilter(QObject* watched, QEvent* event) {
  if (watched == FLabel3 && event->type() == QEvent::MouseButtonDblClick) {
    Guarded(&TForm7::Label3DblClick);
    return true;
  }
  if (watched == FLabel7 && IsLeftClick(event)) {
    Guarded(&TForm7::Label7Click);
    return true;
  }
  if (watched == FLabel18 && IsLeftClick(event)) {
    Guarded(&TForm7::Label18Click);
    return true;
  }
  return TVendrikForm::eventFilter(watched, event);
}

void TForm7::Guarded(void (TForm7::*handler)()) {
  FWindows.Services().FErrors.Guard([this, handler] { (this->*handler)(); });
}

void TForm7::FormShow() {
  const TSystemReport report = FSystemReportSource();
  const QLocale locale;
  const auto show = [](QLabel* label, const QString& text) {
    label->setText(text);
    label->setAccessibleDescription(text);
  };
  show(FLabel13, FormatOperatingSystem(report.FPlatformFamily, report.FVersion));
  show(FLabel16, report.FMemory ? FormatPhysicalMemory(report.FMemory->FTotalBytes, locale) : QString());
  show(FLabel17, report.FMemory ? FormatMemoryLoad(report.FMemory->FLoadPercent) : QString());
  show(FLabel15, report.FClockMHz ? FormatProcessorSpeed(*report.FClockMHz, locale) : QString());
  show(FLabel14, report.FProcessor ? FormatProcessor(*report.FProcessor) : QString());

  FSystemInfoViewer = FindSystemInfoViewer();
  FBitBtn2->setEnabled(!FSystemInfoViewer.isEmpty());
  FBitBtn2->setToolTip(FSystemInfoViewer.isEmpty()
                           ? QStringLiteral("Nincs telepítve rendszerinformációs program (%1).")
                                 .arg(SystemInfoViewerNames().join(QStringLiteral(", ")))
                           : kInfoHint);
}

void TForm7::BitBtn1Click() { close(); }

void TForm7::BitBtn2Click() {
  if (FSystemInfoViewer.isEmpty()) return;
  QString reason;
  if (!FWindows.Services().FShell.StartProgram(FSystemInfoViewer, {}, reason))
    FWindows.Services().FDialogs.ShowMessage(
        kErrorCaption, QStringLiteral("A(z) %1 program nem indítható: %2").arg(FSystemInfoViewer, reason));
}

void TForm7::Label3DblClick() { FWindows.Form8().ShowModal(); }

void TForm7::Label7Click() { OpenLink(QStringLiteral("mailto:") + kAuthorEmail); }

void TForm7::Label18Click() { OpenLink(kAuthorWeb); }

void TForm7::OpenLink(const QString& address) {
  if (!FWindows.Services().FShell.OpenAddress(address))
    FWindows.Services().FDialogs.ShowMessage(
        kErrorCaption, QStringLiteral("A(z) %1 cím nem nyitható meg: nincs program, amely megnyitná.").arg(address));
}

}  // namespace vendrik
