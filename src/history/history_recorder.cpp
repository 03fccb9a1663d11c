#include "history/history_recorder.h"

#include "history/history_store.h"
#include "monitor/power_monitor.h"
#include "telemetry/battery/battery_registry.h"

#include <deque>

namespace voltrane {

struct HistoryRecorder::Worker {
    QString filePath;
    std::unique_ptr<BatteryRegistry> health;
    Clock clock;
    std::unique_ptr<HistoryStore> store;
    std::deque<HistoryRow> pending;
    int rowsUntilReopen = 0;
    std::optional<std::int64_t> healthDay;
    std::optional<Date> prunedAt;

    bool ensureOpen() {
        if (store && store->isOpen()) {
            return true;
        }
        if (rowsUntilReopen > 0) {
            --rowsUntilReopen;
            return false;
        }
        store = std::make_unique<HistoryStore>(filePath);
        if (!store->isOpen()) {
            rowsUntilReopen = reopenEvery - 1;
            return false;
        }
        return true;
    }

    void write(const HistoryRow& row) {
        pending.push_back(row);
        if (pending.size() > pendingLimit) {
            pending.pop_front();
        }
        if (!ensureOpen()) {
            return;
        }
        while (!pending.empty()) {
            // A refused row (the clock went back) is dropped; a failed one waits for the next minute.
            if (store->add(pending.front()) == HistoryStore::Write::failed) {
                return;
            }
            pending.pop_front();
        }
        const Date now = clock();
        recordHealth(now);
        if (!prunedAt || now - *prunedAt >= std::chrono::hours(1) || now < *prunedAt) {
            if (store->prune(now)) {
                prunedAt = now;
            }
        }
    }

    void recordHealth(Date now) {
        const auto day = std::chrono::floor<std::chrono::days>(now).time_since_epoch().count();
        if (!health || healthDay == day) {
            return;
        }
        const auto record = health->batteryHealth(now);
        if (!record || store->add(*record) != HistoryStore::Write::failed) {
            healthDay = day;
        }
    }
};

HistoryRecorder::HistoryRecorder(QString filePath, std::unique_ptr<BatteryRegistry> health, Clock clock,
                                 QObject* parent)
    : QObject(parent), clock_(clock), context_(std::make_unique<QObject>()),
      worker_(std::make_shared<Worker>()) {
    worker_->filePath = std::move(filePath);
    worker_->health = std::move(health);
    worker_->clock = std::move(clock);
    thread_.setObjectName(QStringLiteral("history"));
    context_->moveToThread(&thread_);
    thread_.start(QThread::LowPriority);
    // Opened at once, so a file to set aside or upgrade is handled before the first minute ends.
    QMetaObject::invokeMethod(
        context_.get(), [worker = worker_] { worker->ensureOpen(); }, Qt::QueuedConnection);
}

HistoryRecorder::~HistoryRecorder() {
    hand(accumulator_.flush());
    QMetaObject::invokeMethod(
        context_.get(),
        [worker = worker_] {
            worker->store.reset(); // its connection belongs to this thread
            QThread::currentThread()->quit();
        },
        Qt::QueuedConnection);
    thread_.wait();
}

void HistoryRecorder::follow(const PowerMonitor& monitor) {
    connect(&monitor, &PowerMonitor::snapshotChanged, this,
            [this](const PowerSnapshot& snapshot) { record(snapshot); });
    connect(&monitor, &PowerMonitor::componentSnapshotChanged, this,
            [this](const ComponentPowerSnapshot& components) { record(components); });
}

void HistoryRecorder::record(const PowerSnapshot& snapshot) {
    hand(accumulator_.add(snapshot, dateOf(snapshot.sampledAt)));
}

void HistoryRecorder::record(const ComponentPowerSnapshot& components) {
    hand(accumulator_.add(components, dateOf(components.sampledAt)));
}

void HistoryRecorder::sync() {
    QMetaObject::invokeMethod(
        context_.get(), [] {}, Qt::BlockingQueuedConnection);
}

void HistoryRecorder::hand(const std::optional<HistoryRow>& row) {
    if (row) {
        QMetaObject::invokeMethod(
            context_.get(), [worker = worker_, row = *row] { worker->write(row); }, Qt::QueuedConnection);
    }
}

Date HistoryRecorder::dateOf(Date sampledAt) const {
    return sampledAt == Date{} ? clock_() : sampledAt;
}

} // namespace voltrane
