#pragma once
// A log view's lines: as the worker wrote them (bytes kept), and joined with "\n"
// as the user reads them.
#include <QString>
#include <string>
#include <vector>

#include "app/LogView.h"
#include "controls/QtText.h"

inline QString ViewText(const TLogView& View) {
  QString text;
  for (size_t i = 0; i < View.Lines().Size(); ++i) {
    if (i > 0) text += u'\n';
    text += BytesToText(std::string(View.Lines()[i]));
  }
  return text;
}

inline std::vector<std::string> ViewLines(const TLogView& View) {
  std::vector<std::string> lines;
  for (size_t i = 0; i < View.Lines().Size(); ++i) lines.emplace_back(View.Lines()[i]);
  return lines;
}
