#include "machine/protocol/command_table.h"
#include "machine/protocol/frame_codec.h"
#include "tools/simulator/length_frame_reader.h"
#include "tools/simulator/machine_simulator.h"
#include "machine/link/byte_pipe.h"
#include "tests/support/hang_bound.h"

#include <future>

#include <QTest>

class TestSimulator : public QObject
{
    Q_OBJECT

private slots:
    // Every command body of the driver gets a reply that the driver accepts
    // and that wakes the key its sender waits on.
    void repliesHaveTheShapesTheDriverAccepts_data()
    {
        QTest::addColumn<QString>("body");
        QTest::addColumn<int>("key");
        const QList<QPair<const char *, int>> rows = {
            {"1,0,0,0,0,0;", 1}, {"2,0,5;", 2}, {"2,0,4;", 10001}, {"2,3,1;", 10002}, {"3;", 3},
            {"4,0,0,0;", 4}, {"4,1,-10,20;", 10000}, {"6,0,0,0;", 6}, {"6,1,0,12;", 6}, {"7,0,0,0;", 7},
            {"7,1,0,90;", 7}, {"9,0,0,0;", 9}, {"9,1,1.0000,0.5000;", 9}, {"10,0,0;", 10}, {"10,1,2;", 10},
            {"11,0,0,0;", 11}, {"11,1,300,400;", 11}, {"12,0;", 101}, {"12,1;", 102}, {"12,2;", 100},
            {"13,0,0,0,0,0;", 13}, {"13,1,3,10,20,30;", 13}, {"15,1,0;", 15}, {"15,0,-200;", 15},
            {"16,0;", 16}, {"16,1;", 16}, {"17;", 17}, {"18,0,0;", 18}, {"20,1,0,0,30,0;", 20},
            {"20,1,1,0,0,0;", 20}, {"20,0,2,0,0,0;", 104}, {"20,1,2,0,30,0.5;", 103}, {"20,0,3,0,0,0;", 106},
            {"20,1,3,0,30,100;", 105}, {"20,0,4,0,0,0;", 108}, {"20,1,4,0,30,100;", 107},
            {"20,0,4,1,0,0;", 110}, {"20,1,4,1,30,0;", 109}, {"21;", 21}, {"22,44,44;", 22}, {"5,1;", 5},
        };
        for (const auto &r : rows)
            QTest::newRow(r.first) << QString::fromLatin1(r.first) << r.second;
    }
    void repliesHaveTheShapesTheDriverAccepts()
    {
        QFETCH(QString, body);
        QFETCH(int, key);
        const QMap<int, SimHandler> table = defaultReplyTable();
        SimMachineState state;
        QString args = body;
        args.chop(1);
        const QStringList parts = args.split(',');
        const SimHandler handler = table.value(parts.first().toInt());
        const SimReply reply = handler ? handler(parts, state) : SimReply{{simReplyPayload(parts.first().toInt(), {})}, 0};
        QCOMPARE(reply.payloads.size(), 1);
        auto parsed = MachineFrame::parseCommandReply(MachineFrame::wrap(reply.payloads.first()));
        QVERIFY(parsed);
        MachineFrame::resolveReply(*parsed);
        QVERIFY2(parsed->ok, reply.payloads.first().constData());
        QCOMPARE(parsed->key, key);
    }

    // The same for every row of the command table the driver sends from, so
    // a row added to the table cannot go unanswered by the simulator.
    void everyTableRowIsAnsweredOnItsKey()
    {
        const QMap<int, SimHandler> table = defaultReplyTable();
        for (const CommandTable::Row *row = CommandTable::begin(); row != CommandTable::end(); ++row) {
            if (!row->body)
                continue; // a report the machine sends unasked
            QString body = CommandTable::body(row->command, {"1", "1", "1"});
            body.chop(1);
            const QStringList parts = body.split(',');
            QCOMPARE(parts.first().toInt(), row->id);
            SimMachineState state;
            const SimHandler handler = table.value(row->id);
            QVERIFY2(handler, qPrintable(body));
            auto parsed = MachineFrame::parseCommandReply(MachineFrame::wrap(handler(parts, state).payloads.first()));
            QVERIFY(parsed);
            MachineFrame::resolveReply(*parsed);
            QVERIFY2(parsed->ok, qPrintable(body));
            QCOMPARE(parsed->key, row->waitKey);
        }
    }

    void stateFollowsWrites()
    {
        const QMap<int, SimHandler> t = defaultReplyTable();
        SimMachineState s;
        t[7]({"7", "1", "0", "90"}, s);
        QCOMPARE(t[7]({"7", "0", "0", "0"}, s).payloads.first(), QByteArray("CMD;7,0,0,0,90;"));
        t[4]({"4", "1", "10", "-5"}, s);
        QCOMPARE(t[4]({"4", "0", "0", "0"}, s).payloads.first(), QByteArray("CMD;4,0,0,10,-5;"));
        s.gyroscopeHundredths = 250;
        QCOMPARE(t[18]({"18", "0", "0"}, s).payloads.first(), QByteArray("CMD;18,0,0,0,250,0,0,80,80,80;"));
    }

