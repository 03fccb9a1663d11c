#pragma once

#include <QLocalServer>
#include <QObject>
#include <QString>

namespace voltrane {

/// Keeps one Voltrane per user session. The first instance listens on a local socket; a later
/// launch connects, asks the first to show its panel, and then exits.
class SingleInstance : public QObject {
    Q_OBJECT

public:
    explicit SingleInstance(QString name = defaultName(), QObject* parent = nullptr);

    /// True when another instance took the hand-over; this one should exit.
    bool handOverToRunningInstance(int timeoutMs = 500);

    /// Starts listening so later launches reach this instance. Returns false if the socket
    /// cannot be created (the app then runs without the guard rather than not at all).
    bool listen();

    /// A per-user socket name, so two users on one machine each get their own Voltrane.
    static QString defaultName();

signals:
    void activationRequested();

private:
    QString name_;
    QLocalServer server_;
};

} // namespace voltrane
