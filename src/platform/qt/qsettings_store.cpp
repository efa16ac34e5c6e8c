#include "platform/qt/qsettings_store.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <mutex>
#include <set>

#include <QByteArray>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QString>
#include <QStringList>
#include <QVariant>

#include "platform/memory_settings_store.h"

namespace cvk {

namespace {

constexpr const char* kOrganisation = "Lumrick";

QString qText(const std::string& text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

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
    case QMetaType::QString: stored.text = stdText(value.toString()); break;
    case QMetaType::QStringList:
        // An unquoted comma in a hand-edited INI value splits it.
        stored.text = stdText(value.toStringList().join(QStringLiteral(", ")));
        break;
    default: return std::nullopt;
    }
    if (const std::optional<int32_t> number = parseStoredInteger(stored.text)) {
        stored.kind = SettingKind::Integer;
        stored.integer = *number;
    }
    return stored;
}

// Says a message on stderr once per process and text: a store is opened on
// every call, and one finding must not flood the output.
void tellOnce(const QString& message)
{
    static std::mutex mutex;
    static std::set<QString> told;
    const std::lock_guard<std::mutex> lock(mutex);
    if (told.insert(message).second)
        std::fprintf(stderr, "cvkeys: %s\n", message.toLocal8Bit().constData());
}

// Copies a damaged file beside itself under the first free name of
// "<file>.damaged", "<file>.damaged-2", ...: an older copy is never
// overwritten. The name of the copy, or empty when none could be made
// (after a hundred copies the file is left alone, not copied again).
QString keepDamagedCopy(const QString& path)
{
    constexpr int kMaxCopies = 100;
    for (int n = 1; n <= kMaxCopies; ++n) {
        const QString suffix = n == 1 ? QString() : QStringLiteral("-%1").arg(n);
        const QString kept = path + QStringLiteral(".damaged") + suffix;
        const QFileInfo info(kept);
        if (info.exists() || info.isSymLink())
            continue;
        if (QFile::copy(path, kept))
            return kept;
        if (!QFileInfo::exists(kept))  // not taken meanwhile: the copy itself failed
            return {};
    }
    return {};
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

std::optional<std::string> settingsFileProblem(const std::string& iniPath)
{
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::path path(iniPath);
    const fs::file_status status = fs::status(path, error);
    if (status.type() == fs::file_type::not_found)
        return std::nullopt;  // created by the first write
    if (error)
        return "cannot be examined (" + error.message() + ")";
    if (!fs::is_regular_file(status))
        return std::string(fs::is_directory(status) ? "is a folder" : "is not a regular file");
    if (fs::file_size(path, error) > kMaxSettingsFileBytes || error)
        return std::string("is larger than 16 MiB");
    return std::nullopt;
}

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

namespace {

// A file's identity as QSettings' process-wide cache sees it.
struct FileMark {
    qint64 size = -1;
    QDateTime modified;
    bool operator==(const FileMark&) const = default;
};

FileMark markOf(const QString& path)
{
    const QFileInfo info(path);
    return info.exists() ? FileMark{info.size(), info.lastModified()} : FileMark{};
}

// QSettings reports a damaged file only to the object that parses it; later
// objects get that parse from its cache for as long as the file keeps its
// size and time stamp. This memo, keyed the same way, carries the finding to
// every later open until the file changes.
class DamagedFiles {
public:
    // Records a file reported damaged (or found so by a caller), or tells
    // whether one that looks sound is the cached parse of a file found
    // damaged before.
    bool damaged(const QString& path, bool reportedDamaged)
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        const FileMark mark = markOf(path);
        if (reportedDamaged) {
            files_[path] = mark;
            return true;
        }
        const auto it = files_.find(path);
        if (it == files_.end())
            return false;
        if (it->second == mark)
            return true;
        files_.erase(it);
        return false;
    }

private:
    std::mutex mutex_;
    std::map<QString, FileMark> files_;
};

DamagedFiles& damagedFiles()
{
    static DamagedFiles files;
    return files;
}

std::optional<Stored> lookUp(const QSettings* settings, const std::string& section, const std::string& entry)
{
    if (!settings || !validSettingNames(section, entry))
        return std::nullopt;
    return classify(settings->value(keyOf(section, entry)));
}

}  // namespace

struct QSettingsStore::Opened {
    // Null when the file is not one to read at all (a folder, a FIFO, a
    // device, an oversized file): every read gives its default and every
    // write is refused, so the file is never touched.
    std::unique_ptr<QSettings> settings;
    bool iniFile = false;
    // Read and parsed without error. A damaged INI file still gives every
    // value QSettings could read (a line it cannot parse is skipped); it is
    // copied aside before the first write rewrites it.
    bool sound = false;
};

// The user's INI file, found without reading it: QSettings reads its files
// when constructed, and a FIFO in their place would block that. The folder
// comes from a store of a name that does not exist, so QSettings::setPath and
// the XDG variables count as they do for the real one.
QString QSettingsStore::iniPath() const
{
    if (origin_ == Origin::File)
        return QFileInfo(qText(name_)).absoluteFilePath();
#ifdef Q_OS_WIN
    return {};
#else
    const QSettings probe(QSettings::IniFormat, QSettings::UserScope, QString::fromLatin1(kOrganisation),
                          QStringLiteral("cvkeys-path-probe"));
    return QFileInfo(probe.fileName()).absolutePath() + u'/' + qText(name_) + QStringLiteral(".ini");
#endif
}

// Opening reads the store but never writes it: QSettings writes only when a
// value was set, so an unreadable or damaged file stays as it is until the
// next successful write.
QSettingsStore::Opened QSettingsStore::open() const
{
    Opened opened;
    const QString path = iniPath();
    if (!path.isEmpty()) {
        opened.iniFile = true;
        if (const std::optional<std::string> problem = settingsFileProblem(stdText(path))) {
            tellOnce(QStringLiteral("the settings file %1 %2; it is left as it is and the defaults are used")
                         .arg(path, qText(*problem)));
            return opened;
        }
    }
    if (origin_ == Origin::File) {
        opened.settings = std::make_unique<QSettings>(qText(name_), QSettings::IniFormat);
    } else {
#ifdef Q_OS_WIN
        const QSettings::Format format = QSettings::NativeFormat;
#else
        const QSettings::Format format = QSettings::IniFormat;
#endif
        opened.settings = std::make_unique<QSettings>(format, QSettings::UserScope,
                                                      QString::fromLatin1(kOrganisation), qText(name_));
    }
    QSettings& settings = *opened.settings;
    if (!opened.iniFile) {
        opened.sound = settings.status() == QSettings::NoError;
        return opened;
    }
    // INI sections are parsed on first use; parse them all now so that the
    // status covers the whole file.
    settings.allKeys();
    opened.sound = !damagedFiles().damaged(QFileInfo(settings.fileName()).absoluteFilePath(),
                                           settings.status() != QSettings::NoError);
    return opened;
}

void QSettingsStore::markDamaged()
{
    const QString path = iniPath();
    if (!path.isEmpty() && QFileInfo::exists(path))
        damagedFiles().damaged(path, true);
}

int32_t QSettingsStore::readInt(const std::string& section, const std::string& entry, int32_t fallback)
{
    const Opened opened = open();
    const std::optional<Stored> stored = lookUp(opened.settings.get(), section, entry);
    return stored && stored->kind == SettingKind::Integer ? stored->integer : fallback;
}

std::string QSettingsStore::readText(const std::string& section, const std::string& entry,
                                     const std::string& fallback)
{
    const Opened opened = open();
    const std::optional<Stored> stored = lookUp(opened.settings.get(), section, entry);
    if (!stored || stored->kind == SettingKind::Bytes)
        return fallback;
    if (stored->kind == SettingKind::Integer && stored->text.empty())
        return std::to_string(stored->integer);
    return stored->text;
}

std::optional<std::vector<uint8_t>> QSettingsStore::readBytes(const std::string& section,
                                                              const std::string& entry)
{
    const Opened opened = open();
    std::optional<Stored> stored = lookUp(opened.settings.get(), section, entry);
    if (!stored || stored->kind != SettingKind::Bytes)
        return std::nullopt;
    return std::move(stored->bytes);
}

template <typename Value>
bool QSettingsStore::write(const std::string& section, const std::string& entry, const Value& value)
{
    if (!validSettingNames(section, entry))
        return false;
    const Opened opened = open();
    if (!opened.settings)
        return false;
    QSettings& settings = *opened.settings;
    if (opened.iniFile && !fileWritable(settings.fileName()))
        return false;
    // The write rewrites the file from what could be read, which drops the
    // lines QSettings could not parse; the original is kept beside it first,
    // and without that copy the file is not replaced.
    if (opened.iniFile && !opened.sound && QFileInfo::exists(settings.fileName())) {
        const QString path = settings.fileName();
        const QString kept = keepDamagedCopy(path);
        if (kept.isEmpty()) {
            tellOnce(
                QStringLiteral("the settings file %1 could not be read in full and no copy of it could be "
                               "kept; it is left as it is and changes are not saved")
                    .arg(path));
            return false;
        }
        tellOnce(QStringLiteral("the settings file %1 could not be read in full; the original is kept as %2")
                     .arg(path, kept));
    }
    settings.setValue(keyOf(section, entry), value);
    settings.sync();
    if (settings.status() == QSettings::NoError)
        return true;
    if (opened.sound)
        return false;
    // The status keeps the first error, the one found on opening; a fresh
    // look tells whether the store is sound now.
    return open().sound;
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
    const Opened opened = open();
    if (!opened.settings)
        return list;
    const QSettings& settings = *opened.settings;
    for (const QString& key : settings.allKeys()) {
        const qsizetype slash = key.lastIndexOf(u'/');
        SettingEntry e;
        e.section = slash < 0 ? std::string() : stdText(key.left(slash));
        e.entry = stdText(key.mid(slash + 1));
        // Deeper groups are out of reach of the reads; leave them out here too.
        if (!validSettingNames(e.section, e.entry))
            continue;
        std::optional<Stored> stored = classify(settings.value(key));
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

std::string QSettingsStore::location() const
{
    const QString path = iniPath();
    return stdText(path.isEmpty() ? open().settings->fileName() : path);
}

std::unique_ptr<ISettingsStore> makeUserSettingsStore(const std::string& applicationName)
{
    return QSettingsStore::forUser(applicationName);
}

std::unique_ptr<ISettingsStore> makeFileSettingsStore(const std::string& iniPath)
{
    return QSettingsStore::forFile(iniPath);
}

}  // namespace cvk
