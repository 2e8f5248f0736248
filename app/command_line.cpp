// The command line: --help, --version, the report without windows and the
// refusal of anything else.
#include "app/command_line.h"

#include <algorithm>
#include <cstdio>
#include <optional>

namespace vendrik {
namespace {

const std::string kReportOption = "--report";
const std::string kPdfOption = "--pdf";
const std::string kPrinterOption = "--printer";
const std::string kHelpPointer = "A használat leírása: vendrik --help\n";

bool IsHelp(const std::string& argument) { return argument == "--help" || argument == "-h"; }
bool IsVersion(const std::string& argument) { return argument == "--version"; }

TCommandLine Refuse(std::string problem) {
  TCommandLine line;
  line.FAction = TCommandLineAction::claRefuse;
  line.FRefusal = "vendrik: " + problem + "\n" + kHelpPointer;
  return line;
}

// The options that take a value, each at most once.
struct TValueOptions {
  std::optional<std::string> FReport;
  std::optional<std::string> FPdf;
  std::optional<std::string> FPrinter;

  std::optional<std::string>* Slot(const std::string& name) {
    if (name == kReportOption) return &FReport;
    if (name == kPdfOption) return &FPdf;
    if (name == kPrinterOption) return &FPrinter;
    return nullptr;
  }
};

}  // namespace

TCommandLine ParseCommandLine(const std::vector<std::string>& arguments) {
  TCommandLine line;
  if (std::any_of(arguments.begin(), arguments.end(), IsHelp)) {
    line.FAction = TCommandLineAction::claHelp;
    return line;
  }
  if (std::any_of(arguments.begin(), arguments.end(), IsVersion)) {
    line.FAction = TCommandLineAction::claVersion;
    return line;
  }
  if (arguments.empty()) return line;

  TValueOptions options;
  for (std::size_t at = 0; at < arguments.size(); ++at) {
    const std::string& argument = arguments[at];
    const std::size_t equals = argument.find('=');
    const std::string name = argument.substr(0, equals);
    std::optional<std::string>* slot = argument.rfind("--", 0) == 0 ? options.Slot(name) : nullptr;
    if (slot == nullptr) return Refuse("ismeretlen argumentum: " + argument);
    if (slot->has_value()) return Refuse("a " + name + " kapcsoló többször szerepel");
    if (equals != std::string::npos) {
      *slot = argument.substr(equals + 1);
    } else if (at + 1 < arguments.size() && arguments[at + 1].rfind("--", 0) != 0) {
      *slot = arguments[++at];
    } else {
      return Refuse("a " + name + " kapcsoló értéke hiányzik");
    }
  }
  if (!options.FReport) {
    const std::string& target = options.FPdf ? kPdfOption : kPrinterOption;
    return Refuse("a " + target + " kapcsoló csak a " + kReportOption + " mellett használható");
  }
  if (options.FPdf.has_value() == options.FPrinter.has_value())
    return Refuse("a " + kReportOption + " kapcsolóhoz a " + kPdfOption + " FÁJL és a " + kPrinterOption +
                  " NÉV kapcsolók közül pontosan egyet kell megadni");
  line.FAction = TCommandLineAction::claReport;
  line.FReport.FCode = *options.FReport;
  line.FReport.FTarget = options.FPdf ? TReportTarget::rtPdfFile : TReportTarget::rtPrinter;
  line.FReport.FDestination = options.FPdf ? *options.FPdf : *options.FPrinter;
  return line;
}

bool AsksForReport(const std::vector<std::string>& arguments) {
  TValueOptions options;
  return std::any_of(arguments.begin(), arguments.end(), [&options](const std::string& argument) {
    return argument.rfind("--", 0) == 0 && options.Slot(argument.substr(0, argument.find('='))) != nullptr;
  });
}

std::vector<std::string> ProgramArguments(int argc, char** argv) {
  return std::vector<std::string>(argv + std::min(argc, 1), argv + argc);
}

std::string HelpText() {
  return "Használat: vendrik [KAPCSOLÓ]\n"
         "\n"
         "A Vendrik '03 a szolgáltatások osztályozásának (Vnd03 tábla: kód, megnevezés,\n"
         "leírás) megtekintésére és karbantartására szolgál. A programot a menüiből\n"
         "kezeljük; a parancssorban csak az alábbi kapcsolókat ismeri.\n"
         "\n"
         "Kapcsolók:\n"
         "  -h, --help    kiírja ezt a leírást, és kilép\n"
         "  --version     kiírja a program változatát, és kilép\n"
         "  --report KÓD  ablak nélkül elkészíti a KÓD kódú rekord nyomtatási képét\n"
         "                (A4), és kilép; hiba esetén egy sort ír a szabványos\n"
         "                hibakimenetre, és 1-es kóddal lép ki\n"
         "  --pdf FÁJL    a --report nyomtatási képét ebbe a PDF-fájlba írja\n"
         "  --printer NÉV a --report nyomtatási képét egy nyomtatási feladatként a NÉV\n"
         "                nevű nyomtatósorra küldi (\"Nyomtatási kép:\" néven)\n"
         "\n"
         "Adatok:\n"
         "  A program a munkakönyvtárában lévő Vnd03 táblával dolgozik (Vnd03.dat vagy\n"
         "  Vnd03.tdbt, a jegyzet- és indexállományaival). Ha ott nincs tábla, a\n"
         "  telepített program a felhasználó adatmappáját használja\n"
         "  ($XDG_DATA_HOME/vendrik, alapértelmezés szerint ~/.local/share/vendrik),\n"
         "  amelyet első induláskor a bemutató adatokkal tölt fel, és ezt közli is.\n"
         "\n"
         "Leírás:\n"
         "  Az Információ → Leírás menüpont a munkakönyvtárban lévő Leírás.pdf\n"
         "  felhasználói leírást nyitja meg.\n";
}

std::string VersionText() { return std::string("Vendrik '03 ") + kProgramVersion + "\n"; }

std::string RefusalText(const std::string& argument) { return Refuse("ismeretlen argumentum: " + argument).FRefusal; }

int AnswerInformationRequest(int argc, char** argv) {
  switch (ParseCommandLine(ProgramArguments(argc, argv)).FAction) {
    case TCommandLineAction::claHelp:
      std::fputs(HelpText().c_str(), stdout);
      return 0;
    case TCommandLineAction::claVersion:
      std::fputs(VersionText().c_str(), stdout);
      return 0;
    case TCommandLineAction::claRun:
    case TCommandLineAction::claReport:
    case TCommandLineAction::claRefuse:
      return -1;
  }
  return -1;
}

}  // namespace vendrik
