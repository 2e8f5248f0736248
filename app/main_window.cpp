// The main window: construction in small steps, the menu commands, and the
// table event handlers.
#include "app/main_window.h"

#include <QAction>
#include <QCloseEvent>
#include <QDir>
#include <QLabel>
#include <QLayout>
#include <QMenuBar>
#include <QStatusBar>

#include "access/dataset.h"
#include "app/about_window.h"
#include "app/app_windows.h"
#include "app/browse_window.h"
#include "app/dialog_service.h"
#include "app/error_display.h"
#include "app/filter_window.h"
#include "app/search_window.h"
#include "app/shell_service.h"
#include "app/silent_abort.h"
#include "app/update_request.h"
#include "app/vendrik_form.h"

namespace vendrik {
namespace {

const QString kCaption = QStringLiteral("Vendrik '03 - V2.0.0.0");
constexpr int kClientWidth = 537;
constexpr int kClientHeight = 333;
constexpr int kStatusBarHeight = 19;
const QRect kImageRect(0, 0, 537, 313);
const QString kTitlePicture = QStringLiteral(":/images/title.png");
const QString kSilver = QStringLiteral("#C0C0C0");

const QString kBinaryDigits =
    QStringLiteral("01010101010101010101010101010101010101010101011010101010111010101010101010101010101010");
constexpr int kDigitRowLeft = 10;
constexpr int kDigitRowWidth = 516;
constexpr int kDigitRowHeight = 13;
constexpr int kDigitRowTops[] = {88, 104, 192, 208};

const QString kExitHint = QStringLiteral("Program használatának befejezése !");
const QString kExitCaption = QStringLiteral("Program vége:");
const QString kExitQuestion = QStringLiteral("Biztosan be kívánja fejezni a program használatát ?");

const QString kGuideDocument = QStringLiteral("Leírás.pdf");
const QString kGuideErrorCaption = QStringLiteral("Hiba történt:");
const QString kGuideErrorText =
    QStringLiteral("Leírás.pdf állomány nem található vagy nincs telepítve Acrobat olvasó program !!!");

const QString kDeleteCaption = QStringLiteral("Törlés jóváhagyás:");
const QString kDeleteQuestion = QStringLiteral("Biztosan törölhető ?");

QAction* MakeAction(QObject* owner, const char* name, const QString& caption, const QString& hint) {
  auto* action = new QAction(caption, owner);
  action->setObjectName(QString::fromLatin1(name));
  action->setStatusTip(hint);
  return action;
}

QMenu* MakeMenu(QWidget* parent, const char* name, const QString& caption, const QString& hint) {
  auto* menu = new QMenu(caption, parent);
  menu->setObjectName(QString::fromLatin1(name));
  menu->menuAction()->setObjectName(QString::fromLatin1(name));
  menu->menuAction()->setStatusTip(hint);
  return menu;
}

}  // namespace

TForm1::TForm1(TAppWindows& windows)
    : QMainWindow(nullptr, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                               Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      FWindows(windows) {
  setObjectName(QStringLiteral("Form1"));
  setWindowTitle(kCaption);
  setFont(FormFont());
  createComponents();
  createBackground();
  createActions();
  createMenus();
  createStatusBar();
  // The client area is fixed; the menu bar adds its own height above it.
  layout()->setSizeConstraint(QLayout::SetFixedSize);
  FormCreate();
}

TForm1::~TForm1() = default;

void TForm1::createComponents() {
  FComponents = FWindows.Services().FCreateDataComponents();
  ITableComponent& table = Table1();
  table.SetAfterPost([this] { Table1AfterPost(); });
  table.SetBeforeDelete([this] { Table1BeforeDelete(); });
  table.SetAfterDelete([this] { Table1AfterDelete(); });
  FDataSource1.SetDataSet(table.DataSet());
}

void TForm1::createBackground() {
  auto* client = new QWidget(this);
  client->setObjectName(QStringLiteral("ClientArea"));
  client->setFixedSize(kClientWidth, kClientHeight - kStatusBarHeight);
  client->setAutoFillBackground(true);
  client->setStyleSheet(QStringLiteral("#ClientArea { background-color: %1; }").arg(kSilver));
  setCentralWidget(client);

  auto* image = new QLabel(client);
  image->setObjectName(QStringLiteral("Image1"));
  image->setGeometry(kImageRect);
  image->setPixmap(QPixmap(kTitlePicture));
  image->setScaledContents(true);

  int number = 1;
  for (int top : kDigitRowTops) {
    auto* label = new QLabel(kBinaryDigits, client);
    label->setObjectName(QStringLiteral("Label%1").arg(number++));
    label->setGeometry(kDigitRowLeft, top, kDigitRowWidth, kDigitRowHeight);
    label->setAttribute(Qt::WA_TranslucentBackground);
    label->setStyleSheet(QStringLiteral("color: #0000FF; background: transparent;"));
  }
}

void TForm1::createActions() {
  FAdatkarbantarts1 = MakeAction(this, "Adatkarbantarts1", QStringLiteral("Adatkarbantartás"),
                                 QStringLiteral("Adatok karbantartása !"));
  FKeress1 = MakeAction(this, "Keress1", QStringLiteral("Keresés"), QStringLiteral("Adatok keresése !"));
  FSzrs1 = MakeAction(this, "Szrs1", QStringLiteral("Szűrés"),
                      QStringLiteral("Megjelenítendő adatok szűrése !"));
  FLers1 = MakeAction(this, "Lers1", QStringLiteral("Leírás"),
                      QStringLiteral("Program használatának leírása !"));
  FKeress3 = MakeAction(this, "Keress3", QStringLiteral("Keresés"),
                        QStringLiteral("Újabb verzió keresése, letöltése és telepítése !"));
  FNvjegy1 = MakeAction(this, "Nvjegy1", QStringLiteral("Névjegy"), QStringLiteral("Program bemutatkozása !"));
  FBefejezs1 = MakeAction(this, "Befejezs1", QStringLiteral("Befejezés"), kExitHint);

  bindCommand(FAdatkarbantarts1, &TForm1::Adatkarbantarts1Click);
  bindCommand(FKeress1, &TForm1::Keress1Click);
  bindCommand(FSzrs1, &TForm1::Szrs1Click);
  bindCommand(FLers1, &TForm1::Lers1Click);
  bindCommand(FKeress3, &TForm1::Keress3Click);
  bindCommand(FNvjegy1, &TForm1::Nvjegy1Click);
  bindCommand(FBefejezs1, &TForm1::Befejezs1Click);
}

void TForm1::createMenus() {
  QMenuBar* bar = menuBar();
  bar->setObjectName(QStringLiteral("MainMenu1"));
  bar->setNativeMenuBar(false);

  QMenu* operations =
      MakeMenu(bar, "Mveletek1", QStringLiteral("Műveletek"), QStringLiteral("Program eljárásai !"));
  operations->addAction(FAdatkarbantarts1);
  operations->addSeparator();
  operations->addAction(FKeress1);
  operations->addSeparator();
  operations->addAction(FSzrs1);
  bar->addMenu(operations);

  QMenu* information = MakeMenu(bar, "Informci1", QStringLiteral("Információ"),
                                QStringLiteral("Programmal kapcsolatos információk !"));
  information->addAction(FLers1);
  information->addSeparator();
  QMenu* update = MakeMenu(information, "Frissts1", QStringLiteral("Frissítés"),
                           QStringLiteral("Frissítés keresése (internet kapcsolat szükséges) !"));
  update->addAction(FKeress3);
  information->addMenu(update);
  information->addSeparator();
  information->addAction(FNvjegy1);
  bar->addMenu(information);

  QMenu* leave = MakeMenu(bar, "Kilps1", QStringLiteral("Kilépés"), kExitHint);
  leave->addAction(FBefejezs1);
  bar->addMenu(leave);
}

void TForm1::createStatusBar() {
  QStatusBar* status = statusBar();
  status->setObjectName(QStringLiteral("StatusBar1"));
  status->setFixedHeight(kStatusBarHeight);
  status->setSizeGripEnabled(false);
}

void TForm1::bindCommand(QAction* action, void (TForm1::*handler)()) {
  connect(action, &QAction::triggered, this,
          [this, handler] { FWindows.Services().FErrors.Guard([this, handler] { (this->*handler)(); }); });
}

void TForm1::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (event->spontaneous()) return;  // restored from the task bar, not shown by the program
  CentreOnScreen(*this);
  // The table opens once the window is on the screen, so that an open error
  // appears over the window.
  QMetaObject::invokeMethod(
      this, [this] { FWindows.Services().FErrors.Guard([this] { FormShow(); }); }, Qt::QueuedConnection);
}

void TForm1::closeEvent(QCloseEvent* event) {
  if (FTerminating) {
    event->accept();
    return;
  }
  event->ignore();
  FWindows.Services().FErrors.Guard([this, event] { FormClose(event); });
}

void TForm1::FormCreate() { TdbDatabase1().SetLocation(QDir::currentPath()); }

void TForm1::FormShow() { Table1().SetActive(true); }

void TForm1::Adatkarbantarts1Click() { FWindows.Form2().ShowModal(); }

void TForm1::Keress1Click() { FWindows.Form5().ShowModal(); }

void TForm1::Szrs1Click() { FWindows.Form6().ShowModal(); }

void TForm1::Lers1Click() {
  const TAppServices& services = FWindows.Services();
  if (!services.FShell.OpenDocument(kGuideDocument))
    services.FDialogs.ShowMessage(kGuideErrorCaption, kGuideErrorText);
}

void TForm1::Keress3Click() {
  if (!RequestUpdate(FWindows)) return;
  // The updater replaces the program's files: end without the exit question.
  FTerminating = true;
  FWindows.Services().FTerminate();
}

void TForm1::Nvjegy1Click() { FWindows.Form7().ShowModal(); }

void TForm1::PostPendingChanges() {
  kestrel::access::TDataSet* data = Table1().DataSet();
  if (data != nullptr && data->Active()) data->CheckBrowseMode();
}

void TForm1::Befejezs1Click() {
  statusBar()->showMessage(kExitHint);
  if (FWindows.Services().FDialogs.AskYesNo(kExitCaption, kExitQuestion)) {
    PostPendingChanges();
    FTerminating = true;
    FWindows.Services().FTerminate();
  }
  statusBar()->clearMessage();
}

void TForm1::FormClose(QCloseEvent* event) {
  statusBar()->showMessage(kExitHint);
  if (!FWindows.Services().FDialogs.AskYesNo(kExitCaption, kExitQuestion)) return;
  statusBar()->clearMessage();
  PostPendingChanges();
  Table1().Close();
  event->accept();
}

void TForm1::Table1AfterPost() { FWindows.Form2().ShowRecordCount(Table1().RecordCount()); }

void TForm1::Table1AfterDelete() { FWindows.Form2().ShowRecordCount(Table1().RecordCount()); }

void TForm1::Table1BeforeDelete() {
  if (!FWindows.Services().FDialogs.AskYesNo(kDeleteCaption, kDeleteQuestion)) throw EAbort();
}

}  // namespace vendrik
