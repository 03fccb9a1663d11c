// Baseline for the overhead script: the cheapest honest way to animate a flow diagram in Qt. A
// plain widget of the flow canvas's size (560 × 291) keeps its static layers — backdrop and
// eight gradient ribbons — in one pixmap, re-rendered only when the once-a-second data changes;
// each of its 24 frames a second is one update() that blits that pixmap and draws eight moving
// particles. Voltrane's open panel is read against this.
#include <QApplication>
#include <QElapsedTimer>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QTimer>
#include <QWidget>
#include <array>
#include <cmath>

namespace {

constexpr int kRibbons = 8;

class CachedPainter final : public QWidget {
public:
    CachedPainter() {
        setFixedSize(560, 291);
        setAttribute(Qt::WA_OpaquePaintEvent);
        clock_.start();
    }

    /// New figures, as the once-a-second sample brings: the ribbons' widths drift.
    void setData(int tick) {
        for (int i = 0; i < kRibbons; ++i) {
            widths_[static_cast<std::size_t>(i)] = 4 + i + 1.5 * std::sin(tick * 0.7 + i);
        }
        cache_ = QPixmap();
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override {
        if (cache_.isNull()) {
            renderStaticLayers();
        }
        QPainter painter(this);
        painter.drawPixmap(0, 0, cache_);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(255, 255, 255, 122));
        const double phase = std::fmod(clock_.elapsed() / 2800.0, 1.0);
        for (int i = 0; i < kRibbons; ++i) {
            const QPointF p =
                routes_[static_cast<std::size_t>(i)].pointAtPercent(std::fmod(phase + i * 0.13, 1.0));
            painter.drawEllipse(p, 2.0, 2.0);
        }
    }

private:
    void renderStaticLayers() {
        cache_ = QPixmap(size());
        cache_.fill(QColor(19, 24, 25));
        QPainter painter(&cache_);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(QColor(255, 255, 255, 15), 0.5));
        painter.setBrush(QColor(255, 255, 255, 6));
        painter.drawRoundedRect(QRectF(rect()).adjusted(0.25, 0.25, -0.25, -0.25), 20, 20);
        for (int i = 0; i < kRibbons; ++i) {
            const double y0 = 100 + i * 12;
            const double yd = 20 + i * 34;
            QPainterPath& route = routes_[static_cast<std::size_t>(i)];
            route = QPainterPath(QPointF(110, y0));
            route.cubicTo(QPointF(250, y0), QPointF(330, yd), QPointF(390, yd));
            QLinearGradient gradient(QPointF(110, y0), QPointF(390, yd));
            gradient.setColorAt(0, QColor(90, 200, 150, 190));
            gradient.setColorAt(1, QColor(90, 170, 240, 220));
            painter.setPen(
                QPen(QBrush(gradient), widths_[static_cast<std::size_t>(i)], Qt::SolidLine, Qt::FlatCap));
            painter.setBrush(Qt::NoBrush);
            painter.drawPath(route);
        }
    }

    QPixmap cache_;
    std::array<double, kRibbons> widths_{};
    std::array<QPainterPath, kRibbons> routes_;
    QElapsedTimer clock_;
};

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    CachedPainter painter;
    int tick = 0;
    painter.setData(tick);
    painter.show();
    QTimer data;
    QObject::connect(&data, &QTimer::timeout, &painter, [&] { painter.setData(++tick); });
    data.start(1000);
    QTimer frames;
    frames.setTimerType(Qt::PreciseTimer);
    QObject::connect(&frames, &QTimer::timeout, &painter, [&painter] { painter.update(); });
    frames.start(1000 / 24);
    return app.exec();
}
