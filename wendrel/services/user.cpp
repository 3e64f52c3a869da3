#include "wendrel/user.h"

#include "ansitext.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QStandardPaths>
#include <cstdlib>
#include <ctime>

namespace {

constexpr quint16 kNewClassTag = 0xFFFF;
constexpr quint16 kFirstClassTag = 0x8001;
constexpr quint16 kBigCount = 0xFFFF;
constexpr quint16 kSchema = 1;
constexpr quint32 kRecordVersion = 1;
constexpr char kClassName[] = "CUser";
constexpr int kClassNameLength = 5;

// A genuine database holds a handful of users; anything far larger is not
// ours and must not be read into memory whole.
constexpr qint64 kMaxFileSize = 16 * 1024 * 1024;

const char kDefaultName[] = "Default User";
const char kDefaultPassword[] = "60918";

void PutU16(QByteArray& out, quint16 v)
{
    out.append(static_cast<char>(v & 0xFF));
    out.append(static_cast<char>(v >> 8));
}

void PutU32(QByteArray& out, quint32 v)
{
    for (int i = 0; i < 4; ++i)
        out.append(static_cast<char>((v >> (8 * i)) & 0xFF));
}

// The file holds one byte per character in the Windows ANSI code page (1252).
using wendrel::FromAnsi;
using wendrel::ToAnsi;

void PutText(QByteArray& out, const QString& text)
{
    PutU32(out, static_cast<quint32>(text.size()));
    for (QChar c : text) {
        quint32 code = ToAnsi(c);
        // The generator values are kept to 0-32767, the range the file format
        // was made for, whatever RAND_MAX is here.
        quint32 low = static_cast<quint32>(std::rand()) & 0x7FFF;
        quint32 high = ((static_cast<quint32>(std::rand()) & 0x7FFF) >> 8) & 0xFF;
        PutU32(out, low | (code << 16) | (high << 24));
    }
}

// Bounds-checked reader over a file image; every read fails once the data
// runs out, so a truncated file can never be read past its end.
class Reader {
public:
    explicit Reader(const QByteArray& data) : m_data(data) {}

    bool U16(quint16& v)
    {
        if (Remaining() < 2)
            return false;
        v = static_cast<quint16>(Byte(0) | (Byte(1) << 8));
        m_pos += 2;
        return true;
    }
    bool U32(quint32& v)
    {
        if (Remaining() < 4)
            return false;
        v = Byte(0) | (Byte(1) << 8) | (Byte(2) << 16) | (static_cast<quint32>(Byte(3)) << 24);
        m_pos += 4;
        return true;
    }
    bool Text(QString& text)
    {
        quint32 length;
        if (!U32(length))
            return false;
        // Checked against the bytes present before anything is allocated.
        if (length > static_cast<quint32>(Remaining() / 4))
            return false;
        text.clear();
        text.reserve(static_cast<int>(length));
        for (quint32 i = 0; i < length; ++i) {
            quint32 word = 0;
            U32(word); // cannot fail: the length was checked against the bytes present
            text.append(FromAnsi((word >> 16) & 0xFF));
        }
        return true;
    }
    bool Bytes(const char* expected, int n)
    {
        if (Remaining() < n || m_data.mid(m_pos, n) != QByteArray(expected, n))
            return false;
        m_pos += n;
        return true;
    }
    qsizetype Remaining() const { return m_data.size() - m_pos; }

private:
    quint32 Byte(int i) const { return static_cast<unsigned char>(m_data[m_pos + i]); }

    const QByteArray& m_data;
    qsizetype m_pos = 0;
};

bool ReadUser(Reader& in, CUser& user)
{
    quint32 version, restricted;
    if (!in.U32(version) || version != kRecordVersion)
        return false;
    if (!in.Text(user.m_Name) || !in.Text(user.m_Password) || !in.U32(restricted))
        return false;
    user.m_Restricted = static_cast<qint32>(restricted);
    return true;
}

} // namespace

