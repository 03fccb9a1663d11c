#include "ui/host/accessibility_environment.h"

#include <QCoreApplication>
#include <QProcess>
#include <QStandardPaths>
#include <optional>

namespace voltrane {

namespace {

// One short query; a desktop that does not answer within the limit counts as silent.
std::optional<QString> gsettingsValue(const QString& schema, const QString& key) {
    const QString program = QStandardPaths::findExecutable(QStringLiteral("gsettings"));
    if (program.isEmpty()) {
        return std::nullopt;
    }
    QProcess process;
    process.start(program, {QStringLiteral("get"), schema, key});
    if (!process.waitForFinished(500)) {
        process.kill();
        process.waitForFinished(100);
        return std::nullopt;
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        return std::nullopt;
    }
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

} // namespace

AccessibilityEnvironment::AccessibilityEnvironment(bool reduceMotion, bool reduceTransparency,
                                                   QObject* parent)
    : QObject(parent), reduceMotion_(reduceMotion), reduceTransparency_(reduceTransparency) {}

AccessibilityEnvironment* AccessibilityEnvironment::fromDesktop(QObject* parent) {
    const QString interface = QStringLiteral("org.gnome.desktop.interface");
    const auto animations = gsettingsValue(interface, QStringLiteral("enable-animations"));
    const bool reduceMotion = animations.has_value() && *animations == QLatin1String("false");
    // GNOME has no transparency switch of its own; its high-contrast mode asks for the same.
    const auto contrast =
        gsettingsValue(QStringLiteral("org.gnome.desktop.a11y.interface"), QStringLiteral("high-contrast"));
    const bool reduceTransparency = contrast.has_value() && *contrast == QLatin1String("true");
    return new AccessibilityEnvironment(reduceMotion, reduceTransparency, parent);
}

AccessibilityEnvironment& AccessibilityEnvironment::shared() {
    // Parented to the application so it ends with it.
    static AccessibilityEnvironment* environment = fromDesktop(QCoreApplication::instance());
    return *environment;
}

void AccessibilityEnvironment::setReduceMotion(bool value) {
    if (value != reduceMotion_) {
        reduceMotion_ = value;
        emit changed();
    }
}

void AccessibilityEnvironment::setReduceTransparency(bool value) {
    if (value != reduceTransparency_) {
        reduceTransparency_ = value;
        emit changed();
    }
}

} // namespace voltrane
