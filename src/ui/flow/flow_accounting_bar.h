#pragma once

#include "flow/sankey_flow_model.h"

#include <QWidget>

namespace voltrane {

class TextLabel;

/// The strip under the flow diagram: how much of the system's draw the component counters
/// identify, how much stays unattributed, and whether the component figures are live.
class FlowAccountingBar : public QWidget {
    Q_OBJECT

public:
    explicit FlowAccountingBar(QWidget* parent = nullptr);

    void setModel(const SankeyFlowModel& model);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    TextLabel* identifiedValue_;
    TextLabel* unattributedValue_;
    TextLabel* status_;
};

} // namespace voltrane
