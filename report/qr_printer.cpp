// The metafile page sink.
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
  FXFactor = FYFactor = dotsPerInch / kNativePerInch;
  if (FXFactor < kSmallestFactor) FXFactor = FYFactor = kScreenFactor;
}

TQRPrinter::~TQRPrinter() {
  if (FCanvas) FCanvas->end();
}

int TQRPrinter::XPos(TQRReal v) const { return static_cast<int>(std::lround(v * FXFactor)); }
int TQRPrinter::YPos(TQRReal v) const { return static_cast<int>(std::lround(v * FYFactor)); }
int TQRPrinter::XSize(TQRReal v) const { return static_cast<int>(std::lround(v * FXFactor)); }
int TQRPrinter::YSize(TQRReal v) const { return static_cast<int>(std::lround(v * FYFactor)); }

void TQRPrinter::BeginDoc() {
  if (FStatus != TQRPrinterStatus::mpReady || Destination != TQRDestination::qrdMetafile)
    throw EQRError("QRPrinter not ready");
  FAvailablePages = 0;
  FProgress = 0;
  FCancelled = false;
  FPageNumber = FPageCount = 0;
  FPageList = std::make_unique<TQRPageList>(MemoryLimit, Compression);
  FStatus = TQRPrinterStatus::mpBusy;
}

void TQRPrinter::StorePage() {
  if (!FRecorder) return;
  FCanvas->end();
  FCanvas.reset();
  FPageList->AddPage(FRecorder->Finish());
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
  if (FRecorder) {
    StorePage();
    Announce();
  }
  ++FPageCount;
  ++FPageNumber;
  FRecorder = std::make_unique<TQRPageRecorder>(QSize(XSize(PaperWidth), YSize(PaperLength)),
                                                FDotsPerInch);
  FCanvas = std::make_unique<QPainter>(FRecorder.get());
}

void TQRPrinter::EndDoc() {
  StorePage();
  if (FPageList) FPageList->Finish();
  FStatus = TQRPrinterStatus::mpFinished;
  Announce();
}

void TQRPrinter::AbortDoc() {
  StorePage();
  if (FPageList) FPageList->Finish();
  FStatus = TQRPrinterStatus::mpFinished;
}

void TQRPrinter::Cleanup() {
  if (FStatus == TQRPrinterStatus::mpBusy) Cancel();
  if (FCanvas) FCanvas->end();
  FCanvas.reset();
  FRecorder.reset();
  FPageList.reset();
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
