// A user's first session, through the real window with the real item editor, options
// dialog, message boxes and pattern file dialogs, and the engine's own worker over a
// real folder: add an item, save it, open it again, test it, run it, switch log saving
// on and find the lines in the log file after closing. The steps build on each other
// and run in declaration order over one window.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <fcntl.h>
#include <sys/stat.h>
#include <ctime>
#include <functional>

#include "ModalAnswers.h"
#include "app/BRISK_Main.h"
#include "app/LogView.h"
#include "ViewText.h"
#include "app/BriskoApplication.h"
#include "app/LogFile.h"
#include "app/TaskbarProgress.h"
#include "dialogs/BRISK_Config.h"
#include "dialogs/BRISK_Edit.h"
#include "support/TestSupport.h"

namespace {

constexpr int WorkerTimeoutMs = 60000;  // a shared, busy machine: generous, never a sleep

// Runs Action on the modal widget of type T as soon as it is up; gives up after
// about twenty seconds, so that a box that never came cannot catch a later one.
// A dialog whose checks failed half-way is cancelled, so that the window's command
// returns and the failure is reported instead of the program hanging.
void CloseAfterChecks(QDialog* Dialog, QPushButton* OK) {
  if (!Dialog->isVisible()) return;
  if (!QTest::currentTestFailed() && OK && OK->isEnabled())
    QTest::mouseClick(OK, Qt::LeftButton);
  else
    Dialog->reject();
}

// Clicks where the style says the box takes clicks: a box laid out wider than its
// caption does not take them in the middle.
void ClickCheckBox(QCheckBox* Box) {
  QStyleOptionButton option;
  option.initFrom(Box);
  option.text = Box->text();
  const QRect area = Box->style()->subElementRect(QStyle::SE_CheckBoxClickRect, &option, Box);
  QTest::mouseClick(Box, Qt::LeftButton, {}, area.center());
}

template <typename T>
T* Child(QWidget* Parent, const char* Name) {
  T* child = Parent->findChild<T*>(QString::fromLatin1(Name));
  if (!child) qWarning("no child %s", Name);
  return child;
}

// Answers the next pattern file dialog with Name.
void AnswerFileDialog(const QString& Name, QString* Title) {
  WhenModal<QFileDialog>([Name, Title](QFileDialog* dialog) {
    *Title = dialog->windowTitle();
    TypeFileName(dialog, Name);
    static_cast<QDialog*>(dialog)->accept();
  });
}

// Sets both times of a file, Days days ago (0: now).
void SetTimes(const std::string& Path, int AccessDaysAgo, int ModifyDaysAgo) {
  const time_t now = std::time(nullptr);
  struct timespec times[2] = {{now - AccessDaysAgo * 86400L, 0}, {now - ModifyDaysAgo * 86400L, 0}};
  QCOMPARE(utimensat(AT_FDCWD, Path.c_str(), times, 0), 0);
}

// File contents as text, so that a failure shows both sides.
QString Text(const std::string& Bytes) { return QString::fromStdString(Bytes); }


QStringList RowTexts(TMainForm& Form, int Row) {
  QStringList texts;
  for (int column = 0; column < 6; ++column)
    texts << Form.PatternView->model()->index(Row, column).data().toString();
  return texts;
}

// The log view's lines with their time stamps checked and taken off.
QStringList ResultsInView(TMainForm& Form) {
  static const QRegularExpression stamp(u"^\\d{4}/\\d\\d/\\d\\d \\d\\d:\\d\\d:\\d\\d "_qs);
  QStringList results;
  for (const QString& line : ViewText(*Form.LogView).split(u'\n', Qt::SkipEmptyParts)) {
    QRegularExpressionMatch match = stamp.match(line);
    results << (match.hasMatch() ? line.mid(match.capturedLength()) : u"(no time) "_qs + line);
  }
  return results;
}

QStringList Sorted(QStringList List) {
  List.sort();
  return List;
}

}  // namespace

class TEndToEndTest : public QObject {
  Q_OBJECT

  std::unique_ptr<TTempDir> FHome;
  std::unique_ptr<TMainForm> FForm;
  std::string FFolder, FPattern, FLog;
  QStringList FExpectedRow;

  QStringList Results(const char* Mark, std::initializer_list<const char*> Names) const {
    QStringList lines;
    for (const char* name : Names) lines << QString::fromUtf8(Mark) + u" 0x0000 "_qs + QString::fromStdString(FFolder + "/" + name);
    return lines;
  }

private slots:
  void initTestCase() {
    FHome = std::make_unique<TTempDir>();
    qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(*FHome / "config"));
    qputenv("XDG_STATE_HOME", QByteArray::fromStdString(*FHome / "state"));
    qputenv("XDG_DATA_HOME", QByteArray::fromStdString(*FHome / "data"));

