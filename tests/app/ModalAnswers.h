#pragma once
// Answering the modal boxes and dialogs that a command opens, from the test itself.
#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QTest>
#include <QTimer>
#include <functional>

// Runs Action on the next modal widget of type T once it is shown. Gives up after
// about 20 s, so that a box that never comes fails the test instead of hanging it.
template <typename T>
void WhenModal(std::function<void(T*)> Action, int TriesLeft = 2000) {
  QTimer::singleShot(10, [Action, TriesLeft] {
    T* widget = qobject_cast<T*>(QApplication::activeModalWidget());
    if (!widget) {
      if (TriesLeft > 0) WhenModal<T>(Action, TriesLeft - 1);
      return;
    }
    Action(widget);
  });
}

// Types a full name into a file dialog, as a user would: selectFile() goes through
// the folder model, which loads on a thread of its own and may come late.
inline void TypeFileName(QFileDialog* Dialog, const QString& Name) {
  QFileInfo info(Name);
  Dialog->setDirectory(info.absolutePath());
  auto* edit = Dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
  QVERIFY(edit);
  edit->setText(info.fileName());
}
