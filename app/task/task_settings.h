#pragma once

#include "app/app_services.h"

#include <QString>

#include <atomic>
#include <mutex>

// The job's settings, read from the settings object when a job starts, when
// it ends and whenever a setting changes outside a job; the job threads read
// them while it runs.
class TaskSettings
{
public:
    explicit TaskSettings(AppServices services);

    // Clears the run-once flag and reads the settings again; always true.
    bool load();
    // A single trial copy: no printing until the next load().
    void startRunOnce();
    bool runOnce() const { return m_runOnce.load(); }
    bool enablePrint() const { return m_enablePrint.load(); }
    // The label detector's switches and model path.
    bool enableOCR() const { return m_enableOCR.load(); }
    bool enableQRCode() const { return m_enableQRCode.load(); }
    bool enableBARCode() const { return m_enableBARCode.load(); }
    QString modelPath() const;

private:
    AppServices m_services;
    std::atomic<bool> m_runOnce{false};
    std::atomic<bool> m_enablePrint{false};
    std::atomic<bool> m_enableOCR{false};
    std::atomic<bool> m_enableQRCode{false};
    std::atomic<bool> m_enableBARCode{false};
    mutable std::mutex m_lock; // the settings below, and one load at a time
    double m_threshold = 0.6;
    double m_iouThreshold = 0.6;
    QString m_modelPath;
};
