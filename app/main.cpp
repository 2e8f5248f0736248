// Vendrik's entry: prepares the application (fonts, icon, theme, title),
// creates the seven windows once in their order, shows the main window and
// runs the message loop until the application is told to end or the main
// window is closed.
#include <QIcon>

#include "app/app_windows.h"
#include "app/application.h"
#include "app/dialog_service.h"
#include "app/error_display.h"
#include "app/main_window.h"
#include "app/tdb_components.h"
#include "app/shell_service.h"

int main(int argc, char* argv[]) {
  vendrik::TVendrikApplication application(argc, argv);
  vendrik::TMessageBoxDialogService dialogs;
  vendrik::TDesktopShellService shell;
  vendrik::TErrorDisplay errors(dialogs, QCoreApplication::applicationName());
  application.SetUnhandledErrorHandler([&errors](std::exception_ptr error) { errors.Show(error); });

  vendrik::InstallFonts();
  QApplication::setWindowIcon(QIcon(vendrik::kIconResource));
  vendrik::ApplyTheme(application, dialogs);
  errors.SetTitle(vendrik::kApplicationTitle);

  std::unique_ptr<vendrik::TAppWindows> windows;
  const bool created = errors.Guard([&] {
    windows = std::make_unique<vendrik::TAppWindows>(vendrik::TAppServices{
        dialogs, shell, errors, vendrik::CreateTdbComponents, [] { QCoreApplication::quit(); }});
  });
  if (!created) return 1;
  windows->Form1().show();
  return application.exec();
}
