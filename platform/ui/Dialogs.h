// Message, input and file boxes. Every window asks through the current DialogService,
// so tests can answer the boxes from a script instead of a person.
#pragma once

#include <string>
#include <vector>

namespace parlix::ui {

// Button sets, icons and default button, added together as the `buttons` argument.
enum MsgBoxStyle : int {
    vbOKOnly = 0,
    vbOKCancel = 1,
    vbAbortRetryIgnore = 2,
    vbYesNoCancel = 3,
    vbYesNo = 4,
    vbRetryCancel = 5,
    vbCritical = 16,
    vbQuestion = 32,
    vbExclamation = 48,
    vbInformation = 64,
    vbDefaultButton2 = 256,
    vbDefaultButton3 = 512,
};

// The answer of a message box.
enum MsgBoxResult : int {
    vbOK = 1,
    vbCancel = 2,
    vbAbort = 3,
    vbRetry = 4,
    vbIgnore = 5,
    vbYes = 6,
    vbNo = 7,
};

class DialogService {
public:
    virtual ~DialogService() = default;
    // Shows `prompt` with the buttons and icon of `buttons`; returns the button pressed
    // (closing the box counts as Cancel, or as the only button).
    virtual int msgBox(const std::string& prompt, int buttons, const std::string& title) = 0;
    // Asks for a line of text; Cancel gives the empty text.
    virtual std::string inputBox(const std::string& prompt, const std::string& title, const std::string& def) = 0;
    // Asks for a file to open or to save; the empty text when the user cancels. The save
    // box does not ask about overwriting an existing file: its caller does.
    // `filter` is in Qt's form, e.g. "Excel Workbook (*.xls *.xlsx)".
    virtual std::string openFileName(const std::string& title, const std::string& filter, const std::string& dir) = 0;
    virtual std::string saveFileName(const std::string& title, const std::string& filter, const std::string& dir) = 0;
};

// The service in use: the Qt boxes unless a test installed another.
DialogService& dialogs();
// Installs `service` (nullptr: the Qt boxes again); returns the one it replaces.
DialogService* setDialogs(DialogService* service);

inline int msgBox(const std::string& prompt, int buttons = vbOKOnly, const std::string& title = "") {
    return dialogs().msgBox(prompt, buttons, title);
}
inline std::string inputBox(const std::string& prompt, const std::string& title = "", const std::string& def = "") {
    return dialogs().inputBox(prompt, title, def);
}

// The answer a box gives when nobody presses a button: its first button.
int firstButton(int buttons);

// Answers the boxes from a script and records what was asked. Boxes beyond the script
// get their first button (message box), `def` (input box) or "" (file boxes).
class ScriptedDialogs : public DialogService {
public:
    struct Call {
        std::string kind;  // "msgBox", "inputBox", "openFileName", "saveFileName"
        std::string prompt;
        int buttons = 0;
        std::string title;
    };

    ScriptedDialogs();  // installs itself
    ~ScriptedDialogs() override;  // puts the previous service back
    ScriptedDialogs(const ScriptedDialogs&) = delete;
    ScriptedDialogs& operator=(const ScriptedDialogs&) = delete;

    void answer(int msgBoxResult) { answers_.push_back(std::to_string(msgBoxResult)); }
    void answerText(const std::string& text) { answers_.push_back(text); }

    int msgBox(const std::string& prompt, int buttons, const std::string& title) override;
    std::string inputBox(const std::string& prompt, const std::string& title, const std::string& def) override;
    std::string openFileName(const std::string& title, const std::string& filter, const std::string& dir) override;
    std::string saveFileName(const std::string& title, const std::string& filter, const std::string& dir) override;

    std::vector<Call> calls;
    // The prompts of the message boxes shown so far, in order.
    std::vector<std::string> prompts() const;

private:
    bool next(std::string& out);
    std::vector<std::string> answers_;
    std::size_t used_ = 0;
    DialogService* previous_;
};

// Opens a document with the desktop's handler; false when none took it (xdg-open that
// ends with an error within a second counts as none; it is waited for that long).
bool openDocument(const std::string& path);

}  // namespace parlix::ui
