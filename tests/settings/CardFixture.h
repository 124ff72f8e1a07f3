#pragma once
// Card trees for the settings tests: an EVENT folder (so the card is found), a SETUP folder, and
// the camera's two files written byte by byte. The drive table sees the card as E: through
// VIEWER_DRIVES. The cards lie where an ordinary user can reach them, since the tests of
// write-protected cards drop root's rights.
#include "TestScratch.h"
#include "settings/SetupRecord.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <gtest/gtest.h>

#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

inline QString ScratchDir()
{
    return QString::fromStdString(OrdinaryUserDir());
}

// No drive at all in the table.
inline void UseNoDrives() { qputenv("VIEWER_DRIVES", QByteArray("")); }

inline QByteArray FileBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline void WriteBytes(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    ASSERT_EQ(f.write(bytes), bytes.size());
}

inline QByteArray ToQBytes(const SetupRecord& r)
{
    const SetupBytes b = SetupRecordToBytes(r);
    return QByteArray(reinterpret_cast<const char*>(b.data()), static_cast<int>(b.size()));
}

inline SetupRecord FromQBytes(const QByteArray& b)
{
    EXPECT_GE(b.size(), 200);
    if (b.size() < 200) return {};
    return SetupRecordFromBytes(reinterpret_cast<const std::uint8_t*>(b.constData()));
}

// Factory record bytes: model code, then "V<d1>.<d2>.<d3>" at offset 46 and the suffix at 52.
inline QByteArray FactoryBytes(const char* digits, char suffix = 0, int size = 78, const char* model = "ZQX")
{
    QByteArray b(size, '\0');
    for (int i = 0; i < 3 && i < size; ++i) b[i] = model[i];
    const char text[7] = {'V', digits[0], '.', digits[1], '.', digits[2], suffix};
    for (int i = 0; i < 7 && 46 + i < size; ++i) b[46 + i] = text[i];
    if (size > 62) b[62] = 'V';   // the second version text is not read
    return b;
}

// A valid record whose words that no page edits hold values of their own, so that a test can
// tell untouched words from rewritten ones.
inline SetupRecord DistinctRecord()
{
    SetupRecord r = DefaultSetupRecord();
    const int untouched[] = {2, 3, 4, 9, 11, 12, 13, 14, 15, 16, 17, 19, 21, 22, 23, 24, 30, 32, 33, 34, 35, 37, 40,
                             41, 42, 43, 44, 47, 49, 50, 51, 52, 53, 59, 71, 74, 75, 77, 80, 85, 90, 94, 96, 99};
    for (int n : untouched) r.SetWord(n, static_cast<std::uint16_t>(0xA000 + n * 7));
    r.SetWord(95, 1234);
    r.checksum = SetupRecordChecksum(r);
    return r;
}

class CardTree {
public:
    explicit CardTree(const QString& name, bool withEventFolder = true)
    {
        m_root = ScratchDir() + QLatin1Char('/') + name;
        QDir(m_root).removeRecursively();
        QDir().mkpath(m_root + QStringLiteral("/SETUP"));
        if (withEventFolder) QDir().mkpath(m_root + QStringLiteral("/EVENT"));
        qputenv("VIEWER_DRIVES", ("E=" + m_root).toLocal8Bit());
    }

    QString Root() const { return m_root; }
    QString SetupPath(bool inSetupFolder = false) const
    {
        return m_root + (inSetupFolder ? QStringLiteral("/SETUP/data_setup.cfg") : QStringLiteral("/data_setup.cfg"));
    }
    QString FactoryPath() const { return m_root + QStringLiteral("/SETUP/data_factory.cfg"); }

    void WriteSetup(const QByteArray& bytes, bool inSetupFolder = false) const { WriteBytes(SetupPath(inSetupFolder), bytes); }
    void WriteSetup(const SetupRecord& r, bool inSetupFolder = false) const { WriteSetup(ToQBytes(r), inSetupFolder); }
    void WriteFactory(const QByteArray& bytes) const { WriteBytes(FactoryPath(), bytes); }
    QByteArray Setup(bool inSetupFolder = false) const { return FileBytes(SetupPath(inSetupFolder)); }
    // Entries of the root other than the card's own folders and files (temporary leftovers).
    QStringList Strays() const
    {
        QStringList all = QDir(m_root).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
        all.removeAll(QStringLiteral("SETUP"));
        all.removeAll(QStringLiteral("EVENT"));
        all.removeAll(QStringLiteral("data_setup.cfg"));
        return all;
    }

private:
    QString m_root;
};

// Runs f with the file-system rights of an ordinary user, so that permissions bite even when
// the tests run as root. The real and saved ids stay, so the rights come back afterwards.
template <class F> void AsOrdinaryUser(F f)
{
    if (::geteuid() != 0) {
        f();
        return;
    }
    ASSERT_EQ(::setegid(65534), 0);
    ASSERT_EQ(::seteuid(65534), 0);
    // A card the user cannot reach at all would fail every write for the wrong reason.
    const bool reaches = ::faccessat(AT_FDCWD, QFile::encodeName(ScratchDir()).constData(), X_OK, AT_EACCESS) == 0;
    if (reaches) f();
    ASSERT_EQ(::seteuid(0), 0);
    ASSERT_EQ(::setegid(0), 0);
    ASSERT_TRUE(reaches) << "an ordinary user cannot reach " << ScratchDir().toStdString();
}

// Makes the card's root (and its settings file) write-protected, as a locked card mounts.
inline void WriteProtect(const CardTree& card, bool on)
{
    ::chmod(QFile::encodeName(card.Root()).constData(), on ? 0555 : 0755);
    if (QFileInfo::exists(card.SetupPath()))
        ::chmod(QFile::encodeName(card.SetupPath()).constData(), on ? 0444 : 0644);
}