CUser::CUser() : m_Restricted(1) {}

CUser::CUser(const QString& name, const QString& password, int restricted)
    : m_Name(name), m_Password(password), m_Restricted(restricted)
{
}

CUser::CUser(const CUser& other) = default;
CUser& CUser::operator=(const CUser& other) = default;
CUser::~CUser() = default;

void CUser::Serialize(QByteArray& out) const
{
    PutU32(out, kRecordVersion);
    PutText(out, m_Name);
    PutText(out, m_Password);
    PutU32(out, static_cast<quint32>(m_Restricted));
}

bool CUser::operator==(const CUser& other) const
{
    return m_Name == other.m_Name && m_Password == other.m_Password && m_Restricted == other.m_Restricted;
}

CUserList::CUserList() = default;

CUserList::~CUserList()
{
    RemoveAll();
}

QString CUserList::DefaultPath()
{
    // Without a data folder there is no path: never fall back to the root.
    QString base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    return base.isEmpty() ? QString() : base + QStringLiteral("/Orvo/Setup/User.dat");
}

bool CUserList::Load()
{
    m_path = DefaultPath();
    RemoveAll();
    m_loadStatus = FileMissing;

    QFile file(m_path);
    if (file.open(QIODevice::ReadOnly)) {
        QByteArray data = file.size() <= kMaxFileSize ? file.read(kMaxFileSize + 1) : QByteArray();
        bool sizeOk = file.size() <= kMaxFileSize && data.size() <= kMaxFileSize;
        m_loadStatus = sizeOk && FromBytes(data) ? FileLoaded : FileDamaged;
    }
    if (IsEmpty())
        AddTail(new CUser(QString::fromLatin1(kDefaultName), QString::fromLatin1(kDefaultPassword), 0));
    return true;
}

