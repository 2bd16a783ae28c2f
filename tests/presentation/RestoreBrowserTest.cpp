// The restore window's rules, driven without the window over copies the engine made: the tree
// with its filter and marks, the copies of a file, and each command with its questions.

#include "restore/RestoreFixture.h"

#include "presentation/RestoreBrowser.h"
#include "support/ScriptedPickers.h"

#include <gmock/gmock.h>

namespace {

using Answer = MessageBoxes::Answer;
namespace T = RestoreWindowTexts;

class RestoreBrowserTest : public RestoreFixture {
protected:
    QString docs;
    ScriptedPickers pickers;
    std::unique_ptr<RestoreBrowser> browser;
    QStringList opened;

    void SetUp() override {
        RestoreFixture::SetUp();
        docs = folder("src/Docs");
        associate(docs, true, 3, {dst});
        // A second destination whose disk is not plugged in.
        addDestination(docs, home.path() + "/usb", QString("NOT-HERE"));
        for (int i = 1; i <= 3; ++i)
            save(docs, docs + "/a.txt", "a" + QByteArray::number(i));
        save(docs, docs + "/sub/b.txt", "b");
        QFile::remove(docs + "/sub/b.txt");
        browser = std::make_unique<RestoreBrowser>(setOf(docs), messages, pickers);
        browser->openWithDesktop = [this](const QString& path) {
            opened << path;
            return true;
        };
        browser->start();
        ASSERT_TRUE(waitFor([&] { return !browser->listing(); }));
    }
    void TearDown() override {
        browser.reset();
        RestoreFixture::TearDown();
    }
    int nodeOf(const QString& name) const {
        for (size_t i = 0; i < browser->nodes().size(); ++i)
            if (browser->nodes()[i].name == name)
                return int(i);
        return -1;
    }
    void selectFile(const QString& name) {
        browser->select(nodeOf(name));
        ASSERT_TRUE(waitFor([&] { return browser->copiesListed(); }));
    }
    bool restoreDone() {
        return waitFor([&] { return !browser->restoring(); });
    }
};

TEST_F(RestoreBrowserTest, TheTreeShowsEveryBackedUpFileMarksTheGoneAndFilters) {
    const auto& nodes = browser->nodes();
    ASSERT_EQ(nodes.size(), 3u);
    EXPECT_EQ(nodes[0].name, "a.txt");
    EXPECT_TRUE(nodes[1].folder);
    EXPECT_EQ(nodes[2].parent, 1);
    EXPECT_FALSE(nodes[2].inSource);
    EXPECT_EQ(browser->unpluggedTexts(), QStringList{"plug in NOT-HERE to see its copies"});
    browser->setFilter("B.T");
    ASSERT_EQ(browser->nodes().size(), 2u);
    EXPECT_EQ(browser->nodes()[1].name, "b.txt");

    selectFile("b.txt");
    ASSERT_EQ(browser->rows().size(), 1u);
    EXPECT_EQ(browser->rows()[0].version, T::current);
    EXPECT_EQ(browser->rows()[0].same, QString()); // nothing to equal: the file is gone
}

TEST_F(RestoreBrowserTest, EachCommandAsksWhatItMustAndDoesWhatWasAnswered) {
    selectFile("a.txt");
    ASSERT_EQ(browser->rows().size(), 3u);
    EXPECT_EQ(browser->rows()[0].same, T::sameAsSource);
    EXPECT_EQ(browser->rows()[2].version, T::version.arg(2));

    browser->compare(1);
    ASSERT_TRUE(waitFor([&] { return browser->rows()[1].same == T::otherContent; }));

    // Open: a read-only copy of its own, handed to the desktop.
    browser->open(2);
    ASSERT_TRUE(waitFor([&] { return !opened.isEmpty(); }));
    EXPECT_EQ(bytesOf(opened[0]), "a1");
    EXPECT_FALSE(QFileInfo(opened[0]).permissions() & QFile::WriteOwner);

    // Restore: asked, then done, then said.
    messages.answers = {Answer::Yes, Answer::Ok};
    browser->restore(2);
    ASSERT_TRUE(restoreDone());
    EXPECT_EQ(bytesOf(docs + "/a.txt"), "a1");
    ASSERT_TRUE(waitFor([&] { return browser->copiesListed(); }));

    // Restore to…: a file in the way is replaced only once the user agrees.
    const QString target = write("out/a.txt", "mine");
    pickers.saves = {target, target};
    messages.answers = {Answer::No};
    browser->restoreTo(0);
    ASSERT_TRUE(restoreDone());
    EXPECT_EQ(bytesOf(target), "mine");
    messages.answers = {Answer::Yes, Answer::Ok};
    browser->restoreTo(0);
    ASSERT_TRUE(waitFor([&] { return bytesOf(target) == "a3" && !browser->restoring(); }));

    // Restore folder…: a folder inside the backup is refused; one that is not empty is asked
    // about, and "No" keeps what is there.
    pickers.folders = {dst + "/Docs", folder("out")};
    browser->select(-1);
    browser->restoreFolder({});
    ASSERT_TRUE(waitFor([&] { return messages.asked.size() == 6; }));
    messages.answers = {Answer::No, Answer::Ok};
    browser->restoreFolder({});
    ASSERT_TRUE(waitFor([&] { return messages.asked.size() == 8 && !browser->restoring(); }));
    EXPECT_EQ(bytesOf(target), "a3");
    EXPECT_EQ(bytesOf(folder("out") + "/sub/b.txt"), "b");

    const QStringList asked = messages.texts();
    EXPECT_THAT(asked[0].toStdString(), ::testing::StartsWith("Put the copy of"));
    EXPECT_EQ(asked[1], T::restoredTo.arg(docs + "/a.txt"));
    EXPECT_EQ(asked[2], T::askReplace.arg(target));
    EXPECT_EQ(asked[3], T::askReplace.arg(target));
    EXPECT_THAT(asked[5].toStdString(), ::testing::HasSubstr("lies inside a backup"));
    EXPECT_EQ(asked[6], T::askNotEmpty.arg(folder("out")));
    EXPECT_THAT(asked[7].toStdString(), ::testing::HasSubstr("1 of 2 files restored."));
    EXPECT_THAT(asked[7].toStdString(), ::testing::HasSubstr("is there already"));
}

} // namespace
