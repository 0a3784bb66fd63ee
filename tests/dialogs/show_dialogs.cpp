// A manual look at the custom controls and the two dialogs (not part of the build):
//   show_dialogs controls|item|trash|options
// shows one of them filled with sample data, for a screenshot or a try by hand.
#include "controls/NumEdits.h"
#include "controls/RefCtrls.h"
#include "dialogs/BRISK_Config.h"
#include "dialogs/BRISK_Edit.h"
#include "shell/ShellTypes.h"

#include <QApplication>
#include <QGridLayout>
#include <QLabel>

#include <cstdio>

int main(int argc, char** argv) {
  QApplication App(argc, argv);
  const QString Which = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("controls");
  if (Which == "controls") {
    QWidget Window;
    Window.setWindowTitle("RefCtrls / NumEdits");
    auto* Grid = new QGridLayout(&Window);
    auto* Folder = new TRefDirectoryEdit(&Window);
    Folder->setText("/home/user/Downloads/old");
    Folder->SetTextTip(true);
    auto* File = new TRefFileEdit(&Window);
    File->setText("/home/user/.local/state/Quillmoor/Brisko/Brisko.log");
    File->SetTextTip(true);
    auto* Days = new TUpDownEdit(&Window);
    Days->UpDown()->SetMax(32767);
    Days->SetValue(30);
    Days->setFixedWidth(60);
    Grid->addWidget(new QLabel("Folder:"), 0, 0);
    Grid->addItem(Folder->NewLayoutItem(), 0, 1);
    Grid->addWidget(new QLabel("File:"), 1, 0);
    Grid->addItem(File->NewLayoutItem(), 1, 1);
    Grid->addWidget(new QLabel("Days:"), 2, 0);
    auto* Row = new QHBoxLayout;
    Row->addItem(Days->NewLayoutItem());
    Row->addStretch(1);
    Grid->addLayout(Row, 2, 1);
    Window.resize(360, 110);
    Window.move(20, 20);
    Window.show();
    return App.exec();
  }
  if (Which == "item" || Which == "trash") {
    TItemTexts Texts{"/home/user/Downloads", "*.tmp;*.bak", "keep*", "M+30", "HR", "TIU"};
    if (Which == "trash") Texts = {GetSpecialFolderName(CSIDL_BITBUCKET), "*", "", "D+14", "", ""};
    TEditDialog Dialog;
    Dialog.move(20, 20);
    const bool Ok = Dialog.EditItem(nullptr, Texts);
    for (const std::string& Text : Texts) std::printf("%s|", Text.c_str());
    std::printf(" %s\n", Ok ? "OK" : "cancel");
    return 0;
  }
  TLogSettings Settings{true, "/home/user/.local/state/Quillmoor/Brisko/Brisko.log", 256};
  TConfigDialog Dialog;
  Dialog.move(20, 20);
  const bool Ok = Dialog.EditOptions(nullptr, Settings);
  std::printf("%d %s %d %s\n", Settings.SaveLog, Settings.LogFile.c_str(), Settings.LogLinage, Ok ? "OK" : "cancel");
  return 0;
}
