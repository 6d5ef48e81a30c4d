#include "console/shell/frmSplash.h"

#include <QEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QTimer>
#include <QVBoxLayout>

#include "console/shell/Artwork.h"
#include "console/shell/Windows.h"
#include "console/shell/core/Error.h"

namespace parlix::console {

frmSplash::frmSplash(QWidget* parent) : QDialog(parent, Qt::SplashScreen | Qt::FramelessWindowHint) {
    setObjectName("frmSplash");
    setModal(true);

    Frame1 = new QFrame(this);
    Frame1->setObjectName("Frame1");
    Frame1->setFrameShape(QFrame::Box);
    Frame1->setFrameShadow(QFrame::Raised);
    Frame1->setStyleSheet("#Frame1 { background: white; border: 2px solid #0b3a75; }");
    Frame1->installEventFilter(this);

    Image2 = new QLabel(Frame1);
    Image2->setObjectName("Image2");
    Image2->setPixmap(ParlixArtwork(128));

    lblCompanyProduct = new QLabel(Frame1);
    lblCompanyProduct->setObjectName("lblCompanyProduct");
    QFont big = lblCompanyProduct->font();
    big.setPointSize(big.pointSize() + 10);
    big.setBold(true);
    lblCompanyProduct->setFont(big);
    lblCompanyProduct->setStyleSheet("color: #0b3a75;");

    lblVersion = new QLabel(Frame1);
    lblVersion->setObjectName("lblVersion");
    QFont mid = lblVersion->font();
    mid.setPointSize(mid.pointSize() + 2);
    lblVersion->setFont(mid);

    lblCopyright = new QLabel(Frame1);
    lblCopyright->setObjectName("lblCopyright");
    lblCopyright->setStyleSheet("color: #444;");

    auto* text = new QVBoxLayout;
    text->addStretch();
    text->addWidget(lblCompanyProduct);
    text->addWidget(lblVersion);
    text->addSpacing(24);
    text->addWidget(lblCopyright);
    text->addStretch();
    auto* row = new QHBoxLayout(Frame1);
    row->setContentsMargins(28, 28, 36, 28);
    row->setSpacing(28);
    row->addWidget(Image2, 0, Qt::AlignVCenter);
    row->addLayout(text, 1);

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(Frame1);

    TmrCount = new QTimer(this);
    TmrCount->setObjectName("TmrCount");
    TmrCount->setInterval(7000);
    connect(TmrCount, &QTimer::timeout, this, &frmSplash::TmrCount_Timer);
    Form_Load();
}

frmSplash* frmSplash::instance() {
    static frmSplash* window = new frmSplash;
    return window;
}

void frmSplash::Form_Load() {
    lblCompanyProduct->setText("Parlix Basic Edition");
    lblVersion->setText("Version " PARLIX_CONSOLE_VERSION);
    lblCopyright->setText("Copyright (C) 2003-2026, all rights reserved.\nThe Parlix Messaging Team");
}

// The timer runs from each showing, so a splash shown again waits its full 7 s.
void frmSplash::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    TmrCount->start();
}

void frmSplash::unload() {
    TmrCount->stop();
    accept();
}

void frmSplash::Frame1_Click() { unload(); }
void frmSplash::Form_Click() { unload(); }
void frmSplash::Form_KeyPress(int) { unload(); }
void frmSplash::TmrCount_Timer() { unload(); }

void frmSplash::mousePressEvent(QMouseEvent*) { Form_Click(); }
void frmSplash::keyPressEvent(QKeyEvent* e) { Form_KeyPress(e->key()); }

bool frmSplash::eventFilter(QObject* watched, QEvent* e) {
    if (watched == Frame1 && e->type() == QEvent::MouseButtonPress) {
        Frame1_Click();
        return true;
    }
    return QDialog::eventFilter(watched, e);
}

void ShowSplash() {
    try {
        frmSplash::instance()->exec();
    } catch (...) {
        LogCurrentException("Main1-Main");
    }
}

}  // namespace parlix::console
