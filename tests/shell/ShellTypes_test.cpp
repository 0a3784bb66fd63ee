#include <gtest/gtest.h>

#include "shell/ShellTypes.h"

TEST(ShellTypes, TrashLocationTextIsOneFixedTextNamingNoFolder) {
  const std::string first = GetSpecialFolderName(CSIDL_BITBUCKET);
  EXPECT_EQ(first, "trash:///");
  EXPECT_EQ(GetSpecialFolderName(CSIDL_BITBUCKET), first);
  EXPECT_EQ(GetSpecialFolderName(5), "");
}

TEST(ShellTypes, TrashEntryNamesComeFromStoredFileAndOriginalPath) {
  TTrashEntry entry;
  entry.InfoPath = "/home/u/.local/share/Trash/info/a=b.2.txt.trashinfo";
  entry.FilesPath = "/home/u/.local/share/Trash/files/a=b.2.txt";
  entry.OriginalPath = "/home/u/docs/a=b.txt";
  EXPECT_EQ(GetParsingName(entry), entry.FilesPath);
  EXPECT_EQ(GetInFolderName(entry), "a=b.txt");

  entry.OriginalPath = "/home/u/old folder/";  // a folder recorded with its trailing "/"
  EXPECT_EQ(GetInFolderName(entry), "old folder");
  entry.OriginalPath = "docs/\xff\xfe.bin";  // relative to a top-directory trash; bytes kept
  EXPECT_EQ(GetInFolderName(entry), "\xff\xfe.bin");
  entry.OriginalPath = "plain";
  EXPECT_EQ(GetInFolderName(entry), "plain");
}

TEST(ShellTypes, UnreadableRecordFallsBackToTheStoredName) {
  TTrashEntry entry;
  entry.FilesPath = "/mnt/usb/.Trash-1000/files/report.pdf";
  EXPECT_EQ(GetInFolderName(entry), "report.pdf");
  entry.OriginalPath = "/";
  EXPECT_EQ(GetInFolderName(entry), "report.pdf");
  EXPECT_EQ(GetInFolderName(TTrashEntry{}), "");
}
