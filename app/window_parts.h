// Building blocks shared by the browse and search windows: panels,
// separators, labels and buttons as those windows lay them out, the grid's
// columns and the colours of their fonts.
#pragma once

#include <vector>

#include <QString>

#include "app/db_controls.h"

class QFrame;
class QLabel;
class QPushButton;
class QToolButton;
class QWidget;

namespace vendrik {

class TErrorDisplay;

inline const QString kNavy = QStringLiteral("#000080");
inline const QString kBlue = QStringLiteral("#0000FF");
inline const QString kTeal = QStringLiteral("#008080");

// A raised panel (top bar), or the lowered panel with a 4-pixel border.
QFrame* MakePanel(QWidget* parent, const char* name, const QRect& geometry, bool lowered);
// A thin vertical separator 3 x 41 at x.
QFrame* MakeSeparator(QWidget* parent, const char* name, int x);
// A label in `colour`, optionally bold, with its text centred or left.
QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text, const QRect& geometry,
                  const QString& colour, bool bold, bool centred);
// The pictures of the flat buttons.
enum class TButtonPicture { bpFilter, bpPrint };

// A flat button with a picture and a hint "short|long".
QToolButton* MakeSpeedButton(QWidget* parent, const char* name, const QRect& geometry, TButtonPicture picture,
                             const QString& hint);
// "Befejezés" with its hint; never an auto-default button.
QPushButton* MakeCloseButton(QWidget* parent, const QRect& geometry);
// The grid's columns: KOD "Kód" centred 58, MEGNEV "Megnevezés" 404.
std::vector<TGridColumn> GridColumns();
// Runs an action under the error display's guard.
TGuardFn GuardOf(TErrorDisplay& errors);

}  // namespace vendrik
