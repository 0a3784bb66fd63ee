// The application object's error handler, the real message boxes and the real
// pattern file dialogs, answered by timers while they wait.
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <sys/stat.h>

#include "ModalAnswers.h"
#include "app/BriskoApplication.h"
#include "app/Prompter.h"
#include "controls/RefCtrls.h"
#include "platform/BriskoError.h"
#include "support/TestSupport.h"

namespace {

class TThrowingObject : public QObject {
public:
  bool event(QEvent* Event) override {
    if (Event->type() == QEvent::User) throw EBriskoError("a.rmp に書き込めません");
    return QObject::event(Event);
  }
};

// Runs Action on the modal widget of type T as soon as it is up.
QStringList ButtonTexts(QMessageBox* Box) {
  QStringList texts;
  for (QAbstractButton* button : Box->buttons()) texts << button->text();
  texts.sort();
  return texts;
}

}  // namespace

class TApplicationTest : public QObject {
  Q_OBJECT
  TTempDir FDir;

private slots:
  void errorsEscapingAnEventHandlerAreShownAndTheProgramGoesOn() {
    auto* app = static_cast<TBriskoApplication*>(QCoreApplication::instance());
    QStringList shown;
    app->OnError = [&](const QString& Message) { shown << Message; };
    TThrowingObject object;
    QCoreApplication::postEvent(&object, new QEvent(QEvent::User));
    QCoreApplication::postEvent(&object, new QEvent(QEvent::User));
    QTRY_COMPARE(shown.size(), 2);
    QCOMPARE(shown.front(), u"a.rmp に書き込めません"_qs);
    app->OnError = nullptr;
  }

  void windowIconIsBriskosOwnDrawing() {
    // Needs the bundled drawing and Qt's SVG icon engine at run time.
    QImage icon = QApplication::windowIcon().pixmap(48, 48).toImage();
    QVERIFY(!icon.isNull());
    QCOMPARE(icon.size(), QSize(48, 48));
    QImage drawn = QIcon(u":/brisko.svg"_qs).pixmap(48, 48).toImage();
    QCOMPARE(icon.convertToFormat(QImage::Format_ARGB32), drawn.convertToFormat(QImage::Format_ARGB32));
  }

  void messageBoxesSpeakJapanese() {
    TQtPrompter prompter;
    QStringList buttons;
    QString title;
    WhenModal<QMessageBox>([&](QMessageBox* box) {
      buttons = ButtonTexts(box);
      title = box->windowTitle();
      box->button(QMessageBox::No)->click();
    });
    QCOMPARE(prompter.MessageBox(nullptr, u"x.rmp の変更を保存しますか？"_qs, u"情報"_qs, mkInformation, mbSaveDiscardCancel),
             int(mrNo));
    QStringList expected{u"はい(&Y)"_qs, u"いいえ(&N)"_qs, u"キャンセル"_qs};
    expected.sort();
    QCOMPARE(buttons, expected);
    QCOMPARE(title, u"情報"_qs);

    WhenModal<QMessageBox>([](QMessageBox* box) { QTest::keyClick(box, Qt::Key_Escape); });
    QCOMPARE(prompter.MessageBox(nullptr, u"?"_qs, u"情報"_qs, mkInformation, mbSaveDiscardCancel), int(mrCancel));
    WhenModal<QMessageBox>([](QMessageBox* box) { QTest::keyClick(box, Qt::Key_Return); });
    QCOMPARE(prompter.MessageBox(nullptr, u"ファイル削除を実行しますか？"_qs, u"確認"_qs, mkConfirmation, mbYesNo),
             int(mrYes));
    WhenModal<QMessageBox>([&](QMessageBox* box) {
      buttons = ButtonTexts(box);
      box->accept();
    });
    prompter.MessageBox(nullptr, u"error"_qs, u"Brisko"_qs, mkError, mbOK);
    QCOMPARE(buttons, QStringList{u"OK"_qs});
  }

  void patternFilterInQtForm() {
    QCOMPARE(FilterToNameFilters(QString::fromUtf8(PatternFileFilter)),
             (QStringList{u"削除パターン(*.rmp) (*.rmp)"_qs, u"すべてのファイル(*.*) (*)"_qs}));
    QCOMPARE(FilterToNameFilters(u"A|*.a;*.b"_qs), QStringList{u"A (*.a *.b)"_qs});
  }

  void openDialogOffersToCreateAMissingFile() {
    TQtPrompter prompter;
    QString missing = QString::fromStdString(FDir / "new");
    QString question;
    QStringList filters;
    WhenModal<QFileDialog>([&](QFileDialog* dialog) {
      filters = dialog->nameFilters();
      TypeFileName(dialog, missing);
      WhenModal<QMessageBox>([&](QMessageBox* box) {
        question = box->text();
        box->button(QMessageBox::Yes)->click();
      });
      static_cast<QDialog*>(dialog)->accept();
    });
    std::optional<std::string> name = prompter.OpenFileName(nullptr, "");
    QVERIFY(name.has_value());
    QCOMPARE(QString::fromStdString(*name), missing + u".rmp"_qs);  // the default extension
    QVERIFY(question.contains(u"ファイルを作成しますか"_qs));
    QCOMPARE(filters.size(), 2);
  }

  void saveDialogAsksBeforeOverwriting() {
    std::string existing = FDir / "existing.rmp";
    WriteFile(existing, "[Schedule0]\r\n");
    TQtPrompter prompter;
    QStringList questions;
    auto answerWith = [&](QMessageBox::StandardButton Answer) {
      WhenModal<QFileDialog>([&, Answer](QFileDialog* dialog) {
        QCOMPARE(dialog->windowTitle(), u"名前を付けて保存"_qs);
        TypeFileName(dialog, QString::fromStdString(existing));
        WhenModal<QMessageBox>([&, Answer](QMessageBox* box) {
          questions << box->text();
          box->button(Answer)->click();
          if (Answer == QMessageBox::No) WhenModal<QFileDialog>([](QFileDialog* again) { again->reject(); });
        });
        static_cast<QDialog*>(dialog)->accept();
      });
    };
    answerWith(QMessageBox::No);
    QVERIFY(!prompter.SaveFileName(nullptr, "").has_value());
    answerWith(QMessageBox::Yes);
    QCOMPARE(prompter.SaveFileName(nullptr, ""), std::optional<std::string>(existing));
    QCOMPARE(questions.size(), 2);
    QVERIFY(questions.front().contains(u"既に存在します"_qs));
  }

  void dialogsRefuseReadOnlyFiles() {
    std::string locked = FDir / "locked.rmp";
    WriteFile(locked, "[Schedule0]\r\n");
    chmod(locked.c_str(), 0444);
    TQtPrompter prompter;
    int refusals = 0;
    WhenModal<QFileDialog>([&](QFileDialog* dialog) {
      TypeFileName(dialog, QString::fromStdString(locked));
      WhenModal<QMessageBox>([&](QMessageBox* box) {
        ++refusals;
        box->accept();
        // The dialog stays open after the refusal: cancel it.
        WhenModal<QFileDialog>([](QFileDialog* again) { again->reject(); });
      });
      static_cast<QDialog*>(dialog)->accept();
    });
    QVERIFY(!prompter.OpenFileName(nullptr, "").has_value());
    QCOMPARE(refusals, 1);
  }
};

int main(int argc, char** argv) {
  TBriskoApplication app(argc, argv);
  TApplicationTest test;
  return QTest::qExec(&test, argc, argv);
}
#include "tst_application.moc"
