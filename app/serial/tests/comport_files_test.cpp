// comport.cfg as operators leave it: saved by Notepad as "Unicode", or not readable.
#include "app/config/inifile.h"
#include "app/config/tests/testutil.h"
#include "app/config/texts.h"
#include "app/serial/comportmanager.h"
#include "app/serial/memoryserial.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

namespace {

QByteArray utf16le(const QString& text)
{
    QByteArray out("\xFF\xFE");
    out.append(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
    return out;
}

class ComportFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        for (int n : {1, 3})
            hub.addDevice(ComPortManager::defaultDeviceForPort(n));
        m.setProbe([this](const QString& d) { return hub.exists(d); });
    }
    void writeCfg(const QByteArray& bytes)
    {
        QFile f(cfgPath);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
    }
    QByteArray readCfg() const
    {
        QFile f(cfgPath);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    QTemporaryDir dir;
    QString cfgPath = dir.filePath("comport.cfg");
    MemorySerialHub hub;
    ComPortManager m{cfgPath, hub.factory()};
};

} // namespace

TEST_F(ComportFile, NotepadUnicodeFileOpensItsPortsAndStaysUtf16)
{
    SetAppLang("en_US");
    writeCfg(utf16le(QString::fromUtf8("; Funkgerät Küche\r\n[COM1]\r\nident=1\r\nactiv=1\r\n"
                                       "[COM3]\r\n; 2 m rig, do not remove\r\nident=3\r\nactiv=1\r\n")));
    const auto opened = m.startFromConfig({});
    ASSERT_EQ(opened.size(), 2);
    EXPECT_TRUE(m.COMPortIsOpen(1));
    EXPECT_TRUE(m.COMPortIsOpen(3));

    m.StoppeCOMPort(3);
    m.SaveCOMPortSetup(); // COM3 is closed now: its header and keys go, its comment stays
    EXPECT_EQ(readCfg(), utf16le(QString::fromUtf8("; Funkgerät Küche\r\n[COM1]\r\nident=1\r\nactiv=1\r\n"
                                                   "; 2 m rig, do not remove\r\n")));
}

TEST_F(ComportFile, AnUnreadableFileIsNeverWrittenOver)
{
    const QByteArray cfg = "[COM1]\r\nident=1\r\nactiv=1\r\ndevice=/dev/ttyS7\r\n";
    writeCfg(cfg);
    ASSERT_TRUE(QFile::setPermissions(cfgPath, QFileDevice::Permissions()));
    {
        ModeBitsCount modeBits;
        m.StarteCOMPort(3);
        m.SaveCOMPortSetup();
        m.setStatusOnAutorun(3, true);
        m.saveStatusWindowPos(3, 1, 2);
    }
    ASSERT_TRUE(QFile::setPermissions(cfgPath, QFileDevice::ReadOwner | QFileDevice::WriteOwner));
    EXPECT_EQ(readCfg(), cfg);
}
