#pragma once
// A second local user, made for one test and removed after it, for what only shows when the
// program is not the owner of a file (root reads everything). The test acts as that user by
// switching the effective ids for a while; `create` returns nullptr with a reason where users
// cannot be made (not root, no useradd).

#include <QString>
#include <functional>
#include <memory>
#include <sys/types.h>
#include <vector>

class OtherUser {
public:
    static std::unique_ptr<OtherUser> create(QString* skipReason);
    ~OtherUser();
    OtherUser(const OtherUser&) = delete;

    uid_t uid() const { return m_uid; }
    gid_t gid() const { return m_gid; }
    // Gives `path` and everything below it to this user.
    void own(const QString& path) const;
    // Counts this user among the members of `group` whenever it acts.
    void joinGroup(gid_t group) { m_groups.push_back(group); }

    // While it lives, the process acts as this user (effective user, group and groups).
    class Acting {
    public:
        explicit Acting(const OtherUser& user);
        ~Acting();
        Acting(const Acting&) = delete;
    };

    // A child process that is this user for good and runs `body` until it returns or the
    // object goes (the child is then killed). For what must run at the same time as the test.
    class Process {
    public:
        Process(const OtherUser& user, const std::function<void()>& body);
        ~Process();
        Process(const Process&) = delete;

    private:
        pid_t m_pid = -1;
    };

private:
    OtherUser() = default;
    std::vector<gid_t> groups() const;
    QString m_name;
    uid_t m_uid = 0;
    gid_t m_gid = 0;
    std::vector<gid_t> m_groups; // besides its own
};
