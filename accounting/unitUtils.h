#pragma once
// File locations and the ledger operations. Each operation reads or writes the
// data file at the moment it runs, in the order given; nothing is cached.

#include "IniFile.h"

#include <QString>

#include <cstdint>
#include <memory>

// The per-user configuration folder that stands in for the Windows directory:
// $XDG_CONFIG_HOME/brantle-vantrel (~/.config/brantle-vantrel by default).
QString WindowsDirectory();
QString DataFileName();    // WindowsDirectory + "/Vantrel Data.ini"
QString OptionsFileName(); // WindowsDirectory + "/Vantrel Options.ini"
QString HistoryFileName(); // WindowsDirectory + "/Vantrel History.csv"

// A file name in the form the INI accessor takes: IniFile(filePath(OptionsFileName())).
std::string filePath(const QString& fileName);

// A new accessor of the options file, for one use. It does its file access
// through the options file system: the disk unless a test put another in place.
std::unique_ptr<IniFile> OptionsIni();
void setOptionsFileSystem(std::shared_ptr<IniFileSystem> fileSystem); // nullptr: the disk

// Entry names travel as QString in the program and as bytes in the files.
std::string ledgerName(const QString& entryName);
QString fromLedgerName(const std::string& bytes);

// DataIni: the one accessor of the data file, opened by the main window and
// released when the program closes. nullptr while closed.
IniFile* DataIni();
void OpenDataIni(const QString& fileName = DataFileName());
// The file system that OpenDataIni(fileName) opens the ledger on; tests put
// a failing one in place. nullptr: the disk.
void setDataFileSystem(std::shared_ptr<IniFileSystem> fileSystem);
// Takes the given accessor, e.g. one on a test's file system.
void OpenDataIni(std::unique_ptr<IniFile> ini);
void ReleaseDataIni();

// Ledger operations on an accessor; they throw IniWriteError on a refused
// write, which ends the operation at that step.
void AddMinute(IniFile& ini, const QString& entryName);
void CarryMinutes(IniFile& ini, const QString& entryName);
void AddHour(IniFile& ini, const QString& entryName);
void ResetEntry(IniFile& ini, const QString& entryName);
void ResetAllEntries(IniFile& ini);

// Appends the counted minute to the usage history, stamped now, with the
// bytes it carried, or as a minute whose data is unknown when `received` and
// `sent` are not given. Throws IniWriteError ("Unable to write to <path>")
// when the history cannot be written.
void AppendHistory(const QString& entryName);
void AppendHistory(const QString& entryName, std::uint64_t received, std::uint64_t sent);

// The same on DataIni; they throw std::logic_error while it is closed.
void AddMinute(const QString& entryName);
void CarryMinutes(const QString& entryName);
void AddHour(const QString& entryName);
void ResetEntry(const QString& entryName);
void ResetAllEntries();
