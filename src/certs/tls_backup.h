#pragma once
// The way back from a TLS profile: the backup pair written before the change imported again,
// and the values checked against it.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "support/machine.h"

namespace quillbay::certs {

// A .reg file as read back. Keys as "HKLM\..."; data as the registry reads it back (a number
// in decimal); values of other types than text and numbers are left out.
struct RegFileValue {
    std::string key;
    std::string name;
    std::optional<std::string> data;  // none: the file deletes the value
};
struct RegFile {
    bool header = false;                   // starts as a .reg file of version 5.00 does
    std::vector<std::string> keys;         // every key it names, in order
    std::vector<std::string> deletedKeys;  // [-key]
    std::vector<RegFileValue> values;
};
// Bytes as reg export writes them (UTF-16 LE after its mark) or as text.
RegFile ParseRegFile(const std::string& bytes);

enum class TlsUndoResult {
    Restored,      // imported, and every value reads back as before
    Differs,       // imported, but some values read back otherwise
    NotABackup,    // the file or its undo file is missing, or holds more than the TLS settings
    ImportFailed,  // reg import failed on one of the two; code says how
};
struct TlsMismatch {
    std::string key, name;
    std::optional<std::string> expected, actual;  // none: not set
};
struct TlsUndo {
    TlsUndoResult result = TlsUndoResult::NotABackup;
    std::string backupPath, undoPath;
    std::int32_t code = 0;  // reg import's exit code, or the failure's number
    int imported = 0;       // of the two files
    int checked = 0;        // values compared with the backup
    std::vector<TlsMismatch> mismatches;
};

// The undo file beside an export ("X.reg" gives "X-undo.reg"; "X-undo.reg" names itself).
std::string UndoPathOf(const std::string& backupPath);

// Imports the export, then its undo file, with reg.exe, and compares every value a profile
// touches with what the pair says it was. Refuses files that change anything else.
TlsUndo UndoTlsChange(Machine& machine, const std::string& backupPath);

}  // namespace quillbay::certs
