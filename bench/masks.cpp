// Mask matching speed on shapes that would make a naive backtracking matcher
// exponential, and on the everyday ones.
#include <chrono>
#include <cstdio>
#include <string>

#include "platform/TextCodec.h"
#include "shell/FileUtils.h"

namespace {

void Measure(const char* Label, const std::string& Mask, const std::string& Name, int Rounds) {
  const TMask mask(Mask);
  const std::u16string name = Utf8ToUtf16Lossy(Name);
  const bool answer = mask.Matches(name);
  int hits = 0;
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < Rounds; ++i) hits += mask.Matches(name);
  const double ns = std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - start).count();
  std::printf("%-44s name %3zu  mask %3zu  %10.1f ns/match  (%s, %d hits)\n", Label, Name.size(), Mask.size(),
              ns / Rounds, answer ? "match" : "no match", hits);
}

}  // namespace

int main() {
  const std::string a255(255, 'a');
  Measure("*a*a*a*a*a*a*a*a*b vs 255 a", "*a*a*a*a*a*a*a*a*b", a255, 20000);
  std::string thirty;
  for (int i = 0; i < 29; ++i) thirty += "*a";
  Measure("(*a)x29 *b vs 255 a", thirty + "*b", a255, 2000);
  Measure("*?*?*?*?*?*?*?*?*b vs 255 a", "*?*?*?*?*?*?*?*?*b", a255, 20000);
  Measure("*[a-c]*[a-c]*[a-c]*[a-c]*d vs 255 a", "*[a-c]*[a-c]*[a-c]*[a-c]*d", a255, 20000);
  Measure("*.tmp vs report-2024-05-10.tmp", "*.tmp", "report-2024-05-10.tmp", 1000000);
  Measure("*.tmp vs report-2024-05-10.log", "*.tmp", "report-2024-05-10.log", 1000000);
  const TMaskFilter filter("*.tmp;*.bak;~*", "keep*");
  const auto start = std::chrono::steady_clock::now();
  int hits = 0;
  for (int i = 0; i < 1000000; ++i) hits += filter.Matches(std::string_view("file-000123.tmp"));
  const double ns = std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - start).count();
  std::printf("%-44s %10.1f ns/name (UTF-8 decode included, %d hits)\n", "filter *.tmp;*.bak;~* minus keep*",
              ns / 1000000, hits);
}
