#pragma once

#include <QColor>
#include <QWidget>

namespace voltrane {

/// A container that paints a capsule behind whatever its layout holds (a pill).
class CapsuleFrame : public QWidget {
    Q_OBJECT

public:
    explicit CapsuleFrame(QWidget* parent = nullptr);

    void setFill(const QColor& fill);
    QColor fill() const { return fill_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor fill_ = Qt::transparent;
};

} // namespace voltrane
