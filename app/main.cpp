// Vendrik's entry: answers --help and --version, runs --report without
// windows (after choosing the data folder as below), chooses the folder the
// program works in (the working directory, or the user's data folder for an
// installed program started where there is no table), prepares the
// application (fonts, icon, theme, title), creates the seven windows once in
// their order, shows the main window and runs the message loop until the
// application is told to end or the main window is closed.
#include <cstdio>
#include <string>
#include <vector>

#include <QDir>
#include <QIcon>
#include <QTimer>

#include "app/app_windows.h"
#include "app/application.h"
#include "app/command_line.h"
#include "app/data_folder.h"
#include "app/dialog_service.h"
#include "app/echoing_dialogs.h"
#include "app/error_display.h"
#include "app/main_window.h"
#include "app/report_command.h"
#include "app/tdb_components.h"
#include "app/shell_service.h"

namespace {

// Refuses arguments that Qt did not take as its own; returns false then.
bool AcceptArguments() {
  std::vector<std::string> arguments;
  for (const QString& argument : QCoreApplication::arguments().mid(1)) arguments.push_back(argument.toStdString());
  const vendrik::TCommandLine line = vendrik::ParseCommandLine(arguments);
  if (line.FAction == vendrik::TCommandLineAction::claRun) return true;
  const std::string refusal =
      line.FAction == vendrik::TCommandLineAction::claRefuse ? line.FRefusal : vendrik::RefusalText(arguments.front());
  std::fputs(refusal.c_str(), stderr);
  return false;
}

// Makes the chosen data folder current; `notice` receives what the user is
// told about it.
vendrik::TDataFolderChoice EnterDataFolder(QString& notice) {
  const QString working = QDir::currentPath();
  const vendrik::TInstalledData installed = vendrik::InstalledDataIn(
      QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral(VENDRIK_DATA_RELATIVE)));
  vendrik::TDataFolderChoice choice = vendrik::ChooseDataFolder(working, installed, vendrik::UserDataFolder());
  if (!QDir::setCurrent(choice.FDirectory)) {
    choice.FKind = vendrik::TDataFolderKind::dfkSeedingFailed;
    choice.FProblem = QDir::toNativeSeparators(choice.FDirectory) + QStringLiteral(" (nem nyitható meg)");
    choice.FDirectory = working;
  }
  notice = vendrik::DataFolderNotice(choice, working);
  return choice;
}

}  // namespace

int main(int argc, char* argv[]) {
  const int answered = vendrik::AnswerInformationRequest(argc, argv);
  if (answered >= 0) return answered;
  const std::vector<std::string> arguments = vendrik::ProgramArguments(argc, argv);
  const vendrik::TCommandLine line = vendrik::ParseCommandLine(arguments);
  if (vendrik::AsksForReport(arguments) && line.FAction == vendrik::TCommandLineAction::claRefuse) {
    std::fputs(line.FRefusal.c_str(), stderr);
    return vendrik::kRefusedStatus;
  }
  if (line.FAction == vendrik::TCommandLineAction::claReport) {
    vendrik::PrepareReportCommand();
    QApplication application(argc, argv);
    vendrik::InstallFonts();
    QString notice;
    EnterDataFolder(notice);
    return vendrik::RunReportCommand(line.FReport, stderr);
  }
  vendrik::TVendrikApplication application(argc, argv);
  if (!AcceptArguments()) return vendrik::kRefusedStatus;

  vendrik::TMessageBoxDialogService boxes;
  vendrik::TEchoingDialogService dialogs(boxes);
  vendrik::TDesktopShellService shell;
  vendrik::TErrorDisplay errors(dialogs, QCoreApplication::applicationName());
  application.SetUnhandledErrorHandler([&errors](std::exception_ptr error) { errors.Show(error); });

  vendrik::InstallFonts();
  QApplication::setWindowIcon(QIcon(vendrik::kIconResource));
  vendrik::ApplyTheme(application, dialogs);
  errors.SetTitle(vendrik::kApplicationTitle);

  QString notice;
  const vendrik::TDataFolderChoice folder = EnterDataFolder(notice);

  std::unique_ptr<vendrik::TAppWindows> windows;
  const bool created = errors.Guard([&] {
    windows = std::make_unique<vendrik::TAppWindows>(vendrik::TAppServices{
        dialogs, shell, errors, vendrik::CreateTdbComponents, [] { QCoreApplication::quit(); }});
  });
  if (!created) return 1;
  windows->Form1().show();
  // A folder the user has not seen before is announced in a box once the main
  // window is up; an earlier one only on standard error.
  if (folder.FKind == vendrik::TDataFolderKind::dfkUserFolder) {
    std::fprintf(stderr, "%s\n", notice.toUtf8().constData());
  } else if (folder.FKind == vendrik::TDataFolderKind::dfkSeededUserFolder) {
    QTimer::singleShot(0, &application, [&] { dialogs.ShowMessage(vendrik::kApplicationTitle, notice); });
  } else if (folder.FKind == vendrik::TDataFolderKind::dfkSeedingFailed) {
    QTimer::singleShot(0, &application, [&] { dialogs.ShowError(vendrik::kApplicationTitle, notice); });
  }
  return application.exec();
}
