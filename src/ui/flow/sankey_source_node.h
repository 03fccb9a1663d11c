#pragma once

#include "flow/sankey_flow_model.h"

#include <QWidget>

namespace voltrane {

class CapsuleFrame;
class SymbolLabel;
class TextLabel;

/// The source card on the left of the flow diagram: symbol, title, live watts and a detail
/// line, which is a tinted pill when the battery is the source. Fills the frame it is given;
/// its glow is painted by the diagram beneath it.
class SankeySourceNode : public QWidget {
    Q_OBJECT

public:
    explicit SankeySourceNode(QWidget* parent = nullptr);

    void setModel(const SankeyFlowModel& model);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    SymbolLabel* symbol_;
    TextLabel* title_;
    TextLabel* watts_;
    CapsuleFrame* pill_;
    TextLabel* detail_;
    QColor tint_;
    bool battery_ = false;
};

} // namespace voltrane
