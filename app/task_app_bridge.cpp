// What the job steps ask of the application object, on the task thread.
#include "spoolsmith_app.h"

#include "gscene.h"
#include "task_app.h"

#include <QDebug>
#include <QThread>

namespace {

class SpoolsmithTaskApp final : public TaskApp
{
public:
    explicit SpoolsmithTaskApp(SpoolsmithApp *app)
        : m_app(app)
    {
    }

    void setTaskStatus(int status) override { m_app->setTaskStatus(status); }
    bool loadTaskSettings() override { return m_app->loadTaskSettings(); }
    void stopTask(bool wait) override
    {
        if (!QMetaObject::invokeMethod(m_app, "stopTask", Qt::DirectConnection, Q_ARG(bool, wait)))
            qCritical() << "TaskApp::stopTask" << "no stopTask on the application";
    }
    bool finishedOneCopies() override
    {
        bool due = false;
        if (!QMetaObject::invokeMethod(m_app, "finishedOneCopies", Qt::DirectConnection, Q_RETURN_ARG(bool, due)))
            qCritical() << "TaskApp::finishedOneCopies" << "no copy counting on the application";
        return due;
    }
    int cutTaskCopies() const override { return m_app->property("cutTaskCopies").toInt(); }
    void print() override
    {
        if (!QMetaObject::invokeMethod(m_app, "print", Qt::DirectConnection))
            qInfo() << "TaskApp::print" << "printing paths not built, page not printed";
    }
    bool enablePrint() const override { return m_app->taskEnablePrint(); }
    QByteArray generatePltData(const QTransform &t) override { return m_app->generatePltData(t); }
    QString cutFile() const override { return m_app->cutFile(); }
    bool cutSceneHasItems() override
    {
        // The scene belongs to the GUI thread.
        bool has = false;
        QMetaObject::invokeMethod(
            m_app, [this, &has] { has = !m_app->cutScene()->gItemAll().isEmpty(); },
            QThread::currentThread() == m_app->thread() ? Qt::DirectConnection : Qt::BlockingQueuedConnection);
        return has;
    }
    int pageMarkType() override { return m_app->pageMarkType(); }
    QList<QPointF> currentPageMarkPoint() override { return m_app->currentPageMarkPoint(true); }
    QSizeF cutPageSize() const override { return m_app->cutPageSize(); }
    void addCutLength(double mm) override
    {
        if (m_app->metaObject()->indexOfMethod("addCutLength(double)") < 0)
            return; // the application keeps no cut length
        QMetaObject::invokeMethod(m_app, "addCutLength", Qt::DirectConnection, Q_ARG(double, mm));
    }
    void setSwitchCutFile(bool on) override { m_app->setSwitchCutFile(on); }
    void clearFilm(int index) override { m_app->clearFilm(index); }
    int markIndex() const override { return m_app->markIndex(); }
    void setMarkIndex(int index) override { m_app->setMarkIndex(index); }
    QPointF lastMarkPosition() const override { return m_app->lastMarkPosition(); }
    float lastMarkDiameter() const override { return m_app->lastMarkDiameter(); }
    void resetLastMark() override { m_app->resetLastMark(); }
    bool doCapture(int camera) override { return m_app->doCapture(camera); }

private:
    SpoolsmithApp *m_app;
};

} // namespace

void SpoolsmithApp::installTaskBridge()
{
    static SpoolsmithTaskApp *bridge = nullptr;
    delete bridge;
    bridge = new SpoolsmithTaskApp(this);
    TaskApp::setInstance(bridge);
}
