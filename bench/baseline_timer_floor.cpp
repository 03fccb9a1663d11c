// The floor under every closed-panel figure: a Qt Widgets program whose 1 Hz timer does nothing.
// What a tray program costs beyond this is what it does each second.
#include <QApplication>
#include <QTimer>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QTimer timer;
    int ticks = 0;
    QObject::connect(&timer, &QTimer::timeout, &app, [&ticks] { ++ticks; });
    timer.start(1000);
    return app.exec();
}
