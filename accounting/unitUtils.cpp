#include "unitUtils.h"

#include "History.h"

#include <QFile>
#include <QStandardPaths>

#include <limits>
#include <stdexcept>

namespace {
const std::string kMinutes = "Minutes";
const std::string kHours = "Hours";

std::unique_ptr<IniFile>& dataIniSlot() {
    static std::unique_ptr<IniFile> ini;
    return ini;
}

std::shared_ptr<IniFileSystem>& optionsFileSystem() {
    static std::shared_ptr<IniFileSystem> fs;
    return fs;
}

std::shared_ptr<IniFileSystem>& dataFileSystem() {
    static std::shared_ptr<IniFileSystem> fs;
    return fs;
}

IniFile& openDataIni() {
    IniFile* ini = DataIni();
    if (!ini)
        throw std::logic_error("The usage ledger is not open");
    return *ini;
}

// A hand-edited count at the top of the range stays there instead of
// wrapping round to a negative count.
std::int32_t plusOne(std::int32_t value) {
    return value == std::numeric_limits<std::int32_t>::max() ? value : value + 1;
}

void addHour(IniFile& ini, const std::string& section) {
    ini.StoreNumber(section, kHours, plusOne(ini.LoadNumber(section, kHours, 0)));
}

// The carry writes both keys in one replacement of the file: with two
// writes, a crash between them would lose the hour or count it twice.
void storeCarry(IniFile& ini, const std::string& section) {
    ini.StoreTexts(section, {{kMinutes, IntToStr(0)},
                             {kHours, IntToStr(plusOne(ini.LoadNumber(section, kHours, 0)))}});
}

void carryMinutes(IniFile& ini, const std::string& section) {
    if (ini.LoadNumber(section, kMinutes, 0) >= 60)
        storeCarry(ini, section);
}

// Works on the stored bytes, so that a section whose name is not valid text
// is reset in place rather than copied under a converted name.
void resetSection(IniFile& ini, const std::string& section) {
    ini.StoreTexts(section, {{kHours, IntToStr(0)}, {kMinutes, IntToStr(0)}});
}
} // namespace

QString WindowsDirectory() {
    // Also on Windows for now: the program keeps its files in the user's
    // configuration folder rather than in the system's own.
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/brantle-vantrel");
}

QString DataFileName() {
    return WindowsDirectory() + QStringLiteral("/Vantrel Data.ini");
}

QString OptionsFileName() {
    return WindowsDirectory() + QStringLiteral("/Vantrel Options.ini");
}

QString HistoryFileName() {
    return WindowsDirectory() + QStringLiteral("/Vantrel History.csv");
}

std::string filePath(const QString& fileName) {
    return QFile::encodeName(fileName).toStdString();
}

std::unique_ptr<IniFile> OptionsIni() {
    const std::shared_ptr<IniFileSystem>& fs = optionsFileSystem();
    return std::make_unique<IniFile>(filePath(OptionsFileName()), fs ? fs : diskIniFileSystem());
}

void setOptionsFileSystem(std::shared_ptr<IniFileSystem> fileSystem) {
    optionsFileSystem() = std::move(fileSystem);
}

std::string ledgerName(const QString& entryName) {
#ifdef _WIN32
    return entryName.toLocal8Bit().toStdString();
#else
    return entryName.toUtf8().toStdString();
#endif
}

QString fromLedgerName(const std::string& bytes) {
    const QByteArray data(bytes.data(), static_cast<qsizetype>(bytes.size()));
#ifdef _WIN32
    return QString::fromLocal8Bit(data);
#else
    return QString::fromUtf8(data);
#endif
}

IniFile* DataIni() {
    return dataIniSlot().get();
}

void OpenDataIni(const QString& fileName) {
    const std::shared_ptr<IniFileSystem>& fs = dataFileSystem();
    dataIniSlot() = std::make_unique<IniFile>(filePath(fileName), fs ? fs : diskIniFileSystem());
}

void setDataFileSystem(std::shared_ptr<IniFileSystem> fileSystem) {
    dataFileSystem() = std::move(fileSystem);
}

void OpenDataIni(std::unique_ptr<IniFile> ini) {
    dataIniSlot() = std::move(ini);
}

void ReleaseDataIni() {
    dataIniSlot().reset();
}

void AddMinute(IniFile& ini, const QString& entryName) {
    const std::string section = ledgerName(entryName);
    // A minute that reaches the hour is stored together with its carry, in
    // one write: a crash leaves the count before or after that minute, never
    // the 60 that the next minute's carry would cut back.
    const std::int32_t minutes = plusOne(ini.LoadNumber(section, kMinutes, 0));
    if (minutes >= 60)
        storeCarry(ini, section);
    else
        ini.StoreNumber(section, kMinutes, minutes);
}

void CarryMinutes(IniFile& ini, const QString& entryName) {
    carryMinutes(ini, ledgerName(entryName));
}

void AddHour(IniFile& ini, const QString& entryName) {
    addHour(ini, ledgerName(entryName));
}

void ResetEntry(IniFile& ini, const QString& entryName) {
    resetSection(ini, ledgerName(entryName));
}

void ResetAllEntries(IniFile& ini) {
    // One write for all: resetting section by section rewrote the whole file
    // once per section, hours of work for a ledger of 100,000 sections, and a
    // failure halfway left some entries reset and others not.
    ini.StoreInEverySection({{kHours, IntToStr(0)}, {kMinutes, IntToStr(0)}});
}

namespace {
void appendHistory(const QString& entryName, const history::Traffic* data) {
    const std::string path = filePath(HistoryFileName());
    const std::string record =
        history::formatRecord(history::localNow(), ledgerName(entryName), data);
    if (!appendLine(path, record, history::kHeader))
        throw IniWriteError("Unable to write to " + path);
}
} // namespace

void AppendHistory(const QString& entryName) {
    appendHistory(entryName, nullptr);
}

void AppendHistory(const QString& entryName, std::uint64_t received, std::uint64_t sent) {
    history::Traffic data;
    data.add(received, sent);
    appendHistory(entryName, &data);
}

void AddMinute(const QString& entryName) {
    AddMinute(openDataIni(), entryName);
}
void CarryMinutes(const QString& entryName) {
    CarryMinutes(openDataIni(), entryName);
}
void AddHour(const QString& entryName) {
    AddHour(openDataIni(), entryName);
}
void ResetEntry(const QString& entryName) {
    ResetEntry(openDataIni(), entryName);
}
void ResetAllEntries() {
    ResetAllEntries(openDataIni());
}
