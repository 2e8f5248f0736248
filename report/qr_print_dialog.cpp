// The standard print dialog and the progress window.
#include "report/qr_print_dialog.h"

#include <QApplication>
#include <QLabel>
#include <QPageSize>
#include <QPrintDialog>
#include <QPrinter>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>

#include "report/qr_printer.h"
#include "report/qr_report.h"

namespace vendrik {
namespace {

constexpr int kProgressStep = 5;

int DuplexCodeOf(QPrinter::DuplexMode mode) {
  switch (mode) {
    case QPrinter::DuplexLongSide: return kQRDuplexVertical;
    case QPrinter::DuplexShortSide: return kQRDuplexHorizontal;
    case QPrinter::DuplexAuto: return kQRDuplexVertical;
    default: return kQRSimplex;
  }
}

QPrinter::DuplexMode DuplexModeOf(int code) {
  switch (code) {
    case kQRDuplexVertical: return QPrinter::DuplexLongSide;
    case kQRDuplexHorizontal: return QPrinter::DuplexShortSide;
    default: return QPrinter::DuplexNone;
  }
}

}  // namespace

bool TQRPrintDialogs::Execute(QWidget* parent, TQRPrintDialogState& state) {
  QPrinter printer;
  printer.setPrinterName(state.FPrinters.value(state.FPrinterIndex));
  printer.setCopyCount(state.FCopies);
  printer.setCollateCopies(state.FCollate != 0);
  printer.setDuplex(DuplexModeOf(state.FDuplexCode));
  printer.setPageOrientation(state.FOrientation == TQROrientation::poLandscape ? QPageLayout::Landscape
                                                                               : QPageLayout::Portrait);
  QPrintDialog dialog(&printer, parent);
  dialog.setOptions(QAbstractPrintDialog::PrintPageRange | QAbstractPrintDialog::PrintCollateCopies);
  dialog.setMinMax(std::max(state.FMinPage, 1), state.FMaxPage);
  if (state.FFromPage > 0) dialog.setFromTo(state.FFromPage, state.FToPage);
  // Centred horizontally, a third of the free height from the top.
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect free = screen->availableGeometry();
    const QSize size = dialog.sizeHint();
    dialog.move(free.left() + (free.width() - size.width()) / 2,
                free.top() + (free.height() - size.height()) / 3);
  }
  if (dialog.exec() != QDialog::Accepted) return false;
  const int index = state.FPrinters.indexOf(printer.printerName());
  if (index >= 0) state.FPrinterIndex = index;
  switch (printer.printRange()) {
    case QPrinter::PageRange: state.FPrintRange = TQRPrintRange::prPageNums; break;
    case QPrinter::Selection: state.FPrintRange = TQRPrintRange::prSelection; break;
    default: state.FPrintRange = TQRPrintRange::prAllPages; break;
  }
  state.FFromPage = printer.fromPage();
  state.FToPage = printer.toPage();
  state.FCopies = printer.copyCount();
  state.FCollate = printer.collateCopies() ? 1 : 0;
  state.FDuplexCode = DuplexCodeOf(printer.duplex());
  state.FOrientation = printer.pageLayout().orientation() == QPageLayout::Landscape
                           ? TQROrientation::poLandscape
                           : TQROrientation::poPortrait;
  const int paper = printer.pageLayout().pageSize().windowsId();
  if (paper > 0) state.FPaperSize = paper;
  return true;
}

IQRPrintDialogs& QRStandardPrintDialogs() {
  static TQRPrintDialogs dialogs;
  return dialogs;
}

TQRProgressForm::TQRProgressForm(TQuickRep* report, TQRPrinter* sink, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowStaysOnTopHint), FReport(report), FSink(sink) {
  setObjectName(QStringLiteral("QRProgressForm"));
  setWindowTitle(QStringLiteral("Printing progress"));
  setFixedSize(149, 97);
  FGauge = new QProgressBar(this);
  FGauge->setObjectName(QStringLiteral("Gauge"));
  FGauge->setAccessibleName(QStringLiteral("Printing progress"));
  FGauge->setGeometry(16, 18, 114, 16);
  FGauge->setRange(0, 100);
  FGauge->setValue(0);
  FGauge->setTextVisible(false);
  FInfo = new QLabel(this);
  FInfo->setObjectName(QStringLiteral("Info"));
  FInfo->setAccessibleName(QStringLiteral("Progress"));
  FInfo->setGeometry(0, 44, 145, 13);
  FInfo->setAlignment(Qt::AlignCenter);
  FCancelButton = new QPushButton(QStringLiteral("Cancel"), this);
  FCancelButton->setObjectName(QStringLiteral("CancelButton"));
  FCancelButton->setAccessibleName(QStringLiteral("Cancel"));
  FCancelButton->setGeometry(36, 68, 75, 25);
  connect(FCancelButton, &QPushButton::clicked, this, &TQRProgressForm::CancelPrinting);
  if (sink) connect(sink, &TQRPrinter::ProgressUpdate, this, &TQRProgressForm::ShowProgress);
  if (const QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->availableGeometry().center() - rect().center());
}

void TQRProgressForm::ShowProgress(int percent) {
  if (percent % kProgressStep != 0) return;
  FGauge->setValue(percent);
  FInfo->setText(QString::number(percent) + QStringLiteral("% ") + QStringLiteral(" Completed"));
  QCoreApplication::processEvents();
}

QString TQRProgressForm::InfoText() const { return FInfo->text(); }
int TQRProgressForm::GaugePosition() const { return FGauge->value(); }

void TQRProgressForm::CancelPrinting() {
  // A generation stops at the next record and ends with the pages so far;
  // printing stored pages drops its job.
  if (FReport) FReport->UserCancel = true;
  if (FSink) FSink->Cancel();
}

}  // namespace vendrik
