#include "platform/ui/Dialogs.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QUrl>

namespace parlix::ui {
namespace {

QString q(const std::string& s) { return QString::fromStdString(s); }

struct ButtonSpec {
    QMessageBox::StandardButton button;
    int result;
};

std::vector<ButtonSpec> buttonsOf(int style) {
    switch (style & 7) {
    case vbOKCancel: return {{QMessageBox::Ok, vbOK}, {QMessageBox::Cancel, vbCancel}};
    case vbAbortRetryIgnore:
        return {{QMessageBox::Abort, vbAbort}, {QMessageBox::Retry, vbRetry}, {QMessageBox::Ignore, vbIgnore}};
    case vbYesNoCancel: return {{QMessageBox::Yes, vbYes}, {QMessageBox::No, vbNo}, {QMessageBox::Cancel, vbCancel}};
    case vbYesNo: return {{QMessageBox::Yes, vbYes}, {QMessageBox::No, vbNo}};
    case vbRetryCancel: return {{QMessageBox::Retry, vbRetry}, {QMessageBox::Cancel, vbCancel}};
    default: return {{QMessageBox::Ok, vbOK}};
    }
}

class QtDialogs : public DialogService {
public:
    int msgBox(const std::string& prompt, int buttons, const std::string& title) override {
        QMessageBox box(QApplication::activeWindow());
        box.setWindowTitle(q(title.empty() ? QApplication::applicationName().toStdString() : title));
        box.setText(q(prompt));
        switch (buttons & 0x70) {
        case vbCritical: box.setIcon(QMessageBox::Critical); break;
        case vbQuestion: box.setIcon(QMessageBox::Question); break;
        case vbExclamation: box.setIcon(QMessageBox::Warning); break;
        case vbInformation: box.setIcon(QMessageBox::Information); break;
        default: break;
        }
        const auto specs = buttonsOf(buttons);
        QMessageBox::StandardButtons set;
        for (const auto& s : specs) set |= s.button;
        box.setStandardButtons(set);
        std::size_t def = (buttons & vbDefaultButton3) ? 2 : (buttons & vbDefaultButton2) ? 1 : 0;
        if (def < specs.size()) box.setDefaultButton(specs[def].button);
        const int pressed = box.exec();
        for (const auto& s : specs)
            if (pressed == s.button) return s.result;
        // Closed without a button: Cancel where the box has one, else its first button.
        for (const auto& s : specs)
            if (s.result == vbCancel) return vbCancel;
        return specs.front().result;
    }
    std::string inputBox(const std::string& prompt, const std::string& title, const std::string& def) override {
        bool ok = false;
        QString text = QInputDialog::getText(QApplication::activeWindow(), q(title), q(prompt), QLineEdit::Normal, q(def), &ok);
        return ok ? text.toStdString() : std::string();
    }
    std::string openFileName(const std::string& title, const std::string& filter, const std::string& dir) override {
        return QFileDialog::getOpenFileName(QApplication::activeWindow(), q(title), q(dir), q(filter)).toStdString();
    }
    std::string saveFileName(const std::string& title, const std::string& filter, const std::string& dir) override {
        // The programs ask about an existing file themselves, in their own words.
        return QFileDialog::getSaveFileName(QApplication::activeWindow(), q(title), q(dir), q(filter), nullptr,
                                            QFileDialog::DontConfirmOverwrite)
            .toStdString();
    }
};

QtDialogs& qtDialogs() {
    static QtDialogs instance;
    return instance;
}

DialogService* current = nullptr;

}  // namespace

DialogService& dialogs() { return current ? *current : qtDialogs(); }

DialogService* setDialogs(DialogService* service) {
    DialogService* old = current;
    current = service;
    return old;
}

int firstButton(int buttons) { return buttonsOf(buttons).front().result; }

ScriptedDialogs::ScriptedDialogs() : previous_(setDialogs(this)) {}
ScriptedDialogs::~ScriptedDialogs() { setDialogs(previous_); }

bool ScriptedDialogs::next(std::string& out) {
    if (used_ >= answers_.size()) return false;
    out = answers_[used_++];
    return true;
}

int ScriptedDialogs::msgBox(const std::string& prompt, int buttons, const std::string& title) {
    calls.push_back({"msgBox", prompt, buttons, title});
    std::string a;
    return next(a) ? std::stoi(a) : firstButton(buttons);
}

std::string ScriptedDialogs::inputBox(const std::string& prompt, const std::string& title, const std::string& def) {
    calls.push_back({"inputBox", prompt, 0, title});
    std::string a;
    return next(a) ? a : def;
}

std::string ScriptedDialogs::openFileName(const std::string& title, const std::string&, const std::string&) {
    calls.push_back({"openFileName", "", 0, title});
    std::string a;
    return next(a) ? a : std::string();
}

std::string ScriptedDialogs::saveFileName(const std::string& title, const std::string&, const std::string&) {
    calls.push_back({"saveFileName", "", 0, title});
    std::string a;
    return next(a) ? a : std::string();
}

std::vector<std::string> ScriptedDialogs::prompts() const {
    std::vector<std::string> out;
    for (const auto& c : calls)
        if (c.kind == "msgBox") out.push_back(c.prompt);
    return out;
}

bool openDocument(const std::string& path) {
    const QUrl url = QUrl::fromLocalFile(q(path));
    // xdg-open ends at once with an error (3: no program for it, 4: it failed) when
    // nothing takes the document, an error Qt's own call never sees. It is waited for a
    // moment; one still at work has handed the document over, and is left running.
    const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (opener.isEmpty()) return QDesktopServices::openUrl(url);
    auto* p = new QProcess;
    QObject::connect(p, &QProcess::finished, p, &QObject::deleteLater);
    QObject::connect(p, &QProcess::errorOccurred, p, [p](QProcess::ProcessError e) {
        if (e == QProcess::FailedToStart) p->deleteLater();
    });
    p->start(opener, {url.toString()});
    if (!p->waitForStarted(3000)) return false;
    if (!p->waitForFinished(1000)) return true;
    return p->exitStatus() == QProcess::NormalExit && p->exitCode() == 0;
}

}  // namespace parlix::ui
