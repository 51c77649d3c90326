#include "collection/CollectionSession.h"

#include "collection/TaskTable.h"
#include "host/MemorySettingsStore.h"
#include "support/Recorders.h"
#include "support/TempFolder.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace zuta {
namespace {

const std::string kData = ZUTA_TEST_DATA_DIR;

TEST(CollectionSession, FileKindsByExtensionInAnyCase) {
    struct Case {
        const char* path;
        DataFileKind kind;
        DataFileKind reopened;
    };
    const Case cases[] = {
        {"/a/run.zuta", DataFileKind::SessionFile, DataFileKind::SessionFile},
        {"C:\\runs\\S2.ZUTA", DataFileKind::SessionFile, DataFileKind::SessionFile},
        {"boot.LOG", DataFileKind::RawLog, DataFileKind::SessionFile},
        {"/x/a.log.zuta", DataFileKind::SessionFile, DataFileKind::RawLog},
        {"cap.Zcap", DataFileKind::Capture, DataFileKind::SessionFile},
        {"killed.zcap.part", DataFileKind::Capture, DataFileKind::SessionFile},
        {"notes.txt", DataFileKind::Unknown, DataFileKind::SessionFile},
        {"zuta", DataFileKind::Unknown, DataFileKind::SessionFile},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(DataFileKindOf(c.path), c.kind) << c.path;
        EXPECT_EQ(ReopenedFileKindOf(c.path), c.reopened) << c.path;
    }
}

struct SessionRig {
    SessionRig() {
        SessionServices services;
        services.settingsStore = &store;
        services.output = &output;
        services.messageBox = &box;
        session = std::make_unique<CollectionSession>(services);
        session->settings().dumpPath = folder.path().string();
    }

    std::string TableText() {
        TaskTable table;
        table.BuildColumns(session->settings().cpuType, session->settings().simpleMode);
        table.RebuildRows(session->data());
        table.RefreshStatistics(session->data(), StatisticsOptions{false, false, 200.0f});
        std::string text;
        for (std::size_t r = 0; r < table.rowCount(); ++r)
            for (std::size_t c = 0; c < table.columns().size(); ++c)
                text += table.Cell(r, c) + (c + 1 == table.columns().size() ? "\n" : ";");
        return text;
    }

    test::TempFolder folder;
    host::MemorySettingsStore store;
    test::RecordingOutput output;
    test::RecordingMessageBox box;
    std::unique_ptr<CollectionSession> session;
};

TEST(CollectionSession, OpensEveryKindAndSavesWhatReloadsTheSame) {
    SessionRig rig;
    // A capture replays with the link ports it holds unless the settings' are asked for.
    rig.session->settings().diagPort = 5;
    rig.session->settings().tlnPort = 7;
    const std::string capture = ZUTA_EXAMPLES_DIR "/modem-full.zcap";
    const std::string upper = rig.folder / "S2.ZUTA";
    std::filesystem::copy_file(kData + "/files/session_v2.zuta", upper);
    std::string error;
    for (const std::string& path : {upper, kData + "/files/boot.log", capture}) {
        ASSERT_TRUE(rig.session->Open(path, error)) << path << ": " << error;
        const std::string table = rig.TableText();
        EXPECT_FALSE(table.empty()) << path;

        const std::string saved = rig.folder / "saved.zuta";
        ASSERT_TRUE(rig.session->Save(saved, error)) << error;
        SessionRig other;
        ASSERT_TRUE(other.session->Open(saved, error)) << error;
        // An empty name (the raw log has one) is written as "_" so that it reads back.
        if (DataFileKindOf(path) != DataFileKind::RawLog) {
            EXPECT_EQ(other.TableText(), table) << path;
        }
    }
    rig.session->SetReplayPortsFromSettings(true);
    ASSERT_TRUE(rig.session->Open(capture, error)) << error;
    EXPECT_EQ(rig.session->data().Read([](const StoreState& s) { return s.samples.size(); }), 0u);
}

TEST(CollectionSession, RefusesWhatItCannotOpenAndWarnsOfAFileThatEndsEarly) {
    SessionRig rig;
    std::string error;
    for (const std::string name : {"notes.txt", "missing.zuta"}) {
        EXPECT_FALSE(rig.session->Open(rig.folder / name, error));
        EXPECT_NE(error.find(name), std::string::npos) << error;
    }
    // What the file holds is loaded.
    ASSERT_TRUE(rig.session->Open(kData + "/files/bad/truncated.zuta", error)) << error;
    ASSERT_EQ(rig.session->warnings().size(), 1u);
    EXPECT_NE(rig.session->warnings()[0].find("the file ends after 2 of 5 events"),
              std::string::npos)
        << rig.session->warnings()[0];
    // The next open starts without the warnings of the last.
    ASSERT_TRUE(rig.session->Open(kData + "/files/session_v2.zuta", error)) << error;
    EXPECT_TRUE(rig.session->warnings().empty());
}

TEST(CollectionSession, WithoutLinksStartSaysTheTargetIsNotConnected) {
    SessionRig rig;
    EXPECT_FALSE(rig.session->controller().Start());
    EXPECT_EQ(rig.output.CountStatus("Target not connected"), 1u);
}

} // namespace
} // namespace zuta
