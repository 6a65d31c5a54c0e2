#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

class LinkStream;

// One of the motors the collect cycle drives: the web guide (motor 2), the
// collect roller (3) and the trim knives (4, axis 0 across, axis 1 along).
// A start makes it busy (state 1) for a number of status reads, then done
// (3); speed 0 stops it (0). Its reads report the state, and the web guide's
// also where it stands (the sum of its moves).
struct SimMotor
{
    int state = 0;
    // Status reads still answered busy.
    int busyReads = 0;
    // Reads a start stays busy; -1: ceil(|length| / speed), at least 1.
    int fixedBusyReads = -1;
    // The next starts are swallowed without a reply (a start that fails).
    int silentStarts = 0;
    int swallowedStarts = 0;
    double position = 0;
    // Every accepted start, as (speed, length).
    QList<QPair<int, double>> starts;
    int stops = 0;

    void start(int speed, double length);
    // One status read: the state it reports, counting down a busy run.
    int read();
    bool busy() const { return state == 1; }
};

// The rollers and the dancer as one roller read reports them.
struct SimRollers
{
    double gyroscope = 0;
    double print = 80;
    double film = 80;
    double collect = 80;
};

// What the simulated machine remembers between commands.
struct SimMachineState
{
    QString devType = QStringLiteral("TRV610Plus");
    QString devId;
    QString pcbId = QStringLiteral("PCB610");
    QString pcbVer = QStringLiteral("V2.1");
    QString firmware = QStringLiteral("1.0.0");
    int cutMotorStatus = 0;
    double posX = 0;
    double posY = 0;
    QString speed = QStringLiteral("10");
    QString pressure = QStringLiteral("100");
    QString scaleX = QStringLiteral("1.0000");
    QString scaleY = QStringLiteral("1.0000");
    QString cutModel = QStringLiteral("0");
    QString workWidth = QStringLiteral("0");
    QString workHeight = QStringLiteral("0");
    QString taskStatus = QStringLiteral("2");
    QStringList lights[4] = {{"0", "0", "0"}, {"0", "0", "0"}, {"0", "0", "0"}, {"0", "0", "0"}};
    bool sensors[7] = {};
    int gyroscopeHundredths = 0;
    QString printRoller = QStringLiteral("80");
    QString filmRoller = QStringLiteral("80");
    QString collectRoller = QStringLiteral("80");
    QMap<QString, QString> motorStates; // "motor,axis" -> state (feed and film motors)
    SimMotor rectifyMotor;
    SimMotor collectMotor;
    SimMotor trimXMotor;
    SimMotor trimYMotor;
    // Readings handed out one per roller read; when empty the fields above stay.
    QList<SimRollers> rollerScript;
    // How far the collect roller reading drops per unit of length collected
    // when a collect run ends (0: the reading stays where the script puts it).
    double collectRollerPerLength = 0;
    // How far the film and collect rollers move per roller read while the
    // web is fed ("15,d,0;"): feeding in direction 1 raises the film roller
    // and lowers the collect roller, -1 the other way round, as the driver's
    // feed-direction rule expects (0: they stay).
    double feedRollerStep = 0;
    int rollerReads = 0;
    QByteArray plotData;
    int firmwareModule = -1;
    QByteArray firmwareFile;

    // --- Plotting, moves and upload (sim_state_model.cpp) ---
    // Byte size announced by "22,n,n;"; -1 none. "21;" never clears it, so
    // both orders ("21" then "22", "22" then "21") announce a plot.
    qsizetype announcedPlotSize = -1;
    int plotsPrepared = 0; // "21;" seen
    int plotsCut = 0;
    int plotsRejected = 0; // plot frames without a matching announcement
    int plotDurationMs = 150; // how long the cutter stays busy with one plot
    std::chrono::steady_clock::time_point cutterBusyUntil{};
    int feedDirection = 0; // "15,d,0;"
    int feedMoveY = 0; // "15,0,y;"
    int uploadSteps = 4; // progress frames of an upload (25 % each)
    int uploadStepMs = 20;
    // The cut motor status as the machine reports it now.
    int reportedCutMotorStatus() const;

    // --- Motors, rollers and sensors of the web path (sim_motors.cpp) ---
    // The model of motor (2 to 4) and axis; null for the feed and film motors.
    SimMotor *motor(int number, int axis);
    void setRollers(const SimRollers &r);
    SimRollers rollers() const;
    // One roller read: the next scripted reading, else the feed's effect.
    void advanceRollers();
    // Sensors 1 to 7.
    void setSensor(int number, bool on);
};

// One command as the simulator received it, with when (ms since it started).
struct SimCommand
{
    QByteArray payload;
    qint64 atMs = 0;
};

// The answer to one command: frames' payloads (e.g. "CMD;6,0,0,0,10;") and
// an optional delay before they go out.
struct SimReply
{
    QList<QByteArray> payloads;
    int delayMs = 0;
    int stepMs = 0; // gap between the payloads (progress frames)
};

// args: the command body split at ',' (command number first), without ';'.
using SimHandler = std::function<SimReply(const QStringList &args, SimMachineState &state)>;

