// Reading and writing the camera's files on a card tree, and the language and speed unit that
// the viewer takes from them.
#include "CardFixture.h"
#include "settings/CardFiles.h"
#include "settings/CardLanguage.h"

#include <QFileInfo>
#include <gtest/gtest.h>

#include <csignal>
#include <random>
#include <sys/resource.h>

namespace {

SetupRecord WithLanguage(int language)
{
    SetupRecord r = DefaultSetupRecord();
    r.SetWord(SetupWord::kLanguage, static_cast<std::uint16_t>(language));
    r.SetWord(SetupWord::kLanguageCopy, static_cast<std::uint16_t>(language));
    r.checksum = SetupRecordChecksum(r);
    return r;
}

TEST(CardFiles, SetupReadFromRootFirstThenSetupFolder)
{
    CardTree card("read_places");
    card.WriteSetup(WithLanguage(1), true);
    SetupRecord r;
    CardReadInfo info;
    ASSERT_EQ(ReadSetupFile("E:", &r, &info), CardReadStatus::Ok);
    EXPECT_TRUE(info.inSetupFolder);
    EXPECT_EQ(r.Word(SetupWord::kLanguage), 1);

    card.WriteSetup(WithLanguage(2));
    ASSERT_EQ(ReadSetupFile("E:", &r, &info), CardReadStatus::Ok);
    EXPECT_FALSE(info.inSetupFolder);
    EXPECT_EQ(info.size, 200);
    EXPECT_EQ(r.Word(SetupWord::kLanguage), 2);
}

TEST(CardFiles, UnreadableRootFileFallsBackToSetupFolder)
{
    CardTree card("read_unreadable");
    QDir().mkpath(card.SetupPath());   // a folder where the file should be
    card.WriteSetup(WithLanguage(1), true);
    SetupRecord r;
    ASSERT_EQ(ReadSetupFile("E:", &r), CardReadStatus::Ok);
    EXPECT_EQ(r.Word(SetupWord::kLanguage), 1);
}

TEST(CardFiles, ShortAndMissingSettingsLeaveTheRecordAlone)
{
    CardTree card("read_short");
    SetupRecord r = WithLanguage(2);
    EXPECT_EQ(ReadSetupFile("E:", &r), CardReadStatus::Missing);
    card.WriteSetup(ToQBytes(WithLanguage(1)).left(199));
    CardReadInfo info;
    EXPECT_EQ(ReadSetupFile("E:", &r, &info), CardReadStatus::Short);
    EXPECT_EQ(info.size, 199);
    EXPECT_EQ(r.Word(SetupWord::kLanguage), 2);
    EXPECT_EQ(ReadSetupFile("Q:", &r), CardReadStatus::Missing);   // a drive that is not there
}

TEST(CardFiles, FactoryFileLengthGates)
{
    CardTree card("factory_len");
    DeviceFactoryRecord f;
    EXPECT_EQ(ReadFactoryFile("E:", kFactoryRecordSize, &f), CardReadStatus::Missing);
    card.WriteFactory(FactoryBytes("203", 0, 77));
    EXPECT_EQ(ReadFactoryFile("E:", kFactoryRecordSize, &f), CardReadStatus::Short);
    EXPECT_EQ(ReadFactoryFile("E:", kFactoryModelReadSize, &f), CardReadStatus::Ok);
    EXPECT_TRUE(f.HasModelCode());
    card.WriteFactory(FactoryBytes("203", 0, 78));
    EXPECT_EQ(ReadFactoryFile("E:", kFactoryRecordSize, &f), CardReadStatus::Ok);
    EXPECT_EQ(FirmwareVersionNumber(f), 203);
}

TEST(CardFiles, WriteGoesToTheRootWithAFreshChecksum)
{
    CardTree card("write_root");
    const SetupRecord inSetup = WithLanguage(0);
    card.WriteSetup(inSetup, true);
    SetupRecord r = WithLanguage(1);
    r.checksum = 0x5A;   // stale
    ASSERT_EQ(WriteSetupFile("E:", r), CardWriteStatus::Ok);
    const QByteArray written = card.Setup();
    ASSERT_EQ(written.size(), 200);
    const SetupRecord back = FromQBytes(written);
    EXPECT_TRUE(IsSetupRecordIntact(back));
    EXPECT_EQ(back.Word(SetupWord::kLanguage), 1);
    EXPECT_EQ(card.Setup(true), ToQBytes(inSetup));   // the SETUP copy is not touched
    EXPECT_TRUE(card.Strays().isEmpty()) << card.Strays().join(' ').toStdString();
    // The default record comes out unchanged: its stored checksum is its computed one.
    ASSERT_EQ(WriteSetupFile("E:", DefaultSetupRecord()), CardWriteStatus::Ok);
    EXPECT_EQ(card.Setup(), ToQBytes(DefaultSetupRecord()));
}

TEST(CardFiles, WriteProtectedCardKeepsTheOldFile)
{
    CardTree card("write_protected");
    const QByteArray old = ToQBytes(WithLanguage(2));
    card.WriteSetup(old);
    WriteProtect(card, true);
    CardWriteStatus st = CardWriteStatus::Ok;
    QString error;
    AsOrdinaryUser([&] { st = WriteSetupFile("E:", WithLanguage(1), &error); });
    WriteProtect(card, false);
    EXPECT_EQ(st, CardWriteStatus::ReadOnly) << error.toStdString();
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(card.Setup(), old);
    EXPECT_TRUE(card.Strays().isEmpty());
}

TEST(CardFiles, FullCardKeepsTheOldFileAndLeavesNoTemporary)
{
    CardTree card("write_full");
    const QByteArray old = ToQBytes(WithLanguage(2));
    card.WriteSetup(old);
    // A file-size limit below the record's length fails the write part-way, as a full card does.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit small = saved;
    small.rlim_cur = 100;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const CardWriteStatus st = WriteSetupFile("E:", WithLanguage(1));
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &saved), 0);
    EXPECT_EQ(st, CardWriteStatus::Full);
    EXPECT_EQ(card.Setup(), old);
    EXPECT_TRUE(card.Strays().isEmpty()) << card.Strays().join(' ').toStdString();
}

