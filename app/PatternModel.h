#pragma once
// The rows of the pattern list: each owns its six texts and its reservation list.
// Rows live on the heap, so a row's address stays valid while other rows come and
// go; the deletion worker holds rows by that address.
#include <QAbstractTableModel>
#include <memory>
#include <unordered_map>
#include <vector>

#include "engine/DeletionItem.h"
#include "engine/RemoveHost.h"

struct TPatternRow {
  TItemTexts Texts;
  TReservation Reservation;  // filled by the worker's collect pass, never saved
  int LocationError = 0;     // why the last Test or Run could not list the Location
};

class TPatternModel : public QAbstractTableModel {
  Q_OBJECT
public:
  explicit TPatternModel(QObject* Parent = nullptr);

  int rowCount(const QModelIndex& Parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& Parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& Index, int Role = Qt::DisplayRole) const override;
  QVariant headerData(int Section, Qt::Orientation Orientation, int Role = Qt::DisplayRole) const override;

  int Count() const { return int(FRows.size()); }
  TPatternRow& Row(int Position) { return *FRows[size_t(Position)]; }
  const TPatternRow& Row(int Position) const { return *FRows[size_t(Position)]; }
  // The position of a row, or -1 when it is not (or no longer) in the list.
  int IndexOf(const TPatternRow* Row) const;

  // Every new row starts with an empty reservation list.
  int AppendRow(const TItemTexts& Texts);
  void InsertRow(int Position, const TItemTexts& Texts);
  void RemoveRow(int Position);
  void SetTexts(int Position, const TItemTexts& Texts);
  // The mark of a Location the last Test or Run could not list: a warning icon in
  // the Location column with the reason as tool tip. 0 takes the mark away.
  void SetLocationError(int Position, int Error);
  void ClearLocationErrors();
  static QString LocationErrorText(int Error);

  // Replaces every row.
  void Reset(const std::vector<TItemTexts>& Items);
  std::vector<TItemTexts> Items() const;

  // Moves the row at From one place up or down, wrapping around at the ends, as a
  // copy of its texts: the row at the new place has a reservation list of its own.
  // Answers the new position.
  int MoveUp(int From);
  int MoveDown(int From);

private:
  std::vector<std::unique_ptr<TPatternRow>> FRows;
  // Positions by address, rebuilt after the list changed: the worker asks for the
  // position of every row it walks, which would otherwise cost a scan each time.
  mutable std::unordered_map<const TPatternRow*, int> FPositions;
  mutable bool FPositionsValid = false;
  int MoveTo(int From, int Target);
};

// Column captions and design widths (pixels at 96 dpi with the design font).
extern const char* const PatternColumnCaptions[6];
extern const int PatternColumnWidths[6];
