#pragma once

#include <QWidget>
#include <memory>

class QAbstractButton;

namespace voltrane {

class SettingsStore;

/// The data explanation shown from the header's info button: where the figures come from,
/// how estimates and gaps show, and the switch for anonymous usage statistics. The switch
/// reads and writes "analyticsEnabled" in the settings store directly (on when absent), so
/// the usage client sees a change at once. Given no store (a build that sends no usage
/// statistics) there is nothing to switch: the popover says that nothing is sent instead.
class InfoPopover : public QWidget {
    Q_OBJECT

public:
    static constexpr int kWidth = 330;

    explicit InfoPopover(std::shared_ptr<SettingsStore> settings, QWidget* parent = nullptr);
    ~InfoPopover() override;

    /// The switch, checked when usage statistics may be sent.
    QAbstractButton* analyticsSwitch() const { return switch_; }

    /// Re-reads the stored value into the switch.
    void reload();

signals:
    void hidden();

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    class Switch;

    std::shared_ptr<SettingsStore> settings_;
    QAbstractButton* switch_;
};

} // namespace voltrane
