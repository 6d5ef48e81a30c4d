// Notification-area icon. Where the desktop has no tray the icon is never shown and
// available() is false, so callers keep their window reachable instead of hiding it.
#pragma once

#include <QIcon>
#include <QObject>
#include <QString>

class QMenu;
class QSystemTrayIcon;

namespace parlix::ui {

class TrayIcon : public QObject {
    Q_OBJECT
public:
    explicit TrayIcon(QObject* parent = nullptr);
    ~TrayIcon() override;

    static bool available();

    void setIcon(const QIcon& icon);
    void setToolTip(const QString& tip);
    QString toolTip() const { return tip_; }
    // The menu shown on a right click (not owned).
    void setContextMenu(QMenu* menu);
    // Adds the icon to the tray; false (and nothing shown) where there is no tray.
    bool add();
    void remove();
    bool isShown() const { return shown_; }

signals:
    void doubleClicked();
    void rightClicked();

private:
    QSystemTrayIcon* icon_ = nullptr;
    QMenu* menu_ = nullptr;
    QIcon image_;
    QString tip_;
    bool shown_ = false;
};

}  // namespace parlix::ui
