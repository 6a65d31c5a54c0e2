#include "app/task/task_settings.h"

#include "settings/config.h"

TaskSettings::TaskSettings(AppServices services)
    : m_services(std::move(services))
{
}

bool TaskSettings::load()
{
    Config *config = m_services.config();
    std::lock_guard<std::mutex> lock(m_lock);
    m_runOnce = false;
    if (!config)
        return true;
    m_enablePrint = config->getProperty(Config::CPT_Enable_Print).toBool();
    m_enableOCR = config->getProperty(Config::CPT_Enable_OCR).toBool();
    m_enableQRCode = config->getProperty(Config::CPT_Enable_QRCode).toBool();
    m_enableBARCode = config->getProperty(Config::CPT_Enable_BARCode).toBool();
    m_threshold = config->getProperty(Config::CPT_Threshold).toDouble();
    m_iouThreshold = config->getProperty(Config::CPT_iou_Threshold).toDouble();
    m_modelPath = config->getProperty(Config::CPT_MODEL_Path).toString();
    return true;
}

void TaskSettings::startRunOnce()
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_runOnce = true;
    m_enablePrint = false;
}

QString TaskSettings::modelPath() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_modelPath;
}