TEST(CardFiles, FailedRenameKeepsWhatIsThere)
{
    CardTree card("write_onto_dir");
    QDir().mkpath(card.SetupPath() + QStringLiteral("/inner"));
    EXPECT_EQ(WriteSetupFile("E:", WithLanguage(1)), CardWriteStatus::Failed);
    EXPECT_TRUE(QFileInfo(card.SetupPath() + QStringLiteral("/inner")).isDir());
    EXPECT_TRUE(card.Strays().isEmpty());
    EXPECT_EQ(WriteSetupFile("Q:", WithLanguage(1)), CardWriteStatus::NoDrive);
}

TEST(CardFiles, AnyBytesOfAnyLengthReadSafely)
{
    CardTree card("any_bytes");
    std::mt19937 rng(11);
    for (int length : {0, 1, 2, 3, 65, 66, 77, 78, 79, 199, 200, 201, 4096}) {
        SCOPED_TRACE(length);
        QByteArray bytes(length, '\0');
        for (char& c : bytes) c = static_cast<char>(rng());
        if (length >= 3) bytes.replace(0, 3, "ZQX");
        card.WriteSetup(bytes);
        card.WriteFactory(bytes);
        SetupRecord r;
        EXPECT_EQ(ReadSetupFile("E:", &r), length < 200 ? CardReadStatus::Short : CardReadStatus::Ok);
        DeviceFactoryRecord f;
        EXPECT_EQ(ReadFactoryFile("E:", kFactoryRecordSize, &f), length < 78 ? CardReadStatus::Short : CardReadStatus::Ok);
        int language = 7;
        LoadLanguageFromCard(-1, &language, nullptr);
        if (length >= 200) {
            EXPECT_EQ(language, static_cast<std::uint8_t>(bytes[138]) | (static_cast<std::uint8_t>(bytes[139]) << 8));
        } else {
            EXPECT_EQ(language, 7);
        }
    }
}

// ---- language and speed unit

