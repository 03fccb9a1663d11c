#pragma once

#include "flow/sankey_destination.h"

#include <QColor>
#include <QWidget>
#include <optional>

namespace voltrane {

class SymbolLabel;
class TextLabel;

/// One row card of the flow diagram: symbol, title, detail line with the row's share of the
/// source, and its live watts. The type sizes follow the row height it is given.
class SankeyDestinationNode : public QWidget {
    Q_OBJECT

public:
    /// Rows at least this high use the larger type.
    static constexpr double roomyRowHeight = 56;

    explicit SankeyDestinationNode(QWidget* parent = nullptr);

    void setContent(const SankeyDestination& destination, std::optional<double> sourceWatts,
                    double rowHeight);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    SymbolLabel* symbol_;
    TextLabel* title_;
    TextLabel* detail_;
    TextLabel* watts_;
    QColor fill_;
    QColor border_;
};

} // namespace voltrane