// The reply table of the machine, keyed by command number; replies carry the
// shapes (field counts, echoed selectors) the driver expects.
QMap<int, SimHandler> defaultReplyTable();
// "CMD;<id>,<status>,<fields...>;"
QByteArray simReplyPayload(int id, const QStringList &fields, int status = 0);
// A plot frame's HPGL: cut (the cutter busy for plotDurationMs) when its size
// was announced, else counted as rejected.
bool acceptPlot(SimMachineState &state, const QByteArray &hpgl);
// A firmware frame "UPG;<module>;<file>": stored, answered with progress
// frames "UPG;1,0,<p>;" up to 100.
SimReply acceptUpload(SimMachineState &state, const QByteArray &payload);

// Fault modes, one at a time, switched by setFault (one call each).
enum class SimFault {
    None,
    NoReply, // commands are read but never answered
    LateReply, // answers come lateReplyMs late
    Garbage, // noise and a cut-off frame go out before each answer
    SplitBytes, // each answer goes out one byte per segment
    DropConnection, // the next command closes the connection instead
    DropMoveReply, // the next relative move ("4,1,x,y;") is made, its answer lost; then no fault
};

// A stand-in for the cutting and feeding machine: a real TCP peer on a
// loopback address, plus "DISA;<ident>" announcements to 127.0.0.1 only. The
// same reply logic also serves connections in memory (connectInProcess), so
// driver tests can run without a socket.
class MachineSimulator
{
public:
    struct Options
    {
        QString address = QStringLiteral("127.0.0.1");
        quint16 port = 9100; // 0 picks a free port
        // false: no TCP listener, only connections in memory (connectInProcess).
        bool listen = true;
        // Bytes an in-memory connection holds per direction (0: no bound).
        qsizetype pipeCapacity = 0;
        QString ident = QStringLiteral("AB07X3Q9");
        bool announce = true;
        quint16 announcePort = 51287;
        int announceIntervalMs = 1000;
    };

    MachineSimulator();
    explicit MachineSimulator(const Options &options);
    ~MachineSimulator();
    MachineSimulator(const MachineSimulator &) = delete;
    MachineSimulator &operator=(const MachineSimulator &) = delete;

    bool start();
    void stop();
    // A connection in memory, as if made to address:port: the driver's end,
    // or null with error filled when the simulator is not running there.
    std::shared_ptr<LinkStream> connectInProcess(const QString &address, quint16 port, QString *error);
    bool running() const { return m_running.load(); }
    quint16 port() const { return m_port; }
    QString address() const { return m_options.address; }
    QString ident() const { return m_options.ident; }

    void setFault(SimFault fault) { m_fault.store(fault); }
    // While paused no bytes are read from the connections; with a bounded
    // in-memory connection (Options::pipeCapacity) the driver's sends then
    // wait, as behind a machine busy taking plot data.
    void setIntakePaused(bool paused) { m_intakePaused.store(paused); }
    SimFault fault() const { return m_fault.load(); }
    void setLateReplyMs(int ms) { m_lateReplyMs.store(ms); }

    // Grows or overrides the reply table.
    void setReplyHandler(int command, SimHandler handler);
    // Sees every plot frame ("PPLT;..." payload after the header); plot
    // frames are never answered.
    void setPlotHandler(std::function<void(const QByteArray &plot, SimMachineState &state)> handler);

    // Unsolicited frames (reports such as the limit switch) to every client.
    void sendToAll(const QByteArray &payload);
    void sendRawToAll(const QByteArray &bytes);
    // Closes every client connection, as a machine that is switched off.
    void dropConnections();

    // Unsolicited reports: the task status ("CMD;12,0,s;") and the axis
    // limit switch ("CMD;23,axis,position;").
    void reportTaskStatus(int status);
    void reportAxisLimit(int axis, int position);

    int activeConnections() const;
    int acceptedConnections() const { return m_accepted.load(); }
    QList<QByteArray> receivedPayloads() const;
    // The received commands with their times, optionally only those whose
    // payload begins with prefix (e.g. "CCMD;20,1,3,").
    QList<SimCommand> commandLog(const QByteArray &prefix = QByteArray()) const;
    int commandCount(int command) const;
    void clearReceived();
    SimMachineState state() const;
    void updateState(const std::function<void(SimMachineState &)> &change);

private:
    struct Client;
    void acceptLoop();
    void addClient(std::shared_ptr<LinkStream> stream);
    void clientLoop(const std::shared_ptr<Client> &client);
    // false when the connection is to be dropped.
    bool handlePayload(const std::shared_ptr<Client> &client, const QByteArray &payload);
    void answer(const std::shared_ptr<Client> &client, const SimReply &reply);
    void reapClients();
    void announce();

    Options m_options;
    quint16 m_port = 0;
    int m_listenFd = -1;
    std::atomic<bool> m_running{false};
    std::atomic<SimFault> m_fault{SimFault::None};
    std::atomic<bool> m_intakePaused{false};
    std::chrono::steady_clock::time_point m_started = std::chrono::steady_clock::now();
    std::atomic<int> m_lateReplyMs{1000};
    std::atomic<int> m_accepted{0};
    std::thread m_acceptThread;

    mutable std::mutex m_lock; // table, state, received, clients
    QMap<int, SimHandler> m_table;
    std::function<void(const QByteArray &, SimMachineState &)> m_plotHandler;
    SimMachineState m_state;
    QList<QByteArray> m_received;
    QList<qint64> m_receivedAt;
    std::vector<std::shared_ptr<Client>> m_clients;
};
