// SIGTERM, SIGINT and SIGHUP as a Qt signal. The handler only writes the signal's
// number into a pipe (nothing else is safe inside a handler); the event loop reads it
// and emits received(), so a program stops through its ordinary code, between events.
#pragma once

#include <QObject>

class QSocketNotifier;

namespace parlix::ui {

class StopSignals : public QObject {
    Q_OBJECT
public:
    // Takes over the three signals for the life of the object (one object at a time).
    explicit StopSignals(QObject* parent = nullptr);
    ~StopSignals() override;

signals:
    void received(int signalNumber);

private:
    QSocketNotifier* notifier_ = nullptr;
};

}  // namespace parlix::ui
