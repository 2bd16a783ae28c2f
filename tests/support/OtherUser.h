#pragma once
// A second local user, made for one test and removed after it, for what only shows when the
// program is not the owner of a file (root reads everything). The test acts as that user by
// switching the effective ids for a while; `create` returns nullptr with a reason where users
// cannot be made (not root, no useradd).

#include <QString>
#include <memory>
#include <sys/types.h>

class OtherUser {
public:
    static std::unique_ptr<OtherUser> create(QString* skipReason);
    ~OtherUser();
    OtherUser(const OtherUser&) = delete;

    uid_t uid() const { return m_uid; }
    // Gives `path` and everything below it to this user.
    void own(const QString& path) const;

    // While it lives, the process acts as this user (effective user, group and groups).
    class Acting {
    public:
        explicit Acting(const OtherUser& user);
        ~Acting();
        Acting(const Acting&) = delete;
    };

private:
    OtherUser() = default;
    QString m_name;
    uid_t m_uid = 0;
    gid_t m_gid = 0;
};
