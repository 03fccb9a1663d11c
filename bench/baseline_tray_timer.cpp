// Baseline for the overhead script: the least a Qt tray program can do — a 1 Hz timer that
// redraws a small icon image, with a hidden window. Voltrane's closed-panel cost is read
// against this.
#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QWidget>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QSystemTrayIcon tray;
    int tick = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, &tray, [&] {
        QImage image(64, 32, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.setPen(Qt::white);
        painter.drawText(image.rect(), Qt::AlignCenter, QString::number(++tick % 100) + QStringLiteral(" W"));
        painter.end();
        tray.setIcon(QIcon(QPixmap::fromImage(image)));
        tray.setToolTip(QString::number(tick));
    });
    timer.start(1000);
    QWidget hidden;
    hidden.resize(560, 750);
    return app.exec();
}
