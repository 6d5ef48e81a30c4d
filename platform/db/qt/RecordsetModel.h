// parlix::db::RecordsetModel - a Qt table model over an open Recordset, for the
// console's grids.
//
// - Shows every field of the set as a column in the set's field order, so column
//   positions stay those of the record set; hidden columns keep their position
//   (setColumnHidden() records it, hideColumns() applies it to a view).
// - rowCount() is the set's true row count (one count per reload), so the scroll bar
//   spans the whole folder. Cells are read only when the view asks for them: with a
//   live record set only the pages around the rows shown are read from the database
//   and kept in the set's bounded page cache, so a jump to row 900,000 reads one page
//   and memory stays flat however large the folder.
// - The model does not own the record set. After requery(), setSort() or
//   setFilter() on it, call reload(). Once the event loop is idle after a reload, the
//   set reads its order (Recordset::readOrder), so a first jump deep into it is quick.
// - Null shows as an empty cell. Dates stored as "YYYY-MM-DD HH:MM:SS" are shown
//   in the user's locale (short format, or the program's own text given to
//   setDateText()) unless setLocaleDates(false).
// - setCurrentRow() moves the record set to a grid row, so the programs' "current
//   row" code (bookmark, fields of the current row) works on what the user chose.
#pragma once

#include <QAbstractTableModel>
#include <QString>
#include <functional>
#include <set>
#include <vector>

class QTableView;

namespace parlix::db {

class Recordset;

class RecordsetModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit RecordsetModel(QObject* parent = nullptr);

    void setRecordset(Recordset* rs);
    Recordset* recordset() const { return rs_; }
    void reload();

    void setHeader(int column, const QString& caption);
    void resetHeaders();  // back to the field names
    void setColumnHidden(int column, bool hidden);
    bool isColumnHidden(int column) const { return hidden_.count(column) != 0; }
    void hideColumns(QTableView* view) const;
    void setLocaleDates(bool on) { localeDates_ = on; }
    // The text a stored date-time shows as (it gets the stored text).
    void setDateText(std::function<QString(const QString& stored)> text) { dateText_ = std::move(text); }

    bool setCurrentRow(int row);
    // A row changed in the database through this set: show its new values.
    void refreshRow(int row);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    Recordset* rs_ = nullptr;
    int rows_ = 0;
    int columns_ = 0;
    std::vector<QString> headers_;
    std::set<int> hidden_;
    bool localeDates_ = true;
    std::function<QString(const QString&)> dateText_;
};

}  // namespace parlix::db
