// What the driver and its job steps ask of the application object, on the
// task and receive threads.
#include "app/spoolsmith_app.h"

#include "app/inspection/label_inspection.h"

#include "platform/scene/gscene.h"
#include "machine/task_app.h"
#include "platform/prompt/prompt.h"

#include <QCoreApplication>

#include <QDebug>
#include <QThread>

namespace {

class SpoolsmithTaskApp final : public TaskApp
{
public:
    SpoolsmithTaskApp(SpoolsmithApp *app, const LabelInspection *inspection)
        : m_app(app)
        , m_inspection(inspection)
    {
    }

    int taskStatus() const override { return m_app->taskStatus(); }
    void setTaskStatus(int status) override { m_app->setTaskStatus(status); }
    bool loadTaskSettings() override { return m_app->loadTaskSettings(); }
    void stopTask(bool wait) override { m_app->stopTask(wait); }
    bool finishedOneCopies() override { return m_app->finishedOneCopies(); }
    bool printingOver() override { return m_app->printingOver(); }
    bool runOnce() const override { return m_app->runOnce(); }
    void trialCopyCut() override { m_app->trialCopyCut(); }
    int cutTaskCopies() const override { return m_app->cutTaskCopies(); }
    void jobStarting(bool cuts) override { m_app->jobStarting(cuts); }
    void print() override { m_app->print(); }
    bool enablePrint() const override { return m_app->taskEnablePrint(); }
    QByteArray generatePltData(const QTransform &t) override { return m_app->generatePltData(t); }
    QString cutFile() const override { return m_app->cutFile(); }
    bool cutSceneHasItems() override
    {
        // The scene belongs to the GUI thread.
        return m_app->cutSceneHasItems();
    }
    int pageMarkType() override { return m_app->pageMarkType(); }
    QList<QPointF> currentPageMarkPoint() override { return m_app->currentPageMarkPoint(true); }
    QSizeF cutPageSize() const override { return m_app->cutPageSize(); }
    void addCutLength(double mm) override { m_app->addCutLength(mm); }
    void setSwitchCutFile(bool on) override { m_app->setSwitchCutFile(on); }
    void clearFilm(int index) override { m_app->clearFilm(index); }
    int markIndex() const override { return m_app->markIndex(); }
    void setMarkIndex(int index) override { m_app->setMarkIndex(index); }
    void resetPaperCenter() override { m_app->resetPaperCenter(); }
    QPointF lastMarkPosition() const override { return m_app->lastMarkPosition(); }
    float lastMarkDiameter() const override { return m_app->lastMarkDiameter(); }
    void resetLastMark() override { m_app->resetLastMark(); }
    bool doCapture(int camera) override { return m_app->doCapture(camera); }
    double collectLen() const override { return m_app->collectLen(); }
    // The web guide follows the paper drift the last inspection measured.
    double paperOffset() const override { return m_inspection->lastPaperOffset(); }
    void informOperator(const QString &text) override
    {
        Prompt::instance()->information(QCoreApplication::applicationName(), text);
    }

private:
    SpoolsmithApp *m_app;
    const LabelInspection *m_inspection;
};

} // namespace

void SpoolsmithApp::installTaskBridge()
{
    static SpoolsmithTaskApp *bridge = nullptr;
    delete bridge;
    bridge = new SpoolsmithTaskApp(this, m_inspection.get());
    TaskApp::setInstance(bridge);
}
