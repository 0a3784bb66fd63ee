#include "app/Help.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDialog>
#include <QFile>
#include <QFileInfo>
#include <QFontDatabase>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProcess>
#include <QScreen>
#include <QUrl>
#include <QVBoxLayout>

namespace {

const QString HomePage = u"https://github.com/quillmoor/brisko"_qs;

// xdg-open hands any address on and succeeds even when nothing takes it, so the
// handler is asked for first.
bool DesktopOpensManualPages() {
  QProcess query;
  query.start(u"xdg-mime"_qs, {u"query"_qs, u"default"_qs, u"x-scheme-handler/man"_qs});
  if (!query.waitForFinished(3000)) {
    query.kill();
    query.waitForFinished();
    return false;
  }
  return query.exitStatus() == QProcess::NormalExit && query.exitCode() == 0 &&
         !query.readAllStandardOutput().trimmed().isEmpty();
}

// The manual as plain text: installed beside the other documents, or, in a build
// folder, where the build made it.
QString ManualTextFile() {
  const QString programFolder = QCoreApplication::applicationDirPath();
  for (const QString& candidate :
       {programFolder + u"/../share/doc/brisko/manual.txt"_qs, programFolder + u"/dist/manual.txt"_qs}) {
    if (QFileInfo(candidate).isFile()) return QFileInfo(candidate).canonicalFilePath();
  }
  return {};
}

void ShowManualText(QWidget* Parent, const QString& FileName) {
  QFile file(FileName);
  if (!file.open(QIODevice::ReadOnly)) return;
  auto* window = new QDialog(Parent);
  window->setAttribute(Qt::WA_DeleteOnClose);
  window->setWindowTitle(QCoreApplication::translate("THelp", "Brisko マニュアル"));
  auto* text = new QPlainTextEdit(window);
  text->setReadOnly(true);
  text->setLineWrapMode(QPlainTextEdit::NoWrap);
  text->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  text->setPlainText(QString::fromUtf8(file.readAll()));
  auto* layout = new QVBoxLayout(window);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(text);
  // 80 columns of the page and its margins, as far as the screen allows.
  const QFontMetrics metrics(text->font());
  const QSize wanted(metrics.horizontalAdvance(QString(84, u'M')) + 24, metrics.lineSpacing() * 40);
  window->resize(wanted.boundedTo(window->screen()->availableGeometry().size() * 0.9));
  window->show();
}

}  // namespace

void ShowManual(QWidget* Parent) {
  if (DesktopOpensManualPages() && QDesktopServices::openUrl(QUrl(u"man:brisko"_qs))) return;
  const QString text = ManualTextFile();
  if (!text.isEmpty()) return ShowManualText(Parent, text);
  QMessageBox::information(Parent, QCoreApplication::translate("THelp", "Brisko マニュアル"),
                           QCoreApplication::translate("THelp", "マニュアルが見つかりません。端末で man brisko を実行してください。"));
}

void ShowAbout(QWidget* Parent) {
  const QString text = QCoreApplication::translate("THelp", "<h3>Brisko %1</h3>"
                                 "<p>ファイルを規則に従って削除します。ウィンドウから、またはスケジュールで無人で。</p>"
                                 "<p>MIT ライセンスのフリーソフトウェアです。</p>"
                                 "<p><a href=\"%2\">%2</a></p>")
                           .arg(QStringLiteral(BRISKO_VERSION), HomePage);
  QMessageBox::about(Parent, QCoreApplication::translate("THelp", "Brisko について"), text);
}
