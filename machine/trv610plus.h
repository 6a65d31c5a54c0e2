#pragma once

#include <QByteArray>
#include <QMutex>
#include <QObject>
#include <QString>

// The machine driver: the one object through which the program talks to the
// cutting and feeding machine. QML reaches it as "device".
class TRV610Plus : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString ident READ ident NOTIFY identChanged)
    Q_PROPERTY(bool linked READ linked NOTIFY linkedChanged)
    Q_PROPERTY(float updateProgress READ updateProgress WRITE setUpdateProgress NOTIFY updateProgressChanged)
    Q_PROPERTY(QString errorMessage READ errorMessage WRITE setErrorMessage NOTIFY errorMessageChanged)

public:
    explicit TRV610Plus(QObject *parent = nullptr);
    ~TRV610Plus() override;

    // The process-wide driver, set by the program entry.
    static TRV610Plus *instance();
    static void setInstance(TRV610Plus *device);

    // The machine to link to; an empty ident links to none.
    Q_INVOKABLE void setIdent(const QString &ident);
    QString ident() const;

    bool linked() const;

    float updateProgress() const;
    void setUpdateProgress(float progress);

    // The one operator-visible error channel; signals only on a new text.
    QString errorMessage() const;
    void setErrorMessage(const QString &text);

    // Ends everything the driver runs; safe to call more than once.
    void unInit();

    // The plot data (HPGL) the cut steps send; any thread (plot_buffer.cpp).
    QByteArray pltData() const;
    void setPltData(const QByteArray &data);
    void clearPltData();

signals:
    void identChanged();
    void linkedChanged();
    void updateProgressChanged();
    void errorMessageChanged();

protected:
    void setLinked(bool linked);

private:
    mutable QMutex m_stateLock;
    QString m_ident;
    bool m_linked = false;
    float m_updateProgress = 0.0f;
    QString m_errorMessage;

    mutable QMutex m_pltLock;
    QByteArray m_pltData;
};
