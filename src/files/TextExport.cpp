#include "files/TextExport.h"

#include "engine/PerformanceData.h"
#include "host/AtomicFile.h"
#include "host/TextNumbers.h"
#include "settings/PerformanceSettings.h"

#include <string_view>

namespace zuta {

namespace {

// The table's "Task ID" text is read from at most this many characters.
constexpr std::size_t kIdTextLimit = 40;

// Scans "0x%x": the literal "0x", then a hexadecimal number as "%x" reads it.
bool ScanIdText(std::string_view idText, std::uint32_t& id) {
    idText = idText.substr(0, kIdTextLimit);
    return idText.starts_with("0x") && text::ScanHex(idText, 2, id) != text::kNoField;
}

std::int64_t Signed(std::uint64_t value) {
    return static_cast<std::int64_t>(value);
}

// "%.2f" of a quotient that has passed through a 32-bit float.
void AppendRatio(std::string& out, double quotient, char end) {
    text::AppendFixed(out, static_cast<float>(quotient), 2);
    out += end;
}

// "%I64d;"
void AppendSigned(std::string& out, std::int64_t value) {
    char digits[text::kMaxIntText];
    out.append(digits, text::PutSigned(digits, value));
    out += ';';
}

double Quotient(std::int64_t numerator, std::int64_t denominator) {
    return static_cast<double>(numerator) / static_cast<double>(denominator);
}

// K × counter as a 64-bit product that wraps instead of overflowing.
std::int64_t Product(std::int64_t clockMhz, std::uint64_t counter) {
    return static_cast<std::int64_t>(static_cast<std::uint64_t>(clockMhz) * counter);
}

} // namespace

std::int64_t ExportClockMhz(const PerformanceSettings& settings) {
    return PerformanceSettings::WholeClockMhz(settings.externalTsMode, settings.armClockMhz);
}

std::string FormatExportLine(const CPerformanceData& data, std::uint32_t id,
                             std::int64_t clockMhz) {
    TaskRecord task;
    if (!data.GetTaskById(id, task))
        return {};
    const std::uint64_t sumTicks = data.Read([](const StoreState& s) { return s.sumTicks; });

    std::string line = task.name;
    line += ";0x";
    char digits[text::kMaxIntText];
    line.append(digits, text::PutHex(digits, task.id));
    line += ';';
    AppendSigned(line, static_cast<std::int32_t>(task.runs));
    AppendSigned(line, Signed(task.ticks));
    AppendSigned(line, Signed(task.sumValue0));
    AppendSigned(line, Signed(task.sumValue1));
    AppendSigned(line, Signed(task.sumValue2));

    const bool perRun = task.runs != 0 && task.sumValue0 != 0;
    AppendRatio(line, perRun ? Quotient(Signed(task.sumValue2), Signed(task.sumValue0)) : 0.0, ';');
    AppendRatio(line, perRun ? Quotient(Signed(task.ticks), Signed(task.sumValue0)) : 0.0, ';');
    AppendRatio(line,
                sumTicks != 0 ? Quotient(Product(clockMhz, task.sumValue0), Signed(sumTicks)) : 0.0,
                ';');
    AppendRatio(line,
                task.runs != 0 && sumTicks != 0
                    ? Quotient(Product(clockMhz, task.ticks), Signed(sumTicks))
                    : 0.0,
                '\n');
    return line;
}

bool WriteTextExport(const CPerformanceData& data, const PerformanceSettings& settings,
                     std::span<const std::string> rowIdTexts, const std::string& path,
                     std::string& error) {
    const std::int64_t clockMhz = ExportClockMhz(settings);
    std::string text = kTextExportHeader;
    for (const std::string& idText : rowIdTexts) {
        std::uint32_t id = 0;
        if (ScanIdText(idText, id))
            text += FormatExportLine(data, id, clockMhz);
    }
    return host::WriteFileAtomically(path, text, error);
}

} // namespace zuta
