#include "EditingFixture.h"
#include "presentation/DestinationStatus.h"
#include "support/Mounts.h"

#include <QDir>

namespace {

class PropertiesTest : public EditingFixture {
protected:
    std::vector<std::pair<QString, QString>> nodeImages;

    std::unique_ptr<PropertiesSession> open(const QString& source) {
        state->SelectedSourcePath = source;
        auto hooks = sessionHooks();
        hooks.setNodeImage = [this](const QString& p, const QString& k) {
            nodeImages.emplace_back(p, k);
        };
        auto s = std::make_unique<PropertiesSession>(*state, pickers, hooks);
        EXPECT_TRUE(s->load());
        return s;
    }
    QStringList entries(const PropertiesSession& s) {
        QStringList out;
        for (const auto& d : *s.gcolWorkingDests)
            out << d->Path + "|" + d->Volume;
        return out;
    }
};

// The real file system with the volume name of one folder's drive replaced, so that two
// destinations on one disk can carry different names.
class RenamedDrive : public FileSystem {
public:
    QString name;
    QString VolumeName(const QString&) const override { return name; }
};

} // namespace

TEST_F(PropertiesTest, LoadingShowsTheAssociationAndPausesUntilClosed) {
    const QString source = home.makeFolder("Work/Docs"), dest = home.makeFolder("B");
    const auto a = addSaved(source, true);
    a->Versions = 4;
    state->destinations->Add(dest, source, "VOL");
    state->destinations->Add("/elsewhere", "/other", "X");
    auto s = open(source);
    EXPECT_EQ(s->caption, "Docs<< Quillmot");
    EXPECT_EQ(s->statusText, "Folder exists");
    EXPECT_FALSE(s->statusWarning);
    EXPECT_EQ(s->windowIconKey, Paths::PathKey(source)) << "a saved source shows its own icon";
    EXPECT_EQ(entries(*s), QStringList({dest + "|VOL"}));
    EXPECT_EQ(pauses, 1);
    s->close();
    s->close();
    EXPECT_EQ(unpauses, 1);
    EXPECT_EQ(watchesOpened.size(), 0u) << "closing without Save opens no watch";
    EXPECT_EQ(state->backups->Count(), 1) << "a saved association survives a cancel";

    // Paused before: it stays paused.
    state->Paused = true;
    open(source)->close();
    EXPECT_EQ(unpauses, 1);
    EXPECT_TRUE(state->Paused);
}

TEST_F(PropertiesTest, AVanishedSourceIsDisabledAtOnceEvenWhenTheUserCancels) {
    const QString source = home.path() + "/gone.txt";
    addSaved(source, false);
    auto s = open(source);
    EXPECT_EQ(s->statusText, "File no longer exists");
    EXPECT_TRUE(s->statusWarning);
    EXPECT_EQ(s->windowIconKey, "*FileYellow");
    EXPECT_EQ(nodeImages, (std::vector<std::pair<QString, QString>>{{source, "*FileYellow"}}));
    s->cancel();
    s->close();
    ASSERT_TRUE(state->backups->contains(source));
    EXPECT_FALSE(state->backups->Item(source)->Enabled);
}

TEST_F(PropertiesTest, SaveWritesTheWorkingCopiesAndReopensTheWatch) {
    const QString source = home.makeFolder("Src"), d1 = home.makeFolder("D1"),
                  d2 = home.makeFolder("D2");
    addSaved(source, true);
    state->destinations->Add(d1, source, "OLD");
    auto s = open(source);
    ASSERT_TRUE(s->removeDestination(1) == false) << "No keeps the destination";
    messages.answers = {MessageBoxes::Answer::Yes};
    ASSERT_TRUE(s->removeDestination(1));
    ASSERT_EQ(s->addDestinationPath(d2), 1);
    s->gstrVolumes = "A";
    EXPECT_EQ(state->destinations->of(source).size(), 1u) << "nothing changes before Save";
    PropertiesValues v;
    v.recursive = true;
    v.enabled = false;
    v.keepBackup = true;
    v.versionsText = "0";
    s->save(v);
    s->close();
    const auto a = state->backups->Item(source);
    EXPECT_EQ(a->Versions, 1) << "0 typed is stored as 1";
    EXPECT_TRUE(a->Recursive && a->KeepBackup);
    EXPECT_FALSE(a->Enabled);
    EXPECT_EQ(a->Volume, "A");
    EXPECT_EQ(a->DateLastModified, DateTimeText::format(clock.current));
    ASSERT_EQ(state->destinations->of(source).size(), 1u);
    EXPECT_EQ(state->destinations->of(source)[0]->Path, d2);
    EXPECT_EQ(watchesOpened, (std::vector<std::pair<QString, bool>>{{source, true}}));
    EXPECT_EQ(nodeImages.back(),
              std::make_pair(source, Paths::PathKey(source) + QString("*Magenta")));
    EXPECT_FALSE(state->PropertiesCanceled);
}

