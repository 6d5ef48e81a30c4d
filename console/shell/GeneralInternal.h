// What the main window's files share: its caption, the tree's data role, the grid's
// word-wrap delegate, the tree's images and the trap around each step.
#pragma once

#include <QIcon>
#include <QString>
#include <QStyledItemDelegate>
#include <set>
#include <string>
#include <utility>

#include "console/shell/General.h"
#include "console/shell/core/Trap.h"

namespace parlix::console::general {

inline constexpr const char* kTitle = "Parlix Basic Edition";
inline constexpr int kKindRole = Qt::UserRole + 1;

inline QString q(const std::string& s) { return QString::fromStdString(s); }

// Word wrap per column: the view wraps or not as a whole, so the delegate decides.
class WrapDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    std::set<int> wrap;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        if (wrap.count(index.column())) option->features |= QStyleOptionViewItem::WrapText;
        else option->features &= ~QStyleOptionViewItem::WrapText;
    }
};

// The image of a tree node of this kind.
QIcon imageFor(NodeKind kind);

// Runs one step of a procedure, logging a failure under `location`; false when it failed.
template <class F>
inline bool trapped(const std::string& location, F&& step) {
    return Trap(location, std::forward<F>(step));
}

}  // namespace parlix::console::general
