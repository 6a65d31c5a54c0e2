#pragma once

#include <QMap>
#include <QByteArray>
#include <QMutex>
#include <QObject>
#include <QRecursiveMutex>
#include <QString>

#include <atomic>
#include <memory>
#include <optional>
#include <thread>

#include "frame_codec.h"

struct CmdWaiter;
struct LinkConnection;

// The machine driver: the one object through which the program talks to the
// cutting and feeding machine. QML reaches it as "device".
class TRV610Plus : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString ident READ ident WRITE setIdent NOTIFY identChanged)
    Q_PROPERTY(QString ip READ ip WRITE setIp NOTIFY ipChanged)
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

    // --- Machine link (link.cpp, frame_io.cpp) ---
    QString ip() const;
    // A change drops the link and, for a non-empty address, links again.
    Q_INVOKABLE void setIp(const QString &ip);
    // TCP port of the machine, 9100; tests point it elsewhere.
    int port() const { return m_port.load(); }
    void setPort(int port) { m_port.store(port); }
    bool connected() const { return m_connected.load(); }
    bool link();

    static QByteArray packFrame(const QString &header, const QString &body);
    static QByteArray packRawFrame(const QByteArray &payload);
    // Sends one frame; with waitReturn, blocks until the reply of its wait key
    // (0: the command number of the frame) or the time-out.
    bool sendCMD(const QByteArray &frame, bool waitReturn = true, int key = 0);
    bool sendMsg(const QByteArray &frame);
    void sendAsync(const QByteArray &frame);
    std::optional<MachineFrame::Reply> dealReturn(const QByteArray &frame);
    void decode(const QByteArray &frame);
    // The plot data (HPGL) the cut steps send; any thread (plot_buffer.cpp).
    QByteArray pltData() const;
    void setPltData(const QByteArray &data);
    void clearPltData();

signals:
    void ipChanged();
    void identChanged();
    void linkedChanged();
    void updateProgressChanged();
    void errorMessageChanged();

protected:
    void setLinked(bool linked);

private:
    // --- Machine link ---
    void readData(std::shared_ptr<LinkConnection> connection);
    void dropConnection();
    void dropFromReceiver(quint64 generation);
    void joinFinishedReceivers();
    void runStartSequence();
    void sendStopsBeforeShutdown();
    void storeReply(const MachineFrame::Reply &reply, const QByteArray &frame);
    std::shared_ptr<LinkConnection> currentConnection() const;
    void waitForAsyncSends(int timeoutMs);

    QRecursiveMutex m_linkLock; // setIp, setIdent, link, unInit
    mutable QMutex m_connectionLock; // m_connection, m_receiveThread (leaf)
    std::shared_ptr<LinkConnection> m_connection;
    std::thread m_receiveThread;
    std::thread m_finishedReceiver; // a receiver that dropped its own link
    std::atomic<quint64> m_generation{0};
    QString m_ip;
    std::atomic<int> m_port{9100};
    std::atomic<bool> m_connected{false};
    std::atomic<bool> m_largeFrame{false};
    std::atomic<int> m_asyncSends{0};
    QMutex m_sendLock;
    QMutex m_waiterMapLock;
    QMap<int, std::shared_ptr<CmdWaiter>> m_waiters;
    MachineFrame::Splitter m_receiveBuffer;

    mutable QMutex m_stateLock;
    QString m_ident;
    bool m_linked = false;
    float m_updateProgress = 0.0f;
    QString m_errorMessage;

    mutable QMutex m_pltLock;
    QByteArray m_pltData;
};
