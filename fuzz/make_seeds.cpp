// Writes the seed corpora of the engine fuzz targets: zuta_make_seeds CORPUS_ROOT.
// Every byte comes from the wire encoder, so the seeds follow the wire format the engine reads.

#include "StreamInput.h"
#include "engine/Records.h"
#include "engine/WireEncoder.h"
#include "engine/WireFormat.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
namespace wire = zuta::wire;
using wire::Bytes;
using zuta::RecordKind;
using namespace zuta::fuzz;

bool Write(const fs::path& folder, const std::string& name, const Bytes& bytes) {
    std::ofstream out(folder / name, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
        std::fprintf(stderr, "cannot write %s\n", (folder / name).string().c_str());
        return false;
    }
    return true;
}

// A framed_stream_fuzzer input: flags, batch lengths, link data.
Bytes StreamInput(std::uint8_t flags, const std::vector<std::uint8_t>& lengths, const Bytes& data) {
    Bytes out{flags, static_cast<std::uint8_t>(lengths.size())};
    out.insert(out.end(), lengths.begin(), lengths.end());
    out.insert(out.end(), data.begin(), data.end());
    return out;
}

// A short stretch of modem activity in full records: task switches, an IRQ, a user event and a
// function call inside a task.
Bytes FullPayload() {
    Bytes p;
    wire::AppendFullRecord(p, RecordKind::TaskSwitch, 0, 0, 0, 0, 0);
    wire::AppendFullRecord(p, RecordKind::TaskSwitch, 3, 1200, 40, 96, 5000);
    wire::AppendFullRecord(p, RecordKind::UserEvent, 7, 42, 0, 0, 0);
    wire::AppendFullRecord(p, RecordKind::FunctionEnter, 12, 300, 10, 24, 700);
    wire::AppendFullRecord(p, RecordKind::FunctionExit, 12, 310, 11, 32, 760);
    wire::AppendFullRecord(p, RecordKind::IrqSwitch, 17, 90, 3, 8, 220);
    wire::AppendFullRecord(p, RecordKind::TaskSwitch, 1, 800, 25, 64, 3100);
    wire::AppendFullRecord(p, RecordKind::TaskSwitch, 0, 50000, 900, 4000, 65000);
    return p;
}

Bytes SimplePayload() {
    Bytes p;
    wire::AppendSimpleRecord(p, RecordKind::TaskSwitch, 0, 10);
    wire::AppendSimpleRecord(p, RecordKind::TaskSwitch, 5, 250);
    wire::AppendSimpleRecord(p, RecordKind::UserEvent, 1, 9);
    wire::AppendSimpleRecord(p, RecordKind::IrqSwitch, 40, 33);
    wire::AppendSimpleRecord(p, RecordKind::FunctionEnter, 2, 70);
    wire::AppendSimpleRecord(p, RecordKind::FunctionExit, 2, 90);
    wire::AppendSimpleRecord(p, RecordKind::TaskSwitch, 0, 1000);
    return p;
}

Bytes ExtTsPayload() {
    Bytes p;
    wire::AppendExtTsRecord(p, RecordKind::TaskSwitch, 0);
    wire::AppendExtTsRecord(p, RecordKind::TaskSwitch, 2);
    wire::AppendExtTsRecord(p, RecordKind::UserEvent, 4);
    wire::AppendExtTsRecord(p, RecordKind::IrqSwitch, 9);
    wire::AppendExtTsRecord(p, RecordKind::FunctionEnter, 1);
    wire::AppendExtTsRecord(p, RecordKind::FunctionExit, 1);
    wire::AppendExtTsRecord(p, RecordKind::TaskSwitch, 0);
    return p;
}

Bytes Framed(const Bytes& payload, std::uint16_t step = 1) {
    Bytes out;
    wire::FrameWriter writer(step);
    writer.Append(out, payload);
    return out;
}

