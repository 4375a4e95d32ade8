// Agent.ini reading and writing with Windows profile semantics, and the Windows-1250 code page.
#include "base/Cp1250.h"
#include "base/IniFile.h"

#include <QFile>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <QtTest>

using namespace orvex;

namespace {
// Czech letters in UTF-8 source and their Windows-1250 bytes, in the same order.
const QString CzechLetters = QStringLiteral("ěščřžýáíéúůťďňóĚŠČŘŽÝÁÍÉÚŮŤĎŇÓ");
const QByteArray CzechCp1250(
    "\xEC\x9A\xE8\xF8\x9E\xFD\xE1\xED\xE9\xFA\xF9\x9D\xEF\xF2\xF3"
    "\xCC\x8A\xC8\xD8\x8E\xDD\xC1\xCD\xC9\xDA\xD9\x8D\xCF\xD2\xD3");
}  // namespace

class TestIniFile : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir;

    QString writeFile(const QString& name, const QByteArray& bytes)
    {
        const QString path = dir.filePath(name);
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            qFatal("cannot write %s", qPrintable(path));
        f.write(bytes);
        return path;
    }

    static QByteArray readFile(const QString& path)
    {
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly))
            return QByteArray("<missing>");
        return f.readAll();
    }

private slots:
    void initTestCase() { QVERIFY(dir.isValid()); }

    void readString_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("expected");

        const QByteArray ini =
            "; comment line\r\n"
            "[Set]\r\n"
            "Port=COM1:9600,E,7,2\r\n"
            "  IPPort  =  5000  \r\n"
            "Port=COM9:19200,N,8,1\r\n"
            "UctFile=\r\n"
            "; Hidden=1\r\n"
            "# Hash=1\r\n"
            "junk line without equals\r\n"
            "[log]\r\n"
            "TCP/IP_In=0\r\n"
            "Com_In = 1\r\n"
            "[SET]\r\n"
            "Later=yes\r\n"
            "Port=COM7\r\n";
        QTest::newRow("plain key") << ini << "Set" << "Port" << "COM1:9600,E,7,2";
        QTest::newRow("section and key ignore case") << ini << "sEt" << "PORT" << "COM1:9600,E,7,2";
        QTest::newRow("blanks around key and value trimmed") << ini << "Set" << "IPPort" << "5000";
        QTest::newRow("empty value is a value") << ini << "Set" << "UctFile" << "";
        QTest::newRow("key with a slash") << ini << "Log" << "TCP/IP_In" << "0";
        QTest::newRow("key in a later section") << ini << "LOG" << "com_in" << "1";
        QTest::newRow("only the first matching section counts") << ini << "Set" << "Later" << "<def>";
        QTest::newRow("semicolon comment is no key") << ini << "Set" << "; Hidden" << "<def>";
        QTest::newRow("hash comment is no key") << ini << "Set" << "# Hash" << "<def>";
        QTest::newRow("key of another section") << ini << "Set" << "Com_In" << "<def>";
        QTest::newRow("missing section") << ini << "Timer" << "Interval" << "<def>";
        QTest::newRow("value with '=' inside") << QByteArray("[M602]\nHeslo=a=b\n") << "M602" << "Heslo" << "a=b";
        QTest::newRow("file without final line break") << QByteArray("[Set]\nPort=COM3") << "Set" << "Port" << "COM3";
        QTest::newRow("blanks around section name") << QByteArray("  [ Set ]  \nPort=COM4\n") << "Set" << "Port" << "COM4";
    }

    void readString()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(QString, expected);
        IniFile ini(writeFile("read.ini", content));
        QVERIFY(ini.Load());
        QCOMPARE(ini.ReadString(section, key, "<def>"), expected);
    }

    void readInteger_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<int>("expected");  // -77 is the default, so a fallback is visible
        QTest::addColumn<int>("asBool");    // 0 or 1, or -1 for "the default"

        QTest::newRow("decimal") << "1234" << 1234 << 1;
        QTest::newRow("zero") << "0" << 0 << 0;
        QTest::newRow("leading zeros") << "007" << 7 << 1;
        QTest::newRow("negative") << "-15" << -15 << 1;
        QTest::newRow("plus sign") << "+15" << 15 << 1;
        QTest::newRow("hex lower") << "0x1f" << 31 << 1;
        QTest::newRow("hex upper") << "0X4D2" << 1234 << 1;
        QTest::newRow("hex zero") << "0x0" << 0 << 0;
        QTest::newRow("hex all ones") << "0xFFFFFFFF" << -1 << 1;
        QTest::newRow("largest int") << "2147483647" << 2147483647 << 1;
        QTest::newRow("smallest int") << "-2147483648" << int(-2147483647 - 1) << 1;
        QTest::newRow("too large") << "2147483648" << -77 << -1;
        QTest::newRow("hex too long") << "0x100000000" << -77 << -1;
        QTest::newRow("empty") << "" << -77 << -1;
        QTest::newRow("letters") << "abc" << -77 << -1;
        QTest::newRow("trailing garbage") << "12abc" << -77 << -1;
        QTest::newRow("inner blank") << "1 2" << -77 << -1;
        QTest::newRow("bare 0x") << "0x" << -77 << -1;
        QTest::newRow("bad hex digit") << "0x1G" << -77 << -1;
        QTest::newRow("signed hex") << "-0x10" << -77 << -1;
        QTest::newRow("sign alone") << "-" << -77 << -1;
        QTest::newRow("fraction") << "1.5" << -77 << -1;
        QTest::newRow("word true") << "true" << -77 << -1;
    }

    void readInteger()
    {
        QFETCH(QString, value);
        QFETCH(int, expected);
        QFETCH(int, asBool);
        IniFile ini(writeFile("int.ini", "[Timer]\r\nValue = " + value.toUtf8() + "\r\n"));
        QVERIFY(ini.Load());
        QCOMPARE(ini.ReadInteger("Timer", "Value", -77), expected);
        QCOMPARE(ini.ReadBool("Timer", "Value", true), asBool == -1 ? true : asBool == 1);
        QCOMPARE(ini.ReadBool("Timer", "Value", false), asBool == -1 ? false : asBool == 1);
        QCOMPARE(ini.ReadInteger("Timer", "Missing", 600), 600);
        QCOMPARE(ini.ReadBool("Timer", "Missing", true), true);
    }

    void missingFile()
    {
        const QString path = dir.filePath("nowhere/Agent.ini");
        IniFile ini(path);
        QVERIFY(!ini.Exists());
        QVERIFY(!ini.Load());
        QCOMPARE(ini.ReadString("Set", "Port", "COM2:19200,N,8,1"), QString("COM2:19200,N,8,1"));
        QCOMPARE(ini.ReadInteger("Set", "IPPort", 1234), 1234);
        QCOMPARE(ini.ReadBool("Set", "ReadUct", true), true);
        // The directory does not exist either, so writing fails and creates nothing.
        QVERIFY(!ini.WriteString("Set", "Port", "COM1"));
        QVERIFY(!QFile::exists(path));

        IniFile another(dir.filePath("does-not-exist.ini"));
        QVERIFY(!another.Exists());
        QVERIFY(!another.Load());
        QVERIFY(another.ReadString("Set", "Port", "").isEmpty());
    }

    void write_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QByteArray>("after");

        const QByteArray ini =
            "; Orvex Agent\r\n"
            "[Set]\r\n"
            "Port = COM2:19200,N,8,1   \r\n"
            "Unknown=keep me\r\n"
            "\r\n"
            "# about logging\r\n"
            "[Log]\r\n"
            "Com_In=1\r\n"
            "TCP/IP_In=1\r\n";
        QTest::newRow("replace value, keep spacing") << ini << "Set" << "Port" << "COM1:9600,E,7,2"
            << QByteArray("; Orvex Agent\r\n[Set]\r\nPort = COM1:9600,E,7,2   \r\nUnknown=keep me\r\n\r\n"
                          "# about logging\r\n[Log]\r\nCom_In=1\r\nTCP/IP_In=1\r\n");
        QTest::newRow("names ignore case when replacing") << ini << "LOG" << "tcp/ip_in" << "0"
            << QByteArray("; Orvex Agent\r\n[Set]\r\nPort = COM2:19200,N,8,1   \r\nUnknown=keep me\r\n\r\n"
                          "# about logging\r\n[Log]\r\nCom_In=1\r\nTCP/IP_In=0\r\n");
        QTest::newRow("new key after the section's last key") << ini << "Set" << "IPPort" << "5000"
            << QByteArray("; Orvex Agent\r\n[Set]\r\nPort = COM2:19200,N,8,1   \r\nUnknown=keep me\r\nIPPort=5000\r\n\r\n"
                          "# about logging\r\n[Log]\r\nCom_In=1\r\nTCP/IP_In=1\r\n");
        QTest::newRow("new key in the last section") << ini << "Log" << "Extent" << "1"
            << QByteArray("; Orvex Agent\r\n[Set]\r\nPort = COM2:19200,N,8,1   \r\nUnknown=keep me\r\n\r\n"
                          "# about logging\r\n[Log]\r\nCom_In=1\r\nTCP/IP_In=1\r\nExtent=1\r\n");
        QTest::newRow("missing section at the end") << ini << "Timer" << "MaxTick" << "12"
            << QByteArray("; Orvex Agent\r\n[Set]\r\nPort = COM2:19200,N,8,1   \r\nUnknown=keep me\r\n\r\n"
                          "# about logging\r\n[Log]\r\nCom_In=1\r\nTCP/IP_In=1\r\n\r\n[Timer]\r\nMaxTick=12\r\n");
        QTest::newRow("empty value replaced") << QByteArray("[Set]\nUctFile=\nReadUct=1\n") << "Set" << "UctFile" << "DATA.NEW"
            << QByteArray("[Set]\nUctFile=DATA.NEW\nReadUct=1\n");
        QTest::newRow("only the first occurrence changes") << QByteArray("[Set]\nPort=A\nPort=B\n[set]\nPort=C\n") << "Set" << "Port" << "X"
            << QByteArray("[Set]\nPort=X\nPort=B\n[set]\nPort=C\n");
        QTest::newRow("section without keys") << QByteArray("[M602]\n; nothing yet\n[Set]\nPort=1\n") << "M602" << "Uzivatel" << "admin"
            << QByteArray("[M602]\nUzivatel=admin\n; nothing yet\n[Set]\nPort=1\n");
        QTest::newRow("LF file stays LF") << QByteArray("[Set]\nPort=1\n") << "Trapy" << "Subject" << "x"
            << QByteArray("[Set]\nPort=1\n\n[Trapy]\nSubject=x\n");
        QTest::newRow("no final line break, new key") << QByteArray("[Set]\r\nPort=1") << "Set" << "IPPort" << "2"
            << QByteArray("[Set]\r\nPort=1\r\nIPPort=2");
        QTest::newRow("no final line break, new section") << QByteArray("[Set]\r\nPort=1") << "Log" << "Extent" << "0"
            << QByteArray("[Set]\r\nPort=1\r\n\r\n[Log]\r\nExtent=0\r\n");
        QTest::newRow("mixed line endings kept") << QByteArray("[Set]\nPort=1\r\nIPPort=2\n") << "Set" << "IPPort" << "3"
            << QByteArray("[Set]\nPort=1\r\nIPPort=3\n");
        QTest::newRow("line break in value flattened") << QByteArray("[Trapy]\nZpravaComOn=a\n") << "Trapy" << "ZpravaComOn" << "one\ntwo"
            << QByteArray("[Trapy]\nZpravaComOn=one two\n");
        QTest::newRow("empty file") << QByteArray() << "Set" << "Port" << "COM1"
            << QByteArray("[Set]\r\nPort=COM1\r\n");
    }

    void write()
    {
        QFETCH(QByteArray, before);
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(QString, value);
        QFETCH(QByteArray, after);
        const QString path = writeFile("write.ini", before);
        IniFile ini(path);
        QVERIFY(ini.Load());
        QVERIFY(ini.WriteString(section, key, value));
        QCOMPARE(readFile(path), after);
        // The object reads what it wrote, and so does a fresh one.
        const QString flat = QString(value).replace('\n', ' ');
        QCOMPARE(ini.ReadString(section, key, "<def>"), flat);
        IniFile again(path);
        QVERIFY(again.Load());
        QCOMPARE(again.ReadString(section, key, "<def>"), flat);
    }

    void writeRejectsNamesThatBreakTheFile_data()
    {
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::newRow("empty key") << "Set" << "";
        QTest::newRow("blank section") << "  " << "Port";
        QTest::newRow("key with '='") << "Set" << "a=b";
        QTest::newRow("comment key") << "Set" << ";Port";
        QTest::newRow("section with ']'") << "Se]t" << "Port";
        QTest::newRow("key with line break") << "Set" << "Po\nrt";
    }

    void writeRejectsNamesThatBreakTheFile()
    {
        QFETCH(QString, section);
        QFETCH(QString, key);
        const QByteArray before("[Set]\r\nPort=COM2\r\n");
        const QString path = writeFile("names.ini", before);
        IniFile ini(path);
        QVERIFY(!ini.WriteString(section, key, "v"));
        QCOMPARE(readFile(path), before);
    }

    void typedWritersAndWriteIniString()
    {
        const QString path = dir.filePath("typed.ini");
        QFile::remove(path);
        IniFile ini(path);
        QVERIFY(!ini.Exists());
        QVERIFY(ini.WriteInteger("Set", "IPPort", -5000));
        QVERIFY(ini.WriteBool("Set", "ReadUct", true));
        QVERIFY(ini.WriteBool("Set", "SendUct", false));
        QVERIFY(WriteIniString(path, "Set", "Port", "/dev/pts/7:19200,N,8,1"));
        QVERIFY(ini.Exists());
        QCOMPARE(readFile(path), QByteArray("[Set]\r\nIPPort=-5000\r\nReadUct=1\r\nSendUct=0\r\nPort=/dev/pts/7:19200,N,8,1\r\n"));
        // WriteIniString went around the object; its next write still keeps that key.
        QVERIFY(ini.WriteInteger("Set", "MaxCache", 0));
        QVERIFY(ini.Load());
        QCOMPARE(ini.ReadString("Set", "Port", ""), QString("/dev/pts/7:19200,N,8,1"));
        QCOMPARE(ini.ReadInteger("Set", "IPPort", 0), -5000);
        QCOMPARE(ini.ReadBool("Set", "ReadUct", false), true);
        QCOMPARE(ini.ReadBool("Set", "SendUct", true), false);
        QCOMPARE(ini.ReadInteger("Set", "MaxCache", 110), 0);
    }

    void cp1250FileStaysCp1250()
    {
        // "Zpráva: spojení obnoveno" and a Czech comment, in Windows-1250.
        const QByteArray before =
            "; Nastaven\xED agenta\r\n"
            "[Trapy]\r\n"
            "ZpravaComOn=Spojen\xED obnoveno\r\n"
            "ZpravaComOff=Spojen\xED p\xF8" "eru\x9A" "eno\r\n"
            "Subject=Hl\xE1\x9A" "en\xED\r\n";
        const QString path = writeFile("cp1250.ini", before);
        IniFile ini(path);
        QVERIFY(ini.Load());
        QVERIFY(!ini.IsUtf8());
        QCOMPARE(ini.ReadString("Trapy", "ZpravaComOff", ""), QStringLiteral("Spojení přerušeno"));
        QCOMPARE(ini.ReadString("Trapy", "Subject", ""), QStringLiteral("Hlášení"));

        QVERIFY(ini.WriteString("Trapy", "ZpravaComOn", QStringLiteral("Ústředna opět odpovídá")));
        QByteArray expected = before;
        expected.replace("Spojen\xED obnoveno", "\xDAst\xF8" "edna op\xECt odpov\xED" "d\xE1");
        QCOMPARE(readFile(path), expected);

        IniFile again(path);
        QVERIFY(again.Load());
        QVERIFY(!again.IsUtf8());
        QCOMPARE(again.ReadString("Trapy", "ZpravaComOn", ""), QStringLiteral("Ústředna opět odpovídá"));
    }

    void utf8FileStaysUtf8_data()
    {
        QTest::addColumn<QByteArray>("bom");
        QTest::newRow("without BOM") << QByteArray();
        QTest::newRow("with BOM") << QByteArray("\xEF\xBB\xBF");
    }

    void utf8FileStaysUtf8()
    {
        QFETCH(QByteArray, bom);
        const QByteArray before = bom + QStringLiteral("; Nastavení agenta\n[Trapy]\nSubject=Hlášení\nZpravaComOn=x\n").toUtf8();
        const QString path = writeFile("utf8.ini", before);
        IniFile ini(path);
        QVERIFY(ini.Load());
        QVERIFY(ini.IsUtf8());
        QCOMPARE(ini.ReadString("Trapy", "Subject", ""), QStringLiteral("Hlášení"));
        QVERIFY(ini.WriteString("Trapy", "ZpravaComOn", QStringLiteral("Žluťoučký kůň")));
        QCOMPARE(readFile(path),
                 bom + QStringLiteral("; Nastavení agenta\n[Trapy]\nSubject=Hlášení\nZpravaComOn=Žluťoučký kůň\n").toUtf8());
    }

    void encodingIsDecidedByContent_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("utf8");
        QTest::addColumn<QString>("value");
        QTest::newRow("ASCII only") << QByteArray("[Set]\nName=COM2\n") << false << "COM2";
        QTest::newRow("Windows-1250 letters") << QByteArray("[Set]\nName=\x8A\xE8\n") << false << QStringLiteral("Šč");
        QTest::newRow("UTF-8 letters") << QStringLiteral("[Set]\nName=Šč\n").toUtf8() << true << QStringLiteral("Šč");
        // Looks like UTF-8 at first, but the lead byte lacks its continuation.
        QTest::newRow("truncated UTF-8 sequence") << QByteArray("[Set]\nName=\xC5\n") << false << QStringLiteral("Ĺ");
        QTest::newRow("overlong UTF-8") << QByteArray("[Set]\nName=\xC1\x81\n") << false << (QStringLiteral("Á") + QChar(0x81));
        QTest::newRow("UTF-8 surrogate") << QByteArray("[Set]\nName=\xED\xA0\x80\n") << false << QStringLiteral("í\u00A0€");
    }

    void encodingIsDecidedByContent()
    {
        QFETCH(QByteArray, content);
        QFETCH(bool, utf8);
        QFETCH(QString, value);
        const QString path = writeFile("detect.ini", content);
        IniFile ini(path);
        QVERIFY(ini.Load());
        QCOMPARE(ini.IsUtf8(), utf8);
        QCOMPARE(ini.ReadString("Set", "Name", "<def>"), value);
        // Writing another key leaves the existing bytes exactly as they were.
        QVERIFY(ini.WriteString("Set", "Other", "1"));
        QCOMPARE(readFile(path), content + "Other=1\n");
    }

    void asciiAndNewFilesAreWrittenInCp1250_data()
    {
        QTest::addColumn<bool>("exists");
        QTest::newRow("new file") << false;
        QTest::newRow("ASCII file") << true;
    }

    void asciiAndNewFilesAreWrittenInCp1250()
    {
        QFETCH(bool, exists);
        const QString path = dir.filePath("new.ini");
        QFile::remove(path);
        if (exists)
            writeFile("new.ini", "[Set]\r\nPort=COM2\r\n");
        QVERIFY(WriteIniString(path, "Trapy", "Subject", CzechLetters));
        const QByteArray bytes = readFile(path);
        QVERIFY2(bytes.contains("Subject=" + CzechCp1250 + "\r\n"), bytes.toHex(' ').constData());
        IniFile ini(path);
        QVERIFY(ini.Load());
        QVERIFY(!ini.IsUtf8());
        QCOMPARE(ini.ReadString("trapy", "SUBJECT", ""), CzechLetters);
    }

    void cp1250Czech()
    {
        QCOMPARE(CzechLetters.size(), CzechCp1250.size());
        QCOMPARE(ToCp1250(CzechLetters), CzechCp1250);
        QCOMPARE(FromCp1250(CzechCp1250), CzechLetters);
        for (qsizetype i = 0; i < CzechLetters.size(); ++i)
            QCOMPARE(ToCp1250(CzechLetters.mid(i, 1)), CzechCp1250.mid(i, 1));
        QCOMPARE(ToCp1250(QStringLiteral("Neexistuje soubor Agent.ini")), QByteArray("Neexistuje soubor Agent.ini"));
    }

    void cp1250Unmappable_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("Cyrillic") << QStringLiteral("aЖb") << QByteArray("a?b");
        QTest::newRow("Greek") << QStringLiteral("π") << QByteArray("?");
        QTest::newRow("Latin-1 letter outside the code page") << QStringLiteral("ñ") << QByteArray("?");
        QTest::newRow("outside the basic plane is one character") << QStringLiteral("x\U0001F600y") << QByteArray("x?y");
        QTest::newRow("lone surrogate") << QString(QChar(0xD800)) << QByteArray("?");
        QTest::newRow("euro and quotes") << QStringLiteral("€„“") << QByteArray("\x80\x84\x93");
    }

    void cp1250Unmappable()
    {
        QFETCH(QString, text);
        QFETCH(QByteArray, bytes);
        QCOMPARE(ToCp1250(text), bytes);
    }

    void cp1250EveryByteRoundTrips()
    {
        QByteArray all;
        for (int b = 0; b < 256; ++b)
            all.append(static_cast<char>(b));
        const QString text = FromCp1250(all);
        QCOMPARE(text.size(), 256);
        QCOMPARE(ToCp1250(text), all);
        // The upper half holds 128 different characters.
        QSet<QChar> seen;
        for (qsizetype i = 128; i < 256; ++i)
            seen.insert(text.at(i));
        QCOMPARE(seen.size(), 128);
    }

    void cp1250AgreesWithIcu()
    {
        // An independent table, when Qt was built with ICU; the code page's five
        // undefined bytes are left out.
        QStringDecoder icu("windows-1250");
        if (!icu.isValid())
            QSKIP("this Qt has no windows-1250 decoder");
        for (int b = 0x80; b < 0x100; ++b) {
            if (b == 0x81 || b == 0x83 || b == 0x88 || b == 0x90 || b == 0x98)
                continue;
            const QByteArray one(1, static_cast<char>(b));
            const QString expected = icu.decode(one);
            QCOMPARE(FromCp1250(one), expected);
            QCOMPARE(ToCp1250(expected), one);
        }
    }
};

QTEST_GUILESS_MAIN(TestIniFile)
#include "test_inifile.moc"
