#include "platform/db/qt/RecordsetModel.h"

#include <QDateTime>
#include <QLocale>
#include <QTableView>
#include <QTimer>
#include <algorithm>

#include "platform/db/Recordset.h"

namespace parlix::db {

RecordsetModel::RecordsetModel(QObject* parent) : QAbstractTableModel(parent) {}

void RecordsetModel::setRecordset(Recordset* rs) {
    rs_ = rs;
    reload();
}

void RecordsetModel::reload() {
    beginResetModel();
    rows_ = 0;
    columns_ = 0;
    try {
        if (rs_ && rs_->isOpen()) {
            columns_ = rs_->fieldCount();
            // Views show at most an int's worth of rows; the set itself counts in 64 bits.
            rows_ = static_cast<int>(std::min<std::int64_t>(rs_->recordCount(), INT32_MAX));
        }
    } catch (const std::exception&) {
        columns_ = 0;
        rows_ = 0;
    }
    if (static_cast<int>(headers_.size()) != columns_) resetHeaders();
    endResetModel();
    // Once the first screen is shown, the set reads its order, so that the first jump
    // deep into it does not wait for that.
    QTimer::singleShot(0, this, [this, rs = rs_] {
        if (rs_ != rs || !rs_) return;
        try {
            if (rs_->isOpen()) rs_->readOrder();
        } catch (const std::exception&) {
            // The next page read tries again and reports it where it is wanted.
        }
    });
}

void RecordsetModel::resetHeaders() {
    headers_.clear();
    for (int c = 0; c < columns_; ++c) headers_.push_back(QString::fromStdString(rs_->fieldName(c)));
    if (columns_ > 0) emit headerDataChanged(Qt::Horizontal, 0, columns_ - 1);
}

void RecordsetModel::setHeader(int column, const QString& caption) {
    if (column < 0 || column >= static_cast<int>(headers_.size())) return;
    headers_[static_cast<size_t>(column)] = caption;
    emit headerDataChanged(Qt::Horizontal, column, column);
}

void RecordsetModel::setColumnHidden(int column, bool hidden) {
    if (hidden) hidden_.insert(column);
    else hidden_.erase(column);
}

void RecordsetModel::hideColumns(QTableView* view) const {
    for (int c = 0; c < columns_; ++c) view->setColumnHidden(c, isColumnHidden(c));
}

bool RecordsetModel::setCurrentRow(int row) {
    if (!rs_ || row < 0 || row >= rows_) return false;
    try {
        rs_->move(row);
        return !rs_->eof();
    } catch (const std::exception&) {
        return false;
    }
}

void RecordsetModel::refreshRow(int row) {
    if (row < 0 || row >= rowCount() || columns_ == 0) return;
    emit dataChanged(index(row, 0), index(row, columns_ - 1));
}

int RecordsetModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : rows_; }

int RecordsetModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : columns_; }

QVariant RecordsetModel::data(const QModelIndex& index, int role) const {
    if (!rs_ || !index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole)) return {};
    Value v;
    try {
        v = rs_->valueAt(index.row(), index.column());
    } catch (const std::exception&) {
        return {};  // never let a database error cross into Qt's painting
    }
    if (v.isNull()) return {};
    if (v.type() == Value::Type::Integer) return QVariant::fromValue<qlonglong>(v.asInt());
    if (v.type() == Value::Type::Real) return v.asDouble();
    QString text = QString::fromStdString(v.asText());
    if (localeDates_ && role == Qt::DisplayRole && text.size() == 19 && text[4] == '-' && text[13] == ':') {
        if (dateText_) return dateText_(text);
        QDateTime dt = QDateTime::fromString(text, QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        if (dt.isValid()) return QLocale().toString(dt, QLocale::ShortFormat);
    }
    return text;
}

QVariant RecordsetModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole) return {};
    if (orientation == Qt::Vertical) return section + 1;
    if (section < 0 || section >= static_cast<int>(headers_.size())) return {};
    return headers_[static_cast<size_t>(section)];
}

Qt::ItemFlags RecordsetModel::flags(const QModelIndex& index) const {
    return index.isValid() ? Qt::ItemIsSelectable | Qt::ItemIsEnabled : Qt::NoItemFlags;
}

}  // namespace parlix::db
