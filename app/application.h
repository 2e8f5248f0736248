// The application object and the start-up settings applied before the windows
// are created: font substitutions and the visual theme "Iceberg Classico".
#pragma once

#include <exception>
#include <functional>

#include <QApplication>

namespace vendrik {

class IDialogService;

// The application title, the caption of the standard error display.
inline const QString kApplicationTitle = QStringLiteral("Vendrik '03");

// The name of the visual theme and the resource of its style sheet.
inline const QString kThemeName = QStringLiteral("Iceberg Classico");
inline const QString kThemeStyleSheet = QStringLiteral(":/themes/iceberg_classico.qss");

// The program's icon and title picture, generated at build time.
inline const QString kIconResource = QStringLiteral(":/images/icon.png");

// QApplication that lets no exception escape from event delivery: a handler
// that throws despite its own guard ends up in the unhandled-error handler
// (the standard error display) and the event counts as not handled.
class TVendrikApplication : public QApplication {
  Q_OBJECT

 public:
  TVendrikApplication(int& argc, char** argv);

  // The handler for errors that reach the event loop; it must not throw.
  void SetUnhandledErrorHandler(std::function<void(std::exception_ptr)> handler);

  bool notify(QObject* receiver, QEvent* event) override;

 private:
  std::function<void(std::exception_ptr)> FUnhandledError;
};

// Makes the fonts the windows name resolve to installed fonts with close
// metrics: "MS Sans Serif" and "Arial" to Liberation Sans, "Times New Roman"
// to Liberation Serif. Sets the application font to the forms' font.
void InstallFonts();

// Applies the theme: the Fusion style with the theme's style sheet read from
// `styleSheetPath`. When the style or the sheet is not available, nothing is
// changed, the theme's error dialog says why (through `dialogs`), and false is
// returned; the program goes on with the default look.
bool ApplyTheme(QApplication& application, IDialogService& dialogs,
                const QString& styleSheetPath = kThemeStyleSheet);

}  // namespace vendrik
