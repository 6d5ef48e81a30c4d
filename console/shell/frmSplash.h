// frmSplash - shown modally at start-up; closes after 7 s, on a click or a key press.
#pragma once

#include <QDialog>

class QFrame;
class QLabel;
class QTimer;

namespace parlix::console {

class frmSplash : public QDialog {
    Q_OBJECT
public:
    explicit frmSplash(QWidget* parent = nullptr);
    static frmSplash* instance();

    // Closing events: each closes the window and stops the timer.
    void Frame1_Click();
    void Form_Click();
    void Form_KeyPress(int key);
    void TmrCount_Timer();

    QFrame* Frame1 = nullptr;
    QLabel *Image2 = nullptr, *lblCompanyProduct = nullptr, *lblVersion = nullptr, *lblCopyright = nullptr;
    QTimer* TmrCount = nullptr;

protected:
    void showEvent(QShowEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    void Form_Load();
    void unload();
};

}  // namespace parlix::console
