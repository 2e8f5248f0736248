// The application object, the font substitutions and the theme.
#include "app/application.h"

#include <QFile>
#include <QStyle>
#include <QStyleFactory>

#include "app/dialog_service.h"
#include "app/silent_abort.h"
#include "app/vendrik_form.h"

namespace vendrik {
namespace {

const QString kBaseStyle = QStringLiteral("Fusion");

struct TFontSubstitution {
  const char* FFamily;
  const char* FSubstitute;
};

constexpr TFontSubstitution kFontSubstitutions[] = {
    {"MS Sans Serif", "Liberation Sans"},
    {"Arial", "Liberation Sans"},
    {"Times New Roman", "Liberation Serif"},
};

void ReportThemeError(IDialogService& dialogs, const QString& reason) {
  dialogs.ShowError(QCoreApplication::applicationName(),
                    QStringLiteral("Style \"%1\" could not be applied: %2.").arg(kThemeName, reason));
}

}  // namespace

TVendrikApplication::TVendrikApplication(int& argc, char** argv) : QApplication(argc, argv) {}

void TVendrikApplication::SetUnhandledErrorHandler(std::function<void(std::exception_ptr)> handler) {
  FUnhandledError = std::move(handler);
}

bool TVendrikApplication::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (const EAbort&) {
    return false;
  } catch (...) {
    if (FUnhandledError) FUnhandledError(std::current_exception());
    return false;
  }
}

void InstallFonts() {
  for (const TFontSubstitution& substitution : kFontSubstitutions)
    QFont::insertSubstitution(QString::fromLatin1(substitution.FFamily),
                              QString::fromLatin1(substitution.FSubstitute));
  QApplication::setFont(FormFont());
}

bool ApplyTheme(QApplication& application, IDialogService& dialogs, const QString& styleSheetPath) {
  if (!QStyleFactory::keys().contains(kBaseStyle, Qt::CaseInsensitive)) {
    ReportThemeError(dialogs, QStringLiteral("the %1 style is not available").arg(kBaseStyle));
    return false;
  }
  QFile sheet(styleSheetPath);
  if (!sheet.open(QIODevice::ReadOnly | QIODevice::Text)) {
    ReportThemeError(dialogs, QStringLiteral("its style sheet %1 cannot be read").arg(styleSheetPath));
    return false;
  }
  const QString styleSheet = QString::fromUtf8(sheet.readAll());
  if (styleSheet.trimmed().isEmpty()) {
    ReportThemeError(dialogs, QStringLiteral("its style sheet %1 is empty").arg(styleSheetPath));
    return false;
  }
  QApplication::setStyle(kBaseStyle);
  application.setStyleSheet(styleSheet);
  return true;
}

}  // namespace vendrik
