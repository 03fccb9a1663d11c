#pragma once

#include <QObject>

namespace voltrane {

/// The desktop's reduce-motion and reduce-transparency settings. Read once from the desktop
/// where it publishes them (GNOME's interface settings), otherwise both are off; settable so
/// tests and the shell can change them, and every change is announced.
class AccessibilityEnvironment : public QObject {
    Q_OBJECT

public:
    explicit AccessibilityEnvironment(bool reduceMotion = false, bool reduceTransparency = false,
                                      QObject* parent = nullptr);

    /// The process-wide instance, read from the desktop on first use.
    static AccessibilityEnvironment& shared();

    /// Reads the desktop's settings; both false when the desktop does not tell.
    static AccessibilityEnvironment* fromDesktop(QObject* parent = nullptr);

    bool reduceMotion() const { return reduceMotion_; }
    bool reduceTransparency() const { return reduceTransparency_; }

    void setReduceMotion(bool value);
    void setReduceTransparency(bool value);

signals:
    void changed();

private:
    bool reduceMotion_;
    bool reduceTransparency_;
};

} // namespace voltrane
