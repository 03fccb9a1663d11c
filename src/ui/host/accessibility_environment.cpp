#include "ui/host/accessibility_environment.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>
#include <optional>

namespace voltrane {

namespace {

const QString kInterface = QStringLiteral("org.gnome.desktop.interface");
const QString kA11yInterface = QStringLiteral("org.gnome.desktop.a11y.interface");
const QString kAnimations = QStringLiteral("enable-animations");
const QString kHighContrast = QStringLiteral("high-contrast");

// Runs on the reader thread; a desktop that does not answer within the limit counts as silent.
std::optional<bool> gsettingsBool(const QString& program, const QString& schema, const QString& key) {
    QProcess process;
    process.start(program, {QStringLiteral("get"), schema, key});
    if (!process.waitForFinished(2000)) {
        process.kill();
        process.waitForFinished(500);
        return std::nullopt;
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        return std::nullopt;
    }
    const QByteArray answer = process.readAllStandardOutput().trimmed();
    if (answer == "true" || answer == "false") {
        return answer == "true";
    }
    return std::nullopt;
}

// Without a bus address libdbus would try to start a bus of its own; a desktop without one has
// no portal to ask anyway.
bool hasSessionBus() {
    return !qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS") ||
           (!qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR") &&
            QFileInfo::exists(qEnvironmentVariable("XDG_RUNTIME_DIR") + QStringLiteral("/bus")));
}

} // namespace

AccessibilityEnvironment::AccessibilityEnvironment(bool reduceMotion, bool reduceTransparency,
                                                   QObject* parent)
    : QObject(parent), reduceMotion_(reduceMotion), reduceTransparency_(reduceTransparency) {}

AccessibilityEnvironment::~AccessibilityEnvironment() {
    if (reader_) {
        reader_->wait();
    }
}

AccessibilityEnvironment* AccessibilityEnvironment::fromDesktop(QObject* parent) {
    auto* environment = new AccessibilityEnvironment(false, false, parent);
    // Looked up here, so the reader uses the search path of the moment it was asked for.
    const QString gsettings = QStandardPaths::findExecutable(QStringLiteral("gsettings"));
    environment->reader_.reset(
        QThread::create([environment, gsettings] { environment->readDesktop(gsettings); }));
    environment->reader_->setObjectName(QStringLiteral("voltrane-desktop-settings"));
    environment->reader_->start();
    return environment;
}

void AccessibilityEnvironment::readDesktop(const QString& gsettings) {
    // On the reader thread: child processes and the bus are waited for here, never on the UI
    // thread. Results are queued to this object, and dropped if it is gone by then.
    if (!gsettings.isEmpty()) {
        for (const auto& setting :
             {std::pair{kInterface, kAnimations}, std::pair{kA11yInterface, kHighContrast}}) {
            if (const auto value = gsettingsBool(gsettings, setting.first, setting.second)) {
                QMetaObject::invokeMethod(
                    this,
                    [this, setting, on = *value] { applyDesktopSetting(setting.first, setting.second, on); },
                    Qt::QueuedConnection);
            }
        }
    }
    if (hasSessionBus()) {
        // The portal announces every change of the desktop's settings, GNOME's schemas among them.
        QDBusConnection::sessionBus().connect(QStringLiteral("org.freedesktop.portal.Desktop"),
                                              QStringLiteral("/org/freedesktop/portal/desktop"),
                                              QStringLiteral("org.freedesktop.portal.Settings"),
                                              QStringLiteral("SettingChanged"), this,
                                              SLOT(portalSettingChanged(QDBusMessage)));
    }
}

AccessibilityEnvironment& AccessibilityEnvironment::shared() {
    // Parented to the application so it ends with it.
    static AccessibilityEnvironment* environment = fromDesktop(QCoreApplication::instance());
    return *environment;
}

void AccessibilityEnvironment::applyDesktopSetting(const QString& schema, const QString& key,
                                                   const QVariant& value) {
    if (value.typeId() != QMetaType::Bool) {
        return;
    }
    if (schema == kInterface && key == kAnimations) {
        setReduceMotion(!value.toBool());
    } else if (schema == kA11yInterface && key == kHighContrast) {
        // GNOME has no transparency switch of its own; its high-contrast mode asks for the same.
        setReduceTransparency(value.toBool());
    }
}

void AccessibilityEnvironment::portalSettingChanged(const QDBusMessage& message) {
    const QVariantList arguments = message.arguments();
    if (arguments.size() == 3) {
        applyDesktopSetting(arguments[0].toString(), arguments[1].toString(),
                            qvariant_cast<QDBusVariant>(arguments[2]).variant());
    }
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
