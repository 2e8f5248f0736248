// The program's command line: what each argument list asks for, and the texts
// printed for it.
#include "app/command_line.h"

#include <gtest/gtest.h>

namespace vendrik {
namespace {

TEST(CommandLineTest, EachArgumentListAsksForOneAction) {
  struct Case {
    std::vector<std::string> FArguments;
    TCommandLineAction FAction;
    std::string FCode, FDestination;  // of a report
    std::string FRefusalNames;        // a part of the refusal
    TReportTarget FTarget = TReportTarget::rtPdfFile;
  };
  const Case cases[] = {
      {{}, TCommandLineAction::claRun, "", "", ""},
      {{"--help"}, TCommandLineAction::claHelp, "", "", ""},
      {{"-h"}, TCommandLineAction::claHelp, "", "", ""},
      {{"--version"}, TCommandLineAction::claVersion, "", "", ""},
      {{"--version", "--help"}, TCommandLineAction::claHelp, "", "", ""},
      {{"Vnd03.dat", "--version"}, TCommandLineAction::claVersion, "", "", ""},
      {{"--report", "58.05.1", "--help"}, TCommandLineAction::claHelp, "", "", ""},
      {{"--report", "58.05.1", "--pdf", "out.pdf"}, TCommandLineAction::claReport, "58.05.1", "out.pdf", ""},
      {{"--pdf", "a b.pdf", "--report", "01"}, TCommandLineAction::claReport, "01", "a b.pdf", ""},
      {{"--report=58.05.1", "--pdf=x=y.pdf"}, TCommandLineAction::claReport, "58.05.1", "x=y.pdf", ""},
      {{"--report", "", "--pdf", "out.pdf"}, TCommandLineAction::claReport, "", "out.pdf", ""},
      {{"--report", "01", "--printer", "vtest"}, TCommandLineAction::claReport, "01", "vtest", "", TReportTarget::rtPrinter},
      {{"--printer=a b", "--report=01"}, TCommandLineAction::claReport, "01", "a b", "", TReportTarget::rtPrinter},
      {{"--report", "01", "--pdf", "x.pdf", "--printer", "vtest"}, TCommandLineAction::claRefuse, "", "", "pontosan egyet"},
      {{"--printer", "vtest"}, TCommandLineAction::claRefuse, "", "", "--printer kapcsoló csak a --report mellett"},
      {{"Vnd03.dat"}, TCommandLineAction::claRefuse, "", "", "ismeretlen argumentum: Vnd03.dat"},
      {{"--helpme"}, TCommandLineAction::claRefuse, "", "", "ismeretlen argumentum: --helpme"},
      {{""}, TCommandLineAction::claRefuse, "", "", "ismeretlen argumentum: \n"},
      {{"--report", "58.05.1"}, TCommandLineAction::claRefuse, "", "", "--pdf FÁJL"},
      {{"--pdf", "out.pdf"}, TCommandLineAction::claRefuse, "", "", "--report mellett"},
      {{"--report", "--pdf", "out.pdf"}, TCommandLineAction::claRefuse, "", "", "--report kapcsoló értéke hiányzik"},
      {{"--report", "1", "--pdf"}, TCommandLineAction::claRefuse, "", "", "--pdf kapcsoló értéke hiányzik"},
      {{"--report", "1", "--report", "2", "--pdf", "x"}, TCommandLineAction::claRefuse, "", "", "többször"},
      {{"--report", "1", "--pdf", "x", "extra"}, TCommandLineAction::claRefuse, "", "", "argumentum: extra"},
      {{"-report", "1"}, TCommandLineAction::claRefuse, "", "", "argumentum: -report"},
  };
  for (const Case& c : cases) {
    std::string joined;
    for (const std::string& argument : c.FArguments) joined += "[" + argument + "]";
    const TCommandLine line = ParseCommandLine(c.FArguments);
    EXPECT_EQ(line.FAction, c.FAction) << joined;
    if (c.FAction == TCommandLineAction::claReport) {
      EXPECT_EQ(line.FReport.FCode, c.FCode) << joined;
      EXPECT_EQ(line.FReport.FTarget, c.FTarget) << joined;
      EXPECT_EQ(line.FReport.FDestination, c.FDestination) << joined;
    }
    if (c.FAction == TCommandLineAction::claRefuse) {
      EXPECT_EQ(line.FRefusal.rfind("vendrik: ", 0), 0u) << joined;
      EXPECT_NE(line.FRefusal.find(c.FRefusalNames), std::string::npos) << joined << line.FRefusal;
      EXPECT_NE(line.FRefusal.find("vendrik --help\n"), std::string::npos) << joined;
    }
  }
}

TEST(CommandLineTest, TextsNameTheProgramAndItsOptions) {
  const std::string help = HelpText();
  EXPECT_EQ(help.rfind("Használat: vendrik", 0), 0u);
  for (const char* option : {"--help", "--version", "--report KÓD", "--pdf FÁJL", "--printer NÉV", "$XDG_DATA_HOME/vendrik", "Leírás.pdf"})
    EXPECT_NE(help.find(option), std::string::npos) << option;
  EXPECT_EQ(help.back(), '\n');
  EXPECT_EQ(VersionText(), std::string("Vendrik '03 ") + kProgramVersion + "\n");
  const std::string refusal = RefusalText("--bogus");
  EXPECT_NE(refusal.find("--bogus"), std::string::npos);
  EXPECT_NE(refusal.find("vendrik --help"), std::string::npos);
}

TEST(CommandLineTest, ReportOptionsAreRecognisedInEitherForm) {
  EXPECT_TRUE(AsksForReport({"--report", "1"}));
  EXPECT_TRUE(AsksForReport({"x", "--pdf=out.pdf"}));
  EXPECT_FALSE(AsksForReport({}));
  EXPECT_FALSE(AsksForReport({"-platform", "offscreen", "--reports"}));
}

}  // namespace
}  // namespace vendrik
