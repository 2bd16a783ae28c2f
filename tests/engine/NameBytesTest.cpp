#include "EngineFixture.h"

#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Files whose names are not valid UTF-8, made and looked at through their bytes only.
class NameBytesTest : public CopyFixture {
protected:
    static QByteArray bytesOf(const QString& path) { return Paths::toNative(path); }
    static bool existsAsBytes(const QByteArray& path) {
        struct stat st {};
        return ::stat(path.constData(), &st) == 0;
    }
    static std::string contentOf(const QByteArray& path) {
        std::ifstream in(path.constData(), std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    QByteArray makeFile(const QString& folder, const QByteArray& name, const QByteArray& data) {
        const QByteArray path = bytesOf(folder) + '/' + name;
        const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        EXPECT_GE(fd, 0) << path.toStdString();
        EXPECT_EQ(::write(fd, data.constData(), size_t(data.size())), data.size());
        ::close(fd);
        return path;
    }
};

} // namespace

// A file saved under another locale's name is found by the walk, copied under exactly its bytes,
// and logged with the broken bytes shown as "\xNN".
TEST_F(NameBytesTest, AFileNamedInAnotherEncodingIsCopiedUnderItsExactNameAndLoggedEscaped) {
    const QString src = folder("src/Ablage");
    const QString dst = folder("dst");
    makeFile(src, "\xFF\xFE.txt", "first");
    makeFile(src, "caf\xE9.txt", "second");
    addAssociation(src, true);
    addDestination(src, dst);

    const QStringList found = state->fso->files(src);
    ASSERT_EQ(found.size(), 2);
    for (const QString& file : found)
        copy(src, file);

    EXPECT_EQ(contentOf(bytesOf(dst) + "/Ablage/\xFF\xFE.txt"), "first");
    EXPECT_TRUE(existsAsBytes(bytesOf(dst) + "/Ablage/caf\xE9.txt"));
    EXPECT_FALSE(existsAsBytes(bytesOf(dst) + "/Ablage/caf\xC3\xA9.txt"));
    ASSERT_EQ(logged(), QStringList(2, ResultText::logCopySaved));
    QStringList names;
    for (const auto& entry : *state->recent)
        names << Paths::fileName(entry->SourcePath);
    names.sort();
    EXPECT_EQ(names, QStringList({"\\xFF\\xFE.txt", "caf\\xE9.txt"}));
}
