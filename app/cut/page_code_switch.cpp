#include "app/cut/page_code_switch.h"

#include "app/cut/cut_document.h"
#include "app/records/production_records.h"
#include "machine/trv610plus.h"
#include "settings/config.h"

#include <QCoreApplication>
#include <QDebug>
#include <QFile>

PageCodeSwitch::PageCodeSwitch(AppServices services, CutDocument &document, ProductionRecords &records,
                               Hooks hooks)
    : m_services(std::move(services))
    , m_document(document)
    , m_records(records)
    , m_hooks(std::move(hooks))
{
}

QString PageCodeSwitch::cutWorkCutFile() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_pageCutFile;
}

void PageCodeSwitch::forgetPageCutFile()
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_pageCutFile.clear();
}

void PageCodeSwitch::setSwitchCutFile(bool on)
{
    m_switchCutFile.store(on);
    // While on, the mark scans read the page code and store it here.
    m_hooks.setPageCodeSearch(on);
    if (on) {
        m_records.setPageCode(0);
        return;
    }

    const quint32 code = m_records.pageCode();
    if (code != 0) {
        // The code stays even when its batch has no cut file: the copies of
        // this page still count on its batch (a code the store does not know
        // has no batch, and the records count nothing for it).
        m_records.lookUpPageCode(code);
        QString cutFile = m_records.cutWorkRecord().cutFile;
        if (cutFile.isEmpty() || !QFile::exists(cutFile)) {
            const Config *config = m_services.config();
            const QString dir = config ? config->getProperty(Config::CPT_Plt_Dir).toString() : QString();
            cutFile = dir + QLatin1Char('/') + QString::number(code, 16) + QStringLiteral(".plt");
        }
        std::lock_guard<std::mutex> lock(m_lock);
        m_pageCutFile = cutFile;
    }

    // The job's cut file cannot change while it runs: the scene refuses edits.
    // A ".tva" job's cut file is its turned preview: the job's own pages
    // open the template itself, which is turned once, as at its opening.
    const QString pageCutFile = cutWorkCutFile();
    const QString jobCutFile = m_document.sourceFile();
    const bool jobsOwn = pageCutFile == jobCutFile || pageCutFile == m_document.cutFile();
    QString target;
    if (!jobsOwn && QFile::exists(pageCutFile))
        target = pageCutFile;
    else if (!jobCutFile.isEmpty() && jobCutFile != m_document.sceneFile())
        target = jobCutFile;
    if (!target.isEmpty())
        qInfo() << "SpoolsmithApp::setSwitchCutFile" << target;
    const CutDocument::SceneOpening opening = m_document.openSceneBlocking(target);
    if (opening == CutDocument::SceneOpening::Open)
        return;
    m_hooks.stopTask();
    // A refused file's reason is on errorMessage already: the operator reads that.
    if (opening == CutDocument::SceneOpening::Empty)
        if (TRV610Plus *device = m_services.device())
            device->setErrorMessage(QCoreApplication::translate("SpoolsmithApp", "切割文件未打开或未识别到二维码"));
}
