#include "orvoprocedures/restorepoints.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QStandardPaths>

#include <algorithm>
#include <memory>

#include "orvomodel/atomicfile.h"
#include "orvomodel/profile.h"
#include "wendrel/settingsstore.h"

namespace {

const char* const kSection = "Restore Point";

// "20261207-231426-123-000-read-Site_A.orvo": UTC time to the millisecond,
// a sequence for points of the same millisecond, what happened, the
// installation. Names sort oldest first.
const QRegularExpression& PointName()
{
    static const QRegularExpression name(
        QStringLiteral("^(\\d{8}-\\d{6}-\\d{3})-\\d{3}-(read|write)-.*\\.orvo$"));
    return name;
}

const char* EventKey(RestoreEvent event)
{
    return event == RestoreEvent::Read ? "read" : "before write";
}

// The installation's name as a file name may carry it.
std::string NamePart(const std::string& installation)
{
    std::string part;
    for (char c : installation) {
        if (part.size() >= 40)
            break;
        const unsigned char u = static_cast<unsigned char>(c);
        if ((u >= '0' && u <= '9') || (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z'))
            part += c;
        else if (!part.empty() && part.back() != '_')
            part += '_';
    }
    while (!part.empty() && part.back() == '_')
        part.pop_back();
    return part.empty() ? "installation" : part;
}

QString LocalTimeText(const QDateTime& utc)
{
    return utc.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

// The point files of the folder, oldest first.
QStringList PointFiles(const QDir& dir)
{
    QStringList names;
    const QStringList all = dir.entryList({QStringLiteral("*.orvo")}, QDir::Files, QDir::Name);
    for (const QString& name : all)
        if (PointName().match(name).hasMatch())
            names << name;
    return names;
}

} // namespace

std::string DeckListText(const std::vector<int>& decks)
{
    std::vector<int> sorted(decks);
    std::sort(sorted.begin(), sorted.end());
    sorted.erase(std::unique(sorted.begin(), sorted.end()), sorted.end());
    std::string text;
    for (size_t i = 0; i < sorted.size();) {
        size_t j = i;
        while (j + 1 < sorted.size() && sorted[j + 1] == sorted[j] + 1)
            ++j;
        if (!text.empty())
            text += ',';
        text += std::to_string(sorted[i]);
        if (j > i)
            text += '-' + std::to_string(sorted[j]);
        i = j + 1;
    }
    return text;
}

std::string NoRestorePointQuestion(const std::vector<int>& decks)
{
    return "This write has no restore point for deck(s) " + DeckListText(decks) +
           ": they were not read since the program started, so what they hold now cannot be "
           "taken back.\nWrite anyway?";
}

CRestorePointStore::CRestorePointStore(std::string folder) : m_folder(std::move(folder)) {}

std::string CRestorePointStore::DefaultFolder()
{
    // The desktop program's data folder (its AppDataLocation), also when
    // orvoctl asks, so both list the same points.
    const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (base.isEmpty())
        return std::string();
    return QFile::encodeName(base + QLatin1Char('/') + CSettingsStore::Organization() + QLatin1Char('/') +
                             CSettingsStore::Application() + QStringLiteral("/restore"))
        .toStdString();
}

bool CRestorePointStore::Keep(const COrvoSystem& state, RestoreEvent event, const std::vector<int>& decks,
                              int limit, std::string* error, std::string* path)
{
    if (m_folder.empty()) {
        *error = "no data folder for restore points";
        return false;
    }
    const QString folder = QFile::decodeName(QByteArray::fromStdString(m_folder));
    QDir dir(folder);
    if (!dir.mkpath(QStringLiteral("."))) {
        *error = m_folder + ": the folder cannot be created";
        return false;
    }

    // Only what a document holds: the copy is built from the decks alone.
    // (The model is too large for the stack.)
    const auto point = std::make_unique<COrvoSystem>();
    point->description = state.description;
    point->validKeys = state.validKeys;
    for (int deck : decks)
        if (deck >= 0 && deck < kDeckCount)
            point->decks[deck] = state.decks[deck];
    std::string text = point->DocumentText();

    const QDateTime now = QDateTime::currentDateTimeUtc();
    CProfileWriter meta;
    meta.Section(kSection);
    meta.Key("Time", now.toString(Qt::ISODateWithMs).toStdString());
    meta.Key("Event", EventKey(event));
    meta.Key("Installation", state.description);
    meta.Key("Decks", DeckListText(decks));
    text += meta.Text();

    const QString stamp = now.toString(QStringLiteral("yyyyMMdd-HHmmss-zzz"));
    const QString tail = QLatin1Char('-') + QLatin1String(event == RestoreEvent::Read ? "read" : "write") +
                         QLatin1Char('-') + QString::fromLatin1(NamePart(state.description)) +
                         QStringLiteral(".orvo");
    // Later names must sort later, also within one millisecond.
    int sequence = 0;
    const QStringList existing = PointFiles(dir);
    for (const QString& name : existing)
        if (name.startsWith(stamp))
            sequence = std::max(sequence, name.mid(stamp.size() + 1, 3).toInt() + 1);
    const QString name = stamp + QStringLiteral("-%1").arg(sequence, 3, 10, QLatin1Char('0')) + tail;
    const std::string file = QFile::encodeName(dir.filePath(name)).toStdString();
    if (!WriteFileAtomically(file, text, error))
        return false;
    if (path)
        *path = file;

    QStringList names = PointFiles(dir);
    const qsizetype keep = std::max(1, limit);
    for (qsizetype i = 0; i + keep < names.size(); ++i)
        dir.remove(names.at(i));
    return true;
}

std::vector<RestorePointInfo> CRestorePointStore::List() const
{
    std::vector<RestorePointInfo> points;
    if (m_folder.empty())
        return points;
    const QDir dir(QFile::decodeName(QByteArray::fromStdString(m_folder)));
    const QStringList names = PointFiles(dir);
    for (auto it = names.crbegin(); it != names.crend(); ++it) {
        RestorePointInfo info;
        info.fileName = QFile::encodeName(*it).toStdString();
        info.path = QFile::encodeName(dir.filePath(*it)).toStdString();
        std::string text;
        LoadOutcome outcome;
        if (!COrvoSystem::ReadDocumentFile(info.path, &text, &outcome))
            continue;
        CProfileReader reader;
        reader.Parse(text);
        QDateTime time = QDateTime::fromString(
            QString::fromStdString(reader.GetString(kSection, "Time", std::string())), Qt::ISODateWithMs);
        if (!time.isValid()) {
            const QDateTime named = QDateTime::fromString(PointName().match(*it).captured(1),
                                                          QStringLiteral("yyyyMMdd-HHmmss-zzz"));
            time = QDateTime(named.date(), named.time(), Qt::UTC);
        }
        info.time = LocalTimeText(time).toStdString();
        const bool read = PointName().match(*it).captured(2) == QLatin1String("read");
        info.event = reader.GetString(kSection, "Event", read ? "read" : "before write");
        info.installation =
            reader.GetString(kSection, "Installation", reader.GetString("Orvo", "Description", ""));
        info.decks = reader.GetString(kSection, "Decks", std::string());
        points.push_back(std::move(info));
    }
    return points;
}

bool CRestorePointStore::Open(const RestorePointInfo& point, COrvoSystem* system, std::string* error)
{
    std::string text;
    LoadOutcome outcome;
    if (!COrvoSystem::ReadDocumentFile(point.path, &text, &outcome)) {
        *error = outcome.error;
        return false;
    }
    system->ClearAll();
    system->LoadText(text, false);
    return true;
}

CRestorePoints::CRestorePoints(std::string folder)
    : m_store(std::move(folder)), m_lastRead(std::make_unique<COrvoSystem>())
{
}

CRestorePoints::~CRestorePoints() = default;

bool CRestorePoints::AfterRead(const COrvoSystem& read, const CReadWriteParameters& params,
                               std::string* error)
{
    std::vector<int> decks;
    for (int n = params.FirstDeck(); n <= params.LastDeck(); ++n) {
        // A deck where the read stopped short holds less than the deck does.
        if (read.decks[n].readIncomplete)
            continue;
        m_lastRead->decks[n] = read.decks[n];
        m_read[static_cast<size_t>(n)] = true;
        decks.push_back(n);
    }
    m_lastRead->description = read.description;
    m_lastRead->validKeys = read.validKeys;
    if (decks.empty())
        return true;
    return m_store.Keep(read, RestoreEvent::Read, decks, m_limit, error);
}

std::vector<int> CRestorePoints::Unread(const CReadWriteParameters& params) const
{
    std::vector<int> decks;
    for (int n = params.FirstDeck(); n <= params.LastDeck(); ++n)
        if (!m_read[static_cast<size_t>(n)])
            decks.push_back(n);
    return decks;
}

bool CRestorePoints::BeforeWrite(const CReadWriteParameters& params, std::string* error, std::string* path)
{
    std::vector<int> decks;
    for (int n = params.FirstDeck(); n <= params.LastDeck(); ++n)
        if (m_read[static_cast<size_t>(n)])
            decks.push_back(n);
    if (decks.empty())
        return true;
    return m_store.Keep(*m_lastRead, RestoreEvent::BeforeWrite, decks, m_limit, error, path);
}
