#include "machine/protocol/frame_codec.h"
#include "machine/trv610plus.h"

#include <QSignalSpy>
#include <QTest>

using namespace MachineFrame;

namespace {

QByteArray framed(const char *payload)
{
    return wrap(QByteArray(payload));
}

QList<QByteArray> feedAll(Splitter &s, const QList<QByteArray> &chunks)
{
    QList<QByteArray> out;
    for (const QByteArray &c : chunks)
        s.feed(c.constData(), c.size(), [&](const QByteArray &f) { out.append(f); });
    return out;
}

} // namespace

class TestFrameCodec : public QObject
{
    Q_OBJECT

private slots:
    void lengthCountsItsOwnDigits_data()
    {
        QTest::addColumn<int>("payload");
        QTest::addColumn<int>("length");
        QTest::newRow("empty") << 0 << 4;
        QTest::newRow("7 bytes") << 7 << 12;
        QTest::newRow("5 -> 9") << 5 << 9;
        QTest::newRow("6 -> 11") << 6 << 11;
        QTest::newRow("94 -> 99") << 94 << 99;
        QTest::newRow("95 -> 101") << 95 << 101;
        QTest::newRow("993 -> 999") << 993 << 999;
        QTest::newRow("994 -> 1001") << 994 << 1001;
        QTest::newRow("99991 -> 99999") << 99991 << 99999;
        QTest::newRow("99992 -> 100001") << 99992 << 100001;
    }
    void lengthCountsItsOwnDigits()
    {
        QFETCH(int, payload);
        QFETCH(int, length);
        QCOMPARE(frameLength(payload), length);
        const QByteArray frame = wrap(QByteArray(payload, 'a'));
        QCOMPARE(frame.size(), length);
        QCOMPARE(frame.at(0), kStart);
        QCOMPARE(frame.back(), kEnd);
        QCOMPARE(frame.mid(1, frame.indexOf(';') - 1), QByteArray::number(length));
    }

    void packBuildsCommandAndRawFrames()
    {
        QCOMPARE(TRV610Plus::packFrame("CCMD", "3;"), QByteArray("\x02" "12;CCMD;3;\x03"));
        QCOMPARE(TRV610Plus::packFrame("PPLT", "IN;PU0,0;"), QByteArray("\x02" "19;PPLT;IN;PU0,0;\x03"));
        // Raw payloads pass unchanged, control bytes included; only L delimits them.
        const QByteArray firmware("UPG;2;\x02\x03\x00\xff", 10);
        const QByteArray frame = TRV610Plus::packRawFrame(firmware);
        QCOMPARE(frame, QByteArray("\x02" "15;", 4) + firmware + QByteArray(1, kEnd));
    }

    void splitterCutsMergedAndSplitFrames()
    {
        const QByteArray a = framed("CMD;6,0,0,0,10;");
        const QByteArray b = framed("CMD;7,0,0,0,100;");
        Splitter s;
        // Two frames in one block: both, in order.
        QCOMPARE(feedAll(s, {a + b}), (QList<QByteArray>{a, b}));
        // One frame over two blocks: decoded once, when its end arrives.
        QCOMPARE(feedAll(s, {a.left(5)}), QList<QByteArray>());
        QCOMPARE(feedAll(s, {a.mid(5)}), QList<QByteArray>{a});
        // Byte by byte, with the next frame's start in the tail.
        QList<QByteArray> bytes;
        for (char c : a + b.left(3))
            bytes.append(QByteArray(1, c));
        QCOMPARE(feedAll(s, bytes), QList<QByteArray>{a});
        QCOMPARE(s.buffered(), 3);
        QCOMPARE(feedAll(s, {b.mid(3)}), QList<QByteArray>{b});
        QCOMPARE(s.buffered(), 0);
    }

