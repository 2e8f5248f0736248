// The program's command line. Vendrik is worked through its menus; without
// arguments it starts its windows. It answers --help (-h) and --version on
// standard output and then ends, prints the record report of one record
// without any window (--report KOD --pdf FILE, or --printer NAME for a
// printer queue), and refuses any other
// argument. The help text is also the source of the program's manual page.
#pragma once

#include <string>
#include <vector>

namespace vendrik {

// The program's version, as the about window and the update request show it.
inline constexpr const char* kProgramVersion = "2.0.0.0";

enum class TCommandLineAction {
  claRun,      // no arguments: start the program
  claHelp,     // print HelpText() and end with status 0
  claVersion,  // print VersionText() and end with status 0
  claReport,   // print the record report FReport asks for, without windows
  claRefuse,   // print FRefusal on standard error and end with kRefusedStatus
};

inline constexpr int kRefusedStatus = 2;

// Where a report asked for on the command line goes.
enum class TReportTarget {
  rtPdfFile,  // FDestination names the PDF file to write
  rtPrinter,  // FDestination names the printer queue that receives one job
};

// --report KOD with its target option (--pdf FILE or --printer NAME).
struct TReportRequest {
  std::string FCode;         // the KOD of the record to print
  TReportTarget FTarget = TReportTarget::rtPdfFile;
  std::string FDestination;  // the file (or, for other targets, the device)
};

struct TCommandLine {
  TCommandLineAction FAction = TCommandLineAction::claRun;
  TReportRequest FReport;  // for claReport
  std::string FRefusal;    // for claRefuse: what to print, ending with a line feed
};

// What to do for `arguments` (the arguments after the program's name).
// --help and --version win over anything else given. An option's value is
// the next argument or follows "=" (--pdf=out.pdf); --report needs exactly
// one target option and each option may be given once. Anything else is
// refused with a text that names the problem and points to --help.
TCommandLine ParseCommandLine(const std::vector<std::string>& arguments);

// Whether `arguments` use the report's options (--report, --pdf, --printer). Such a
// command line runs without windows, so it is decided before Qt starts: a
// report or a refusal, never the windows.
bool AsksForReport(const std::vector<std::string>& arguments);

// The arguments after the program's name in `argv`.
std::vector<std::string> ProgramArguments(int argc, char** argv);

// The help text (UTF-8, several lines, ending with a line feed).
std::string HelpText();

// "Vendrik '03 2.0.0.0" and a line feed.
std::string VersionText();

// The refusal of an unknown argument: names it and points to --help.
std::string RefusalText(const std::string& argument);

// Handles --help and --version before the application object exists (so that
// they work without a display): returns the exit status when the program
// should end now, or -1 when it should go on starting.
int AnswerInformationRequest(int argc, char** argv);

}  // namespace vendrik