TEST(CardLanguage, NoCardMeansJapaneseAndKmh)
{
    UseNoDrives();
    int language = 1;
    QString path = QStringLiteral("untouched");
    EXPECT_EQ(LoadLanguageFromCard(-1, &language, &path), 0);
    EXPECT_EQ(language, 0);
    EXPECT_EQ(path, QStringLiteral("untouched"));
    g_nSpeedUnit = 1;
    EXPECT_EQ(LoadSpeedUnitFromCard(2), 0);
    EXPECT_EQ(g_nSpeedUnit, 0);
}

TEST(CardLanguage, RequestsOtherThanReadAreStored)
{
    UseNoDrives();
    int language = 0;
    EXPECT_EQ(LoadLanguageFromCard(2, &language, nullptr), 2);
    EXPECT_EQ(language, 2);
    EXPECT_EQ(LoadSpeedUnitFromCard(1), 1);
    EXPECT_EQ(g_nSpeedUnit, 1);
    g_nSpeedUnit = 0;
}

class LanguageFromCard : public ::testing::TestWithParam<int> {};

TEST_P(LanguageFromCard, WordSixtyNineTakenAsItIs)
{
    CardTree card("language_" + QString::number(GetParam()));
    card.WriteFactory(FactoryBytes("203", 0, 66));   // the reader needs no more than 66 bytes
    card.WriteSetup(WithLanguage(GetParam()));
    int language = 1;
    QString path;
    EXPECT_EQ(LoadLanguageFromCard(-1, &language, &path), GetParam());
    EXPECT_EQ(path, QStringLiteral("E:"));
}

INSTANTIATE_TEST_SUITE_P(Codes, LanguageFromCard, ::testing::Values(0, 1, 2, 3, 4, 5));

TEST(CardLanguage, SettingsInTheSetupFolderAreRead)
{
    CardTree card("language_setup_folder");
    card.WriteFactory(FactoryBytes("202"));
    card.WriteSetup(WithLanguage(1), true);
    int language = 0;
    EXPECT_EQ(LoadLanguageFromCard(-1, &language, nullptr), 1);
}

TEST(CardLanguage, KeptWithoutUsableFiles)
{
    struct Case {
        const char* name;
        QByteArray factory;    // empty: no file
        QByteArray setup;      // empty: no file
    };
    const QByteArray english = ToQBytes(WithLanguage(1));
    const Case cases[] = {
        {"foreign_model", FactoryBytes("203", 0, 78, "ABC"), english},
        {"no_factory", QByteArray(), english},
        {"two_byte_factory", QByteArray("ZQ"), english},
        {"no_settings", FactoryBytes("203"), QByteArray()},
        {"short_settings", FactoryBytes("203"), english.left(150)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CardTree card(QString::fromLatin1(c.name));
        if (!c.factory.isEmpty()) card.WriteFactory(c.factory);
        if (!c.setup.isEmpty()) card.WriteSetup(c.setup);
        int language = 2;
        EXPECT_EQ(LoadLanguageFromCard(-1, &language, nullptr), 2);
        EXPECT_EQ(language, 2);
    }
}

TEST(CardLanguage, SpeedUnitKeptWithACard)
{
    CardTree card("speed_card");
    SetupRecord r = WithLanguage(1);
    r.SetWord(SetupWord::kSpeedUnit, 0);   // the camera's own unit is not the viewer's
    card.WriteSetup(r);
    card.WriteFactory(FactoryBytes("203"));
    g_nSpeedUnit = 1;
    EXPECT_EQ(LoadSpeedUnitFromCard(2), 1);
    g_nSpeedUnit = 0;
    EXPECT_EQ(LoadSpeedUnitFromCard(2), 0);
}

TEST(CardLanguage, CardWithoutEventFolderIsNoCard)
{
    CardTree card("no_event", false);
    card.WriteFactory(FactoryBytes("203"));
    card.WriteSetup(WithLanguage(1));
    int language = 2;
    EXPECT_EQ(LoadLanguageFromCard(-1, &language, nullptr), 0);
}

}  // namespace
