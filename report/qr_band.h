// TQRBand: a horizontal strip of the page with a role and the controls placed
// on it. Heights are native units; the width is set by the report from the
// page (the full width between the margins for title, page header and footer,
// summary and overlay bands, the column width otherwise). While the band
// prints, Expanded holds the height it gained from stretching controls; it
// never shrinks during one print.
#pragma once

#include <memory>
#include <vector>

#include <QColor>
#include <QFont>
#include <QString>

#include "report/qr_controls.h"

namespace vendrik {

enum class TQRBandType {
  rbTitle, rbPageHeader, rbDetail, rbPageFooter, rbSummary, rbGroupHeader, rbGroupFooter,
  rbSubDetail, rbColumnHeader, rbOverlay, rbWild, rbChild
};

class TQuickRep;

class TQRBand {
 public:
  TQRBand(TQuickRep& report, QString name, TQRBandType type);

  QString Name;
  TQRBandType BandType;
  TQRReal Height = 0;
  TQRReal Width = 0;
  bool Enabled = true;
  QColor Color = Qt::white;
  bool TransparentBand = false;
  TQRFrame Frame;
  QFont Font;
  bool ParentFont = true;
  bool AlignToBottom = false;
  bool ForceNewPage = false;
  // Run time: extra height gained while printing.
  TQRReal Expanded = 0;

  TQuickRep& Report() const { return FReport; }
  // The font controls inherit: the band's own or the report's.
  QFont EffectiveFont() const;

  // Adds a control of type T named `name`; the band owns it.
  template <typename T>
  T& AddPrintable(const QString& name) {
    auto control = std::make_unique<T>(name);
    T& result = *control;
    FControls.push_back(std::move(control));
    return result;
  }
  const std::vector<std::unique_ptr<TQRPrintable>>& Controls() const { return FControls; }
  TQRPrintable* FindControl(const QString& name) const;

  // Whether the band can grow by `v` more native units on the current page.
  bool CanExpand(TQRReal v) const;
  // Grows the band by `v` if it can (see the file comment of qr_report.cpp).
  void ExpandBand(TQRReal v, TQRReal& newExpanded, bool& hasExpanded);

  // Whether the band spans the whole width between the margins.
  bool FullWidth() const;

 private:
  TQuickRep& FReport;
  std::vector<std::unique_ptr<TQRPrintable>> FControls;
};

}  // namespace vendrik
