#pragma once

#include "app/app_services.h"

#include <QString>

#include <atomic>
#include <functional>
#include <mutex>

class CutDocument;
class ProductionRecords;

// Switching the cut file by the page code read from a printed page. Runs on
// the task thread around the page search; the scene itself is only ever
// touched on the GUI thread.
class PageCodeSwitch
{
public:
    struct Hooks
    {
        // While on, the mark scans read the page code.
        std::function<void(bool)> setPageCodeSearch;
        // Ends the job when no cut file could be had.
        std::function<void()> stopTask;
    };
    PageCodeSwitch(AppServices services, CutDocument &document, ProductionRecords &records, Hooks hooks);

    // On: the page search starts reading the code. Off: the cut file of the
    // code read (or of the job) is opened; none at all ends the job.
    void setSwitchCutFile(bool on);
    bool switchCutFile() const { return m_switchCutFile.load(); }
    // The cut file of the page whose code was read last.
    QString cutWorkCutFile() const;
    // That file belongs to the job whose page was read: a new job or a
    // newly opened cut file starts without it.
    void forgetPageCutFile();

private:
    AppServices m_services;
    CutDocument &m_document;
    ProductionRecords &m_records;
    Hooks m_hooks;
    std::atomic<bool> m_switchCutFile{false};
    mutable std::mutex m_lock;
    QString m_pageCutFile;
};