// Refused sets leave the dialog open and the model as it was.
TEST_F(PropertiesTest, SaveRefusesCopiesThatWouldMeetAnothersOrComeBackIntoTheirSource) {
    const QString x = home.makeFolder("X/Docs"), y = home.makeFolder("Y/Docs");
    const QString d = home.makeFolder("D"), xIn = home.makeFolder("X/Docs/in");
    addSaved(x, true)->Recursive = true;
    state->destinations->Add(d, x, "V");
    state->destinations->Add(y + "/in", x, "V");
    addSaved(y, true);
    auto s = open(y);
    PropertiesValues recursive;
    recursive.recursive = true;
    for (const QString& refused : {d, xIn}) {
        s->gcolWorkingDests->Clear();
        ASSERT_EQ(s->addDestinationPath(refused), 1);
        EXPECT_FALSE(s->save(recursive));
    }
    EXPECT_EQ(
        messages.texts(),
        QStringList({"\"" + x + "\" and \"" + y + "\" would back up into the same place in \"" + d +
                         "\", where the copies of one would replace those of the other." +
                         "\n\nPlease choose another destination folder.",
                     "The copies of \"" + y + "\" land in the source of \"" + x +
                         "\", and those of \"" + x + "\" back in the source of \"" + y +
                         "\": copies would be copied without end.\n\nPlease choose another "
                         "destination folder."}));
    EXPECT_TRUE(state->destinations->of(y).empty());
    // Not recursive, it does not see the copies that come in.
    EXPECT_TRUE(s->save(PropertiesValues{}));
    s->close();
    EXPECT_EQ(state->destinations->of(y).size(), 1u);
}

TEST_F(PropertiesTest, VersionButtonsStepBetweenOneAndNinetyNine) {
    EXPECT_EQ(PropertiesSession::moreVersions("1"), "2");
    EXPECT_EQ(PropertiesSession::moreVersions("99"), "99");
    EXPECT_EQ(PropertiesSession::lessVersions("1"), "1");
    EXPECT_EQ(PropertiesSession::lessVersions("0"), "0");
    EXPECT_EQ(PropertiesSession::lessVersions(" 10"), "9");
    EXPECT_EQ(PropertiesSession::moreVersions(""), "1");
}

TEST_F(PropertiesTest, ADestinationTwiceOnTheSameVolumeIsRefusedAndTheProbeSparesAUsersFile) {
    auto* fso = new RenamedDrive;
    fso->name = "ONE";
    state = std::make_unique<AppState>(ui, messages, clock, std::unique_ptr<FileSystem>(fso));
    const QString source = home.makeFolder("S"), dest = home.makeFolder("D");
    // The user's own file under the name of the write probe is left as it is.
    const QString users = home.writeFile("D/Quillmottestfile1234567890.txt", "the user's notes");
    addSaved(source, true);
    auto s = open(source);
    ASSERT_EQ(s->addDestinationPath(dest), 1);
    EXPECT_TRUE(messages.asked.empty());
    EXPECT_EQ(readWholeFile(users), "the user's notes");
    EXPECT_EQ(everything(dest), QStringList({"Quillmottestfile1234567890.txt"}));
    EXPECT_FALSE(s->addDestinationPath(dest + "/"));
    EXPECT_TRUE(messages.asked.back().text.startsWith("A destination with this path and volume"));
    fso->name = "TWO";
    EXPECT_EQ(s->addDestinationPath(dest), 2);
    EXPECT_EQ(entries(*s), QStringList({dest + "|ONE", dest + "|TWO"}));
    // A typed folder that is not there is refused before anything is made.
    EXPECT_FALSE(s->addDestinationPath(home.path() + "/none"));
    EXPECT_FALSE(QDir(home.path() + "/none").exists());
    EXPECT_EQ(s->destinationIconKey(dest), "*Folder");
    EXPECT_EQ(s->destinationIconKey("//srv/pub"), "*FolderShared");
}

