// The language is chosen from the environment, and in English no Japanese text is
// left in the window, its dialogs or the errors.
#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QTest>
#include <QTreeView>
#include <map>

#include "app/BRISK_Main.h"
#include "app/TaskbarProgress.h"
#include "app/Translations.h"
#include "controls/QtText.h"
#include "controls/RefCtrls.h"
#include "dialogs/BRISK_Config.h"
#include "dialogs/BRISK_Edit.h"
#include "shell/ShellTypes.h"
#include "shell/ShellUtils.h"

namespace {

// Kana, CJK punctuation and ideographs, full-width forms.
bool HasJapanese(const QString& Text) {
  return std::any_of(Text.begin(), Text.end(), [](QChar C) { return C.unicode() >= 0x3000; });
}

// Every text a user can see on Root and its children: captions, titles, items,
// column headers, and the hints (tool tips, status tips).
QStringList VisibleTexts(QWidget* Root) {
  QStringList texts;
  QList<QWidget*> widgets = Root->findChildren<QWidget*>();
  widgets.prepend(Root);
  for (QWidget* w : widgets) {
    texts << w->windowTitle() << w->toolTip() << w->statusTip() << w->whatsThis();
    if (auto* button = qobject_cast<QAbstractButton*>(w)) texts << button->text();
    if (auto* label = qobject_cast<QLabel*>(w)) texts << label->text();
    if (auto* group = qobject_cast<QGroupBox*>(w)) texts << group->title();
    if (auto* menu = qobject_cast<QMenu*>(w)) texts << menu->title();
    if (auto* edit = qobject_cast<QLineEdit*>(w)) texts << edit->placeholderText();
    if (auto* box = qobject_cast<QComboBox*>(w))
      for (int i = 0; i < box->count(); ++i) texts << box->itemText(i);
    if (auto* header = qobject_cast<QHeaderView*>(w); header && header->model())
      for (int i = 0; i < header->count(); ++i) texts << header->model()->headerData(i, header->orientation()).toString();
  }
  for (QAction* action : Root->findChildren<QAction*>()) texts << action->text() << action->toolTip() << action->statusTip();
  return texts;
}

QStringList Japanese(const QStringList& Texts) {
  QStringList found;
  for (const QString& text : Texts)
    if (HasJapanese(text)) found << text;
  return found;
}

}  // namespace

class TTranslationsTest : public QObject {
  Q_OBJECT

private slots:
  void languageFollowsTheEnvironmentInTheUsualOrder() {
    struct TCase {
      std::map<std::string, std::string> Env;
      TLanguage Expected;
    };
    const TCase cases[] = {
        {{}, TLanguage::English},
        {{{"LANG", "ja_JP.UTF-8"}}, TLanguage::Japanese},
        {{{"LANG", "ja"}}, TLanguage::Japanese},
        {{{"LANG", "jam_JM.UTF-8"}}, TLanguage::English},
        {{{"LANG", "en_US.UTF-8"}}, TLanguage::English},
        {{{"LANG", "de_DE.UTF-8"}}, TLanguage::English},
        {{{"LANG", "C"}}, TLanguage::English},
        // LC_ALL before LC_MESSAGES before LANG.
        {{{"LC_ALL", "C.UTF-8"}, {"LANG", "ja_JP.UTF-8"}}, TLanguage::English},
        {{{"LC_MESSAGES", "ja_JP.UTF-8"}, {"LANG", "en_US.UTF-8"}}, TLanguage::Japanese},
        {{{"LC_ALL", "ja_JP.UTF-8"}, {"LC_MESSAGES", "en_US.UTF-8"}}, TLanguage::Japanese},
        // LANGUAGE before all of them: its first language we have decides...
        {{{"LANGUAGE", "ja"}, {"LANG", "en_US.UTF-8"}}, TLanguage::Japanese},
        {{{"LANGUAGE", "fr:ja:en"}, {"LANG", "en_US.UTF-8"}}, TLanguage::Japanese},
        {{{"LANGUAGE", "en_GB:ja"}, {"LC_ALL", "ja_JP.UTF-8"}}, TLanguage::English},
        {{{"LANGUAGE", "fr"}, {"LANG", "ja_JP.UTF-8"}}, TLanguage::English},
        // ...but not in the C locale.
        {{{"LANGUAGE", "ja"}, {"LC_ALL", "C"}}, TLanguage::English},
        {{{"LANGUAGE", "ja"}}, TLanguage::English},
    };
    for (const TCase& c : cases) {
      const TLanguage got = ChooseLanguage([&c](const char* Name) {
        auto it = c.Env.find(Name);
        return it == c.Env.end() ? nullptr : it->second.c_str();
      });
      QString env;
      for (const auto& [name, value] : c.Env) env += QString::fromStdString(name + "=" + value + " ");
      QVERIFY2(got == c.Expected, qPrintable(env));
    }
  }

  // A text left out of tr(), or one without its English in translations/brisko_en.ts.
  void inEnglishTheWindowAndDialogsShowNoJapanese() {
    TTranslations english(TLanguage::English);
    english.Install();
    TMainFormServices services;
    services.ProgressFactory = [] { return std::unique_ptr<TTaskbarProgress>(); };
    TMainForm form(std::vector<std::string>{}, services);
    auto* editor = new TEditDialog(&form);
    auto* options = new TConfigDialog(&form);
    form.SetDialogs(editor, options);
    form.ShowInitial();
    // An empty item shows the field faults; the trash adds its own date.
    TItemTexts item{};
    editor->SetItem(&item);
    editor->show();
    QStringList texts = VisibleTexts(&form) + VisibleTexts(editor);
    editor->LocationEdt->setText(BytesToText(GetSpecialFolderName(CSIDL_BITBUCKET)));
    QCOMPARE(editor->BaseDateCbx->count(), 4);
    texts += VisibleTexts(editor);
    editor->hide();
    options->show();
    texts += VisibleTexts(options);
    options->hide();
    QVERIFY(texts.contains(u"&File"_qs));
    QVERIFY2(Japanese(texts).isEmpty(), qPrintable(Japanese(texts).join(u'\n')));
  }

  // Every error in English, its arguments kept, in the window and on standard error alike.
  void inEnglishEveryErrorIsWordedWithItsArguments() {
    TTranslations english(TLanguage::English);
    english.Install();
    const TErrorWording word = english.Wording();
    for (int id = 0; id < eiCount; ++id) {
      const EBriskoError error(TErrorId(id), {"FIRST", "SECOND"});
      const QString text = ErrorText(error);
      QVERIFY2(!HasJapanese(text), qPrintable(text));
      QCOMPARE(QString::fromStdString(word(error)), text);
      const QString wording = QString::fromUtf8(ErrorWording(TErrorId(id)));
      QCOMPARE(text.contains(u"FIRST"_qs), wording.contains(u"%1"_qs));
      QCOMPARE(text.contains(u"SECOND"_qs), wording.contains(u"%2"_qs));
    }
    // In Japanese the text is the one what() gives.
    const EBriskoError error(eiBadLapsedDays, {"A+x"});
    QCOMPARE(TTranslations(TLanguage::Japanese).Wording()(error), std::string(error.what()));
  }
};

QTEST_MAIN(TTranslationsTest)
#include "tst_translations.moc"
