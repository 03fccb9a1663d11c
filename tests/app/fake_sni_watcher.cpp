// A stand-in StatusNotifierWatcher: a host is there; prints each registering item's service.
#include <QCoreApplication>
#include <QDBusConnection>
#include <cstdio>

class Watcher : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ isHostRegistered)

public:
    bool isHostRegistered() const { return true; }

public slots:
    void RegisterStatusNotifierItem(const QString& service) {
        std::printf("%s\n", qPrintable(service));
        std::fflush(stdout);
    }
};

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    Watcher watcher;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.registerObject(QStringLiteral("/StatusNotifierWatcher"), &watcher,
                            QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllProperties) ||
        !bus.registerService(QStringLiteral("org.kde.StatusNotifierWatcher"))) {
        std::fprintf(stderr, "fake_sni_watcher: cannot take the watcher's name\n");
        return 1;
    }
    return QCoreApplication::exec();
}

#include "fake_sni_watcher.moc"
