#pragma once

#include <QObject>
#include <QVariant>
#include <memory>

class QDBusMessage;
class QThread;

namespace voltrane {

/// The desktop's reduce-motion and reduce-transparency settings, both off until the desktop
/// tells otherwise; settable so tests and the shell can change them, and every change is
/// announced.
class AccessibilityEnvironment : public QObject {
    Q_OBJECT
    Q_MOC_INCLUDE(<QDBusMessage>)

public:
    explicit AccessibilityEnvironment(bool reduceMotion = false, bool reduceTransparency = false,
                                      QObject* parent = nullptr);
    /// Waits for a desktop reader still at work (it gives up within a few seconds).
    ~AccessibilityEnvironment() override;

    /// The process-wide instance, following the desktop.
    static AccessibilityEnvironment& shared();

    /// Returns at once with both off. A worker thread then reads GNOME's interface settings and
    /// subscribes to the desktop portal's setting changes where there is a session bus; what
    /// it learns arrives here on this object's thread.
    static AccessibilityEnvironment* fromDesktop(QObject* parent = nullptr);

    bool reduceMotion() const { return reduceMotion_; }
    bool reduceTransparency() const { return reduceTransparency_; }

    void setReduceMotion(bool value);
    void setReduceTransparency(bool value);

    /// Takes one desktop setting, named by its GNOME schema and key; any other is ignored.
    void applyDesktopSetting(const QString& schema, const QString& key, const QVariant& value);

signals:
    void changed();

private slots:
    /// The portal's SettingChanged(schema, key, variant value).
    void portalSettingChanged(const QDBusMessage& message);

private:
    void readDesktop(const QString& gsettings);

    bool reduceMotion_;
    bool reduceTransparency_;
    std::unique_ptr<QThread> reader_;
};

} // namespace voltrane
