// Baseline for the overhead script: a 560 × 750 window whose 560 × 291 band is repainted at
// 24 fps, the static background cached in a pixmap and a few stroked curves drawn per frame —
// the floor an animating flow diagram can reach.
#include <QApplication>
#include <QElapsedTimer>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QTimer>
#include <QWidget>
#include <cmath>

namespace {

class Band final : public QWidget {
public:
    Band() {
        setFixedSize(560, 291);
        clock_.start();
    }

protected:
    void paintEvent(QPaintEvent*) override {
        if (background_.size() != size()) {
            background_ = QPixmap(size());
            background_.fill(QColor(19, 24, 25));
            QPainter cache(&background_);
            cache.setRenderHint(QPainter::Antialiasing);
            cache.setBrush(QColor(40, 50, 50));
            cache.drawRoundedRect(rect().adjusted(8, 8, -8, -8), 18, 18);
        }
        QPainter painter(this);
        painter.drawPixmap(0, 0, background_);
        painter.setRenderHint(QPainter::Antialiasing);
        const double phase = std::fmod(clock_.elapsed() / 2800.0, 1.0);
        for (int i = 0; i < 8; ++i) {
            QPainterPath path(QPointF(110, 100 + i * 12));
            const double yd = 20 + i * 34;
            path.cubicTo(QPointF(250, 100 + i * 12), QPointF(330, yd), QPointF(390, yd));
            painter.setPen(QPen(QColor(90, 170, 240, 190), 10, Qt::SolidLine, Qt::FlatCap));
            painter.drawPath(path);
            const QPointF p = path.pointAtPercent(std::fmod(phase + i * 0.13, 1.0));
            painter.setPen(Qt::NoPen);
            painter.setBrush(QColor(255, 255, 255, 122));
            painter.drawEllipse(p, 2.0, 2.0);
        }
    }

private:
    QPixmap background_;
    QElapsedTimer clock_;
};

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QWidget window;
    window.resize(560, 750);
    auto* band = new Band;
    band->setParent(&window);
    band->move(0, 230);
    window.show();
    QTimer frames;
    QObject::connect(&frames, &QTimer::timeout, band, [band] { band->update(); });
    frames.start(1000 / 24);
    return app.exec();
}