    void splitterDropsWhatCannotBeAFrame()
    {
        const QByteArray a = framed("CMD;3,0,0;");
        Splitter s;
        // A truncated frame before a whole one: only the part from the last 0x02.
        QCOMPARE(feedAll(s, {QByteArray("\x02" "20;CMD;6,0") + a}), QList<QByteArray>{a});
        // An end byte without any start: the candidate is dropped whole.
        QCOMPARE(feedAll(s, {QByteArray("noise\x03") + a}), QList<QByteArray>{a});
        QCOMPARE(s.buffered(), 0);
    }

    void splitterBoundsAnUnterminatedFlood()
    {
        const QByteArray good = framed("CMD;6,0,0,0,10;");
        Splitter s(1024);
        QList<QByteArray> out;
        qsizetype dropped = 0;
        const QByteArray junk(300, 'x');
        for (int i = 0; i < 10; ++i)
            dropped += s.feed(junk.constData(), junk.size(), [&](const QByteArray &f) { out.append(f); });
        QVERIFY(dropped > 0);
        QVERIFY(s.buffered() <= 1024);
        QVERIFY(out.isEmpty());
        // A frame begun right after a flood, whose start pushes the buffer
        // over the bound, survives the trim and is decoded when it ends.
        s.clear();
        const QByteArray flood(1020, 'x');
        QCOMPARE(s.feed(flood.constData(), flood.size(), [&](const QByteArray &f) { out.append(f); }), 0);
        QCOMPARE(s.feed(good.constData(), 6, [&](const QByteArray &f) { out.append(f); }), qsizetype(1020));
        QCOMPARE(s.buffered(), qsizetype(6));
        s.feed(good.constData() + 6, good.size() - 6, [&](const QByteArray &f) { out.append(f); });
        QCOMPARE(out, QList<QByteArray>{good});
        QCOMPARE(s.buffered(), qsizetype(0));
        s.clear();
        QCOMPARE(feedAll(s, {junk + junk + junk + junk, good}), QList<QByteArray>{good});
    }

    void commandReplyParsing()
    {
        auto r = parseCommandReply(framed("CMD;12,0,1;"));
        QVERIFY(r);
        QCOMPARE(r->key, 12);
        QVERIFY(r->replied && r->ok);
        QCOMPARE(r->fields, (QStringList{"0", "1"}));

        r = parseCommandReply(framed("CMD;6,1,0,0,10;"));
        QVERIFY(r && !r->ok);
        // Field count decides for command 6, so a non-zero status is still accepted.
        resolveReply(*r);
        QVERIFY(r->ok);
        QCOMPARE(r->key, 6);

        // The limit report keeps its id and has no status.
        r = parseCommandReply(framed("CMD;23,1,5,7;"));
        QVERIFY(r);
        resolveReply(*r);
        QVERIFY(r->ok);
        QCOMPARE(r->key, 23);
        QCOMPARE(r->fields, (QStringList{"23", "1", "5", "7"}));

        r = parseCommandReply(framed("CMD;1,0,,,,,;"));
        QVERIFY(r);
        QCOMPARE(r->fields.size(), 6); // empty parts are kept

        QVERIFY(!parseCommandReply(framed("CMD;;")));
        QVERIFY(!parseCommandReply(framed("CMD;5;")));
        QVERIFY(!parseCommandReply(framed("UPG;1,0,42;")));
        QVERIFY(!parseCommandReply(QByteArray("CMD;6,0")));
    }

