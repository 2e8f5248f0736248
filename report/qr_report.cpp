// The report model and one generation run.
//
// Band growth: a stretching control asks CanExpand(v), true when the space
// left holds the band height, its expansion so far and v. ExpandBand grows the
// expansion by v when the control has grown the band before or v is at least
// the current expansion, so that a first, smaller request is covered by the
// growth other controls already caused. The expansion never shrinks during
// one print of the band.
#include "report/qr_report.h"

#include <cmath>

#include <QCoreApplication>
#include <QEventLoop>
#include <QGuiApplication>
#include <QScreen>

#include "report/qr_export.h"
#include "report/qr_fonts.h"
#include "report/qr_preview.h"

namespace vendrik {
namespace {

constexpr int kLowestZoom = 1;
constexpr int kHighestZoom = 300;
constexpr int kFontSize = 10;

// Restores a value when the scope ends, also on an exception.
template <typename T>
class TRestore {
 public:
  TRestore(T& target, T value) : FTarget(target), FValue(value) {}
  ~TRestore() { FTarget = FValue; }

 private:
  T& FTarget;
  T FValue;
};

}  // namespace

qreal QRScreenDotsPerInch() {
  const QScreen* screen = qobject_cast<QGuiApplication*>(QCoreApplication::instance())
                              ? QGuiApplication::primaryScreen()
                              : nullptr;
  return screen ? screen->logicalDotsPerInchY() : 96.0;
}

TQuickRep::TQuickRep(const QString& name, QObject* parent) : QObject(parent) {
  setObjectName(name);
  QRCheckFonts();
  Font = QFont(QStringLiteral("Arial"), kFontSize);
}

TQuickRep::~TQuickRep() {
  if (FPreview) delete FPreview.data();
}

bool TQuickRep::SetZoom(int zoom) {
  if (zoom < kLowestZoom || zoom > kHighestZoom) return false;
  FZoom = zoom;
  return true;
}

TQRBand& TQuickRep::CreateBand(TQRBandType type, const QString& name) {
  FBands.push_back(std::make_unique<TQRBand>(*this, name, type));
  return *FBands.back();
}

TQRBand* TQuickRep::FindBand(TQRBandType type) const {
  for (const auto& band : FBands)
    if (band->BandType == type) return band.get();
  return nullptr;
}

TQRPrintable* TQuickRep::FindControl(const QString& name) const {
  for (const auto& band : FBands)
    if (TQRPrintable* control = band->FindControl(name)) return control;
  return nullptr;
}

void TQuickRep::RegisterExportFilter(std::unique_ptr<IQRExportFilter> filter) {
  FFilters.push_back(std::move(filter));
}

TQRReal TQuickRep::AvailableSpace() const {
  if (FAvailable || FCurrentY < 0) return 0;
  return Page.Length() - Page.BottomMargin - FPageFooterSize - FCurrentY;
}

void TQuickRep::Cancel() {
  if (FAvailable) return;
  FCancelled = true;
  if (FSink) FSink->Cancel();
}

TQRPrintContext TQuickRep::Context(TQRBand& band) {
  return TQRPrintContext{*FSink, band, DataSet, ReportTitle, FPageNumber, FRecordCount, FDetailNumber};
}

void TQuickRep::Generate(TQRPrinter& sink) {
  if (!FAvailable) return;
  if (Page.LeftMargin + Page.RightMargin > Page.Width()) Page.LeftMargin = Page.RightMargin = 0;
  if (Page.TopMargin + Page.BottomMargin > Page.Length()) Page.TopMargin = Page.BottomMargin = 0;
  FAvailable = false;
  TRestore<bool> available(FAvailable, true);
  TRestore<TQRPrinter*> sinkBack(FSink, nullptr);
  TRestore<TQRUnit> unit(Units, Units);
  Units = TQRUnit::Native;
  FCancelled = FLastPage = FSkipForcedPage = false;
  FSink = &sink;
  sink.PaperWidth = Page.Width();
  sink.PaperLength = Page.Length();
  sink.Orientation = Page.Orientation();
  sink.Title = ReportTitle;
  sink.Compression = Options.Compression;
  sink.BeginDoc();
  FCurrentY = -1;
  FPageNumber = 0;
  FDetailNumber = 0;
  FCurrentColumn = Page.Columns();
  FPageFooterSize = 0;
  for (const auto& band : FBands) {
    band->Width = band->FullWidth() ? Page.PrintableWidth() : Page.ColumnWidth();
    band->Expanded = 0;
    if (band->Enabled && band->BandType == TQRBandType::rbPageFooter) FPageFooterSize += band->Height;
  }
  FCurrentX = Page.LeftMargin;
  for (const auto& band : FBands)
    for (const auto& control : band->Controls()) control->PrintFinished = true;

  RunController();

  FLastPage = true;
  if (!FCancelled) EndPage();
  for (const auto& band : FBands)
    for (const auto& control : band->Controls()) control->AfterPrint();
  if (FCancelled)
    sink.AbortDoc();
  else
    sink.EndDoc();
}

void TQuickRep::RunController() {
  TQRBand* title = FindBand(TQRBandType::rbTitle);
  TQRBand* columnHeader = FindBand(TQRBandType::rbColumnHeader);
  TQRBand* detail = DetailBand();
  TQRBand* summary = FindBand(TQRBandType::rbSummary);
  if (!DataSet || !DataSet->Active()) {
    if (PrintIfEmpty) {
      PrintBand(title);
      PrintBand(detail);
      PrintBand(summary);
    }
    return;
  }
  DataSet->First();
  bool more = !DataSet->Eof();
  try {
    FRecordCount = DataSet->RecordCount();
  } catch (...) {
    FRecordCount = 1;  // a count that fails does not stop the report
  }
  if (!more) {
    if (PrintIfEmpty) {
      PrintBand(title);
      PrintBand(detail);
      PrintBand(summary);
    }
    return;
  }
  QCoreApplication::processEvents();
  if (FCancelled) return;
  PrintBand(title);
  if (title) FSkipForcedPage = true;
  if (columnHeader && columnHeader->Enabled) {
    PrintBand(columnHeader);
    FSkipForcedPage = true;
  }
  int done = 0;
  FPreviewCancel = false;
  while (more) {
    QCoreApplication::processEvents();
    if (FSink->Cancelled() || FCancelled) break;
    ++FDetailNumber;
    PrintBand(detail);
    DataSet->Next();
    more = !DataSet->Eof();
    ++done;
    FSink->SetProgress(done * 100 / std::max(FRecordCount, 1));
    if (FPreviewCancel) break;
  }
  if (summary && summary->Enabled) {
    if (FCurrentY < 0) NewPage();
    if (std::round(summary->Height) > AvailableSpace()) NewColumn();
    PrintBand(summary);
  }
}

void TQuickRep::PrintBand(TQRBand* band) {
  if (!band || !band->Enabled) return;
  const TQRBandType type = band->BandType;
  const bool pageBand = type == TQRBandType::rbTitle || type == TQRBandType::rbPageHeader ||
                        type == TQRBandType::rbPageFooter || type == TQRBandType::rbOverlay;
  if (band->ForceNewPage && !pageBand && FCurrentY >= 0) {
    if (FSkipForcedPage)
      FSkipForcedPage = false;
    else
      NewPage();
  } else if (type != TQRBandType::rbPageFooter) {
    const TQRReal height = std::round(band->Height);
    const TQRReal wholePage = Page.Length() - Page.TopMargin - Page.BottomMargin;
    // A band higher than a whole page prints anyway, but only at the top of a
    // column: below other bands it would run off the sheet.
    const bool fits = FCurrentY >= 0 && (AvailableSpace() >= height ||
                                         (height > wholePage && FCurrentY <= FColumnTop));
    if (!fits) NewColumn();
  }
  if (band->AlignToBottom && type != TQRBandType::rbPageFooter) {
    const TQRReal bottom = Page.Length() - Page.BottomMargin - FPageFooterSize - band->Height;
    if (bottom >= FCurrentY) FCurrentY = bottom;
  }
  band->Expanded = 0;
  if (!band->TransparentBand && FSink->Canvas())
    FSink->Canvas()->fillRect(QRect(FSink->XPos(FCurrentX), FSink->YPos(FCurrentY),
                                    FSink->XSize(band->Width), FSink->YSize(band->Height)),
                              band->Color);
  PrintBandControls(*band, false);
  auto unfinished = [band] {
    for (const auto& control : band->Controls())
      if (control->Enabled && !control->PrintFinished) return true;
    return false;
  };
  while (unfinished()) {
    NewColumn();
    band->Expanded = 0;
    PrintBandControls(*band, true);
  }
  FCurrentY += band->Height + band->Expanded;
}

void TQuickRep::PrintBandControls(TQRBand& band, bool onlyUnfinished) {
  TQRPrintContext context = Context(band);
  for (const auto& control : band.Controls()) {
    if (!control->Enabled || (onlyUnfinished && control->PrintFinished)) continue;
    control->Print(context, FCurrentX, FCurrentY);
  }
  band.Frame.Draw(*FSink, QRect(FSink->XPos(FCurrentX), FSink->YPos(FCurrentY),
                                FSink->XSize(band.Width),
                                FSink->YSize(band.Height + band.Expanded)));
}

void TQuickRep::NewPage() {
  EndPage();
  ++FPageNumber;
  FSink->NewPage();
  FCurrentY = Page.TopMargin;
  if (FPageNumber > 1 || Options.FirstPageHeader) PrintBand(PageHeaderBand());
  FColumnTop = FCurrentY;
  FCurrentColumn = 1;
}

void TQuickRep::NewColumn() {
  if (FCurrentColumn >= Page.Columns()) {
    FCurrentX = Page.LeftMargin;
    NewPage();
  } else {
    FCurrentX += Page.ColumnWidth() + Page.ColumnSpace;
    FCurrentY = FColumnTop;
    ++FCurrentColumn;
  }
  if (FCurrentColumn > 1 || FPageNumber > 1) PrintBand(FindBand(TQRBandType::rbColumnHeader));
}

void TQuickRep::EndPage() {
  if (FPageNumber == 0 || FCurrentY < 0) return;
  FCurrentY = Page.Length() - Page.BottomMargin - FPageFooterSize;
  FCurrentX = Page.LeftMargin;
  if (!(FLastPage && !Options.LastPageFooter)) PrintBand(PageFooterBand());
}

std::unique_ptr<TQRPrinter> TQuickRep::Prepare(qreal dotsPerInch) {
  auto sink = std::make_unique<TQRPrinter>(dotsPerInch);
  Generate(*sink);
  sink->SetReportLoaded(true);
  return sink;
}

void TQuickRep::Preview() {
  if (FPreview || !FAvailable) return;
  QCoreApplication::processEvents();
  auto* sink = new TQRPrinter(QRScreenDotsPerInch());
  auto* window = new TQRStandardPreview(this, sink);
  sink->setParent(window);
  FPreview = window;
  window->show();
  try {
    Generate(*sink);
  } catch (...) {
    window->ForceClose();
    throw;
  }
  sink->SetReportLoaded(true);
  QEventLoop loop;
  connect(window, &QObject::destroyed, &loop, &QEventLoop::quit);
  if (FPreview) loop.exec();
}

}  // namespace vendrik
