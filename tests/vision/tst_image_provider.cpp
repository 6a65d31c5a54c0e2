#include "vision/image_provider.h"

#include <QPixmap>
#include <QSet>
#include <QtTest>

#include <thread>
#include <vector>

class TestImageProvider : public QObject
{
    Q_OBJECT

private slots:
    void answersOnlyStoredAddresses()
    {
        QImage frame(8, 4, QImage::Format_RGB888);
        frame.fill(Qt::red);
        const QString url = ImageProvider::nextImageUrl();
        QVERIFY(url.startsWith(QLatin1String("image://myImage/")));
        ImageProvider provider([&](const QString &asked) { return asked == url ? frame : QImage(); });

        const QString id = url.mid(QStringLiteral("image://myImage/").size());
        QSize size;
        QCOMPARE(provider.requestImage(id, &size, QSize()), frame);
        QCOMPARE(size, QSize(8, 4));
        // Asked again with no new frame: the same picture.
        QCOMPARE(provider.requestImage(id, nullptr, QSize(100, 100)), frame);
        QCOMPARE(provider.requestPixmap(id, nullptr, QSize()).toImage().convertToFormat(QImage::Format_RGB888), frame);

        QVERIFY(provider.requestImage(QStringLiteral("12"), &size, QSize()).isNull());
        QVERIFY(provider.requestPixmap(QStringLiteral("12"), nullptr, QSize()).isNull());
        QVERIFY(ImageProvider({}).requestImage(id, nullptr, QSize()).isNull());
    }

    void idsNeverRepeatEvenWithinOneMillisecond()
    {
        // Four threads take ids as fast as they can; every id is new and each
        // thread sees them grow.
        constexpr int kThreads = 4;
        constexpr int kEach = 5000;
        std::vector<std::vector<qint64>> taken(kThreads);
        std::vector<std::thread> threads;
        for (int t = 0; t < kThreads; ++t) {
            threads.emplace_back([&taken, t] {
                for (int i = 0; i < kEach; ++i)
                    taken[t].push_back(ImageProvider::nextImageId());
            });
        }
        for (auto &thread : threads)
            thread.join();
        QSet<qint64> all;
        for (const auto &ids : taken) {
            for (std::size_t i = 1; i < ids.size(); ++i)
                QVERIFY(ids[i] > ids[i - 1]);
            for (qint64 id : ids)
                all.insert(id);
        }
        QCOMPARE(all.size(), kThreads * kEach);
        // Ids are the clock in ms: not behind it.
        QVERIFY(ImageProvider::nextImageId() >= QDateTime::currentMSecsSinceEpoch() - 1);
    }
};

QTEST_MAIN(TestImageProvider)
#include "tst_image_provider.moc"
