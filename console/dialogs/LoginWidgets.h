// Widgets the two login windows share: password boxes that show "*" for every
// character, and the OK / Cancel row.
#pragma once

#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>

namespace parlix::console {

inline QLineEdit* NewPasswordBox(QWidget* parent, const char* name) {
    auto* box = new QLineEdit(parent);
    box->setObjectName(name);
    box->setEchoMode(QLineEdit::Password);
    box->setStyleSheet("lineedit-password-character: 42;");
    return box;
}

inline QHBoxLayout* NewOkCancelRow(QWidget* parent, QPushButton*& ok, QPushButton*& cancel) {
    ok = new QPushButton("OK", parent);
    ok->setObjectName("cmdOK");
    ok->setDefault(true);
    cancel = new QPushButton("Cancel", parent);
    cancel->setObjectName("cmdCancel");
    auto* row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(ok);
    row->addWidget(cancel);
    return row;
}

}  // namespace parlix::console