bool WriteStreamSeeds(const fs::path& folder) {
    bool ok = true;
    const Bytes full = FullPayload();
    ok &=
        Write(folder, "full-one-batch", StreamInput(kModeFull | kAnnounceTasks, {}, Framed(full)));
    // Large counter steps make the timestamp wrap, so markers sit between frames.
    ok &= Write(folder, "full-split-wraps",
                StreamInput(kModeFull | kAnnounceTasks | kWithFunctions, {6, 12, 200},
                            Framed(full, 30000)));
    ok &= Write(folder, "simple",
                StreamInput(kModeSimple | kAnnounceTasks, {40}, Framed(SimplePayload())));
    ok &= Write(folder, "ext-ts",
                StreamInput(kModeExtTs | kAnnounceTasks | kWithFunctions, {16, 4},
                            Framed(ExtTsPayload(), 4000)));
    ok &= Write(folder, "ext-ts-and-simple",
                StreamInput(kModeSimpleAndExtTs | kEmptyBatches, {}, Framed(ExtTsPayload(), 17)));
    ok &=
        Write(folder, "unframed-full",
              StreamInput(kModeFull | kUnframed | kAnnounceTasks, {9, 100}, wire::Unframed(full)));
    ok &= Write(folder, "unframed-ext-ts",
                StreamInput(kModeExtTs | kUnframed, {}, wire::Unframed(ExtTsPayload())));
    ok &= Write(folder, "restart-halfway",
                StreamInput(kModeFull | kRestartHalfway | kAnnounceTasks, {50}, Framed(full)));

    // Raw data blocks: one of 17 bytes between records, one cut across batches.
    Bytes raw;
    wire::AppendFullRecord(raw, RecordKind::TaskSwitch, 1, 5, 6, 7, 8);
    Bytes block;
    for (std::uint8_t i = 0; i < 17; ++i)
        block.push_back(static_cast<std::uint8_t>(0xA0 + i));
    wire::AppendRawBlock(raw, 3, block);
    wire::AppendFullRecord(raw, RecordKind::TaskSwitch, 2, 5, 6, 7, 8);
    wire::AppendRawBlock(raw, 4, {0xDE, 0xAD, 0xBE, 0xEF});
    ok &=
        Write(folder, "raw-blocks", StreamInput(kModeFull | kAnnounceTasks, {20, 3}, Framed(raw)));

    // A raw block whose declared length is corrupt, then records to resynchronise on.
    Bytes corrupt{0x55, 0x88, 0x01, 0xFF, 0xFF, 0x10, 0x00};
    wire::AppendFullRecord(corrupt, RecordKind::TaskSwitch, 1, 1, 2, 3, 4);
    wire::AppendFullRecord(corrupt, RecordKind::TaskSwitch, 2, 1, 2, 3, 4);
    ok &= Write(folder, "raw-corrupt-length", StreamInput(kModeFull, {}, Framed(corrupt)));

    // Frames with stray bytes, markers in both byte orders and a frame cut by the batch end.
    Bytes messy{0x04, 0x15, 0x99, 0x17};
    wire::AppendWrapMarker(messy, false);
    Bytes record;
    wire::AppendFullRecord(record, RecordKind::IrqSwitch, 8, 1, 2, 3, 4);
    for (std::size_t i = 0; i < record.size(); ++i) {
        wire::AppendFrame(messy, record[i], static_cast<std::uint8_t>(i % 4),
                          static_cast<std::uint16_t>(65535 - 100 * i));
        if (i == 5)
            wire::AppendWrapMarker(messy, true);
        if (i == 9)
            messy.push_back(0xEE);
    }
    ok &= Write(folder, "stray-bytes-markers", StreamInput(kModeFull, {2, 10}, messy));
    return ok;
}

Bytes TaskInfoMessage() {
    return wire::AgentMessage(wire::kMsgTaskInfo, wire::TaskInfoPayload({{0, 0, "CommPM_L"},
                                                                         {1, 0, "IDLE"},
                                                                         {2, 1, "HISR_L1"},
                                                                         {3, 0, "L1-Task"},
                                                                         {4, 0, "ABCDEFGH"}}));
}

bool WriteMessageSeeds(const fs::path& folder) {
    bool ok = true;
    ok &= Write(folder, "task-info", TaskInfoMessage());
    const std::vector<zuta::SampleRecord> records{
        {1000, 0, 0, 0, 0, 0, 1},      {1003, 100, 7, 10, 300, 5, 1}, {2001, 9, 0, 0, 0, 0, 2},
        {5004, 20, 1, 2, 30, 0, 4},    {5004, 25, 1, 2, 40, 0, 5},    {17, 40, 2, 3, 50, 1, 3},
        {1000, 500, 20, 30, 900, 2, 1}};
    ok &= Write(folder, "records",
                wire::AgentMessage(wire::kMsgRecords, wire::RecordsPayload(records)));
    ok &= Write(folder, "probe-words",
                wire::AgentMessage(wire::kMsgProbeWords, wire::WordsPayload({1, 2, 3})));
    std::vector<std::uint32_t> tcb;
    for (std::uint32_t i = 0; i < wire::kTcbWordCount; ++i)
        tcb.push_back(0x10000000u + i);
    ok &=
        Write(folder, "tcb-block", wire::AgentMessage(wire::kMsgTcbBlock, wire::WordsPayload(tcb)));
    std::vector<std::uint32_t> extra(wire::kExtraWordCount, 0xCAFEu);
    ok &= Write(folder, "extra-words",
                wire::AgentMessage(wire::kMsgExtraWords, wire::WordsPayload(extra)));
    ok &= Write(folder, "unknown-type", wire::AgentMessage(9, wire::WordsPayload({7})));

    // Length fields that promise more than the message holds: a cut task entry and a cut record.
    Bytes cutTasks = TaskInfoMessage();
    cutTasks.resize(cutTasks.size() - 5);
    ok &= Write(folder, "task-info-cut", cutTasks);
    Bytes cutRecords = wire::AgentMessage(wire::kMsgRecords, wire::RecordsPayload(records));
    cutRecords.resize(cutRecords.size() - 13);
    ok &= Write(folder, "records-cut", cutRecords);
    Bytes shortWords = wire::AgentMessage(wire::kMsgExtraWords, wire::WordsPayload({1, 2, 3}));
    ok &= Write(folder, "extra-words-short", shortWords);
    return ok;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s CORPUS_ROOT\n", argv[0]);
        return 2;
    }
    const fs::path root = argv[1];
    std::error_code ec;
    fs::create_directories(root / "framed_stream", ec);
    fs::create_directories(root / "command_message", ec);
    const bool ok =
        WriteStreamSeeds(root / "framed_stream") && WriteMessageSeeds(root / "command_message");
    return ok ? 0 : 1;
}
