// The page sink: metafile and printer destinations.
#include "report/qr_printer.h"

#include <cmath>

namespace vendrik {
namespace {
constexpr qreal kNativePerInch = 254;
constexpr qreal kSmallestFactor = 0.1;
constexpr qreal kScreenFactor = 96 / kNativePerInch;
}  // namespace

TQRPrinter::TQRPrinter(qreal dotsPerInch, QObject* parent)
    : QObject(parent), FDotsPerInch(dotsPerInch) {
  SetFactors(dotsPerInch, dotsPerInch);
}

TQRPrinter::~TQRPrinter() {
  if (FCanvas) FCanvas->end();
}

void TQRPrinter::SetFactors(qreal dotsPerInchX, qreal dotsPerInchY) {
  FXFactor = dotsPerInchX / kNativePerInch;
  FYFactor = dotsPerInchY / kNativePerInch;
  // A device that reports less than 25.4 dots per inch is taken as a screen.
  if (FXFactor < kSmallestFactor) FXFactor = kScreenFactor;
  if (FYFactor < kSmallestFactor) FYFactor = kScreenFactor;
}

bool TQRPrinter::SetPrinter(IQRPrintService& service, const QString& printer, QString* error) {
  const std::optional<TQRDeviceMode> mode = service.ReadPrinter(printer, error);
  if (!mode) return false;
  PrinterSettings.SetPrinter(*mode);
  FService = &service;
  FPrinterName = printer;
  return true;
}

bool TQRPrinter::InRange(int n) const {
  return (FirstPage <= 0 || n >= FirstPage) && (LastPage <= 0 || n <= LastPage);
}

int TQRPrinter::XPos(TQRReal v) const {
  return static_cast<int>(std::lround((v - FLeftWaste) * FXFactor));
}
int TQRPrinter::YPos(TQRReal v) const {
  return static_cast<int>(std::lround((v - FTopWaste) * FYFactor));
}
int TQRPrinter::XSize(TQRReal v) const { return static_cast<int>(std::lround(v * FXFactor)); }
int TQRPrinter::YSize(TQRReal v) const { return static_cast<int>(std::lround(v * FYFactor)); }

void TQRPrinter::BeginDoc() {
  const bool printer = Destination == TQRDestination::qrdPrinter;
  if (FStatus != TQRPrinterStatus::mpReady || (printer && !FService))
    throw EQRError("QRPrinter not ready");
  FAvailablePages = 0;
  FProgress = 0;
  FCancelled = false;
  FPageNumber = FPageCount = 0;
  FJobId = 0;
  FLeftWaste = FTopWaste = 0;
  if (printer) {
    PrinterSettings.SetOrientation(Orientation);
    FJob = std::make_unique<TQRPrintJob>(*FService, FPrinterName, Title, PrinterSettings,
                                         Orientation == TQROrientation::poLandscape);
    FLeftWaste = PrinterSettings.FLeftOffset;
    FTopWaste = PrinterSettings.FTopOffset;
    SetFactors(PrinterSettings.FPixelsPerX, PrinterSettings.FPixelsPerY);
  } else {
    FPageList = std::make_unique<TQRPageList>(MemoryLimit, Compression);
  }
  FStatus = TQRPrinterStatus::mpBusy;
}

void TQRPrinter::NewPrinterPage() {
  FPageInRange = InRange(FPageNumber);
  if (!FPageInRange) {
    // Drawn, as the generation needs, but onto a recording that is dropped.
    FPrinterCanvas = nullptr;
    SetFactors(FDotsPerInch, FDotsPerInch);
    FRecorder = std::make_unique<TQRPageRecorder>(QSize(XSize(PaperWidth), YSize(PaperLength)),
                                                  FDotsPerInch);
    FCanvas = std::make_unique<QPainter>(FRecorder.get());
    return;
  }
  const bool first = !FJob->Started();
  FJob->NewSheet();
  SetFactors(FJob->DotsPerInchX(), FJob->DotsPerInchY());
  FPrinterCanvas = &FJob->Painter();
  // The canvas starts at the unprintable margin, the sheet at the paper edge.
  if (first) FPrinterCanvas->translate(FLeftWaste * FXFactor, FTopWaste * FYFactor);
}

void TQRPrinter::StorePage() {
  FPrinterCanvas = nullptr;
  if (!FRecorder) return;
  FCanvas->end();
  FCanvas.reset();
  if (FPageList)
    FPageList->AddPage(FRecorder->Finish());  // a printer sink drops it: out of range
  FRecorder.reset();
}

void TQRPrinter::Announce() {
  ++FAvailablePages;
  const int available = FAvailablePages;
  QMetaObject::invokeMethod(this, [this, available] { emit PageAvailable(available); },
                            Qt::QueuedConnection);
}

void TQRPrinter::NewPage() {
  if (FStatus != TQRPrinterStatus::mpBusy) throw EQRError("Illegal call to NewPage");
  if (FRecorder || FPrinterCanvas) {
    StorePage();
    Announce();
  }
  ++FPageCount;
  ++FPageNumber;
  if (Destination == TQRDestination::qrdPrinter) return NewPrinterPage();
  FRecorder = std::make_unique<TQRPageRecorder>(QSize(XSize(PaperWidth), YSize(PaperLength)),
                                                FDotsPerInch);
  FCanvas = std::make_unique<QPainter>(FRecorder.get());
}

void TQRPrinter::EndDoc() {
  StorePage();
  if (FPageList) FPageList->Finish();
  QString error;
  const int job = FJob ? FJob->Finish(&error) : 0;
  FJob.reset();
  FStatus = TQRPrinterStatus::mpFinished;
  Announce();
  if (job < 0) throw EQRError(error.toStdString());
  FJobId = job;
}

void TQRPrinter::AbortDoc() {
  StorePage();
  if (FPageList) FPageList->Finish();
  if (FJob) FJob->Abort();
  FJob.reset();
  FStatus = TQRPrinterStatus::mpFinished;
}

void TQRPrinter::Cleanup() {
  if (FStatus == TQRPrinterStatus::mpBusy) Cancel();
  if (FCanvas) FCanvas->end();
  FCanvas.reset();
  FRecorder.reset();
  FPageList.reset();
  FPrinterCanvas = nullptr;
  FJob.reset();
  FStatus = TQRPrinterStatus::mpReady;
  FPageCount = FPageNumber = FAvailablePages = 0;
  FReportLoaded = FLoadedFromFile = false;
}

void TQRPrinter::SetProgress(int percent) {
  FProgress = percent;
  QMetaObject::invokeMethod(this, [this, percent] { emit ProgressUpdate(percent); },
                            Qt::QueuedConnection);
}

TQRMetafile TQRPrinter::GetPage(int n) const {
  return FPageList ? FPageList->GetPage(n) : TQRMetafile();
}

bool TQRPrinter::Save(const QString& fileName, QString* error) const {
  if (FStatus != TQRPrinterStatus::mpFinished || !FPageList) {
    if (error) *error = QStringLiteral("The report is not finished yet.");
    return false;
  }
  return FPageList->SaveToFile(fileName, error);
}

bool TQRPrinter::Load(const QString& fileName, QString* error) {
  if (FStatus == TQRPrinterStatus::mpBusy) {
    if (error) *error = QStringLiteral("The report is still being generated.");
    return false;
  }
  std::unique_ptr<TQRPageList> loaded = TQRPageList::LoadFromFile(fileName, error);
  if (!loaded) return false;
  FPageList = std::move(loaded);
  FPageCount = FPageNumber = FAvailablePages = FPageList->PageCount();
  FStatus = TQRPrinterStatus::mpFinished;
  FReportLoaded = FLoadedFromFile = true;
  return true;
}

}  // namespace vendrik