    void waitKeysByReplyContent_data()
    {
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<int>("key");
        QTest::addColumn<bool>("ok");
        QTest::newRow("stop") << QByteArray("CMD;12,0,2;") << 100 << true;
        QTest::newRow("pause") << QByteArray("CMD;12,0,0;") << 101 << true;
        QTest::newRow("resume") << QByteArray("CMD;12,0,1;") << 102 << true;
        QTest::newRow("task status 7") << QByteArray("CMD;12,0,7;") << 12 << true;
        QTest::newRow("rectify write") << QByteArray("CMD;20,0,1,2,0,30,0.5,1;") << 103 << true;
        QTest::newRow("rectify read") << QByteArray("CMD;20,0,0,2,0,0,0,1;") << 104 << true;
        QTest::newRow("collect write") << QByteArray("CMD;20,0,1,3,0,0,0,0;") << 105 << true;
        QTest::newRow("collect read") << QByteArray("CMD;20,0,0,3,0,0,0,0;") << 106 << true;
        QTest::newRow("trim x write") << QByteArray("CMD;20,0,1,4,0,0,0,0;") << 107 << true;
        QTest::newRow("trim y read") << QByteArray("CMD;20,0,0,4,1,0,0,0;") << 110 << true;
        QTest::newRow("feed motor") << QByteArray("CMD;20,0,1,0,0,0,0,0;") << 20 << true;
        QTest::newRow("motor short") << QByteArray("CMD;20,0,1,3;") << 105 << false;
        QTest::newRow("move") << QByteArray("CMD;4,0,1,10,20;") << 10000 << true;
        QTest::newRow("position") << QByteArray("CMD;4,0,0,10,20;") << 4 << true;
        QTest::newRow("rectify reset") << QByteArray("CMD;2,0,0,4;") << 10001 << true;
        QTest::newRow("trim y reset") << QByteArray("CMD;2,0,3,1;") << 10002 << true;
        QTest::newRow("x clear") << QByteArray("CMD;2,0,0,5;") << 2 << true;
        QTest::newRow("device info short") << QByteArray("CMD;1,0,a,b;") << 1 << false;
        QTest::newRow("sensors 9 fields") << QByteArray("CMD;17,0,1,0,1,0,1,0,1,9;") << 17 << true;
        QTest::newRow("rollers") << QByteArray("CMD;18,0,0,0,250,0,0,55.5,70,80;") << 18 << true;
        QTest::newRow("other id by status") << QByteArray("CMD;21,1;") << 21 << false;
    }
    void waitKeysByReplyContent()
    {
        QFETCH(QByteArray, payload);
        QFETCH(int, key);
        QFETCH(bool, ok);
        auto r = parseCommandReply(wrap(payload));
        QVERIFY(r);
        resolveReply(*r);
        QCOMPARE(r->key, key);
        QCOMPARE(r->ok, ok);
    }

    void outgoingKeyIsTheCommandNumber()
    {
        QCOMPARE(commandKey(TRV610Plus::packFrame("CCMD", "12,2;")), 12);
        QCOMPARE(commandKey(TRV610Plus::packFrame("CCMD", "17;")), 17);
        QCOMPARE(commandKey(TRV610Plus::packFrame("PPLT", "IN;PG;")), 0);
    }

    void progressReplies()
    {
        QCOMPARE(parseProgress(framed("UPG;1,0,42.5;")), std::optional<double>(42.5));
        QCOMPARE(parseProgress(QByteArray("\x02" "18;UPG;1,0,42.5;\x03")), std::optional<double>(42.5));
        QVERIFY(!parseProgress(framed("UPG;1,1,42;")));
        QVERIFY(!parseProgress(framed("UPG;2,0,42;")));
        QVERIFY(!parseProgress(framed("UPG;1,0,abc;")));
        QVERIFY(!parseProgress(framed("X;UPG;1,0,42;")));

        TRV610Plus device;
        QSignalSpy spy(&device, &TRV610Plus::updateProgressChanged);
        device.decode(framed("UPG;1,0,42.5;"));
        QCOMPARE(device.updateProgress(), 42.5f);
        device.decode(framed("UPG;1,1,80;"));
        device.decode(framed("UPG;1,0,42.5;"));
        QCOMPARE(spy.count(), 1);
    }
};

QTEST_GUILESS_MAIN(TestFrameCodec)
#include "tst_frame_codec.moc"
