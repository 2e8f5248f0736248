// Printer settings of a report and of a printing sink, and how they map onto
// a CUPS queue.
//
// A queue describes itself as a TQRDeviceMode (read from its PPD): its paper
// sizes with their unprintable margins, its paper sources (the PPD's
// InputSlot choices), whether it prints two-sided, and its resolution. Every
// paper and source carries the numeric code the report settings use: a paper
// gets the code of the first TQRPaperSize whose sheet has its measures (our
// own millimetre table), a source the code of the TQRBin its name stands for;
// anything else gets a driver code above 256. TPrinterSettings reads a
// device mode and turns the chosen values into the job's CUPS options
// (TQRJobOptions): media, InputSlot, sides, copies and collation.
#pragma once

#include <optional>
#include <vector>

#include <QString>

#include "report/qr_units.h"

namespace vendrik {

// Paper sources and the source code each stands for.
enum class TQRBin {
  First, Upper, Lower, Middle, Manual, Envelope, EnvManual, Auto, Tractor, SmallFormat,
  LargeFormat, LargeCapacity, Cassette, Last
};
int QRBinCode(TQRBin bin);
// The first source whose code is `code`; nothing when none has it.
std::optional<TQRBin> QRBinOfCode(int code);

// Duplex codes: 1 one-sided, 2 two-sided along the long edge (vertical),
// 3 two-sided along the short edge (horizontal).
constexpr int kQRSimplex = 1;
constexpr int kQRDuplexVertical = 2;
constexpr int kQRDuplexHorizontal = 3;
// The CUPS "sides" value of a duplex code; "one-sided" for unknown codes.
QString QRSidesOfDuplex(int code);

// Driver codes of papers and sources that have no standard code start here.
constexpr int kQRDriverCode = 257;

// The settings a report keeps for printing.
struct TQuickRepPrinterSettings {
  int Copies = 1;
  TQRBin OutputBin = TQRBin::Auto;
  bool Duplex = false;
  // Page range; 0 = open end.
  int FirstPage = 0, LastPage = 0;
  bool UseStandardprinter = false;
  bool UseCustomBinCode = false;
  int CustomBinCode = 0;
  // A duplex code passed as is; 0 = use Duplex.
  int ExtendedDuplex = 0;
  bool UseCustomPaperCode = false;
  int CustomPaperCode = 0;
  bool PrintMetaFile = false;
  int MemoryLimit = 250000;
  int PrintQuality = 0, Collate = 0, ColorOption = 0;
  // Index into the installed printers; -1 = the default printer.
  int PrinterIndex = -1;
  TQROrientation Orientation = TQROrientation::poPortrait;
};

// One paper size a queue offers: its PPD name, code, sheet (0.1 mm,
// portrait) and unprintable left and top margins (0.1 mm).
struct TQRPaperChoice {
  QString FName;
  int FCode = 0;
  TQRReal FWidth = 0, FLength = 0;
  TQRReal FLeftOffset = 0, FTopOffset = 0;
};

// One paper source a queue offers: its PPD InputSlot name and code.
struct TQRSourceChoice {
  QString FName;
  int FCode = 0;
};

// What a queue tells about itself.
struct TQRDeviceMode {
  qreal FDotsPerInchX = 300, FDotsPerInchY = 300;
  std::vector<TQRPaperChoice> FPapers;
  int FDefaultPaper = -1;  // index into FPapers, -1 when none
  std::vector<TQRSourceChoice> FSources;
  int FDefaultSource = -1;  // index into FSources, -1 when none
  bool FHasDuplex = false;
  int FDuplexCode = kQRSimplex;
};

// The code of a paper sheet (0.1 mm, either orientation): the first paper
// size from Letter whose sheet is within half a millimetre; nothing otherwise.
std::optional<int> QRPaperCodeOfSheet(TQRReal width, TQRReal length);
// The code of a PPD InputSlot name ("Manual", "ManualFeed", "Tray1", ...).
std::optional<int> QRSourceCodeOfName(const QString& name);

// The CUPS options of one print job, as name and value pairs.
struct TQRJobOptions {
  std::vector<std::pair<QString, QString>> FOptions;
  // The value of an option, or an empty text.
  QString Value(const QString& name) const;
};

// The settings of one printing sink.
class TPrinterSettings {
 public:
  // Reads the queue's settings: resolution, source, duplex, margins, paper
  // and the offered papers. Copies go back to 1.
  void SetPrinter(const TQRDeviceMode& mode);

  // Setters that accept a value only where the queue supports it.
  void SetCopies(int copies) { if (copies >= 1) FCopies = copies; }
  void SetOrientation(TQROrientation o) { FOrientation = o; }
  void SetDuplex(bool duplex);
  void SetExtendedDuplex(int code);
  void SetOutputBin(TQRBin bin) { FOutputBin = bin; }
  // Only a paper size the queue offers, or Default; others keep the paper.
  void SetPaperSize(TQRPaperSize size);
  bool GetPaperSizeSupported(TQRPaperSize size) const;
  void SetPaperWidth(TQRReal width) { FPaperWidth = width; }
  void SetPaperLength(TQRReal length) { FPaperLength = length; }

  int FCopies = 1;
  bool FDuplex = false;
  int FExtendedDuplex = 0;
  bool FUseCustomBinCode = false;
  int FCustomBinCode = 0;
  bool FUseCustomPaperCode = false;
  int FCustomPaperCode = 0;
  int FPrintQuality = 0, FCollate = 0, FColorOption = 0;
  TQROrientation FOrientation = TQROrientation::poPortrait;
  TQRBin FOutputBin = TQRBin::First;
  TQRPaperSize FPaperSize = TQRPaperSize::A4;
  TQRReal FPaperWidth = 2100, FPaperLength = 2970;
  qreal FPixelsPerX = 300, FPixelsPerY = 300;
  TQRReal FTopOffset = 0, FLeftOffset = 0;

  // The paper the job asks for: the chosen one, else the queue's default.
  const TQRPaperChoice* JobPaper() const;
  // The job's CUPS options: media, copies, sides (when the queue prints
  // two-sided), InputSlot (when the queue has a source of the chosen code)
  // and the collation of copies.
  TQRJobOptions ApplySettings() const;

 private:
  std::optional<TQRDeviceMode> FMode;
};

}  // namespace vendrik