    // Due: modified a month ago, though read just now (the item counts from the
    // modification), and with subfolders too a folder whose name matches. Not due:
    // new, or read long ago but modified now, or kept by the exclude mask, or not
    // matching the mask at all, or inside a folder whose name does not match.
    FFolder = *FHome / "work";
    for (const char* folder : {"/sub", "/cache.tmp"})
      QVERIFY(QDir().mkpath(QString::fromStdString(FFolder + folder)));
    const struct {
      const char* Name;
      int AccessDaysAgo, ModifyDaysAgo;
    } entries[] = {{"old1.tmp", 0, 30},          {"old2.tmp", 0, 30},  {"cache.tmp/inner.dat", 30, 30},
                   {"sub/old3.tmp", 30, 30},     {"new.tmp", 0, 0},    {"read-long-ago.tmp", 30, 0},
                   {"keep.tmp", 30, 30},         {"notes.txt", 30, 30}};
    for (const auto& entry : entries) {
      WriteFile(FFolder + "/" + entry.Name, "x");
      SetTimes(FFolder + "/" + entry.Name, entry.AccessDaysAgo, entry.ModifyDaysAgo);
    }
    SetTimes(FFolder + "/cache.tmp", 0, 30);
    FPattern = *FHome / "daily.rmp";
    FLog = *FHome / "logs/brisko.log";
    QVERIFY(QDir().mkpath(QString::fromStdString(*FHome / "logs")));
    WriteFile(FLog, "2026/01/01 00:00:00 TE 0x0000 /earlier\r\n");

