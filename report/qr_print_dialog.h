// The printer setup dialog and the printing progress window.
//
// IQRPrintDialogs asks the user for the printer and its settings; tests
// answer it. TQRPrintDialogs shows the platform's standard print dialog
// with page numbers and no printing to file or selection. The dialog's state
// carries the codes of the report settings: paper source and paper size
// codes, the duplex code, copies, collation and the page range.
//
// TQRProgressForm shows a printing sink's progress: on every notice whose
// value is a multiple of 5 the bar moves and the text becomes the value, "% "
// and " Completed". Its Cancel cancels the report and the sink.
#pragma once

#include <QDialog>
#include <QPointer>
#include <QStringList>

#include "report/qr_print_settings.h"

class QLabel;
class QProgressBar;
class QPushButton;

namespace vendrik {

class TQRPrinter;
class TQuickRep;

enum class TQRPrintRange { prAllPages, prSelection, prPageNums };

struct TQRPrintDialogState {
  QStringList FPrinters;
  int FPrinterIndex = 0;  // into FPrinters
  int FMinPage = 0, FMaxPage = 9999, FFromPage = 0, FToPage = 0;
  TQRPrintRange FPrintRange = TQRPrintRange::prAllPages;
  int FCopies = 1;
  int FCollate = 0;
  TQROrientation FOrientation = TQROrientation::poPortrait;
  // Values of the chosen printer: source and paper codes, duplex code.
  int FOutputBin = 0;
  int FPaperSize = 0;
  int FDuplexCode = kQRSimplex;
  int FPrintQuality = 0, FColorOption = 0;
};

class IQRPrintDialogs {
 public:
  virtual ~IQRPrintDialogs() = default;
  // Shows the dialog on `state`; true, with `state` holding the choices,
  // when the user confirmed. A cancelled dialog leaves `state` as it was.
  virtual bool Execute(QWidget* parent, TQRPrintDialogState& state) = 0;
};

class TQRPrintDialogs final : public IQRPrintDialogs {
 public:
  bool Execute(QWidget* parent, TQRPrintDialogState& state) override;
};

// The dialogs reports use unless they are given others.
IQRPrintDialogs& QRStandardPrintDialogs();

class TQRProgressForm final : public QDialog {
  Q_OBJECT

 public:
  // A progress window for `sink` of `report` (either may be null).
  TQRProgressForm(TQuickRep* report, TQRPrinter* sink, QWidget* parent = nullptr);

  // A progress notice: only multiples of 5 change the window.
  void ShowProgress(int percent);
  QString InfoText() const;
  int GaugePosition() const;
  // The Cancel button's command.
  void CancelPrinting();

 private:
  QPointer<TQuickRep> FReport;
  QPointer<TQRPrinter> FSink;
  QProgressBar* FGauge;
  QLabel* FInfo;
  QPushButton* FCancelButton;
};

}  // namespace vendrik
