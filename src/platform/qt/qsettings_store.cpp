#include "platform/qt/qsettings_store.h"

#include <algorithm>

#include <QByteArray>
#include <QFileInfo>
#include <QSettings>
#include <QString>
#include <QStringList>
#include <QVariant>

#include "platform/memory_settings_store.h"

namespace cvk {

namespace {

constexpr const char* kOrganisation = "Lumrick";

QString qText(const std::string& text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

std::string stdText(const QString& text)
{
    const QByteArray utf8 = text.toUtf8();
    return {utf8.constData(), static_cast<size_t>(utf8.size())};
}

// The empty section is the application key itself (the INI file's
// [General] group).
QString keyOf(const std::string& section, const std::string& entry)
{
    return section.empty() ? qText(entry) : qText(section) + u'/' + qText(entry);
}

// One stored value, classified by the rule that every read and the listing
// share. The registry keeps the kinds apart; an INI file stores integers as
// plain text, so there a value is
//   - a byte block when QSettings hands back a QByteArray ("@ByteArray(...)"),
//   - an integer when its text is an optional '-' and decimal digits that
//     fit 32 bits (a text written as "12" therefore lists as an integer),
//   - a text otherwise.
// Other QVariant types (hand-made "@Variant(...)" and the like) count as
// absent.
struct Stored {
    SettingKind kind = SettingKind::Text;
    int32_t integer = 0;
    std::string text;  // for integers read from text: that text as stored
    std::vector<uint8_t> bytes;
};

std::optional<Stored> classify(const QVariant& value)
{
    Stored stored;
    switch (value.typeId()) {
        case QMetaType::QByteArray: {
            const QByteArray bytes = value.toByteArray();
            stored.kind = SettingKind::Bytes;
            stored.bytes.assign(bytes.begin(), bytes.end());
            return stored;
        }
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::LongLong:
        case QMetaType::ULongLong:
            // A registry DWORD: its 4 bytes as a signed number.
            stored.kind = SettingKind::Integer;
            stored.integer = static_cast<int32_t>(static_cast<uint32_t>(value.toLongLong()));
            return stored;
        case QMetaType::QString:
            stored.text = stdText(value.toString());
            break;
        case QMetaType::QStringList:
            // An unquoted comma in a hand-edited INI value splits it.
            stored.text = stdText(value.toStringList().join(QStringLiteral(", ")));
            break;
        default:
            return std::nullopt;
    }
    if (const std::optional<int32_t> number = parseStoredInteger(stored.text)) {
        stored.kind = SettingKind::Integer;
        stored.integer = *number;
    }
    return stored;
}

// QSettings replaces an INI file through a temporary file beside it. When
// that cannot work, the write is refused before QSettings sees it: its
// process-wide file cache would otherwise keep the unwritten value, show it
// to later reads and retry it on every later open.
bool fileWritable(const QString& path)
{
    const QFileInfo info(path);
    if (info.exists())
        return info.isFile() && info.isWritable() && QFileInfo(info.absolutePath()).isWritable();
    // Missing folders are created by the write; the nearest existing one decides.
    QString folder = info.absolutePath();
    while (!QFileInfo::exists(folder)) {
        const QString parent = QFileInfo(folder).absolutePath();
        if (parent == folder)
            return false;
        folder = parent;
    }
    const QFileInfo folderInfo(folder);
    return folderInfo.isDir() && folderInfo.isWritable();
}

}  // namespace

QSettingsStore::QSettingsStore(Origin origin, std::string name) : origin_(origin), name_(std::move(name)) {}

QSettingsStore::~QSettingsStore() = default;

std::unique_ptr<QSettingsStore> QSettingsStore::forUser(const std::string& applicationName)
{
    return std::unique_ptr<QSettingsStore>(new QSettingsStore(Origin::User, applicationName));
}

std::unique_ptr<QSettingsStore> QSettingsStore::forFile(const std::string& iniPath)
{
    return std::unique_ptr<QSettingsStore>(new QSettingsStore(Origin::File, iniPath));
}

// Opening reads the store but never writes it: QSettings writes only when a
// value was set, so an unreadable or corrupt file stays as it is until the
// next successful write replaces it.
std::unique_ptr<QSettings> QSettingsStore::open() const
{
    if (origin_ == Origin::File)
        return std::make_unique<QSettings>(qText(name_), QSettings::IniFormat);
#ifdef Q_OS_WIN
    const QSettings::Format format = QSettings::NativeFormat;
#else
    const QSettings::Format format = QSettings::IniFormat;
#endif
    return std::make_unique<QSettings>(format, QSettings::UserScope, QString::fromLatin1(kOrganisation),
                                       qText(name_));
}

namespace {

// A store that cannot be read or parsed gives every default.
std::optional<Stored> lookUp(QSettings& settings, const std::string& section, const std::string& entry)
{
    if (!validSettingNames(section, entry) || settings.status() != QSettings::NoError)
        return std::nullopt;
    return classify(settings.value(keyOf(section, entry)));
}

}  // namespace

int32_t QSettingsStore::readInt(const std::string& section, const std::string& entry, int32_t fallback)
{
    const std::optional<Stored> stored = lookUp(*open(), section, entry);
    return stored && stored->kind == SettingKind::Integer ? stored->integer : fallback;
}

std::string QSettingsStore::readText(const std::string& section, const std::string& entry,
                                     const std::string& fallback)
{
    const std::optional<Stored> stored = lookUp(*open(), section, entry);
    if (!stored || stored->kind == SettingKind::Bytes)
        return fallback;
    if (stored->kind == SettingKind::Integer && stored->text.empty())
        return std::to_string(stored->integer);
    return stored->text;
}

std::optional<std::vector<uint8_t>> QSettingsStore::readBytes(const std::string& section,
                                                              const std::string& entry)
{
    std::optional<Stored> stored = lookUp(*open(), section, entry);
    if (!stored || stored->kind != SettingKind::Bytes)
        return std::nullopt;
    return std::move(stored->bytes);
}

template <typename Value>
bool QSettingsStore::write(const std::string& section, const std::string& entry, const Value& value)
{
    if (!validSettingNames(section, entry))
        return false;
    std::unique_ptr<QSettings> settings = open();
    const bool iniFile = settings->format() == QSettings::IniFormat;
    if (iniFile && !fileWritable(settings->fileName()))
        return false;
    const QSettings::Status before = settings->status();
    // A corrupt file was read as empty; what QSettings could salvage from it
    // must not come back to life with this write.
    if (iniFile && before == QSettings::FormatError)
        settings->clear();
    settings->setValue(keyOf(section, entry), value);
    settings->sync();
    if (settings->status() == QSettings::NoError)
        return true;
    if (before == QSettings::NoError)
        return false;
    // The status keeps the first error (the one found on opening); a fresh
    // look tells whether the store is sound now.
    return open()->status() == QSettings::NoError;
}

bool QSettingsStore::writeInt(const std::string& section, const std::string& entry, int32_t value)
{
    return write(section, entry, QVariant(static_cast<int>(value)));
}

bool QSettingsStore::writeText(const std::string& section, const std::string& entry, const std::string& value)
{
    return write(section, entry, QVariant(qText(value)));
}

bool QSettingsStore::writeBytes(const std::string& section, const std::string& entry,
                                const std::vector<uint8_t>& value)
{
    return write(section, entry,
                 QVariant(QByteArray(reinterpret_cast<const char*>(value.data()),
                                     static_cast<qsizetype>(value.size()))));
}

std::vector<SettingEntry> QSettingsStore::all()
{
    std::vector<SettingEntry> list;
    std::unique_ptr<QSettings> settings = open();
    if (settings->status() != QSettings::NoError)
        return list;
    for (const QString& key : settings->allKeys()) {
        const qsizetype slash = key.lastIndexOf(u'/');
        SettingEntry e;
        e.section = slash < 0 ? std::string() : stdText(key.left(slash));
        e.entry = stdText(key.mid(slash + 1));
        // Deeper groups are out of reach of the reads; leave them out here too.
        if (!validSettingNames(e.section, e.entry))
            continue;
        std::optional<Stored> stored = classify(settings->value(key));
        if (!stored)
            continue;
        e.kind = stored->kind;
        if (e.kind == SettingKind::Integer)
            e.integer = stored->integer;
        else if (e.kind == SettingKind::Text)
            e.text = std::move(stored->text);
        else
            e.bytes = std::move(stored->bytes);
        list.push_back(std::move(e));
    }
    std::sort(list.begin(), list.end(), [](const SettingEntry& a, const SettingEntry& b) {
        return a.section != b.section ? a.section < b.section : a.entry < b.entry;
    });
    return list;
}

std::string QSettingsStore::location() const { return stdText(open()->fileName()); }

std::unique_ptr<ISettingsStore> makeUserSettingsStore(const std::string& applicationName)
{
    return QSettingsStore::forUser(applicationName);
}

std::unique_ptr<ISettingsStore> makeFileSettingsStore(const std::string& iniPath)
{
    return QSettingsStore::forFile(iniPath);
}

}  // namespace cvk
