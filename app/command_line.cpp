// The command line: --help, --version and the refusal of anything else.
#include "app/command_line.h"

#include <algorithm>
#include <cstdio>

namespace vendrik {
namespace {

bool IsHelp(const std::string& argument) { return argument == "--help" || argument == "-h"; }
bool IsVersion(const std::string& argument) { return argument == "--version"; }

}  // namespace

TCommandLineAction ParseCommandLine(const std::vector<std::string>& arguments) {
  if (std::any_of(arguments.begin(), arguments.end(), IsHelp)) return TCommandLineAction::claHelp;
  if (std::any_of(arguments.begin(), arguments.end(), IsVersion)) return TCommandLineAction::claVersion;
  return arguments.empty() ? TCommandLineAction::claRun : TCommandLineAction::claRefuse;
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

std::string RefusalText(const std::vector<std::string>& arguments) {
  const std::string first = arguments.empty() ? std::string() : arguments.front();
  return "vendrik: ismeretlen argumentum: " + first + "\nA használat leírása: vendrik --help\n";
}

int AnswerInformationRequest(int argc, char** argv) {
  const std::vector<std::string> arguments(argv + std::min(argc, 1), argv + argc);
  switch (ParseCommandLine(arguments)) {
    case TCommandLineAction::claHelp:
      std::fputs(HelpText().c_str(), stdout);
      return 0;
    case TCommandLineAction::claVersion:
      std::fputs(VersionText().c_str(), stdout);
      return 0;
    case TCommandLineAction::claRun:
    case TCommandLineAction::claRefuse:
      return -1;
  }
  return -1;
}

}  // namespace vendrik
