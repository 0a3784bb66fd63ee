#include "app/PatternModel.h"

#include <QApplication>
#include <QCoreApplication>
#include <QStyle>
#include <cerrno>

#include "app/ResultCodes.h"

#include "controls/QtText.h"

const char* const PatternColumnCaptions[6] = {
    QT_TRANSLATE_NOOP("TPatternModel", "対象フォルダ"), QT_TRANSLATE_NOOP("TPatternModel", "削除ファイル"),
    QT_TRANSLATE_NOOP("TPatternModel", "除外ファイル"), QT_TRANSLATE_NOOP("TPatternModel", "経過日数"),
    QT_TRANSLATE_NOOP("TPatternModel", "属性"),         QT_TRANSLATE_NOOP("TPatternModel", "オプション")};
const int PatternColumnWidths[6] = {150, 100, 100, 60, 60, 60};

TPatternModel::TPatternModel(QObject* Parent) : QAbstractTableModel(Parent) {}

int TPatternModel::rowCount(const QModelIndex& Parent) const { return Parent.isValid() ? 0 : Count(); }

int TPatternModel::columnCount(const QModelIndex& Parent) const { return Parent.isValid() ? 0 : 6; }

QVariant TPatternModel::data(const QModelIndex& Index, int Role) const {
  if (!Index.isValid() || Index.row() >= Count()) return {};
  const TPatternRow& row = Row(Index.row());
  const bool marked = Index.column() == 0 && row.LocationError != 0;
  if (marked && Role == Qt::DecorationRole) return QApplication::style()->standardIcon(QStyle::SP_MessageBoxWarning);
  if (marked && Role == Qt::ToolTipRole) return LocationErrorText(row.LocationError);
  if (Role != Qt::DisplayRole && Role != Qt::ToolTipRole) return {};
  return BytesToText(row.Texts[size_t(Index.column())]);
}

QString TPatternModel::LocationErrorText(int Error) {
  if (Error == ENOENT) return tr("フォルダが見つかりません");
  return tr("フォルダを読めません: %1").arg(ResultCodeText(Error));
}

void TPatternModel::SetLocationError(int Position, int Error) {
  if (Row(Position).LocationError == Error) return;
  Row(Position).LocationError = Error;
  emit dataChanged(index(Position, 0), index(Position, 0));
}

void TPatternModel::ClearLocationErrors() {
  for (int i = 0; i < Count(); ++i) SetLocationError(i, 0);
}

QVariant TPatternModel::headerData(int Section, Qt::Orientation Orientation, int Role) const {
  if (Orientation != Qt::Horizontal || Role != Qt::DisplayRole || Section < 0 || Section >= 6) return {};
  return QCoreApplication::translate("TPatternModel", PatternColumnCaptions[Section]);
}

int TPatternModel::IndexOf(const TPatternRow* Row) const {
  if (!FPositionsValid) {
    FPositions.clear();
    for (size_t i = 0; i < FRows.size(); ++i) FPositions.emplace(FRows[i].get(), int(i));
    FPositionsValid = true;
  }
  auto found = FPositions.find(Row);
  return found == FPositions.end() ? -1 : found->second;
}

int TPatternModel::AppendRow(const TItemTexts& Texts) {
  InsertRow(Count(), Texts);
  return Count() - 1;
}

void TPatternModel::InsertRow(int Position, const TItemTexts& Texts) {
  beginInsertRows({}, Position, Position);
  FRows.insert(FRows.begin() + Position, std::make_unique<TPatternRow>(TPatternRow{Texts, {}}));
  FPositionsValid = false;
  endInsertRows();
}

void TPatternModel::RemoveRow(int Position) {
  beginRemoveRows({}, Position, Position);
  FRows.erase(FRows.begin() + Position);
  FPositionsValid = false;
  endRemoveRows();
}

void TPatternModel::SetTexts(int Position, const TItemTexts& Texts) {
  Row(Position).Texts = Texts;
  emit dataChanged(index(Position, 0), index(Position, 5));
}

void TPatternModel::Reset(const std::vector<TItemTexts>& Items) {
  beginResetModel();
  FRows.clear();
  for (const TItemTexts& texts : Items) FRows.push_back(std::make_unique<TPatternRow>(TPatternRow{texts, {}}));
  FPositionsValid = false;
  endResetModel();
}

std::vector<TItemTexts> TPatternModel::Items() const {
  std::vector<TItemTexts> items;
  items.reserve(FRows.size());
  for (const auto& row : FRows) items.push_back(row->Texts);
  return items;
}

int TPatternModel::MoveTo(int From, int Target) {
  TItemTexts texts = Row(From).Texts;
  InsertRow(Target, texts);
  int old = Target <= From ? From + 1 : From;
  RemoveRow(old);
  return Target > old ? Target - 1 : Target;
}

int TPatternModel::MoveUp(int From) { return MoveTo(From, From >= 1 ? From - 1 : Count()); }

int TPatternModel::MoveDown(int From) { return MoveTo(From, From < Count() - 1 ? From + 2 : 0); }