    // As the program builds its window, without the desktop's launcher progress.
    TMainFormServices services;
    services.ProgressFactory = [] { return std::unique_ptr<TTaskbarProgress>(); };
    FForm = std::make_unique<TMainForm>(std::vector<std::string>{}, services);
    FForm->SetDialogs(new TEditDialog(FForm.get()), new TConfigDialog(FForm.get()));
    FForm->ShowInitial();
    QVERIFY(QTest::qWaitForWindowExposed(FForm.get()));
  }

  void cleanupTestCase() {
    if (FForm && FForm->isVisible()) FForm->close();
    FForm.reset();
  }

  void addAnItemWithTheEditor() {
    TMainForm& form = *FForm;
    QCOMPARE(form.PatternView->model()->rowCount(), 0);
    bool shown = false;
    WhenModal<TEditDialog>([&](TEditDialog* dialog) {
      shown = true;
      [&] {
        QCOMPARE(dialog->windowTitle(), u"アイテム設定"_qs);
        auto* location = Child<QLineEdit>(dialog, "LocationEdt");
        auto* include = Child<QLineEdit>(dialog, "IncludeEdt");
        auto* exclude = Child<QLineEdit>(dialog, "ExcludeEdt");
        auto* baseDate = Child<QComboBox>(dialog, "BaseDateCbx");
        auto* days = Child<QLineEdit>(dialog, "LapsedTimeEdt");
        auto* subdirs = Child<QCheckBox>(dialog, "SubdirTooChk");
        auto* ok = Child<QPushButton>(dialog, "OKButton");
        QVERIFY(location && include && exclude && baseDate && days && subdirs && ok);
        // A new row: empty, the access time, seven days, nothing ticked, OK disabled.
        QCOMPARE(location->text(), QString());
        QCOMPARE(baseDate->currentText(), u"アクセス日時"_qs);
        QCOMPARE(days->text(), u"7"_qs);
        for (QCheckBox* box : dialog->findChildren<QCheckBox*>())
          QVERIFY2(!box->isChecked() && box->isEnabled(), qPrintable(box->objectName()));
        QVERIFY(!ok->isEnabled());

        QTest::keyClicks(location, QString::fromStdString(FFolder));
        QTest::keyClicks(include, u"*.tmp"_qs);
        QVERIFY(ok->isEnabled());
        QTest::keyClicks(exclude, u"keep*"_qs);
        QTest::keyClick(baseDate, Qt::Key_Up);
        QCOMPARE(baseDate->currentText(), u"更新日時"_qs);
        days->selectAll();
        QTest::keyClicks(days, u"10"_qs);
        QCOMPARE(days->text(), u"10"_qs);
        ClickCheckBox(subdirs);
        QVERIFY(subdirs->isChecked());
        QVERIFY(ok->isEnabled());
      }();
      CloseAfterChecks(dialog, Child<QPushButton>(dialog, "OKButton"));
    });
    form.ItemAddMnu->trigger();
    QVERIFY(shown);
    QCOMPARE(form.PatternView->model()->rowCount(), 1);
    FExpectedRow = {QString::fromStdString(FFolder), u"*.tmp"_qs, u"keep*"_qs, u"M+10"_qs, QString(), u"T"_qs};
    QCOMPARE(RowTexts(form, 0), FExpectedRow);
    QVERIFY(form.Modified());
    QCOMPARE(form.windowTitle(), u"Brisko"_qs);
  }

  void saveThePatternAs() {
    TMainForm& form = *FForm;
    QVERIFY(form.Modified());
    QString title;
    // Typed without its extension: the dialog adds ".rmp".
    AnswerFileDialog(QString::fromStdString(*FHome / "daily"), &title);
    form.FileSaveAsMnu->trigger();
    QCOMPARE(title, u"名前を付けて保存"_qs);
    QCOMPARE(form.PatternFile(), FPattern);
    QVERIFY(!form.Modified());
    QCOMPARE(form.windowTitle(), u"daily.rmp - Brisko"_qs);
    QCOMPARE(Text(ReadFile(FPattern)), Text("[Schedule0]\r\nLocation=" + FFolder +
                                            "\r\nMask=*.tmp\r\nExcept=keep*\r\nLapsedDays=M+10\r\nAttribute=\r\nOption=T\r\n"));
  }

  void newThenOpenBringsTheRowBack() {
    TMainForm& form = *FForm;
    form.FileNewMnu->trigger();  // nothing unsaved: no question
    QCOMPARE(form.PatternView->model()->rowCount(), 0);
    QCOMPARE(form.windowTitle(), u"無題 - Brisko"_qs);

    QString title;
    AnswerFileDialog(QString::fromStdString(FPattern), &title);
    form.FileOpenMnu->trigger();
    QCOMPARE(title, u"開く"_qs);
    QCOMPARE(form.PatternView->model()->rowCount(), 1);
    QCOMPARE(RowTexts(form, 0), FExpectedRow);
    QCOMPARE(form.windowTitle(), u"daily.rmp - Brisko"_qs);
    QVERIFY(!form.Modified());

    // A double click on the row shows the editor filled from it; Esc keeps the row.
    QStringList shown;
    WhenModal<TEditDialog>([&](TEditDialog* dialog) {
      for (const char* name : {"LocationEdt", "IncludeEdt", "ExcludeEdt", "LapsedTimeEdt"})
        if (auto* edit = Child<QLineEdit>(dialog, name)) shown << edit->text();
      if (auto* baseDate = Child<QComboBox>(dialog, "BaseDateCbx")) shown << baseDate->currentText();
      for (QCheckBox* box : dialog->findChildren<QCheckBox*>())
        if (box->isChecked()) shown << box->objectName();
      QTest::keyClick(dialog, Qt::Key_Escape);
    });
    const QPoint row = form.PatternView->visualRect(form.PatternView->model()->index(0, 0)).center();
    QTest::mouseClick(form.PatternView->viewport(), Qt::LeftButton, {}, row);
    QTest::mouseDClick(form.PatternView->viewport(), Qt::LeftButton, {}, row);
    QCOMPARE(shown, (QStringList{QString::fromStdString(FFolder), u"*.tmp"_qs, u"keep*"_qs, u"10"_qs,
                                 u"更新日時"_qs, u"SubdirTooChk"_qs}));
    QCOMPARE(RowTexts(form, 0), FExpectedRow);
    QVERIFY(!form.Modified());
  }

  void testLogsTheDueFilesAndRunDeletesThem() {
    TMainForm& form = *FForm;
    QCOMPARE(form.PatternView->model()->rowCount(), 1);
    form.PatternView->setFocus();
    QTest::keyClick(form.PatternView, Qt::Key_A, Qt::ControlModifier);
    QVERIFY(form.DeleteTestMnu->isEnabled());

    form.DeleteTestMnu->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(!form.WorkerRunning(), WorkerTimeoutMs);
    const QStringList tested = Results("TE", {"cache.tmp", "old1.tmp", "old2.tmp"});
    QCOMPARE(Sorted(ResultsInView(form)), tested);
    for (const char* name : {"old1.tmp", "old2.tmp", "cache.tmp/inner.dat", "sub/old3.tmp", "new.tmp",
                             "read-long-ago.tmp", "keep.tmp", "notes.txt"})
      QVERIFY2(Exists(FFolder + "/" + name), name);

    // Each row is unselected once worked through: select again for the run.
    QTest::keyClick(form.PatternView, Qt::Key_A, Qt::ControlModifier);
    QVERIFY(form.DeleteRunMnu->isEnabled());
    QString question, caption;
    WhenModal<QMessageBox>([&](QMessageBox* box) {
      question = box->text();
      caption = box->windowTitle();
      box->button(QMessageBox::Yes)->click();
    });
    form.DeleteRunMnu->trigger();
    QCOMPARE(question, u"ファイル削除を実行しますか？"_qs);
    QCOMPARE(caption, u"確認"_qs);
    QTRY_VERIFY_WITH_TIMEOUT(!form.WorkerRunning(), WorkerTimeoutMs);
    QStringList results = ResultsInView(form);
    QCOMPARE(results.size(), 6);
    QCOMPARE(Sorted(results.mid(0, 3)), tested);
    QCOMPARE(Sorted(results.mid(3)), Results("RM", {"cache.tmp", "old1.tmp", "old2.tmp"}));
    for (const char* name : {"cache.tmp", "old1.tmp", "old2.tmp"}) QVERIFY2(!Exists(FFolder + "/" + name), name);
    for (const char* name : {"new.tmp", "read-long-ago.tmp", "keep.tmp", "notes.txt", "sub"})
      QVERIFY2(Exists(FFolder + "/" + name), name);
    // Deleted for good: nothing went to the trash.
    QVERIFY(!Exists(*FHome / "data/Trash"));
    // The run unselected its row and changed nothing in the pattern.
    QCOMPARE(form.PatternView->selectionModel()->selectedRows().size(), 0);
    QVERIFY(!form.Modified());
    QCOMPARE(ViewLines(*form.LogView).size(), size_t(6));
  }

  void logSavingIsStoredAndTheLogWrittenOnClose() {
    TMainForm& form = *FForm;
    const QString defaultLog = QString::fromStdString(*FHome / "state/Quillmoor/Brisko/Brisko.log");
    bool shown = false;
    WhenModal<TConfigDialog>([&](TConfigDialog* dialog) {
      shown = true;
      [&] {
        QCOMPARE(dialog->windowTitle(), u"オプション"_qs);
        auto* save = Child<QCheckBox>(dialog, "SaveLogChk");
        auto* name = Child<QLineEdit>(dialog, "FilenameEdt");
        auto* linage = Child<QLineEdit>(dialog, "LinageEdt");
        auto* ok = Child<QPushButton>(dialog, "OKButton");
        QVERIFY(save && name && linage && ok);
        QVERIFY(!save->isChecked());
        QCOMPARE(name->text(), defaultLog);
        QCOMPARE(linage->text(), u"256"_qs);
        ClickCheckBox(save);
        QVERIFY(save->isChecked());
        name->clear();
        QVERIFY(!ok->isEnabled());  // saving on needs a file name
        QTest::keyClicks(name, QString::fromStdString(FLog));
        QVERIFY(ok->isEnabled());
      }();
      CloseAfterChecks(dialog, Child<QPushButton>(dialog, "OKButton"));
    });
    form.OptionConfigMnu->trigger();
    QVERIFY(shown);
    QVERIFY(form.SaveLog);
    QCOMPARE(form.LogFile, FLog);
    const std::string settings = *FHome / "config/Quillmoor/Brisko/Brisko.ini";
    QCOMPARE(Text(ReadFile(settings)), Text("[Log]\r\nSave=1\r\nFile=" + FLog + "\r\nLinage=256\r\n"));

    // Nothing was written yet; closing the window appends the session's lines.
    QCOMPARE(Text(ReadFile(FLog)), u"2026/01/01 00:00:00 TE 0x0000 /earlier\r\n"_qs);
    std::string expected = ReadFile(FLog);
    for (const std::string& line : ViewLines(*form.LogView)) expected += line + "\r\n";
    QVERIFY(!form.Modified());  // no save question can wait unanswered
    QVERIFY(form.close());
    QCOMPARE(Text(ReadFile(FLog)), Text(expected));
  }
};

int main(int argc, char** argv) {
  TBriskoApplication app(argc, argv);
  TEndToEndTest test;
  return QTest::qExec(&test, argc, argv);
}
#include "tst_endtoend.moc"
