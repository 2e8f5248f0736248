// Bands: inherited font, growth while printing, width rule.
#include "report/qr_band.h"

#include <cmath>

#include "report/qr_report.h"

namespace vendrik {

TQRBand::TQRBand(TQuickRep& report, QString name, TQRBandType type)
    : Name(std::move(name)), BandType(type), FReport(report) {}

QFont TQRBand::EffectiveFont() const { return ParentFont ? FReport.Font : Font; }

TQRPrintable* TQRBand::FindControl(const QString& name) const {
  for (const auto& control : FControls)
    if (control->Name.compare(name, Qt::CaseInsensitive) == 0) return control.get();
  return nullptr;
}

bool TQRBand::CanExpand(TQRReal v) const {
  return FReport.AvailableSpace() >= std::round(Height + Expanded + v);
}

void TQRBand::ExpandBand(TQRReal v, TQRReal& newExpanded, bool& hasExpanded) {
  if (!CanExpand(v)) return;
  // A first request smaller than the growth other controls caused is covered by it.
  if (hasExpanded || v >= Expanded) Expanded += v;
  newExpanded = Expanded;
  hasExpanded = true;
}

bool TQRBand::FullWidth() const {
  switch (BandType) {
    case TQRBandType::rbTitle:
    case TQRBandType::rbPageHeader:
    case TQRBandType::rbPageFooter:
    case TQRBandType::rbSummary:
    case TQRBandType::rbOverlay: return true;
    default: return false;
  }
}

}  // namespace vendrik
