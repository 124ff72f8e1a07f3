// libFuzzer entry: the bytes are the camera's two files on a card. Byte 0 says whether the
// settings file lies at the card's root or in SETUP; bytes 1-2 give the length of the
// settings file, the rest is the factory file. Both are written to a card folder made at
// start and read back by every reader the program has: the file readers, the language
// reader, the checksum and firmware rules. A settings record read whole must give its own
// bytes back.
#include <cstdint>
#include <cstdlib>
#include <string>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>

#include "settings/CardFiles.h"
#include "settings/CardLanguage.h"

namespace {

QString g_card;

void Put(const QString& path, const uint8_t* data, size_t size)
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size));
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    const char* scratch = std::getenv("VIEWER_TEST_SCRATCH");
    g_card = QString::fromLocal8Bit(scratch && *scratch ? scratch : "/tmp") + QStringLiteral("/fuzz-card");
    QDir(g_card).removeRecursively();
    if (!QDir().mkpath(g_card + QStringLiteral("/SETUP")) || !QDir().mkpath(g_card + QStringLiteral("/EVENT")))
        return 1;
    qputenv("VIEWER_DRIVES", ("E=" + g_card).toLocal8Bit());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 3) return 0;
    const bool inSetup = data[0] & 1;
    size_t setupLen = (size_t(data[1]) << 8 | data[2]) % 600;
    data += 3;
    size -= 3;
    if (setupLen > size) setupLen = size;
    const QString root = g_card + QStringLiteral("/data_setup.cfg");
    const QString setup = g_card + QStringLiteral("/SETUP/data_setup.cfg");
    QFile::remove(inSetup ? root : setup);
    Put(inSetup ? setup : root, data, setupLen);
    Put(g_card + QStringLiteral("/SETUP/data_factory.cfg"), data + setupLen, size - setupLen);

    const QString drive = QStringLiteral("E:");
    SetupRecord record;
    CardReadInfo info;
    if (ReadSetupFile(drive, &record, &info) == CardReadStatus::Ok) {
        const SetupBytes bytes = SetupRecordToBytes(record);
        for (std::size_t i = 0; i < kSetupRecordSize; ++i)
            if (bytes[i] != data[i]) std::abort();  // the record is the file's bytes, field by field
        (void)IsSetupRecordIntact(record);
    }
    for (std::size_t minBytes : {kFactoryModelReadSize, kFactoryRecordSize}) {
        DeviceFactoryRecord factory;
        ReadFactoryFile(drive, minBytes, &factory, &info);
        (void)factory.HasModelCode();
        (void)FirmwareVersionNumber(factory);
        (void)FirmwareVersionSuffix(factory);
        (void)FirmwareWritesChecksum(factory);
    }
    int language = 1;
    QString cardPath;
    LoadLanguageFromCard(-1, &language, &cardPath);
    return 0;
}
