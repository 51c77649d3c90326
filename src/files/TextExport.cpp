#include "files/TextExport.h"

#include "engine/PerformanceData.h"
#include "files/TextScanner.h"
#include "host/AtomicFile.h"
#include "settings/PerformanceSettings.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <string_view>

namespace zuta {

namespace {

// The table's "Task ID" text is read from at most this many characters.
constexpr std::size_t kIdTextLimit = 40;

int HexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Scans "0x%x": the literal "0x", then a hexadecimal number as "%x" reads it.
bool ScanIdText(std::string_view text, std::uint32_t& id) {
    text = text.substr(0, kIdTextLimit);
    if (text.size() < 2 || text[0] != '0' || text[1] != 'x')
        return false;
    std::size_t i = 2;
    while (i < text.size() && IsScanfSpace(static_cast<unsigned char>(text[i])))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    if (i + 2 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X') &&
        HexValue(text[i + 2]) >= 0)
        i += 2;
    if (i >= text.size() || HexValue(text[i]) < 0)
        return false;
    std::uint32_t value = 0;
    for (; i < text.size() && HexValue(text[i]) >= 0; ++i)
        value = (value << 4) | static_cast<std::uint32_t>(HexValue(text[i]));
    id = negative ? 0u - value : value;
    return true;
}

std::int64_t Signed(std::uint64_t value) {
    return static_cast<std::int64_t>(value);
}

// "%.2f" of a quotient that has passed through a 32-bit float.
void AppendRatio(std::string& out, double quotient, char end) {
    char text[64];
    const double shown = static_cast<float>(quotient);
    auto [p, ec] = std::to_chars(text, text + sizeof text, shown, std::chars_format::fixed, 2);
    if (ec != std::errc{})
        p = text;
    out.append(text, p);
    out += end;
}

void AppendSigned(std::string& out, std::int64_t value) {
    char text[24];
    const auto p = std::to_chars(text, text + sizeof text, value).ptr;
    out.append(text, p);
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
    line += ';';
    char text[24];
    auto p = std::to_chars(text, text + sizeof text, task.id, 16).ptr;
    line += "0x";
    line.append(text, p);
    line += ';';
    p = std::to_chars(text, text + sizeof text, static_cast<std::int32_t>(task.runs)).ptr;
    line.append(text, p);
    line += ';';
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