TEST_F(PropertiesTest, AReadOnlyDestinationIsAddedOnlyWhenTheUserInsists) {
    const QString source = home.makeFolder("S"), target = home.makeFolder("RO");
    auto ro = ScratchMount::readOnlyBind(target);
    SKIP_UNLESS_MOUNTED(ro);
    addSaved(source, true);
    auto s = open(source);
    messages.answers = {MessageBoxes::Answer::No};
    EXPECT_FALSE(s->addDestinationPath(ro->mountPoint()));
    ASSERT_EQ(messages.asked.size(), 1u);
    EXPECT_TRUE(messages.asked[0].text.endsWith("\n\nAdd it anyway?"));
    EXPECT_EQ(messages.asked[0].buttons, MessageBoxes::Buttons::YesNo);
    messages.answers = {MessageBoxes::Answer::Yes};
    EXPECT_EQ(s->addDestinationPath(ro->mountPoint()), 1);
    EXPECT_TRUE(everything(target).isEmpty());
}

TEST_F(PropertiesTest, ANetworkPathOfThisComputerIsStoredByItsLocalFolder) {
    const QString source = home.makeFolder("S"), shared = home.makeFolder("Shared/In");
    addSaved(source, true);
    state->SelectedSourcePath = source;
    auto hooks = sessionHooks();
    hooks.shareLocalPath = [&](const QString& p) {
        return p.startsWith("//me/Shared") ? home.path() + "/Shared" + p.mid(11) : QString();
    };
    PropertiesSession s(*state, pickers, hooks);
    ASSERT_TRUE(s.load());
    messages.answers = {MessageBoxes::Answer::Yes}; // "//me/..." cannot be probed here
    pickers.folders = {"//me/Shared/In"};
    ASSERT_EQ(s.addDestination(), 1);
    EXPECT_EQ(pickers.titles, QStringList({"Please select a destination folder."}));
    EXPECT_EQ(s.gcolWorkingDests->Item(1)->Path, shared);
}

TEST_F(PropertiesTest, TheStatusColumnTellsWhereEachDestinationStands) {
    const QString source = home.makeFolder("S");
    FileSystem& fso = *state->fso;
    const QString sameDisk = home.makeFolder("Copies");
    EXPECT_EQ(DestinationStatus::of(fso, source, false, sameDisk, volumeOf(sameDisk)),
              "Same disk as the source");
    EXPECT_EQ(DestinationStatus::of(fso, source, true, source + "/Inner", volumeOf(source)),
              "Inside the source: its copies are skipped");
    EXPECT_EQ(DestinationStatus::of(fso, source, false, source + "/Inner", volumeOf(source)),
              "Same disk as the source");
    EXPECT_EQ(DestinationStatus::of(fso, source, true, source + "2", volumeOf(source)),
              "Same disk as the source")
        << "a sibling with a longer name is not inside";

    auto disk = ScratchMount::ext4("QuillStat", 16);
    SKIP_UNLESS_MOUNTED(disk);
    const QString dest = disk->mountPoint() + "/Backups";
    QDir().mkpath(dest);
    EXPECT_TRUE(DestinationStatus::of(fso, source, false, dest, "QuillStat").startsWith("Ready, "))
        << qPrintable(DestinationStatus::of(fso, source, false, dest, "QuillStat"));
    EXPECT_EQ(DestinationStatus::of(fso, source, false, dest, "Other"),
              "Volume name differs: the drive holds QuillStat")
        << "another disk plugged in where the destination's was is named";
    const QString rootName = volumeOf("/");
    EXPECT_EQ(DestinationStatus::of(fso, source, false, dest, rootName),
              "Volume name differs: the drive holds QuillStat");
    ASSERT_TRUE(disk->unmount());
    EXPECT_EQ(DestinationStatus::of(fso, source, false, dest, "QuillStat"), "Drive not connected");
}
