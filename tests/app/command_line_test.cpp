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
  };
  const Case cases[] = {
      {{}, TCommandLineAction::claRun},
      {{"--help"}, TCommandLineAction::claHelp},
      {{"-h"}, TCommandLineAction::claHelp},
      {{"--version"}, TCommandLineAction::claVersion},
      {{"--version", "--help"}, TCommandLineAction::claHelp},
      {{"Vnd03.dat", "--version"}, TCommandLineAction::claVersion},
      {{"Vnd03.dat"}, TCommandLineAction::claRefuse},
      {{"--helpme"}, TCommandLineAction::claRefuse},
      {{""}, TCommandLineAction::claRefuse},
  };
  for (const Case& c : cases) {
    std::string joined;
    for (const std::string& argument : c.FArguments) joined += "[" + argument + "]";
    EXPECT_EQ(ParseCommandLine(c.FArguments), c.FAction) << joined;
  }
}

TEST(CommandLineTest, TextsNameTheProgramAndItsOptions) {
  const std::string help = HelpText();
  EXPECT_EQ(help.rfind("Használat: vendrik", 0), 0u);
  for (const char* option : {"--help", "--version", "$XDG_DATA_HOME/vendrik", "Leírás.pdf"})
    EXPECT_NE(help.find(option), std::string::npos) << option;
  EXPECT_EQ(help.back(), '\n');
  EXPECT_EQ(VersionText(), std::string("Vendrik '03 ") + kProgramVersion + "\n");
  const std::string refusal = RefusalText({"--bogus", "x"});
  EXPECT_NE(refusal.find("--bogus"), std::string::npos);
  EXPECT_NE(refusal.find("vendrik --help"), std::string::npos);
}

}  // namespace
}  // namespace vendrik
