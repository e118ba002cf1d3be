#include "Settings.h"

#include <QDir>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QSettings>
#include <QStandardPaths>
#include <QVariant>
#include <cstdlib>
#include <utility>

namespace vkv::app {

namespace {

Q_LOGGING_CATEGORY(lcSettings, "vkv.settings", QtInfoMsg)

const QString InPortKey = QStringLiteral("midi/in");
const QString OutPortKey = QStringLiteral("midi/out");
const QString SpeedKey = QStringLiteral("send/speed");
const QString VerifyKey = QStringLiteral("send/verify");
const QString OwnPortsKey = QStringLiteral("midi/own");
const QString MonitorKey = QStringLiteral("monitor/place");
const QString OverviewKey = QStringLiteral("overview/place");
const QString FollowKey = QStringLiteral("overview/follow");
const QString LibraryKey = QStringLiteral("library/folder");
const QString RecallListKey = QStringLiteral("recall/list");
const QString RecallOnKey = QStringLiteral("recall/on");

QString folderKey(Settings::Dialog dialog) {
    return dialog == Settings::Dialog::Open ? QStringLiteral("open/folder")
                                            : QStringLiteral("store/folder");
}

QString filterKey(Settings::Dialog dialog) {
    return dialog == Settings::Dialog::Open ? QStringLiteral("open/filter")
                                            : QStringLiteral("store/filter");
}

// Longer than any path the system opens.
constexpr int MaxFolder = 4096;

bool hasControlCharacter(const QString &text) {
    for (const QChar c : text)
        if (c.category() == QChar::Other_Control)
            return true;
    return false;
}

bool isPortName(const QString &name) {
    return !name.isEmpty() && name.size() <= Settings::MaxPortName && !hasControlCharacter(name);
}

// A set list's name is its file's: no longer than a port's serves.
bool isListName(const QString &name) {
    return isPortName(name);
}

// A folder's name, looked at as text alone: whether the folder is there is asked only when it
// is about to be used.
bool isFolder(const QString &folder) {
    return !folder.isEmpty() && folder.size() <= MaxFolder && !hasControlCharacter(folder) &&
           QDir::isAbsolutePath(folder);
}

// The file holds text only; a value that QSettings made something else of (a list, where the
// text had a comma, or bytes) was not written by us.
QString text(const QSettings &file, const QString &key) {
    const QVariant value = file.value(key);
    return value.typeId() == QMetaType::QString ? value.toString() : QString();
}

// The number under `key` when it is one within min..max, else `fallback`.
int number(const QSettings &file, const QString &key, int min, int max, int fallback) {
    bool ok = false;
    const int n = text(file, key).toInt(&ok);
    return ok && n >= min && n <= max ? n : fallback;
}

// A window's place as "x y width height": the file holds text, and a comma would make a list.
bool isWindowPlace(const QRect &place) {
    constexpr int Far = 100000;
    return place.width() >= 200 && place.height() >= 100 && place.width() <= Far &&
           place.height() <= Far && std::abs(place.x()) <= Far && std::abs(place.y()) <= Far;
}

QRect windowPlace(const QString &text) {
    const QStringList parts = text.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (parts.size() != 4)
        return {};
    int n[4];
    for (int i = 0; i < 4; ++i) {
        bool ok = false;
        n[i] = parts[i].toInt(&ok);
        if (!ok)
            return {};
    }
    const QRect place(n[0], n[1], n[2], n[3]);
    return isWindowPlace(place) ? place : QRect();
}

QString placeText(const QRect &place) {
    return place.isValid() ? QStringLiteral("%1 %2 %3 %4")
                                 .arg(place.x())
                                 .arg(place.y())
                                 .arg(place.width())
                                 .arg(place.height())
                           : QString();
}

} // namespace

Settings::Settings() : Settings(userFilePath()) {}

Settings::Settings(const QString &path) : path(path) {
    read();
}

QString Settings::userFilePath() {
    const QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    return config.isEmpty() ? QString() : config + QStringLiteral("/vkvela/vkvela.conf");
}

void Settings::read() {
    if (path.isEmpty()) {
        qCWarning(lcSettings, "no home folder: settings are not remembered");
        return;
    }
    qCDebug(lcSettings, "settings from %s", qPrintable(path));
    if (!QFileInfo::exists(path))
        return;
    const QSettings file(path, QSettings::IniFormat);
    (void)file.allKeys(); // all of it, so that junk anywhere in it shows
    junk = file.status() == QSettings::FormatError;
    const QString inPort = text(file, InPortKey);
    const QString outPort = text(file, OutPortKey);
    in = isPortName(inPort) ? inPort : QString();
    out = isPortName(outPort) ? outPort : QString();
    speed_ = number(file, SpeedKey, MinSpeed, MaxSpeed, DefaultSpeed);
    verify = number(file, VerifyKey, 0, 1, 0) == 1;
    own = number(file, OwnPortsKey, 0, 1, 1) == 1;
    monitor = windowPlace(text(file, MonitorKey));
    overview = windowPlace(text(file, OverviewKey));
    follow = number(file, FollowKey, 0, 1, 0) == 1;
    const QString libraryFolder = text(file, LibraryKey);
    library = isFolder(libraryFolder) ? libraryFolder : QString();
    const QString list = text(file, RecallListKey);
    recallList_ = isListName(list) ? list : QString();
    recallOn_ = !recallList_.isEmpty() && number(file, RecallOnKey, 0, 1, 0) == 1;
    for (Dialog dialog : {Dialog::Open, Dialog::Store}) {
        const QString folder = text(file, folderKey(dialog));
        place(dialog).folder = isFolder(folder) ? folder : QString();
        place(dialog).filter = number(file, filterKey(dialog), 0, FilterEntries - 1, 0);
    }
    // What could be read is taken all the same.
    if (file.status() == QSettings::AccessError)
        qCWarning(lcSettings, "cannot read %s: the settings are at their defaults",
                  qPrintable(path));
    else if (junk)
        qCWarning(lcSettings, "%s holds what is no setting: passed over, gone at the next change",
                  qPrintable(path));
}

void Settings::setInPort(const QString &name) {
    const QString kept = isPortName(name) ? name : QString();
    if (kept == in)
        return;
    in = kept;
    write(InPortKey, in);
}

void Settings::setOutPort(const QString &name) {
    const QString kept = isPortName(name) ? name : QString();
    if (kept == out)
        return;
    out = kept;
    write(OutPortKey, out);
}

void Settings::setSpeed(int bytesPerSecond) {
    if (bytesPerSecond < MinSpeed || bytesPerSecond > MaxSpeed || bytesPerSecond == speed_)
        return;
    speed_ = bytesPerSecond;
    write(SpeedKey, QString::number(speed_));
}

void Settings::setVerifyAfterSend(bool on) {
    if (on == verify)
        return;
    verify = on;
    write(VerifyKey, on ? QStringLiteral("1") : QString());
}

void Settings::setOwnPorts(bool on) {
    if (on == own)
        return;
    own = on;
    write(OwnPortsKey, on ? QString() : QStringLiteral("0"));
}

void Settings::setMonitorPlace(const QRect &place) {
    setPlace(monitor, MonitorKey, place);
}

void Settings::setOverviewPlace(const QRect &place) {
    setPlace(overview, OverviewKey, place);
}

void Settings::setPlace(QRect &held, const QString &key, const QRect &place) {
    if (!isWindowPlace(place) || place == held)
        return;
    held = place;
    write(key, placeText(held));
}

void Settings::setFollowBox(bool on) {
    if (on == follow)
        return;
    follow = on;
    write(FollowKey, on ? QStringLiteral("1") : QString());
}

void Settings::setLibraryFolder(const QString &folder) {
    const QString kept = isFolder(folder) ? folder : QString();
    if (kept == library || (!folder.isEmpty() && kept.isEmpty()))
        return;
    library = kept;
    write(LibraryKey, library);
}

void Settings::setRecall(const QString &list, bool on) {
    if (!isListName(list) || (list == recallList_ && on == recallOn_))
        return;
    recallList_ = list;
    recallOn_ = on;
    write(RecallListKey, list);
    write(RecallOnKey, on ? QStringLiteral("1") : QString());
}

void Settings::setFolder(Dialog dialog, const QString &folder) {
    if (!isFolder(folder) || folder == place(dialog).folder)
        return;
    place(dialog).folder = folder;
    write(folderKey(dialog), folder);
}

void Settings::setFilter(Dialog dialog, int entry) {
    if (entry < 0 || entry >= FilterEntries || entry == place(dialog).filter)
        return;
    place(dialog).filter = entry;
    write(filterKey(dialog), QString::number(entry));
}

QString Settings::folderOr(const QString &folder, const QString &fallback) {
    return !folder.isEmpty() && QFileInfo(folder).isDir() ? folder : fallback;
}

void Settings::deferWrites(std::function<void()> changed) {
    deferred = std::move(changed);
}

void Settings::flush() {
    if (waiting.isEmpty())
        return;
    writeNow(std::exchange(waiting, {}));
}

void Settings::write(const QString &key, const QString &value) {
    if (path.isEmpty())
        return;
    if (deferred) {
        waiting.insert(key, value);
        deferred();
        return;
    }
    writeNow({{key, value}});
}

void Settings::writeNow(const QMap<QString, QString> &changes) {
    // A QSettings's status never goes back to NoError, and one that parses junk says FormatError.
    // So the file is parsed through a first object, and written through a second, which shares
    // what the first parsed: its status then tells of this write alone.
    QSettings parsed(path, QSettings::IniFormat);
    (void)parsed.allKeys();
    junk = junk || parsed.status() == QSettings::FormatError;
    QSettings file(path, QSettings::IniFormat);
    if (junk) {
        // Written anew from what could be read of it and the changes since, and the junk goes.
        file.clear();
        writeAll(file);
    } else {
        for (auto change = changes.begin(); change != changes.end(); ++change) {
            if (change.value().isEmpty())
                file.remove(change.key());
            else
                file.setValue(change.key(), change.value());
        }
    }
    file.sync();
    if (file.status() != QSettings::NoError) {
        qCWarning(lcSettings, "cannot write %s to %s: it holds for this run only",
                  qPrintable(QStringList(changes.keys()).join(", ")), qPrintable(path));
        return;
    }
    junk = false;
}

void Settings::writeAll(QSettings &file) const {
    const auto put = [&file](const QString &key, const QString &value) {
        if (!value.isEmpty())
            file.setValue(key, value);
    };
    put(InPortKey, in);
    put(OutPortKey, out);
    put(SpeedKey, QString::number(speed_));
    put(VerifyKey, verify ? QStringLiteral("1") : QString());
    put(OwnPortsKey, own ? QString() : QStringLiteral("0"));
    put(MonitorKey, placeText(monitor));
    put(OverviewKey, placeText(overview));
    put(FollowKey, follow ? QStringLiteral("1") : QString());
    put(LibraryKey, library);
    put(RecallListKey, recallList_);
    put(RecallOnKey, recallOn_ ? QStringLiteral("1") : QString());
    for (Dialog dialog : {Dialog::Open, Dialog::Store}) {
        put(folderKey(dialog), place(dialog).folder);
        put(filterKey(dialog), QString::number(place(dialog).filter));
    }
}

} // namespace vkv::app