    void readerUsesTheLengthField()
    {
        // Frame bytes inside the payload: only the length field can tell.
        static const char payload[] = "UPG;2;\x02\x03\x03\x02 end";
        const QByteArray firmware(payload, sizeof(payload) - 1);
        const QByteArray stream = QByteArray("junk\x03") + MachineFrame::wrap(firmware) + MachineFrame::wrap("CCMD;3;")
            + QByteArray("\x02" "x;") + MachineFrame::wrap("CCMD;17;");
        LengthFrameReader reader;
        QList<QByteArray> out;
        for (char c : stream) {
            reader.feed(&c, 1);
            while (auto p = reader.next())
                out.append(*p);
        }
        QCOMPARE(out, (QList<QByteArray>{firmware, "CCMD;3;", "CCMD;17;"}));
        QCOMPARE(reader.buffered(), 0);
    }

    // Motors 2 to 4: busy for |length| / speed reads (at least one), then
    // done (3); speed 0 stops (0); a swallowed start gets no reply; the web
    // guide's reads report where it stands.
    void motorsRunAsStateMachines()
    {
        const QMap<int, SimHandler> table = defaultReplyTable();
        SimMachineState s;
        const auto send = [&](const QString &body) {
            const SimReply r = table.value(20)(body.split(','), s);
            return r.payloads.isEmpty() ? QByteArray() : r.payloads.first();
        };
        QCOMPARE(send("20,1,3,0,30,90"), QByteArray("CMD;20,0,1,3,0,30,90,1;"));
        for (int i = 0; i < 3; ++i)
            QCOMPARE(send("20,0,3,0,0,0"), QByteArray("CMD;20,0,0,3,0,0,0,1;"));
        QCOMPARE(send("20,0,3,0,0,0"), QByteArray("CMD;20,0,0,3,0,0,0,3;"));
        QCOMPARE(send("20,1,3,0,0,0"), QByteArray("CMD;20,0,1,3,0,0,0,0;"));
        QCOMPARE(s.collectMotor.starts, (QList<QPair<int, double>>{{30, 90.0}}));
        QCOMPARE(s.collectMotor.stops, 1);

        s.trimYMotor.silentStarts = 1;
        QCOMPARE(send("20,1,4,1,300,0"), QByteArray());
        QCOMPARE(send("20,1,4,1,300,0"), QByteArray("CMD;20,0,1,4,1,300,0,1;"));
        QCOMPARE(s.trimXMotor.state, 0);

        send("20,1,2,0,30,0.5");
        send("20,1,2,0,30,-0.2");
        QCOMPARE(send("20,0,2,0,0,0"), QByteArray("CMD;20,0,0,2,0,0,0.3,1;")); // busy for its one read
        QCOMPARE(send("20,0,2,0,0,0"), QByteArray("CMD;20,0,0,2,0,0,0.3,3;"));

        // Feed and film motors keep their plain echo.
        QCOMPARE(send("20,1,0,0,30,0"), QByteArray("CMD;20,0,1,0,0,30,0,1;"));
    }

    // Scripted readings go out one per read, then the feed moves the rollers.
    void rollerScriptThenFeed()
    {
        const QMap<int, SimHandler> table = defaultReplyTable();
        SimMachineState s;
        s.rollerScript = {{2.5, 70, 90, 85}};
        s.feedRollerStep = 1.5;
        s.feedDirection = -1;
        const auto read = [&] { return table.value(18)({"18", "0", "0"}, s).payloads.first(); };
        QCOMPARE(read(), QByteArray("CMD;18,0,0,0,250,0,0,70,90,85;"));
        QCOMPARE(read(), QByteArray("CMD;18,0,0,0,250,0,0,70,88.5,86.5;"));
        QCOMPARE(s.rollerReads, 2);
    }

    // A bounded connection in memory makes its writer wait until the reader
    // takes bytes, as a socket behind a slow peer.
    void boundedPipeHoldsItsWriter()
    {
        auto [a, b] = BytePipe::create(8);
        QCOMPARE(a->sendSome("0123456789", 10), qsizetype(8));
        QCOMPARE(a->sendSome("89", 2), qsizetype(0));
        std::future<qsizetype> rest = std::async(std::launch::async, [w = a] { return w->sendAll("89ab", 4, kHangMs); });
        QCOMPARE(rest.wait_for(std::chrono::milliseconds(50)), std::future_status::timeout);
        char buffer[16];
        QCOMPARE(b->receive(buffer, 16), qsizetype(8));
        QCOMPARE(rest.get(), qsizetype(4));
        QCOMPARE(b->receive(buffer, 16), qsizetype(4));
        QCOMPARE(QByteArray(buffer, 4), QByteArray("89ab"));
        // Unbounded by default.
        auto [c, d] = BytePipe::create();
        QCOMPARE(c->sendSome(QByteArray(1 << 20, 'x').constData(), 1 << 20), qsizetype(1 << 20));
    }
};

QTEST_GUILESS_MAIN(TestSimulator)
#include "tst_simulator.moc"
