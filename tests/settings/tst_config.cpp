#include "settings/config.h"
#include "tests/support/hang_bound.h"
#include "settings/param_table.h"
#include "settings/production_counters.h"
#include "settings/scene_settings_port.h"
#include "tests/support/recording_prompt.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QMetaProperty>
#include <QRegularExpression>
#include <QSemaphore>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <atomic>
#include <memory>
#include <thread>
#include <tuple>
#include <vector>

#include <sys/stat.h>

namespace {

const QString kBasic = QStringLiteral("基础设置");
const QString kPrint = QStringLiteral("打印设置");
const QString kLog = QStringLiteral("日志输出设置");
const QString kDetection = QStringLiteral("检测设置");
const QString kFlow = QStringLiteral("流程设置");

struct Expected
{
    int id; // -1: a property outside the table
    QString name; // INI key in section Spoolsmith unless it names its section
    QVariant def; // invalid: any value of the program's choosing
    QString key() const { return name.contains('/') ? name : QStringLiteral("Spoolsmith/") + name; }
};

// The 56 table settings present on every machine version, with key and typed default.
const QList<Expected> &tableDefaults()
{
    static const QList<Expected> t = {
        {0, "Gyroscope_Trigger", 3.0}, {1, "Gyroscope_Limit", 20.0}, {2, "Gyroscope_speed", 50.0},
        {3, "Print_Roller_Trigger", 80.0}, {4, "Print_Roller_Limit", 60.0}, {5, "Print_Roller_Max", 100.0},
        {6, "Film_Roller_Trigger", 80.0}, {7, "Film_Roller_Limit", 60.0}, {8, "Film_Roller_Max", 100.0},
        {9, "Film_Speed", 30.0}, {10, "Collect_Roller_Trigger", 80.0}, {11, "Collect_Roller_Limit", 60.0},
        {12, "Collect_Roller_Max", 100.0}, {13, "Collect_Speed", 30.0}, {14, "Rectify_Speed", 30.0},
        {15, "Rectify_Span", 500}, {16, "Rectify_Len", 0.5}, {17, "Poll_Time_Span", 100},
        {18, "printCopiesOnce", 1}, {19, "printPagesOnce", 1}, {20, "LogSetting/LOG_ERROR", true},
        {21, "LogSetting/LOG_WARNNING", true}, {22, "LogSetting/LOG_INFO", true}, {23, "LogSetting/LOG_DEBUG", false},
        {24, "enableGyroscope", true}, {25, "enablePrint", true}, {26, "enablePrintRoller", true},
        {27, "enableDrawLine", false}, {28, "enableRectify", false}, {29, "enableOCR", false},
        {30, "enableQRCode", true}, {31, "enableBARCode", true}, {32, "modelPath", QStringLiteral("./config.json")},
        {33, "Threshold", 0.6}, {34, "iouThreshold", 0.6}, {35, "enableScanAndTrim", true},
        {36, "pageSpacing", 0.0}, {37, "Version", 0}, {38, "Check_Camera_Rotation", 0},
        {39, "saveCheckImg", false}, {40, "Printer_Name", QString()}, {41, "Printer_Copies", true},
        {42, "waitPrint", false}, {43, "waitCapture", 10000}, {44, "waitTcpRet", 500},
        {45, "waitTcpRetMax", 10000}, {50, "package_size", 1}, {51, "MinPaperWidthPix", 1000},
        {52, "MaxRectifyOffset", 15}, {53, "film_roller_num", 1}, {54, "collect_roller_num", 1},
        {55, "enablePrintQR", 0}, {56, "markType", 0}, {57, "plt_dir", QString()},
        {58, "Cut_Inverse", false}, {59, "IP", QVariant()},
    };
    return t;
}

const QList<Expected> &plainDefaults()
{
    static const QList<Expected> t = {
        {-1, "Ident", QString()}, {-1, "Mark_Camera", QString()}, {-1, "Check_Camera", QString()},
        {-1, "Show_Camera", 0}, {-1, "Trim", false}, {-1, "Mark_Camera_Offset_X", 0.0},
        {-1, "Mark_Camera_Offset_Y", 0.0}, {-1, "Check_Camera_Offset_Y", 0.0}, {-1, "AutoRoll", false},
        {-1, "Mark_Camera_Width", 320}, {-1, "Mark_Camera_Height", 240}, {-1, "Mark_Size", 3.5},
        {-1, "TirmY_Speed", 150}, {-1, "Tirm_Offset", 500.0}, {-1, "Mark_Light", 0},
        {-1, "Check_Light", 0}, {-1, "Check_BK_Light", 0}, {-1, "Collect_Scale", 1.0},
        {-1, "Tirm_Scale", 1.0}, {-1, "Language", QVariant()}, {-1, "CheckCameraCenterX", 635.0},
    };
    return t;
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY2(f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size(), qPrintable(path));
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// INI text comes back as strings; compare in the type the value should have.
QVariant as(QVariant stored, const QVariant &like) { stored.convert(like.metaType()); return stored; }

QVariant fileValue(const QString &path, const QString &key)
{
    return QSettings(path, QSettings::IniFormat).value(key);
}

// Through a copy of its own: QSettings trusts a file it read of the same
// size and time.
QVariant copiedValue(const QString &path, const QString &key)
{
    static int copies = 0;
    const QString copy = path + QString::number(++copies);
    return QFile::copy(path, copy) ? fileValue(copy, key) : QVariant();
}
Config::ConfigParamType cpt(int id) { return Config::ConfigParamType(id); }
QMetaProperty metaProperty(const QObject &o, const char *name)
{
    return o.metaObject()->property(o.metaObject()->indexOfProperty(name));
}

// Warnings and criticals seen while installed, so a test can ask whether a problem was logged.
QStringList g_problems;
void recordProblems(QtMsgType type, const QMessageLogContext &, const QString &msg)
{
    if (type == QtWarningMsg || type == QtCriticalMsg)
        g_problems.append(msg);
}

// The cut scene as the application gives it to the settings: the sort switch
// and one cutter pen, ten scene points to the millimetre.
class FakeScenePort final : public SceneSettingsPort
{
public:
    bool scene = true;
    bool editable = true;
    bool sorted = false;
    int repaints = 0;
    CutterPenKeys pen{QStringLiteral("Pen1"), 200, 1, 0, 2.0, 2.0, 30.0, 1};

    bool hasScene() const override { return scene; }
    bool canEdit() const override { return editable; }
    bool isSorted() const override { return sorted; }
    void setSorted(bool on) override { sorted = on; }
    bool penFlag(PenFlag flag) const override { return pen.flags & flag; }
    void setPenFlag(PenFlag flag, bool on) override { pen.flags = on ? pen.flags | flag : pen.flags & ~flag; }
    double compensationMm(PenFlag which) const override { return value(which) / 10.0; }
    void setCompensationMm(PenFlag which, double mm) override { value(which) = mm * 10.0; }
    CutterPenKeys cutterPen() const override { return pen; }
    void repaint() override { ++repaints; }

private:
    double &value(PenFlag which) { return which == CloseCompensate ? pen.closeCompensate : pen.knifeCompensate; }
    double value(PenFlag which) const { return which == CloseCompensate ? pen.closeCompensate : pen.knifeCompensate; }
};

} // namespace

class TestConfig : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    // A fresh program folder per test function and data row.
    QString path(const QString &name = QString()) const
    {
        return name.isEmpty() ? m_dir->path() : m_dir->filePath(name);
    }

private slots:
    void initTestCase()
    {
        // Every start logs each key read; that would bury the test output.
        QLoggingCategory::setFilterRules(QStringLiteral("default.info=false"));
    }
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        // The store opens in the current folder, as it does for the program
        // started in its own: this case's, never the build tree.
        QVERIFY(QDir::setCurrent(m_dir->path()));
    }

    void freshStartWritesEveryKeyWithDefaults_data()
    {
        QTest::addColumn<bool>("emptyConfigIni");
        QTest::newRow("empty folder") << false;
        QTest::newRow("empty config.ini") << true;
    }
    void freshStartWritesEveryKeyWithDefaults()
    {
        QFETCH(bool, emptyConfigIni);
        const QString configIni = path("config.ini");
        if (emptyConfigIni)
            writeFile(configIni, QByteArray());
        const QString live = emptyConfigIni ? configIni : path("tmp.ini");
        {
            Config c(path());
            for (const Expected &e : tableDefaults()) {
                const QVariant v = c.getProperty(cpt(e.id));
                QVERIFY2(v.isValid(), qPrintable(e.key()));
                if (e.def.isValid()) {
                    QCOMPARE(v.typeId(), e.def.typeId());
                    QCOMPARE(v, e.def);
                }
            }
            QCOMPARE(c.liveStorePath(), live);
        }
        QCOMPARE(QFile::exists(configIni), emptyConfigIni);

        QSettings file(live, QSettings::IniFormat);
        QStringList expectedKeys;
        for (const Expected &e : tableDefaults() + plainDefaults()) {
            expectedKeys.append(e.key());
            if (e.def.isValid())
                QCOMPARE(as(file.value(e.key()), e.def), e.def);
        }
        QStringList keys = file.allKeys();
        // The production counters keep sections of their own and are checked with them.
        keys.removeIf([](const QString &k) {
            return k.startsWith("Total/") || k.startsWith("Today/") || k.startsWith("RowVersion/");
        });
        keys.sort();
        expectedKeys.sort();
        QCOMPARE(keys, expectedKeys);

        // A config.ini without a defaults file becomes the defaults file.
        if (emptyConfigIni)
            QCOMPARE(readFile(path("configDefault.ini")), readFile(configIni));
    }

    void brokenConfigFileGivesDefaults_data()
    {
        QTest::addColumn<bool>("directory");
        QTest::newRow("binary garbage") << false;
        QTest::newRow("directory named config.ini") << true;
    }
    void brokenConfigFileGivesDefaults()
    {
        QFETCH(bool, directory);
        if (directory) {
            QVERIFY(QDir(path()).mkdir("config.ini"));
        } else {
            QByteArray garbage;
            for (quint32 i = 0, x = 12345; i < 4096; ++i)
                garbage.append(char((x = x * 1103515245u + 12345u) >> 24));
            writeFile(path("config.ini"), garbage);
        }
        g_problems.clear();
        const QtMessageHandler previous = qInstallMessageHandler(recordProblems);
        Config c(path());
        qInstallMessageHandler(previous);
        for (const Expected &e : tableDefaults())
            if (e.def.isValid())
                QCOMPARE(c.getProperty(cpt(e.id)), e.def);
        QCOMPARE(c.markCameraWidth(), 320);
        QVERIFY2(!g_problems.filter("config.ini").isEmpty(), "the broken file was not logged");

        // The defaults file comes from the table, not from the damaged file,
        // so restoring defaults restores the defaults.
        QVERIFY(QFileInfo(path("configDefault.ini")).isFile());
        if (!directory)
            QVERIFY(readFile(path("configDefault.ini")) != readFile(path("config.ini")));
        QSettings defaults(path("configDefault.ini"), QSettings::IniFormat);
        QCOMPARE(defaults.status(), QSettings::NoError);
        for (const Expected &e : tableDefaults())
            if (e.def.isValid())
                QCOMPARE(as(c.getDefaultProperty(cpt(e.id)), e.def), e.def);
    }

    // Values of the wrong type, not finite or outside their parameter's range
    // give the default and a log line naming the key.
    void outOfRangeValuesGiveDefaults_data()
    {
        QTest::addColumn<QByteArray>("stored"); // one line of config.ini, section included
        QTest::addColumn<QString>("property");  // property name, or "#<id>" for a table value
        QTest::addColumn<QVariant>("expected");
        QTest::newRow("negative reply wait") << QByteArray("[Spoolsmith]\nwaitTcpRet=-1") << "#44" << QVariant(500);
        QTest::newRow("reply wait beyond int") << QByteArray("[Spoolsmith]\nwaitTcpRetMax=2147483648") << "#45"
                                               << QVariant(10000);
        QTest::newRow("hour-long reply wait") << QByteArray("[Spoolsmith]\nwaitTcpRet=3600000") << "#44"
                                              << QVariant(500);
        QTest::newRow("version far too big") << QByteArray("[Spoolsmith]\nVersion=99999999999") << "#37" << QVariant(0);
        QTest::newRow("threshold nan") << QByteArray("[Spoolsmith]\nThreshold=nan") << "#33" << QVariant(0.6);
        QTest::newRow("page spacing 1e308") << QByteArray("[Spoolsmith]\npageSpacing=1e308") << "#36" << QVariant(0.0);
        QTest::newRow("packet size zero") << QByteArray("[Spoolsmith]\npackage_size=0") << "#50" << QVariant(1);
        QTest::newRow("whole number with a fraction") << QByteArray("[Spoolsmith]\nwaitCapture=2.5") << "#43"
                                                      << QVariant(10000);
        QTest::newRow("switch that is no switch") << QByteArray("[Spoolsmith]\nenablePrint=maybe") << "#25"
                                                  << QVariant(true);
        QTest::newRow("camera width text") << QByteArray("[Spoolsmith]\nMark_Camera_Width=wide") << "markCameraWidth"
                                           << QVariant(320);
        QTest::newRow("mark size inf") << QByteArray("[Spoolsmith]\nMark_Size=inf") << "markSize" << QVariant(3.5);
        QTest::newRow("total cut inf") << QByteArray("[Total]\nCut=inf") << "totalCut" << QVariant(0.0);
        QTest::newRow("day copies negative") << QByteArray("[Today]\nCopies=-5") << "todayCopies" << QVariant(0u);
    }
    void outOfRangeValuesGiveDefaults()
    {
        QFETCH(QByteArray, stored);
        QFETCH(QString, property);
        QFETCH(QVariant, expected);
        writeFile(path("config.ini"), stored + "\n");
        g_problems.clear();
        const QtMessageHandler previous = qInstallMessageHandler(recordProblems);
        Config c(path(), path("config.db"));
        qInstallMessageHandler(previous);
        const QVariant value = property.startsWith('#') ? c.getProperty(cpt(property.mid(1).toInt()))
                                                        : metaProperty(c, property.toLatin1()).read(&c);
        QCOMPARE(as(value, expected), expected);
        const QString key = QString::fromLatin1(stored.mid(stored.indexOf('\n') + 1)).section('=', 0, 0);
        QVERIFY2(!g_problems.filter(key).isEmpty(), qPrintable(g_problems.join('\n')));
    }

    void startRules_data()
    {
        QTest::addColumn<QByteArray>("stored");     // [Spoolsmith] section of config.ini
        QTest::addColumn<QVariantMap>("properties"); // property name -> value after start
        QTest::addColumn<QVariantMap>("file");       // key -> value in config.ini afterwards
        QTest::newRow("auto roll forced off") << QByteArray("AutoRoll=true")
            << QVariantMap{{"autoRoll", false}} << QVariantMap{{"Spoolsmith/AutoRoll", false}};
        QTest::newRow("version 1: gyroscope follows printing")
            << QByteArray("Version=1\nenablePrint=false\nenableGyroscope=true")
            << QVariantMap{{"enableGyroscope", false}} << QVariantMap{{"Spoolsmith/enableGyroscope", false}};
        QTest::newRow("scan-and-trim off: trim and shown camera reset")
            << QByteArray("enableScanAndTrim=false\nTrim=true\nShow_Camera=1\nenableRectify=true")
            << QVariantMap{{"trim", false}, {"showCamera", 0}, {"enableRectify", true}}
            << QVariantMap{{"Spoolsmith/Trim", false}, {"Spoolsmith/Show_Camera", 0}};
        QTest::newRow("scan-and-trim on: web guide off")
            << QByteArray("enableScanAndTrim=true\nTrim=true\nShow_Camera=1\nenableRectify=true")
            << QVariantMap{{"trim", true}, {"showCamera", 1}, {"enableRectify", false}}
            << QVariantMap{{"Spoolsmith/enableRectify", false}};
    }
    void startRules()
    {
        QFETCH(QByteArray, stored);
        QFETCH(QVariantMap, properties);
        QFETCH(QVariantMap, file);
        const QString configIni = path("config.ini");
        writeFile(configIni, "[Spoolsmith]\n" + stored + "\n");
        {
            Config c(path());
            for (auto it = properties.cbegin(); it != properties.cend(); ++it)
                QCOMPARE(metaProperty(c, it.key().toLatin1()).read(&c), it.value());
        }
        for (auto it = file.cbegin(); it != file.cend(); ++it)
            QCOMPARE(as(fileValue(configIni, it.key()), it.value()), it.value());
    }

    void groupsModulesAndVersionExtras_data()
    {
        QTest::addColumn<int>("version");
        for (int v = 0; v <= 3; ++v)
            QTest::addRow("version %d", v) << v;
    }
    void groupsModulesAndVersionExtras()
    {
        QFETCH(int, version);
        const QString configIni = path("config.ini");
        writeFile(configIni, QStringLiteral("[Spoolsmith]\nVersion=%1\n").arg(version).toLatin1());
        {
            Config c(path());
            // The group map is ordered by title text, not by registration.
            QCOMPARE(c.getShowPropertiesClass(), (QStringList{kBasic, kPrint, kLog, kDetection, kFlow}));
            QCOMPARE(c.getShowProperties(kBasic),
                     (QList<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 10, 11, 12, 9, 13, 14, 57, 58, 56}));
            QCOMPARE(c.getShowProperties(kLog), (QList<int>{20, 21, 22, 23}));
            QCOMPARE(c.getShowProperties(kFlow), (QList<int>{25, 26}));
            QCOMPARE(c.getShowProperties(kDetection), (QList<int>{29, 30, 31}));
            QVERIFY(c.getShowProperties(QStringLiteral("nope")).isEmpty());
            QCOMPARE(c.getPropertyName(Config::CPT_LOG_WARNNING), QStringLiteral("警告"));
            QVERIFY(c.getPropertyName(Config::CPT_Version).isEmpty());
            QList<int> print{18, 19, 41, 55};
            if (version == 2)
                print << 46 << 47 << 48 << 49;
            QCOMPARE(c.getShowProperties(kPrint), print);
            const QVariant riin = c.getProperty(Config::CPT_RIIN_Path);
            QCOMPARE(riin.typeId(), version == 2 ? QMetaType::QString : QMetaType::Int);
            QCOMPARE(riin, version == 2 ? QVariant(QString()) : QVariant(0));
            // Below version 2 the id is outside the table: reads integer 0, ignores writes.
            QSignalSpy changed(&c, &Config::propertyChanged);
            c.setProperty(Config::CPT_RIIN_Path, QStringLiteral("x"));
            c.setPropertyName(Config::CPT_RIIN_Path, QStringLiteral("x"));
            QCOMPARE(changed.count(), version == 2 ? 2 : 0);
            QCOMPARE(c.getProperty(Config::CPT_RIIN_Path), version == 2 ? QVariant("x") : QVariant(0));
            QCOMPARE(c.containModules(Config::MT_Trim), version == 1);
            QCOMPARE(c.getModules(), version == 1 ? (QList<int>{0, 1, 2, 3}) : (QList<int>{0, 1, 2}));
        }
        QCOMPARE(QSettings(configIni, QSettings::IniFormat).contains("Spoolsmith/RIIN_Path"), version == 2);
    }

    void setPropertyConvertsToDeclaredType_data()
    {
        QTest::addColumn<int>("id");
        QTest::addColumn<QVariant>("input");
        QTest::addColumn<QVariant>("expected");
        QTest::newRow("double from text") << int(Config::CPT_Gyroscope_Trigger) << QVariant("4.5") << QVariant(4.5);
        QTest::newRow("double from int") << int(Config::CPT_PageSpacing) << QVariant(2) << QVariant(2.0);
        QTest::newRow("bool from \"false\"") << int(Config::CPT_LOG_INFO) << QVariant("false") << QVariant(false);
        QTest::newRow("bool from \"true\"") << int(Config::CPT_LOG_DEBUG) << QVariant("true") << QVariant(true);
        QTest::newRow("int from text") << int(Config::CPT_Poll_Time_Span) << QVariant("250") << QVariant(250);
        QTest::newRow("string from int") << int(Config::CPT_Printer_Name) << QVariant(42) << QVariant("42");
    }
    void setPropertyConvertsToDeclaredType()
    {
        QFETCH(int, id);
        QFETCH(QVariant, input);
        QFETCH(QVariant, expected);
        {
            Config c(path());
            QSignalSpy changed(&c, &Config::propertyChanged);
            c.setProperty(cpt(id), input);
            QCOMPARE(c.getProperty(cpt(id)).typeId(), expected.typeId());
            QCOMPARE(c.getProperty(cpt(id)), expected);
            QCOMPARE(changed.value(0).value(1).typeId(), expected.typeId()); // the signal carries it typed
        }
        Config again(path());
        QCOMPARE(again.getProperty(cpt(id)), expected);
    }

    void setPropertyNotifiesTypedProperty_data()
    {
        QTest::addColumn<int>("id");
        QTest::addColumn<QByteArray>("property");
        QTest::addColumn<QVariant>("value");
        const QList<std::tuple<int, const char *, QVariant>> rows = {
            {0, "gyroscopeTrigger", 4.0}, {1, "gyroscopeLimit", 21.0}, {3, "printRollerTrigger", 81.0},
            {4, "printRollerLimit", 61.0}, {5, "printRollerMax", 101.0}, {6, "filmRollerTrigger", 81.0},
            {7, "filmRollerLimit", 61.0}, {8, "filmRollerMax", 101.0}, {10, "collectRollerTrigger", 81.0},
            {11, "collectRollerLimit", 61.0}, {12, "collectRollerMax", 101.0}, {24, "enableGyroscope", false},
            {25, "enablePrint", false}, {26, "enablePrintRoller", false}, {28, "enableRectify", true},
            {35, "enableScanAndTrim", false}, {36, "pageSpacing", 2.0}, {37, "version", 3},
            {38, "checkCameraRotation", 90}};
        for (const auto &[id, name, value] : rows)
            QTest::addRow("%d %s", id, name) << id << QByteArray(name) << value;
    }
    // QML binds to the typed properties, so a change through the table must
    // reach their NOTIFY signals too.
    void setPropertyNotifiesTypedProperty()
    {
        QFETCH(int, id);
        QFETCH(QByteArray, property);
        QFETCH(QVariant, value);
        Config c(path());
        const QMetaProperty p = metaProperty(c, property);
        QVERIFY(p.hasNotifySignal());
        QSignalSpy notify(&c, p.notifySignal());
        c.setProperty(cpt(id), value);
        QCOMPARE(notify.count(), 1);
        QCOMPARE(p.read(&c), value);
    }

    void printCascades_data()
    {
        QTest::addColumn<int>("version");
        QTest::newRow("version 0: gyroscope untouched") << 0;
        QTest::newRow("version 1: gyroscope follows printing") << 1;
    }
    void printCascades()
    {
        QFETCH(int, version);
        writeFile(path("config.ini"), QStringLiteral("[Spoolsmith]\nVersion=%1\n").arg(version).toLatin1());
        Config c(path());
        QVERIFY(c.enablePrint() && c.enableGyroscope());
        c.setEnablePrintRoller(false); // roller off forces printing off
        QCOMPARE(c.enablePrint(), false);
        QCOMPARE(c.enableGyroscope(), version != 1);

        QStringList log;
        connect(&c, &Config::propertyChanged, this, [&](Config::ConfigParamType key, const QVariant &) {
            if (key == Config::CPT_Enable_Print || key == Config::CPT_Enable_Print_Roller)
                log << QStringLiteral("property %1").arg(int(key));
        });
        connect(&c, &Config::enablePrintRollerChanged, this, [&] { log << "enablePrintRollerChanged"; });
        connect(&c, &Config::enablePrintChanged, this, [&] { log << "enablePrintChanged"; });
        c.setEnablePrint(true); // printing on forces the roller on
        QCOMPARE(log, (QStringList{"property 25", "property 26", "enablePrintRollerChanged", "enablePrintChanged"}));
        QCOMPARE(c.enablePrintRoller(), true);
    }

    void scanAndTrimCascades()
    {
        Config c(path());
        c.setEnableScanAndTrim(false);
        c.setShowCamera(1);
        c.setEnableRectify(true);
        QSignalSpy rectify(&c, &Config::enableRectifyChanged);
        c.setEnableScanAndTrim(true);
        QCOMPARE(c.enableRectify(), false);
        QCOMPARE(rectify.count(), 1);
        QCOMPARE(c.showCamera(), 1);
        QSignalSpy shown(&c, &Config::showCameraChanged);
        c.setEnableScanAndTrim(false);
        QCOMPARE(c.showCamera(), 0);
        QCOMPARE(shown.count(), 1);
    }

    void dialogEditsAndDefaults()
    {
        Config c(path());
        c.saveTmp(Config::CPT_Enable_OCR, true);
        c.saveTmp(Config::CPT_printCopiesOnce, 2);
        c.saveTmp(Config::CPT_Gyroscope_Trigger, 4.0);
        c.saveTmp(Config::CPT_Gyroscope_Trigger, 5.0);
        QCOMPARE(c.pendingEdits().value(Config::CPT_Gyroscope_Trigger), QVariant(5.0));
        QCOMPARE(c.gyroscopeTrigger(), 3.0);
        QList<int> order;
        connect(&c, &Config::propertyChanged, this,
                [&](Config::ConfigParamType key, const QVariant &) { order << int(key); });
        c.saveCfg();
        QCOMPARE(order, (QList<int>{0, 18, 29}));
        QCOMPARE(c.gyroscopeTrigger(), 5.0);
        QVERIFY(c.pendingEdits().isEmpty());
        c.saveCfg();
        QCOMPARE(order.size(), 3);

        // Restoring defaults: keys the defaults file lacks keep their value.
        writeFile(path("configDefault.ini"),
                  "[Spoolsmith]\nGyroscope_Trigger=7.5\nprintCopiesOnce=3\nRectify_Span=900\n");
        c.setProperty(Config::CPT_LOG_DEBUG, true);
        c.saveTmp(Config::CPT_printPagesOnce, 9);
        QVERIFY(!c.getDefaultProperty(Config::CPT_LOG_DEBUG).isValid());
        const QtMessageHandler previous = qInstallMessageHandler(recordProblems); // a warning per missing key
        c.resetDefaultCfg();
        qInstallMessageHandler(previous);
        QCOMPARE(c.getProperty(Config::CPT_Gyroscope_Trigger).typeId(), QMetaType::Double);
        QCOMPARE(c.gyroscopeTrigger(), 7.5);
        QCOMPARE(c.getProperty(Config::CPT_printCopiesOnce), QVariant(3)); // visible: reset
        QCOMPARE(c.getProperty(Config::CPT_LOG_DEBUG), QVariant(true)); // no default: kept
        QCOMPARE(c.getProperty(Config::CPT_Rectify_Span), QVariant(500)); // hidden: not reset
        QVERIFY(c.pendingEdits().isEmpty()); // the dialog's unsaved edits are dropped
    }

    // Restored defaults and values saved from the dialog pass the checks of
    // a start: the wrong form or out of range gives the default and a log
    // line, for this run and after a restart.
    void restoredAndSavedValuesAreChecked_data()
    {
        QTest::addColumn<bool>("restore"); // from configDefault.ini, else saved with the dialog
        QTest::addColumn<int>("id");
        QTest::addColumn<QString>("value");
        QTest::addColumn<double>("expected");
        QTest::addColumn<bool>("replaced"); // by the default, with a log line
        QTest::newRow("restored decimal comma") << true << 9 << "2,5" << 30.0 << true;
        QTest::newRow("restored negative speed") << true << 13 << "-50" << 30.0 << true;
        QTest::newRow("restored speed far too high") << true << 9 << "1e9" << 30.0 << true;
        QTest::newRow("restored in range") << true << 9 << "2.5" << 2.5 << false;
        QTest::newRow("saved negative roller limit") << false << 4 << "-150" << 60.0 << true;
        QTest::newRow("saved no number") << false << 9 << "fast" << 30.0 << true;
        QTest::newRow("saved in range") << false << 4 << "45.5" << 45.5 << false;
    }
    void restoredAndSavedValuesAreChecked()
    {
        QFETCH(bool, restore);
        QFETCH(int, id);
        QFETCH(QString, value);
        QFETCH(double, expected);
        QFETCH(bool, replaced);
        const QString key = QString::fromLatin1(ParamTable::entry(id).key).section('/', 1);
        if (restore)
            writeFile(path("configDefault.ini"), ("[Spoolsmith]\n" + key + "=" + value + "\n").toLatin1());
        {
            Config c(path());
            g_problems.clear();
            const QtMessageHandler previous = qInstallMessageHandler(recordProblems);
            if (restore) {
                c.resetDefaultCfg();
            } else {
                c.saveTmp(cpt(id), value.toDouble() != 0.0 ? QVariant(value.toDouble()) : QVariant(value));
                c.saveCfg();
            }
            qInstallMessageHandler(previous);
            QCOMPARE(c.getProperty(cpt(id)), QVariant(expected));
            QCOMPARE(!g_problems.filter(key).isEmpty(), replaced);
        }
        Config again(path());
        QCOMPARE(again.getProperty(cpt(id)), QVariant(expected));
    }

    void valuesAcrossRestart_data()
    {
        QTest::addColumn<QByteArray>("property");
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<bool>("kept");
        const QList<std::tuple<const char *, QVariant, bool>> rows = {
            {"ident", "M-7", true}, {"tirmYSpeed", 200, true}, {"markCameraOffsetX", 1.25, true},
            {"language", 7, true}, {"gyroscopeTrigger", 4.25, true}, {"pageSpacing", 2.5, true},
            {"checkCameraRotation", 180, true}, {"markCameraWidth", 640, false},
            {"markCameraHeight", 480, false}, {"markSize", 5.0, false}, {"checkCameraCenterX", 700.0, false}};
        for (const auto &[name, value, kept] : rows)
            QTest::newRow(name) << QByteArray(name) << value << kept;
    }
    void valuesAcrossRestart()
    {
        QFETCH(QByteArray, property);
        QFETCH(QVariant, value);
        QFETCH(bool, kept);
        QVariant before;
        {
            Config c(path());
            const QMetaProperty p = metaProperty(c, property);
            before = p.read(&c);
            QSignalSpy notify(&c, p.notifySignal());
            QVERIFY(p.write(&c, value));
            QCOMPARE(notify.count(), 1);
            QCOMPARE(p.read(&c), value);
        }
        Config again(path());
        QCOMPARE(metaProperty(again, property).read(&again), kept ? value : before);
    }

    void resetFlagsSignalEveryWrite()
    {
        Config c(path());
        QSignalSpy rectify(&c, &Config::rectifyResetCanged);
        c.setRectifyReset(true);
        c.setRectifyReset(true);
        QCOMPARE(rectify.count(), 2);
    }

    void checkCameraChoice()
    {
        QStringList serials{QStringLiteral("SN-42")};
        {
            Config c(path());
            c.setIndustrialCameraLister([&serials] { return serials; });
            QSignalSpy rotation(&c, &Config::checkCameraRotationChanged);
            QSignalSpy camera(&c, &Config::checkCameraChanged);
            c.setCheckCameraName(QStringLiteral("USB Camera"));
            c.setCheckCamera(QStringLiteral("0"));
            QCOMPARE(c.checkCameraRotation(), 90);
            QCOMPARE(rotation.count(), 1);
            QCOMPARE(camera.count(), 1);
            QCOMPARE(c.usedQMLCameraAt(1), true);
            c.setCheckCameraName(QStringLiteral("MV-CA013"));
            c.setCheckCamera(QStringLiteral("SN-42"));
            QCOMPARE(c.checkCameraRotation(), 0);
            QCOMPARE(c.usedQMLCameraAt(1), false);
            QCOMPARE(camera.count(), 2);
            // The same id again only refreshes the flag from the camera list.
            serials.clear();
            c.setCheckCamera(QStringLiteral("SN-42"));
            QCOMPARE(camera.count(), 2);
            QCOMPARE(rotation.count(), 2);
            QCOMPARE(c.usedQMLCameraAt(1), true);
            // While the check camera is shown, choosing an industrial one
            // tells the pane at once that its picture now comes as frames.
            c.setShowCamera(1);
            QSignalSpy used(&c, &Config::usedQMLCameraChanged);
            serials = QStringList{QStringLiteral("SN-7")};
            c.setCheckCamera(QStringLiteral("SN-7"));
            QCOMPARE(c.usedQMLCamera(), false);
            QCOMPARE(used.count(), 1);
            c.setCheckCamera(QStringLiteral("SN-7"));
            QCOMPARE(used.count(), 1);
            serials.clear();
            c.setCheckCamera(QStringLiteral("1"));
            QCOMPARE(c.usedQMLCamera(), true);
            QCOMPARE(used.count(), 2);
            c.setCheckCamera(QStringLiteral("SN-42"));
        }
        QCOMPARE(fileValue(path("tmp.ini"), "Spoolsmith/Check_Camera").toString(), QStringLiteral("SN-42"));
    }

    void setVersion_data()
    {
        QTest::addColumn<bool>("configPresent");
        QTest::addColumn<int>("version");
        QTest::addColumn<QByteArray>("variant"); // empty: no variant file
        QTest::addColumn<bool>("writable");      // config.ini can be written
        const QByteArray variant2("[Spoolsmith]\nVersion=2\nIdent=variant2\n");
        QTest::newRow("no config.ini, variant present: install and restart") << false << 2 << variant2 << true;
        QTest::newRow("no config.ini, variant missing: empty config.ini") << false << 3 << QByteArray() << true;
        QTest::newRow("config.ini present: store only") << true << 2 << variant2 << true;
        QTest::newRow("config.ini cannot be written: error, no restart") << false << 2 << variant2 << false;
        QTest::newRow("neither variant nor config.ini: error, no restart") << false << 3 << QByteArray() << false;
    }
    void setVersion()
    {
        QFETCH(bool, configPresent);
        QFETCH(int, version);
        QFETCH(QByteArray, variant);
        QFETCH(bool, writable);
        const QString configIni = path("config.ini");
        if (configPresent)
            writeFile(configIni, "[Spoolsmith]\nVersion=1\n");
        if (!variant.isEmpty()) {
            QVERIFY(QDir(path()).mkdir("config"));
            writeFile(path(QStringLiteral("config/config%1.ini").arg(version)), variant);
        }
        RecordingPrompt prompt;
        {
            Config c(path());
            c.setInformationHook([&prompt](const QString &title, const QString &text) {
                prompt.information(title, text);
            });
            QSignalSpy versionSpy(&c, &Config::versionChanged);
            QList<int> exitCodes;
            qsizetype shownAtExit = -1;
            connect(&c, &Config::exitRequested, this, [&](int code) {
                exitCodes << code;
                shownAtExit = prompt.shown.size();
            });
            // A directory where config.ini should be: no write reaches it,
            // root or not (a read-only folder or a full disk alike).
            if (!writable)
                QVERIFY(QDir(path()).mkpath("config.ini/in-the-way"));
            g_problems.clear();
            const QtMessageHandler previous = qInstallMessageHandler(recordProblems);
            c.setVersion(version);
            qInstallMessageHandler(previous);
            QCOMPARE(c.version(), version);
            const qsizetype afterFirst = versionSpy.count();
            QVERIFY(afterFirst >= 1);
            if (!writable) {
                QVERIFY2(!g_problems.filter("Config::setVersion").isEmpty(), qPrintable(g_problems.join('\n')));
                QCOMPARE(prompt.shown.size(), 1);
                QVERIFY2(prompt.shown.first().contains(configIni), qPrintable(prompt.shown.first()));
                QVERIFY(c.liveStorePath().endsWith("tmp.ini"));
                c.setVersion(version); // the next announcement: no second box
                QCOMPARE(prompt.shown.size(), 1);
                QVERIFY(exitCodes.isEmpty());
                bool answered = false;
                QMetaObject::invokeMethod(this, [&answered] { answered = true; }, Qt::QueuedConnection);
                QTRY_VERIFY_WITH_TIMEOUT(answered, kHangMs);
                QVERIFY(QDir(configIni).removeRecursively());
            } else if (configPresent) {
                QVERIFY(prompt.shown.isEmpty());
                QVERIFY(exitCodes.isEmpty());
                c.setVersion(version); // the same version is signalled again
                QVERIFY(versionSpy.count() > afterFirst);
            } else {
                QVERIFY(QFileInfo(configIni).isFile());
                QCOMPARE(readFile(configIni), variant);
                QCOMPARE(prompt.shown, QStringList{QStringLiteral("机器连接成功，重启完成初始化")});
                QCOMPARE(exitCodes, QList<int>{777});
                QCOMPARE(shownAtExit, 1); // exit only after the message was closed
            }
        }
        // After a restart config.ini is the live file; only an installed variant brings its ident.
        Config again(path());
        QCOMPARE(again.ident(),
                 configPresent || variant.isEmpty() || !writable ? QString() : QStringLiteral("variant2"));
        QCOMPARE(again.version(), configPresent || !variant.isEmpty() || !writable ? version : 0);
    }

    // Without a scene reads fall back and writes do nothing; while a job runs
    // writes are refused with a log line; a pen change stores the whole pen.
    void sceneBoundSettingsGoThroughThePort()
    {
        auto port = std::make_shared<FakeScenePort>();
        QString live;
        {
            Config c(path());
            live = c.liveStorePath();
            QSignalSpy close(&c, &Config::closeCompensateChanged);
            QSignalSpy closeVal(&c, &Config::closeCompensateValChanged);
            QSignalSpy sort(&c, &Config::autoSortChanged);

            for (bool installed : {false, true}) {
                port->scene = false;
                Config::setScenePort(installed ? port : nullptr);
                QCOMPARE(c.closeCompensateVal(), 0.2);
                QCOMPARE(c.knifeCompensateVal(), 0.2);
                QVERIFY(!c.autoSort());
                c.setCloseCompensate(true);
                c.setAutoSort(true);
                QCOMPARE(close.size() + sort.size(), 0);
            }

            port->scene = true;
            port->editable = false;
            g_problems.clear();
            qInstallMessageHandler(recordProblems);
            c.setCloseCompensate(true);
            qInstallMessageHandler(nullptr);
            QCOMPARE(close.size(), 0);
            QCOMPARE(port->pen.flags, 0);
            QVERIFY(g_problems.join('\n').contains(QStringLiteral("refused")));

            port->editable = true;
            c.setCloseCompensate(true);
            c.setCloseCompensateVal(1.5);
            QCOMPARE(close.size(), 1);
            QCOMPARE(closeVal.size(), 1);
            QVERIFY(c.closeCompensate());
            QVERIFY(!c.knifeCompensate());
            QCOMPARE(c.closeCompensateVal(), 1.5);
            QCOMPARE(port->repaints, 2);

            c.setAutoSort(true);
            QVERIFY(port->sorted && c.autoSort());
            QCOMPARE(sort.size(), 1);
            Config::setScenePort(nullptr);
        }
        QSettings file(live, QSettings::IniFormat);
        QCOMPARE(file.value("Pen1//color").toInt(), 200);
        QCOMPARE(file.value("Pen1//index").toInt(), 1);
        QCOMPARE(file.value("Pen1//flags").toInt(), int(SceneSettingsPort::CloseCompensate));
        QCOMPARE(file.value("Pen1//closeCompensate").toDouble(), 15.0);
        QCOMPARE(file.value("Pen1//knifeCompensate").toDouble(), 2.0);
        QCOMPARE(file.value("Pen1//toolUpAngle").toDouble(), 30.0);
        QCOMPARE(file.value("Pen1//repeat").toInt(), 1);
    }

    // A save writes what the program changed over config.ini as it is on
    // disk: a key changed or added by hand meanwhile stays, the counters'
    // sections stay exactly the program's, and a link stays a link.
    void saveKeepsTheFileAsItIsOnDisk_data()
    {
        QTest::addColumn<bool>("linked");
        QTest::addColumn<bool>("count"); // the save follows a copy counted, else a setting changed
        QTest::newRow("setting changed") << false << false;
        QTest::newRow("copy counted") << false << true;
        QTest::newRow("through a link") << true << false;
    }
    void saveKeepsTheFileAsItIsOnDisk()
    {
        QFETCH(bool, linked);
        QFETCH(bool, count);
        QVERIFY(QDir(path()).mkpath("real"));
        const QString file = path(linked ? "real/config.ini" : "config.ini");
        writeFile(file, "[Spoolsmith]\nVersion=1\n");
        if (linked)
            QVERIFY(QFile::link("real/config.ini", path("config.ini")));
        Config c(path());
        c.counters().syncKeys();
        QString text = QString::fromUtf8(readFile(file));
        text.replace("Mark_Camera_Width=320", "Mark_Camera_Width=640");
        text.replace(QRegularExpression("(\\[Total\\][^\\[]*)Copies=0"), "\\1Copies=999");
        writeFile(file, (text + "\n[Hand]\nAdded=7\n[Untaken.Total]\nCopies=5\n").toUtf8());
        if (count)
            c.addCounts(WorkDataRecord{QDate(), 0.5, 0.0, 1, 0, 0});
        else
            c.setProperty(Config::CPT_Film_Speed, 41.0);
        c.counters().syncKeys();

        QCOMPARE(QFileInfo(path("config.ini")).isSymLink(), linked);
        QCOMPARE(copiedValue(file, "Spoolsmith/Mark_Camera_Width").toInt(), 640);
        QCOMPARE(copiedValue(file, "Hand/Added").toInt(), 7);
        QCOMPARE(copiedValue(file, "Spoolsmith/Film_Speed").toDouble(), count ? 30.0 : 41.0);
        QCOMPARE(copiedValue(file, "Total/Copies").toULongLong(), c.totalCopies());
        QVERIFY(!copiedValue(file, "Untaken.Total/Copies").isValid());
    }

    // What the program makes is made as any new file is, and what a kill in
    // a write of a settings file left is gone at the next start.
    void newFilesAndLeftovers()
    {
        for (const char *name : {"configDefault.ini.writing-k1ll3d", "tmp.ini.writing-k1ll3d"})
            writeFile(path(name), "x");
        {
            Config c(path());
            c.saveDefaultCfg();
        }
        QVERIFY(!QFile::exists(path("configDefault.ini.writing-k1ll3d")));
        QVERIFY(!QFile::exists(path("tmp.ini.writing-k1ll3d")));
        const mode_t mask = ::umask(0);
        ::umask(mask);
        for (const char *name : {"tmp.ini", "configDefault.ini"}) {
            struct stat st {};
            QVERIFY2(::stat(QFile::encodeName(path(name)).constData(), &st) == 0, name);
            QCOMPARE(st.st_mode & 0777, 0666 & ~mask);
        }
    }

    // One order of the locks: the counters' before the settings'. Where
    // config.ini is written is given under the settings' lock, so giving it
    // waits for no counters' lock another thread holds.
    void countersLockComesFirst()
    {
        DbConfig db(path("config.db"));
        QSettings ini(path("config.ini"), QSettings::IniFormat);
        QSemaphore inside, given;
        std::atomic<bool> waited{false};
        ProductionCounters counters(db, {}, [&](const std::function<void(QSettings &)> &f) {
            inside.release();
            waited = !given.tryAcquire(1, int(kHangMs));
            f(ini);
        }, {});
        std::thread reading([&] { counters.readFile(path("config.ini")); });
        QVERIFY(inside.tryAcquire(1, int(kHangMs)));
        counters.setWriter(nullptr);
        given.release();
        reading.join();
        QVERIFY(!waited);
    }

    void concurrentCallsKeepFileConsistent()
    {
        constexpr int kRounds = 300;
        std::atomic<int> badReads{0};
        QMap<int, QVariant> inMemory;
        {
            Config c(path());
            std::vector<std::unique_ptr<QThread>> threads;
            for (int t = 0; t < 4; ++t) {
                threads.emplace_back(QThread::create([&c, &badReads, t] {
                    for (int i = 0; i < kRounds; ++i) {
                        // Each worker owns three of the doubles 0..11, so each last write is known.
                        for (int k = 0; k < 3; ++k)
                            c.setProperty(cpt(t * 3 + k), QString::number(t * 1000 + i));
                        for (int id = 0; id < 12; ++id)
                            if (c.getProperty(cpt(id)).typeId() != QMetaType::Double)
                                ++badReads;
                        switch (t) {
                        case 0: c.setEnablePrintRoller(i % 2 == 0); break; // cascades into printing
                        case 1: c.setMarkCameraOffsetX(i); break;
                        case 2: c.setShowCamera(i % 2); break;
                        default: c.saveTmp(Config::CPT_Rectify_Span, i); c.saveCfg(); break;
                        }
                    }
                }));
            }
            for (auto &th : threads)
                th->start();
            for (auto &th : threads) // bounded: a deadlock fails instead of hanging
                QVERIFY(th->wait(QDeadlineTimer(kHangMs)));
            QCOMPARE(badReads.load(), 0);
            for (int id = 0; id < 12; ++id)
                QCOMPARE(c.getProperty(cpt(id)).toDouble(), double((id / 3) * 1000 + kRounds - 1));
            QVERIFY(!c.enablePrintRoller() && !c.enablePrint());
            QCOMPARE(c.getProperty(Config::CPT_Rectify_Span), QVariant(kRounds - 1));
            for (const Expected &e : tableDefaults())
                inMemory.insert(e.id, c.getProperty(cpt(e.id)));
        }
        QSettings file(path("tmp.ini"), QSettings::IniFormat);
        for (const Expected &e : tableDefaults())
            QCOMPARE(as(file.value(e.key()), inMemory.value(e.id)), inMemory.value(e.id));
        QCOMPARE(file.value("Spoolsmith/Mark_Camera_Offset_X").toDouble(), double(kRounds - 1));
        QCOMPARE(file.value("Spoolsmith/Show_Camera").toInt(), (kRounds - 1) % 2);
    }
};

QTEST_GUILESS_MAIN(TestConfig)
#include "tst_config.moc"
