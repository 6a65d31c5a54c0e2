#pragma once

#include "machine/task_app.h"

#include <QList>

#include <atomic>
#include <mutex>

class TRV610Plus;

// A stand-in for the application the driver calls back into. It records the
// task statuses, film clears, mark indexes and paper-centre resets it is
// given; its own task status is the last one set (stopped at first).
// stopTask stops the device and its job, or refuses as the application does
// while a pause or stop is in progress.
class FakeTaskApp : public TaskApp
{
public:
    TRV610Plus *device = nullptr;
    std::atomic<bool> refuseStop{false};
    std::atomic<int> stops{0};
    std::atomic<int> appStatus{2};
    std::atomic<int> paperCenterResets{0};

    // Forgets what was recorded (the status is stopped again) and becomes
    // what the driver calls; uninstall leaves the driver without one.
    void install(TRV610Plus *stoppedDevice);
    void uninstall();
    QList<int> statuses() const;
    QList<int> cleared() const;
    QList<int> markIndexes() const;

    int taskStatus() const override { return appStatus.load(); }
    void setTaskStatus(int status) override;
    bool loadTaskSettings() override { return true; }
    void stopTask(bool wait) override;
    bool finishedOneCopies() override { return false; }
    int cutTaskCopies() const override { return 1; }
    void print() override {}
    bool enablePrint() const override { return false; }
    QByteArray generatePltData(const QTransform &) override { return {}; }
    QString cutFile() const override { return {}; }
    bool cutSceneHasItems() override { return false; }
    int pageMarkType() override { return 4; }
    QList<QPointF> currentPageMarkPoint() override { return {}; }
    QSizeF cutPageSize() const override { return {}; }
    void addCutLength(double) override {}
    void setSwitchCutFile(bool) override {}
    void clearFilm(int index) override;
    int markIndex() const override;
    void setMarkIndex(int index) override;
    void resetPaperCenter() override { ++paperCenterResets; }
    QPointF lastMarkPosition() const override { return {}; }
    float lastMarkDiameter() const override { return 0; }
    void resetLastMark() override {}
    // Check-camera pictures: each takes the next scripted collect length
    // (the last one stays) and counts.
    bool doCapture(int camera) override;
    double collectLen() const override;
    double paperOffset() const override { return offset.load(); }
    void scriptCollectLengths(const QList<double> &lengths);
    std::atomic<int> captures{0};
    std::atomic<double> offset{0.0};
    // Shown through the prompt layer, as the application does.
    void informOperator(const QString &text) override;

private:
    // The receive thread reports statuses while the test reads them.
    mutable std::mutex m_lock;
    QList<int> m_statuses;
    QList<int> m_cleared;
    QList<int> m_markIndexes;
    QList<double> m_lengths;
    double m_collectLen = 50.0;
};
