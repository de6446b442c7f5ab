// Group [Remote] of the user's settings file: defaults, round trip, values
// an operator may have typed by hand, and the token made at the first enable.
#include "app/AppPaths.h"
#include "app/Errors.h"
#include "remote/RemoteSettings.h"

#include <QFile>
#include <QSet>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

class TestRemoteSettings : public QObject {
    Q_OBJECT
private slots:
    void init();
    void defaultsWhenAbsent();
    void roundTripKeepsOtherGroups();
    void handTypedValues();
    void tokenMadeOnlyWhenMissingOrShort();
    void unwritableFileReported();

private:
    QString iniPath() const { return m_dir->filePath(QStringLiteral("Velmora.ini")); }
    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestRemoteSettings::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    AppPaths::setRegistryFile(iniPath());
}

void TestRemoteSettings::defaultsWhenAbsent()
{
    const TRemoteSettings s = ReadRemoteSettings();
    QVERIFY(!s.Enabled);
    QCOMPARE(s.Port, 8080);
    QVERIFY(s.Token.isEmpty());
    QVERIFY(!s.OscEnabled);
    QCOMPARE(s.OscPort, 9000);
    QVERIFY(s.OscAllowFrom.isEmpty());
    QVERIFY(!QFile::exists(iniPath()));   // reading never creates the file
}

void TestRemoteSettings::roundTripKeepsOtherGroups()
{
    {
        QSettings ini(iniPath(), QSettings::IniFormat);
        ini.setValue(QStringLiteral("CurFileName"), QStringLiteral("/shows/剧目.prj"));
    }
    TRemoteSettings s;
    s.Enabled = true;
    s.Port = 8181;
    s.Token = QStringLiteral("abcdefghijklmnopqrstuvwx");
    s.OscEnabled = true;
    s.OscPort = 53000;
    s.OscAllowFrom = QStringLiteral("192.168.1.20, 10.0.0.0/8");
    WriteRemoteSettings(s);
    QCOMPARE(ReadRemoteSettings(), s);
    QSettings ini(iniPath(), QSettings::IniFormat);
    QCOMPARE(ini.value(QStringLiteral("CurFileName")).toString(), QStringLiteral("/shows/剧目.prj"));
    QCOMPARE(ini.value(QStringLiteral("Remote/Port")).toInt(), 8181);
}

void TestRemoteSettings::handTypedValues()
{
    QFile file(iniPath());
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("[Remote]\nEnabled=1\nPort=70000\nToken=  spaced-token-0123456789  \n"
               "OscEnabled=yes\nOscPort=abc\n");
    file.close();
    const TRemoteSettings s = ReadRemoteSettings();
    QVERIFY(s.Enabled);
    QCOMPARE(s.Port, 8080);                         // out of range: the default
    QCOMPARE(s.Token, QStringLiteral("spaced-token-0123456789"));
    QVERIFY(!s.OscEnabled);                         // only true or 1 turn it on
    QCOMPARE(s.OscPort, 9000);
}

void TestRemoteSettings::tokenMadeOnlyWhenMissingOrShort()
{
    TRemoteSettings s;
    QVERIFY(EnsureRemoteToken(s));
    QCOMPARE(s.Token.size(), 24);
    const QString made = s.Token;
    QVERIFY(!EnsureRemoteToken(s));                 // a good token is kept
    QCOMPARE(s.Token, made);
    s.Token = QStringLiteral("short");
    QVERIFY(EnsureRemoteToken(s));
    QVERIFY(s.Token.size() >= MinRemoteTokenLength);
    QSet<QString> tokens;
    for (int i = 0; i < 50; ++i) {
        const QString token = NewRemoteToken();
        for (const QChar c : token)
            QVERIFY2(c.isLetterOrNumber() && c.unicode() < 128, qPrintable(token));
        tokens.insert(token);
    }
    QCOMPARE(tokens.size(), 50);
}

void TestRemoteSettings::unwritableFileReported()
{
    AppPaths::setRegistryFile(m_dir->filePath(QStringLiteral("missing/dir/Velmora.ini")));
    QVERIFY(QFile(m_dir->filePath(QStringLiteral("missing"))).open(QIODevice::WriteOnly));   // a file blocks the folder
    try {
        WriteRemoteSettings(TRemoteSettings());
        QFAIL("the write must fail");
    } catch (const VelmoraError &e) {
        QVERIFY(e.text().contains(QStringLiteral("Remote")));
    }
}

QTEST_GUILESS_MAIN(TestRemoteSettings)
#include "tst_remotesettings.moc"
