#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include "testenv.h"
#include "wendrel/user.h"

// Readable failures: name, password and level instead of raw object bytes.
void PrintTo(const CUser& user, std::ostream* os)
{
    *os << "{" << user.m_Name.toStdString() << ", " << user.m_Password.toStdString() << ", "
        << user.m_Restricted << "}";
}

namespace {

QByteArray Hex(const char* text)
{
    return QByteArray::fromHex(text);
}

std::string Dump(const QByteArray& bytes)
{
    return bytes.toHex(' ').toStdString();
}

quint32 WordAt(const QByteArray& b, int offset)
{
    quint32 v = 0;
    for (int i = 3; i >= 0; --i)
        v = (v << 8) | static_cast<unsigned char>(b[offset + i]);
    return v;
}

QByteArray U32(quint32 v)
{
    QByteArray out;
    for (int i = 0; i < 4; ++i)
        out.append(static_cast<char>((v >> (8 * i)) & 0xFF));
    return out;
}

// A record written by hand, every filler bit zero.
QByteArray Record(const QByteArray& name, const QByteArray& password, qint32 restricted, quint32 version = 1)
{
    QByteArray out = U32(version);
    for (const QByteArray& text : {name, password}) {
        out += U32(static_cast<quint32>(text.size()));
        for (char c : text)
            out += U32(static_cast<quint32>(static_cast<unsigned char>(c)) << 16);
    }
    out += U32(static_cast<quint32>(restricted));
    return out;
}

QByteArray TwoUserFile()
{
    return Hex("0200ffff01000500") + "CUser" + Record("Ann", "ABC", 0) + Hex("0180") + Record("Bob", "x1", 5);
}

void WriteDatabase(const QByteArray& bytes)
{
    QString path = CUserList::DefaultPath();
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

void ExpectOnlyDefaultUser(const CUserList& list)
{
    ASSERT_EQ(list.GetCount(), 1);
    EXPECT_EQ(list.GetAt(0)->m_Name, "Default User");
    EXPECT_EQ(list.GetAt(0)->m_Password, "60918");
    EXPECT_EQ(list.GetAt(0)->m_Restricted, 0);
}

class ServicesUserList : public ::testing::Test {
protected:
    void SetUp() override
    {
        TestApp();
        // Each case starts without a database.
        QDir(TestRoot() + "/data").removeRecursively();
    }
};

TEST_F(ServicesUserList, TwoUsersProduceTheArchiveLayoutByteForByte)
{
    CUserList list;
    list.AddTail(new CUser("Ann", "ABC", 0));
    list.AddTail(new CUser("Bob", "x1", 5));
    QByteArray bytes = list.ToBytes(42);
    QByteArray expected = TwoUserFile();
    ASSERT_EQ(bytes.size(), expected.size()) << Dump(bytes);

    // Headers and lengths are exact; every character word differs from the
    // hand-made one only in its filler bits.
    QByteArray masked = bytes;
    const int firstRecord = 13, secondRecord = firstRecord + 4 + 4 + 12 + 4 + 12 + 4 + 2;
    for (int record : {firstRecord, secondRecord}) {
        int offset = record + 4;
        for (int text = 0; text < 2; ++text) {
            int n = static_cast<int>(WordAt(bytes, offset));
            offset += 4;
            for (int i = 0; i < n; ++i, offset += 4) {
                quint32 word = WordAt(bytes, offset);
                // Filler comes from 15-bit generator values.
                EXPECT_EQ(word & 0x80008000u, 0u) << "word at " << offset;
                masked.replace(offset, 4, U32(word & 0x00FF0000u));
            }
        }
    }
    EXPECT_EQ(Dump(masked), Dump(expected));
    // "Ann": the third byte of each word carries the character.
    EXPECT_EQ(static_cast<unsigned char>(bytes[firstRecord + 8 + 2]), 0x41);
    EXPECT_EQ(static_cast<unsigned char>(bytes[firstRecord + 12 + 2]), 0x6E);
    EXPECT_EQ(static_cast<unsigned char>(bytes[firstRecord + 16 + 2]), 0x6E);
}

TEST_F(ServicesUserList, HandMadeFileDecodesAndFillerIsIgnored)
{
    QByteArray file = TwoUserFile();
    // Set every filler bit of the first name character.
    file[13 + 8 + 0] = char(0xFF);
    file[13 + 8 + 1] = char(0xFF);
    file[13 + 8 + 3] = char(0xFF);
    CUserList list;
    ASSERT_TRUE(list.FromBytes(file));
    ASSERT_EQ(list.GetCount(), 2);
    EXPECT_EQ(*list.GetAt(0), CUser("Ann", "ABC", 0));
    EXPECT_EQ(*list.GetAt(1), CUser("Bob", "x1", 5));
}

TEST_F(ServicesUserList, SavesWithDifferentSeedsDifferInFillerOnly)
{
    CUserList list;
    list.AddTail(new CUser("Ann", "ABC", 0));
    list.AddTail(new CUser("Eve", QString::fromLatin1("s3cr\xe9t"), -7));
    QByteArray first = list.ToBytes(1), second = list.ToBytes(2);
    EXPECT_NE(first, second);
    EXPECT_EQ(first, list.ToBytes(1));

    CUserList a, b;
    ASSERT_TRUE(a.FromBytes(first));
    ASSERT_TRUE(b.FromBytes(second));
    ASSERT_EQ(a.GetCount(), 2);
    ASSERT_EQ(b.GetCount(), 2);
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(*a.GetAt(i), *list.GetAt(i));
        EXPECT_EQ(*b.GetAt(i), *list.GetAt(i));
    }
}

TEST_F(ServicesUserList, CharactersAreStoredInTheWindowsCodePage)
{
    CUserList list;
    list.AddTail(new CUser(QString::fromUtf8("Zo\xc3\xab \xe2\x82\xac\xe2\x80\x9d \xe4\xb8\xad"), "p", 1));
    QByteArray bytes = list.ToBytes(3);
    // e-diaeresis is the same byte as in Latin-1; the euro sign and the right
    // double quote live at 0x80 and 0x94; a CJK character has no byte.
    std::vector<int> expected = {'Z', 'o', 0xEB, ' ', 0x80, 0x94, ' ', '?'};
    for (size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(static_cast<unsigned char>(bytes[13 + 8 + 4 * static_cast<int>(i) + 2]), expected[i]) << i;

    CUserList back;
    ASSERT_TRUE(back.FromBytes(bytes));
    EXPECT_EQ(back.GetAt(0)->m_Name, QString::fromUtf8("Zo\xc3\xab \xe2\x82\xac\xe2\x80\x9d ?"));
    // Unassigned bytes come back as the control code of the same value.
    ASSERT_TRUE(back.FromBytes(Hex("0100ffff01000500") + "CUser" + Record("\x81\x9f", "", 0)));
    EXPECT_EQ(back.GetAt(0)->m_Name, QString::fromUtf8("\xc2\x81\xc5\xb8"));
}

TEST_F(ServicesUserList, CountAtTheShortLimitSwitchesToTheLongForm)
{
    CUserList list;
    for (int i = 0; i < 0xFFFF; ++i)
        list.AddTail(new CUser(QString(), QString::number(i), i & 1));
    QByteArray bytes = list.ToBytes(5);
    EXPECT_EQ(Dump(bytes.left(6)), Dump(Hex("ffffffff0000")));
    CUserList back;
    ASSERT_TRUE(back.FromBytes(bytes));
    ASSERT_EQ(back.GetCount(), 0xFFFF);
    EXPECT_EQ(back.GetAt(0xFFFE)->m_Password, "65534");

    list.RemoveAt(0);
    EXPECT_EQ(Dump(list.ToBytes(5).left(2)), "fe ff");
}

TEST_F(ServicesUserList, LoadWithoutFileGivesTheDefaultUser)
{
    CUserList list;
    EXPECT_TRUE(list.Load());
    ExpectOnlyDefaultUser(list);
    EXPECT_EQ(list.GetLoadStatus(), CUserList::FileMissing);
    EXPECT_EQ(list.GetPath(), TestRoot() + "/data/Orvo/Setup/User.dat");
}

TEST_F(ServicesUserList, FileWithCountZeroLoadsAsTheDefaultUser)
{
    WriteDatabase(Hex("0000"));
    CUserList list;
    EXPECT_TRUE(list.Load());
    ExpectOnlyDefaultUser(list);
    EXPECT_EQ(list.GetLoadStatus(), CUserList::FileLoaded);
}

TEST_F(ServicesUserList, SaveCreatesMissingFoldersAndAPrivateFile)
{
    ASSERT_FALSE(QDir(TestRoot() + "/data").exists());
    CUserList list;
    list.Load();
    list.AddTail(new CUser("Ann", "ABC", 1));
    ASSERT_TRUE(list.Save());

    QFileInfo info(CUserList::DefaultPath());
    ASSERT_TRUE(info.exists());
    struct stat st {};
    ASSERT_EQ(stat(QFile::encodeName(info.filePath()).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    CUserList again;
    again.Load();
    ASSERT_EQ(again.GetCount(), 2);
    EXPECT_EQ(*again.GetAt(1), CUser("Ann", "ABC", 1));
    EXPECT_EQ(again.GetLoadStatus(), CUserList::FileLoaded);

    // Loading and saving once more decodes to the same users.
    ASSERT_TRUE(again.Save());
    CUserList third;
    third.Load();
    ASSERT_EQ(third.GetCount(), 2);
    EXPECT_EQ(*third.GetAt(0), *again.GetAt(0));
    EXPECT_EQ(*third.GetAt(1), *again.GetAt(1));
}

TEST_F(ServicesUserList, SaveThatCannotWriteFailsAndKeepsTheOldFile)
{
    QDir().mkpath(TestRoot() + "/data");
    QFile blocker(TestRoot() + "/data/blocker");
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();

    CUserList list;
    list.AddTail(new CUser("Ann", "ABC", 1));
    list.SetPath(TestRoot() + "/data/blocker/User.dat");
    EXPECT_FALSE(list.Save());

    CUserList empty;
    empty.SetPath(QString());
    EXPECT_FALSE(empty.Save());
}

TEST_F(ServicesUserList, DamagedFilesLoadAsTheDefaultUser)
{
    const QByteArray good = TwoUserFile();
    const QByteArray head = Hex("0100ffff01000500") + "CUser";
    std::vector<std::pair<const char*, QByteArray>> damaged = {
        {"empty", QByteArray()},
        {"one byte", Hex("01")},
        {"wrong class name", Hex("0100ffff01000500") + "CUsex" + Record("A", "1", 0)},
        {"longer class name", Hex("0100ffff01000600") + "CUsers" + Record("A", "1", 0)},
        {"schema 2", Hex("0100ffff02000500") + "CUser" + Record("A", "1", 0)},
        {"no class header", Hex("01000180") + Record("A", "1", 0)},
        {"record version 2", head + Record("A", "1", 0, 2)},
        {"record version 0", head + Record("A", "1", 0, 0)},
        {"second tag names another class",
         Hex("0200ffff01000500") + "CUser" + Record("A", "1", 0) + Hex("0280") + Record("B", "2", 0)},
        {"second tag is a new class", Hex("0200ffff01000500") + "CUser" + Record("A", "1", 0) +
                                          Hex("ffff01000500") + "CUser" + Record("B", "2", 0)},
        {"count larger than the users", Hex("0300") + good.mid(2)},
        {"absurd long count", Hex("ffffffffffff") + good.mid(2)},
        {"absurd name length", head + U32(1) + U32(0x7FFFFFFF) + U32(0x410000)},
        {"name length beyond 2^31", head + U32(1) + U32(0xFFFFFFFF) + U32(0x410000)},
    };
    // Every truncation of a good file.
    for (int n = 1; n < good.size(); ++n)
        damaged.emplace_back("truncated", good.left(n));

    for (const auto& [what, bytes] : damaged) {
        CUserList direct;
        direct.AddTail(new CUser("stale", "stale", 1));
        EXPECT_FALSE(direct.FromBytes(bytes)) << what << " " << bytes.size();
        EXPECT_EQ(direct.GetCount(), 0) << what;

        WriteDatabase(bytes);
        CUserList list;
        EXPECT_TRUE(list.Load());
        ExpectOnlyDefaultUser(list);
        EXPECT_EQ(list.GetLoadStatus(), CUserList::FileDamaged) << what;
    }
}

TEST_F(ServicesUserList, OversizedFileIsNotReadIntoMemory)
{
    WriteDatabase(Hex("0000"));
    QFile file(CUserList::DefaultPath());
    ASSERT_TRUE(file.resize(64LL * 1024 * 1024)); // sparse: costs no disk
    CUserList list;
    list.Load();
    ExpectOnlyDefaultUser(list);
    EXPECT_EQ(list.GetLoadStatus(), CUserList::FileDamaged);
}

TEST_F(ServicesUserList, SavingOverADamagedFileKeepsItAside)
{
    WriteDatabase(Hex("0500ffff"));
    // Left readable by others, as a file put there by hand may be.
    ASSERT_EQ(::chmod(QFile::encodeName(CUserList::DefaultPath()).constData(), 0644), 0);
    CUserList list;
    list.Load();
    ASSERT_EQ(list.GetLoadStatus(), CUserList::FileDamaged);
    ASSERT_TRUE(list.Save());

    QFile aside(CUserList::DefaultPath() + ".damaged");
    ASSERT_TRUE(aside.open(QIODevice::ReadOnly));
    EXPECT_EQ(aside.readAll(), Hex("0500ffff"));
    struct stat info {};
    ASSERT_EQ(::stat(QFile::encodeName(aside.fileName()).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u) << "the kept copy still holds passwords";
    CUserList again;
    again.Load();
    EXPECT_EQ(again.GetLoadStatus(), CUserList::FileLoaded);
    ExpectOnlyDefaultUser(again);

    // A later save must not replace the kept copy with a good file.
    ASSERT_TRUE(list.Save());
    aside.close();
    ASSERT_TRUE(aside.open(QIODevice::ReadOnly));
    EXPECT_EQ(aside.readAll(), Hex("0500ffff"));
}

TEST_F(ServicesUserList, SaveOnAFullDiskFailsAndKeepsEveryUser)
{
    WriteDatabase(TwoUserFile());
    CUserList list;
    list.Load();
    list.AddTail(new CUser("Cy", "777", 1));

    // A file-size limit stops the write after 8 bytes, as a full disk would.
    struct rlimit saved {};
    getrlimit(RLIMIT_FSIZE, &saved);
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = saved;
    small.rlim_cur = 8;
    setrlimit(RLIMIT_FSIZE, &small);
    const bool ok = list.Save();
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_FALSE(ok);
    EXPECT_EQ(list.LastError(), QString::fromLocal8Bit(std::strerror(EFBIG)));
    QFile file(CUserList::DefaultPath());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), TwoUserFile()) << "the old database must stay whole";
}

TEST_F(ServicesUserList, DamagedFileIsMovedAsideOnce)
{
    WriteDatabase(Hex("0500ffff"));
    CUserList list;
    list.Load();
    const QString aside = list.KeepDamagedFile();
    EXPECT_EQ(aside, CUserList::DefaultPath() + ".damaged");
    EXPECT_FALSE(QFile::exists(CUserList::DefaultPath()));
    QFile kept(aside);
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), Hex("0500ffff"));

    CUserList next;
    next.Load();
    EXPECT_EQ(next.GetLoadStatus(), CUserList::FileMissing) << "nothing left to report at the next start";
    EXPECT_TRUE(next.KeepDamagedFile().isEmpty());
    ExpectOnlyDefaultUser(next);
}

TEST_F(ServicesUserList, CopiesAreIndependentAndOwnTheirUsers)
{
    CUserList original;
    original.AddTail(new CUser("Ann", "1", 0));
    original.AddTail(new CUser("Bob", "2", 1));
    CUserList copy;
    copy.AddTail(new CUser("old", "0", 1));
    copy.Copy(original);
    ASSERT_EQ(copy.GetCount(), 2);
    EXPECT_NE(copy.GetAt(0), original.GetAt(0));
    EXPECT_EQ(*copy.GetAt(1), *original.GetAt(1));

    copy.RemoveAt(0);
    copy.GetAt(0)->m_Name = "Robert";
    ASSERT_EQ(original.GetCount(), 2);
    EXPECT_EQ(original.GetAt(0)->m_Name, "Ann");
    EXPECT_EQ(original.GetAt(1)->m_Name, "Bob");

    copy.Copy(copy); // copying into itself leaves the list as it was
    EXPECT_EQ(copy.GetCount(), 1);
    EXPECT_EQ(copy.IndexOf(copy.GetAt(0)), 0);
    EXPECT_EQ(copy.IndexOf(original.GetAt(0)), -1);
    EXPECT_EQ(copy.GetAt(5), nullptr);
    copy.RemoveAt(7);
    EXPECT_EQ(copy.GetCount(), 1);
}

} // namespace
