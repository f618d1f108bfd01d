#include "certs/tls_backup.h"

#include <cstdlib>

#include "certs/tls_profiles.h"
#include "support/command_line.h"
#include "support/paths.h"
#include "support/runner.h"
#include "support/text.h"

namespace quillbay::certs {

namespace {

constexpr const char* kHeader = "Windows Registry Editor Version 5.00";

// "HKEY_LOCAL_MACHINE\..." as "HKLM\..."; other roots are kept as they are.
std::string ShortRoot(const std::string& key) {
    const std::string longRoot = "HKEY_LOCAL_MACHINE";
    return EqualsIgnoreCase(key.substr(0, longRoot.size()), longRoot) ? "HKLM" + key.substr(longRoot.size()) : key;
}

// A quoted .reg string from its opening quote: the text and the position after the closing quote.
std::optional<std::pair<std::string, std::size_t>> Quoted(const std::string& line, std::size_t at) {
    std::string text;
    for (std::size_t i = at + 1; i < line.size(); ++i) {
        if (line[i] == '"') return std::make_pair(text, i + 1);
        if (line[i] == '\\' && i + 1 < line.size()) ++i;
        text += line[i];
    }
    return std::nullopt;
}

// A value line of the current key into the file, when it is text, a number or a deletion.
void TakeValue(RegFile& file, const std::string& key, const std::string& line) {
    const auto name = Quoted(line, 0);
    if (!name || name->second >= line.size() || line[name->second] != '=') return;
    const std::string rest = line.substr(name->second + 1);
    if (rest == "-") {
        file.values.push_back({key, name->first, std::nullopt});
    } else if (rest.rfind("dword:", 0) == 0) {
        file.values.push_back({key, name->first, AsRegistryReads({key, name->first, "REG_DWORD", "0x" + rest.substr(6)})});
    } else if (!rest.empty() && rest[0] == '"') {
        if (const auto data = Quoted(rest, 0)) file.values.push_back({key, name->first, data->first});
    }
}

bool Below(const std::string& key, const std::string& root) {
    return EqualsIgnoreCase(key.substr(0, root.size()), root) && (key.size() == root.size() || key[root.size()] == '\\');
}

// Whether every key the file names is one a TLS profile may change.
bool OnlyTlsKeys(const RegFile& file, bool policyToo) {
    for (const std::string& key : file.keys) {
        const bool policy = policyToo && Below(key, kCipherSuitePolicyRoot) &&
                            (Below(kCipherSuitePolicyKey, key) || Below(key, kCipherSuitePolicyKey));
        if (!Below(key, kSecurityProvidersKey) && !policy) return false;
    }
    return file.header && !file.keys.empty();
}

// What the pair says each value was: the undo file's word first, then the export's; none when
// neither knows the value.
std::optional<std::optional<std::string>> Before(const RegFile& backup, const RegFile& undo, const TlsValue& v) {
    for (const std::string& key : undo.deletedKeys)
        if (Below(v.key, key)) return std::optional<std::string>();
    for (const RegFile* file : {&undo, &backup})
        for (const RegFileValue& value : file->values)
            if (EqualsIgnoreCase(value.key, v.key) && EqualsIgnoreCase(value.name, v.name)) return value.data;
    return std::nullopt;
}

// Once each, whichever profile writes it.
std::vector<TlsValue> EveryTouchedValue() {
    std::vector<TlsValue> values = CompatibleValues();
    for (TlsValue& v : ProfileValues(TlsProfile::Modern, kFirstBuildWithTls13)) {
        bool known = false;
        for (const TlsValue& k : values) known = known || (EqualsIgnoreCase(k.key, v.key) && EqualsIgnoreCase(k.name, v.name));
        if (!known) values.push_back(std::move(v));
    }
    return values;
}

void Compare(Machine& machine, const RegFile& backup, const RegFile& undo, TlsUndo& outcome) {
    for (const TlsValue& v : EveryTouchedValue()) {
        const auto expected = Before(backup, undo, v);
        if (!expected) continue;
        std::optional<std::string> actual;
        try {
            actual = machine.shell.RegRead(v.key + "\\" + v.name);
        } catch (const Failure&) {  // not set
        }
        ++outcome.checked;
        if (actual != *expected) outcome.mismatches.push_back({v.key, v.name, *expected, actual});
    }
    outcome.result = outcome.mismatches.empty() ? TlsUndoResult::Restored : TlsUndoResult::Differs;
}

}  // namespace

RegFile ParseRegFile(const std::string& bytes) {
    const bool utf16 = bytes.size() >= 2 && bytes[0] == '\xff' && bytes[1] == '\xfe';
    const std::string text = utf16 ? Utf16ToUtf8(bytes.substr(2), false) : bytes;
    RegFile file;
    std::string key;
    bool first = true;
    for (std::string line : Split(text, "\n")) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (first) file.header = line.rfind(kHeader, 0) == 0 || line.rfind(std::string("\xef\xbb\xbf") + kHeader, 0) == 0;
        first = false;
        if (line.size() > 2 && line[0] == '[' && line.back() == ']') {
            const bool deleted = line[1] == '-';
            key = ShortRoot(line.substr(deleted ? 2 : 1, line.size() - (deleted ? 3 : 2)));
            file.keys.push_back(key);
            if (deleted) file.deletedKeys.push_back(key);
        } else if (!line.empty() && line[0] == '"' && !key.empty()) {
            TakeValue(file, key, line);
        }
    }
    return file;
}

std::string UndoPathOf(const std::string& backupPath) {
    const std::string suffix = "-undo.reg";
    if (backupPath.size() > suffix.size() && EqualsIgnoreCase(backupPath.substr(backupPath.size() - suffix.size()), suffix))
        return backupPath;
    const std::size_t dot = backupPath.size() >= 4 ? backupPath.size() - 4 : 0;
    return backupPath.substr(0, dot) + suffix;
}

TlsUndo UndoTlsChange(Machine& machine, const std::string& backupPath) {
    TlsUndo outcome;
    outcome.undoPath = UndoPathOf(backupPath);
    outcome.backupPath = outcome.undoPath == backupPath
                             ? backupPath.substr(0, backupPath.size() - 9) + backupPath.substr(backupPath.size() - 4)
                             : backupPath;
    RegFile backup, undo;
    try {
        backup = ParseRegFile(machine.fs.ReadBytes(outcome.backupPath));
        undo = ParseRegFile(machine.fs.ReadBytes(outcome.undoPath));
    } catch (const Failure&) {
        return outcome;  // either is missing or unreadable
    }
    if (!OnlyTlsKeys(backup, false) || !OnlyTlsKeys(undo, true)) return outcome;
    const std::string reg = ProgramToken(SystemProgram(machine.fs, "reg.exe"));
    for (const std::string& file : {outcome.backupPath, outcome.undoPath}) {
        const std::string line = reg + " import " + QuoteArg(file);
        const ToolRun run = RunChange(machine.shell, line);
        outcome.code = run.exitCode;
        if (!run.Succeeded()) {
            machine.log.WriteErrorLog("UndoTlsChange", outcome.code, Explained("reg import failed: " + line, run));
            outcome.result = TlsUndoResult::ImportFailed;
            return outcome;
        }
        ++outcome.imported;
    }
    Compare(machine, backup, undo, outcome);
    return outcome;
}

}  // namespace quillbay::certs
