// The composer's message box: a plain-text box with a maximum length in UTF-16
// units that stops typing, pasting, dropping and input-method text at the limit.
// Text set by the program (templates, reply, resend) is not cut: the composer's
// counters show what is over and Send refuses it.
#pragma once

#include <QPlainTextEdit>

namespace parlix::console {

class ComposeBox : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit ComposeBox(QWidget* parent = nullptr);

    void setMaxLength(int units) { maxLength_ = units; }
    int maxLength() const { return maxLength_; }
    QString text() const { return toPlainText(); }

protected:
    void keyPressEvent(QKeyEvent* e) override;
    void insertFromMimeData(const QMimeData* source) override;
    void inputMethodEvent(QInputMethodEvent* e) override;

private:
    // How many units may still go in when the selection is replaced.
    int room() const;

    int maxLength_ = 1560;
};

}  // namespace parlix::console
