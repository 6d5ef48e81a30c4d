#include "platform/ui/TrayIcon.h"

#include <QCursor>
#include <QMenu>
#include <QSystemTrayIcon>

namespace parlix::ui {

TrayIcon::TrayIcon(QObject* parent) : QObject(parent) {}

TrayIcon::~TrayIcon() { remove(); }

bool TrayIcon::available() { return QSystemTrayIcon::isSystemTrayAvailable(); }

void TrayIcon::setIcon(const QIcon& icon) {
    image_ = icon;
    if (icon_) icon_->setIcon(icon);
}

void TrayIcon::setToolTip(const QString& tip) {
    tip_ = tip;
    if (icon_) icon_->setToolTip(tip);
}

void TrayIcon::setContextMenu(QMenu* menu) { menu_ = menu; }

bool TrayIcon::add() {
    if (shown_) return true;
    if (!available()) return false;
    if (!icon_) {
        icon_ = new QSystemTrayIcon(this);
        connect(icon_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason why) {
            if (why == QSystemTrayIcon::DoubleClick) emit doubleClicked();
            if (why == QSystemTrayIcon::Context) {
                emit rightClicked();
                if (menu_) menu_->popup(QCursor::pos());
            }
        });
    }
    icon_->setIcon(image_);
    icon_->setToolTip(tip_);
    icon_->show();
    shown_ = true;
    return true;
}

void TrayIcon::remove() {
    if (icon_) icon_->hide();
    shown_ = false;
}

}  // namespace parlix::ui
