// The user database: who may log in, with which password and access level.
//
// Kept in User.dat under the user's data folder. The file is an object archive
// of the list: a user count, the class header "CUser" (schema 1) before the
// first user, then one record per user whose characters are hidden in 32-bit
// words among random filler. Only Qt Core is needed here, so command-line
// tools can read and write the database without a display.
#pragma once

#include <QByteArray>
#include <QString>
#include <vector>

#include "wendrel/export.h"

class WENDREL_API CUser {
public:
    // Empty name and password, restricted access.
    CUser();
    CUser(const QString& name, const QString& password, int restricted);
    CUser(const CUser& other);
    CUser& operator=(const CUser& other);
    virtual ~CUser();

    // Appends this user's record (version, name, password, restricted) to out.
    // The filler bits of every character word come from rand().
    virtual void Serialize(QByteArray& out) const;

    bool operator==(const CUser& other) const;

    QString m_Name;
    // Compared exactly and case-sensitively at login.
    QString m_Password;
    // 0 = full access, anything else = restricted; handed to the application
    // as its access level at login.
    int m_Restricted;
};

// An ordered list of users that owns them: RemoveAll, RemoveAt and destruction
// delete the users.
class WENDREL_API CUserList {
public:
    // What the last Load found; a successful Save makes it FileLoaded.
    enum LoadStatus {
        FileMissing, // no file or it could not be opened: default user only
        FileLoaded,  // the file was read
        FileDamaged, // the file could not be decoded: default user only
    };

    CUserList();
    ~CUserList();
    CUserList(const CUserList&) = delete;
    CUserList& operator=(const CUserList&) = delete;

    // Sets the path to DefaultPath(), empties the list and reads the file.
    // A missing or damaged file is not an error: the list then holds only the
    // default user ("Default User", full access). Always returns true; see
    // GetLoadStatus() for what happened.
    bool Load();
    // Writes the list to the path set by Load (atomically, owner-only
    // permissions), creating missing folders first. False when the file could
    // not be written; the previous file is then left as it was. A file that
    // loaded as damaged is first copied to "User.dat.damaged".
    bool Save();
    // After a Load that found the file damaged: moves it aside as
    // "User.dat.damaged" (replacing an older one) and returns that path;
    // empty when there was nothing to move or it could not be moved.
    QString KeepDamagedFile();
    // Replaces this list's users with copies of other's users, in order.
    void Copy(const CUserList& other);
    // Deletes every user.
    void RemoveAll();

    int GetCount() const { return static_cast<int>(m_users.size()); }
    bool IsEmpty() const { return m_users.empty(); }
    // nullptr when index is out of range.
    CUser* GetAt(int index) const;
    // Appends user; the list takes ownership.
    void AddTail(CUser* user);
    // Deletes the user at index and removes it from the list.
    void RemoveAt(int index);
    // Position of user in the list, or -1.
    int IndexOf(const CUser* user) const;

    const QString& GetPath() const { return m_path; }
    // Overrides the path that Save writes to (Load always resets it).
    void SetPath(const QString& path) { m_path = path; }
    LoadStatus GetLoadStatus() const { return m_loadStatus; }
    // Why the last Save failed, in the system's words ("No space left on device").
    const QString& LastError() const { return m_lastError; }

    // <generic data location>/Orvo/Setup/User.dat
    static QString DefaultPath();

    // The file image of the list with the generator seeded by seed.
    QByteArray ToBytes(unsigned int seed) const;
    // Replaces the users with those decoded from data. On a damaged image the
    // list is left empty and false is returned. No default user is added.
    bool FromBytes(const QByteArray& data);

private:
    void AppendBytes(QByteArray& out) const;
    static void CreatePath(const QString& path);

    std::vector<CUser*> m_users;
    QString m_path;
    LoadStatus m_loadStatus = FileMissing;
    QString m_lastError;
};
