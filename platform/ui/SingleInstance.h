// One running copy per key: a later copy asks the earlier one to come to the front and
// then ends. The key names the program and, for the engine, its engine number.
#pragma once

#include <QObject>
#include <QString>

class QLocalServer;

namespace parlix::ui {

class SingleInstance : public QObject {
    Q_OBJECT
public:
    explicit SingleInstance(const QString& key, QObject* parent = nullptr);
    ~SingleInstance() override;

    // The local socket name used for `key` (per user, so users do not see each other).
    static QString serverName(const QString& key);

    // True when an earlier copy is running and was asked to come forward; the caller
    // then ends. False when no earlier copy answered.
    bool activatePrevious(int timeoutMs = 1000);
    // Makes this copy findable by later ones. A socket left by a copy that crashed is
    // taken over. False when the name cannot be claimed.
    bool listen();
    bool isListening() const;

signals:
    // A later copy started and asked this one to show its window.
    void activateRequested();

private:
    QString name_;
    QLocalServer* server_ = nullptr;
};

}  // namespace parlix::ui
