// The real message boxes: caption, text, icon and Hungarian buttons, and which
// keys answer them.
#include <QApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

#include "app/dialog_service.h"
#include "fake_services.h"

namespace vendrik::testing {
namespace {

struct TSeenBox {
  QString FCaption;
  QString FText;
  QMessageBox::Icon FIcon = QMessageBox::NoIcon;
  QStringList FButtons;
  bool FOpenAfterEsc = false;
};

void PressKey(QWidget* target, int key) {
  QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
  QApplication::sendEvent(target, &press);
  QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
  QApplication::sendEvent(target, &release);
}

// When the box is up: records what it shows, presses Esc, then clicks the
// button captioned `click` (if the box is still open).
void AnswerNextBox(TSeenBox& seen, const QString& click) {
  QTimer::singleShot(0, [&seen, click] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr) return;
    seen.FCaption = box->windowTitle();
    seen.FText = box->text();
    seen.FIcon = box->icon();
    for (QAbstractButton* button : box->buttons()) seen.FButtons << button->text();
    PressKey(box, Qt::Key_Escape);
    QCoreApplication::processEvents();
    seen.FOpenAfterEsc = box->isVisible();
    if (!seen.FOpenAfterEsc) return;
    for (QAbstractButton* button : box->buttons())
      if (button->text() == click) button->click();
  });
}

TEST(DialogServiceTest, QuestionHasHungarianButtonsAndIgnoresEsc) {
  for (const bool yes : {true, false}) {
    SCOPED_TRACE(yes ? "Igen" : "Nem");
    TMessageBoxDialogService dialogs;
    TSeenBox seen;
    AnswerNextBox(seen, yes ? QStringLiteral("Igen") : QStringLiteral("Nem"));
    EXPECT_EQ(dialogs.AskYesNo(QStringLiteral("Program vége:"), QStringLiteral("Biztosan?")), yes);
    EXPECT_EQ(seen.FCaption, QStringLiteral("Program vége:"));
    EXPECT_EQ(seen.FText, QStringLiteral("Biztosan?"));
    EXPECT_EQ(seen.FIcon, QMessageBox::NoIcon);
    EXPECT_EQ(seen.FButtons, (QStringList{QStringLiteral("Igen"), QStringLiteral("Nem")}));
    EXPECT_TRUE(seen.FOpenAfterEsc) << "Esc must not answer the question";
  }
}

TEST(DialogServiceTest, MessageAndErrorHaveOneOkButton) {
  struct Case {
    bool FError;
    QMessageBox::Icon FIcon;
  };
  for (const Case& c : {Case{false, QMessageBox::NoIcon}, Case{true, QMessageBox::Critical}}) {
    SCOPED_TRACE(c.FError ? "error" : "message");
    TMessageBoxDialogService dialogs;
    TSeenBox seen;
    AnswerNextBox(seen, QStringLiteral("OK"));
    if (c.FError)
      dialogs.ShowError(QStringLiteral("Vendrik '03"), QStringLiteral("Hiba."));
    else
      dialogs.ShowMessage(QStringLiteral("Vendrik '03"), QStringLiteral("Hiba."));
    EXPECT_EQ(seen.FCaption, QStringLiteral("Vendrik '03"));
    EXPECT_EQ(seen.FText, QStringLiteral("Hiba."));
    EXPECT_EQ(seen.FIcon, c.FIcon);
    EXPECT_EQ(seen.FButtons, QStringList{QStringLiteral("OK")});
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
  }
}

}  // namespace
}  // namespace vendrik::testing
