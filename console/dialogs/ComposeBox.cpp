#include "console/dialogs/ComposeBox.h"

#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QTextCursor>

namespace parlix::console {

ComposeBox::ComposeBox(QWidget* parent) : QPlainTextEdit(parent) {}

int ComposeBox::room() const {
    const QTextCursor c = textCursor();
    const int selected = c.selectionEnd() - c.selectionStart();
    return maxLength_ - (static_cast<int>(toPlainText().size()) - selected);
}

void ComposeBox::keyPressEvent(QKeyEvent* e) {
    const QString t = e->text();
    const bool inserts = !t.isEmpty() && (t.at(0).isPrint() || t.at(0) == QChar('\r') || t.at(0) == QChar('\t'));
    if (inserts && !(e->modifiers() & (Qt::ControlModifier | Qt::AltModifier)) && room() < t.size()) {
        e->accept();  // at the limit: the key does nothing
        return;
    }
    QPlainTextEdit::keyPressEvent(e);
}

void ComposeBox::insertFromMimeData(const QMimeData* source) {
    if (!source || !source->hasText()) return;
    QString t = source->text();
    const int fits = std::max(0, room());
    if (t.size() > fits) {
        t.truncate(fits);
        // Never leave half of a surrogate pair behind.
        if (!t.isEmpty() && t.back().isHighSurrogate()) t.chop(1);
    }
    if (!t.isEmpty()) insertPlainText(t);
}

void ComposeBox::inputMethodEvent(QInputMethodEvent* e) {
    if (!e->commitString().isEmpty() && room() < e->commitString().size()) {
        QInputMethodEvent cut(e->preeditString(), e->attributes());
        QString t = e->commitString().left(std::max(0, room()));
        if (!t.isEmpty() && t.back().isHighSurrogate()) t.chop(1);
        cut.setCommitString(t, e->replacementStart(), e->replacementLength());
        QPlainTextEdit::inputMethodEvent(&cut);
        return;
    }
    QPlainTextEdit::inputMethodEvent(e);
}

}  // namespace parlix::console