bool CUserList::Save()
{
    // Two saves in the same second give the same filler; the file still
    // decodes the same either way.
    std::time_t now = std::time(nullptr);
    std::tm utc{};
    gmtime_r(&now, &utc);
    std::srand(static_cast<unsigned>(utc.tm_sec));

    if (m_path.isEmpty()) {
        m_lastError = QStringLiteral("no folder for user data");
        return false;
    }
    CreatePath(m_path);

    // A damaged database is kept aside before it is replaced, in case its
    // users can still be recovered by hand.
    if (m_loadStatus == FileDamaged && QFile::exists(m_path)) {
        QString aside = m_path + QStringLiteral(".damaged");
        QFile::remove(aside);
        // It still holds passwords: only the owner may read it, as User.dat.
        if (QFile::copy(m_path, aside))
            QFile::setPermissions(aside, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    }

    QByteArray data;
    AppendBytes(data);
    QSaveFile file(m_path);
    // Unbuffered and written until every byte is out: a write cut short by a
    // full disk carries no reason, the next attempt gives the system's; and a
    // buffered write would only fail inside commit(), which then puts the
    // short file in place.
    bool ok = file.open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    if (ok)
        file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    for (qsizetype done = 0; ok && done < data.size();) {
        const qint64 written = file.write(data.constData() + done, data.size() - done);
        ok = written > 0;
        if (ok)
            done += written;
    }
    ok = ok && file.flush() && file.error() == QFileDevice::NoError;
    m_lastError = file.errorString(); // before cancelWriting() replaces it
    if (!ok) {
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        m_lastError = file.errorString();
        return false;
    }
    m_lastError.clear();
    m_loadStatus = FileLoaded;
    return true;
}

QString CUserList::KeepDamagedFile()
{
    if (m_loadStatus != FileDamaged || m_path.isEmpty() || !QFile::exists(m_path))
        return QString();
    const QString aside = m_path + QStringLiteral(".damaged");
    QFile::remove(aside);
    // Moved rather than copied, so the next start finds no damaged file to
    // report again; the users it may still hold can be recovered by hand.
    if (!QFile::rename(m_path, aside))
        return QString();
    return aside;
}

void CUserList::Copy(const CUserList& other)
{
    if (&other == this)
        return;
    RemoveAll();
    m_users.reserve(other.m_users.size());
    for (const CUser* user : other.m_users)
        m_users.push_back(new CUser(*user));
}

void CUserList::RemoveAll()
{
    for (CUser* user : m_users)
        delete user;
    m_users.clear();
}

CUser* CUserList::GetAt(int index) const
{
    if (index < 0 || index >= GetCount())
        return nullptr;
    return m_users[static_cast<size_t>(index)];
}

void CUserList::AddTail(CUser* user)
{
    if (user)
        m_users.push_back(user);
}

void CUserList::RemoveAt(int index)
{
    if (index < 0 || index >= GetCount())
        return;
    delete m_users[static_cast<size_t>(index)];
    m_users.erase(m_users.begin() + index);
}

int CUserList::IndexOf(const CUser* user) const
{
    for (int i = 0; i < GetCount(); ++i)
        if (m_users[static_cast<size_t>(i)] == user)
            return i;
    return -1;
}

QByteArray CUserList::ToBytes(unsigned int seed) const
{
    std::srand(seed);
    QByteArray out;
    AppendBytes(out);
    return out;
}

void CUserList::AppendBytes(QByteArray& out) const
{
    const size_t count = m_users.size();
    if (count < kBigCount) {
        PutU16(out, static_cast<quint16>(count));
    } else {
        PutU16(out, kBigCount);
        PutU32(out, static_cast<quint32>(count));
    }
    for (size_t i = 0; i < count; ++i) {
        if (i == 0) {
            PutU16(out, kNewClassTag);
            PutU16(out, kSchema);
            PutU16(out, kClassNameLength);
            out.append(kClassName, kClassNameLength);
        } else {
            PutU16(out, kFirstClassTag);
        }
        m_users[i]->Serialize(out);
    }
}

bool CUserList::FromBytes(const QByteArray& data)
{
    RemoveAll();
    Reader in(data);

    quint32 count;
    quint16 shortCount;
    if (!in.U16(shortCount))
        return false;
    count = shortCount;
    if (shortCount == kBigCount && !in.U32(count))
        return false;

    // The smallest readable user takes 18 bytes (tag, version, two empty
    // texts, restricted): a count larger than the data can hold is damage,
    // not a reason to allocate.
    constexpr quint32 kMinUserBytes = 2 + 4 + 4 + 4 + 4;
    if (count > static_cast<quint32>(in.Remaining() / kMinUserBytes))
        return false;

    std::vector<CUser*> users;
    auto fail = [&users] {
        for (CUser* user : users)
            delete user;
        return false;
    };
    for (quint32 i = 0; i < count; ++i) {
        quint16 tag;
        if (!in.U16(tag))
            return fail();
        if (i == 0) {
            quint16 schema, nameLength;
            if (tag != kNewClassTag || !in.U16(schema) || schema != kSchema || !in.U16(nameLength) ||
                nameLength != kClassNameLength || !in.Bytes(kClassName, kClassNameLength))
                return fail();
        } else if (tag != kFirstClassTag) {
            return fail();
        }
        auto* user = new CUser;
        users.push_back(user);
        if (!ReadUser(in, *user))
            return fail();
    }
    m_users = std::move(users);
    return true;
}

void CUserList::CreatePath(const QString& path)
{
    // Every folder along the way, one level at a time; a folder that exists
    // already is not an error. The last component is the file itself. A
    // backslash is an ordinary file-name character here, not a separator.
    QDir dir;
    for (qsizetype i = 1; i < path.size(); ++i) {
        if (path[i] == u'/' && path[i - 1] != u'/')
            dir.mkdir(path.left(i));
    }
}
