// Reading and writing info.xml through the DOM; the layout is described in BackupInfo.h.
#include "Backup/Store/BackupInfo.h"

#include <algorithm>
#include <unordered_map>

#include "Backup/Store/BackupStore.h"
#include "Backup/Store/XmlDom.h"
#include "Kv/KvWindow.h"

namespace backup {
namespace {

const wchar_t kDomMissing[] = L"XML DOM Documentの生成に失敗!";
const wchar_t kSaveFailed[] = L"Backup Failed Save INFO XML";
const wchar_t kResaveFailed[] = L"Backup Failed. ReSave INFO XML";
const wchar_t kNoRoot[] = L"Get XML Root Element";
const wchar_t kDomMissingBox[] = L"CreateInstance Error.\nXML DOM Document";

void ReportDomMissing() {
    KvErrorBox(kDomMissingBox, L".\\Source\\BackupDlg", L"CBackupDlg::GetVersion", 364);
}

// Saves the index through "info.new"; false after `warning` with the path and the reason.
bool Save(IXMLDOMDocument* doc, const std::wstring& directory, const wchar_t* warning) {
    DWORD error = 0;
    const std::wstring path = InfoPath(directory);
    if (backup_xml::SaveReplacing(doc, directory + L"info.new", path, error)) return true;
    KvWarningBox(warning, (path + L"\n" + SystemErrorText(error)).c_str());
    return false;
}

// The comment as XML can hold it: control characters other than tab and line breaks, unpaired
// surrogates and the two non-characters U+FFFE and U+FFFF become U+FFFD.
std::wstring XmlText(const std::wstring& text) {
    std::wstring out = text;
    for (size_t i = 0; i < out.size(); ++i) {
        const wchar_t c = out[i];
        const bool high = c >= 0xD800 && c <= 0xDBFF;
        const bool low = c >= 0xDC00 && c <= 0xDFFF;
        if (high && i + 1 < out.size() && out[i + 1] >= 0xDC00 && out[i + 1] <= 0xDFFF) {
            ++i;
            continue;
        }
        if ((c < 0x20 && c != L'\t' && c != L'\n' && c != L'\r') || high || low || c == 0xFFFE || c == 0xFFFF)
            out[i] = 0xFFFD;
    }
    return out;
}

bool IsElement(IXMLDOMNode* node, const wchar_t* name) {
    DOMNodeType type = NODE_INVALID;
    node->get_nodeType(&type);
    return type == NODE_ELEMENT && backup_xml::Name(node) == name;
}

int CommentVersion(IXMLDOMNode* comment) {
    std::wstring ver;
    if (!backup_xml::Attribute(comment, L"ver", ver)) return -1;
    return ParseVersion(ver);
}

// The document element of a usable index: "root" holding both counters as valid numbers with
// NowVersion not above EndVersion. Null otherwise, the counters untouched.
backup_xml::Node LoadIndex(IXMLDOMDocument* doc, const std::wstring& path, Versions* counters) {
    backup_xml::Node root = backup_xml::Load(doc, path);
    if (!root || backup_xml::Name(root.get()) != L"root") return backup_xml::Node();
    const backup_xml::Node end = backup_xml::FindChild(root.get(), L"EndVersion");
    const backup_xml::Node now = backup_xml::FindChild(root.get(), L"NowVersion");
    if (!end || !now) return backup_xml::Node();
    const int endVersion = ParseVersion(backup_xml::Text(end.get()));
    const int nowVersion = ParseVersion(backup_xml::Text(now.get()));
    if (endVersion < 0 || nowVersion < 0 || nowVersion > endVersion) return backup_xml::Node();
    if (counters) *counters = {endVersion, nowVersion};
    return root;
}

backup_xml::Node NewIndex(IXMLDOMDocument* doc) {
    if (!backup_xml::AppendProcessingInstruction(doc, L"xml", L"version='1.0' encoding='UTF-8'"))
        return backup_xml::Node();
    const backup_xml::Node docNode = backup_xml::DocumentNode(doc);
    if (!docNode) return backup_xml::Node();
    backup_xml::Node root = backup_xml::AppendElement(doc, docNode.get(), L"root", L"");
    if (!root) return backup_xml::Node();
    const bool built = backup_xml::AppendText(doc, root.get(), L"\n\t") &&
                       backup_xml::AppendElement(doc, root.get(), L"BackupFormat", L"1") &&
                       backup_xml::AppendElement(doc, root.get(), L"EndVersion", L"0") &&
                       backup_xml::AppendElement(doc, root.get(), L"NowVersion", L"1") &&
                       backup_xml::AppendText(doc, root.get(), L"\n");
    return built ? root : backup_xml::Node();
}

void FillNotes(IXMLDOMNode* root, int endVersion, std::vector<VersionNote>& notes) {
    std::unordered_map<int, size_t> byVersion;
    for (size_t i = 0; i < notes.size(); ++i) byVersion.emplace(notes[i].version, i);
    for (backup_xml::Node child = backup_xml::FirstChild(root); child; child = backup_xml::NextSibling(child.get())) {
        if (!IsElement(child.get(), L"comment")) continue;
        const int ver = CommentVersion(child.get());
        if (ver < 1 || ver > endVersion) continue;
        const auto found = byVersion.find(ver);
        if (found == byVersion.end()) continue;
        VersionNote& note = notes[found->second];
        note.comment = backup_xml::Text(child.get());
        backup_xml::Attribute(child.get(), L"time", note.time);
    }
}

// Appends a "comment" for `version` ("ver" before "time") and the line break after it.
bool AppendNote(IXMLDOMDocument* doc, IXMLDOMNode* root, int version, const std::wstring& comment,
                const std::wstring& time) {
    backup_xml::Node note = backup_xml::AppendElement(doc, root, L"comment", XmlText(comment));
    VARIANT ver;
    VariantInit(&ver);
    ver.vt = VT_I4;
    ver.lVal = version;
    const kv::UniqueBstr timeText(time.c_str());
    VARIANT when;
    VariantInit(&when);
    when.vt = VT_BSTR;
    when.bstrVal = timeText.get();
    return note && backup_xml::SetAttribute(note.get(), L"ver", ver) && backup_xml::SetAttribute(note.get(), L"time", when) &&
           backup_xml::AppendText(doc, root, L"\n");
}

backup_xml::Document CreateOrReport(const wchar_t* source, const wchar_t* function, int line) {
    backup_xml::Document doc = backup_xml::CreateDocument();
    if (!doc) KvErrorBox(kDomMissing, source, function, line);
    return doc;
}

}  // namespace

int ParseVersion(const std::wstring& text) {
    if (text.empty() || text.size() > 6) return -1;
    int value = 0;
    for (wchar_t c : text) {
        if (c < L'0' || c > L'9') return -1;
        value = value * 10 + (c - L'0');
    }
    return value <= kMaxVersion ? value : -1;
}

std::wstring InfoPath(const std::wstring& directory) {
    return directory + L"info.xml";
}

bool DomAvailable() {
    if (backup_xml::CreateDocument()) return true;
    ReportDomMissing();
    return false;
}

bool GetVersion(const std::wstring& directory, Versions& out) {
    std::vector<VersionNote> none;
    switch (ReadHistory(directory, out, none)) {
    case IndexStatus::Read:
        return true;
    case IndexStatus::Damaged:
        KvWarningBox(kNoRoot, InfoPath(directory).c_str());
        return false;
    default:
        return false;
    }
}

bool DropVersionsAfter(const std::wstring& directory, int nowVersion) {
    backup_xml::Document doc = CreateOrReport(L".\\Source\\BackupDlg", L"CBackupDlg::UpdateXML", 606);
    if (!doc) return false;
    backup_xml::Node root = LoadIndex(doc.get(), InfoPath(directory), nullptr);
    if (!root) {
        KvWarningBox(kResaveFailed, InfoPath(directory).c_str());
        return false;
    }
    for (backup_xml::Node child = backup_xml::FirstChild(root.get()); child;) {
        backup_xml::Node next = backup_xml::NextSibling(child.get());
        if (IsElement(child.get(), L"EndVersion")) {
            backup_xml::SetText(child.get(), std::to_wstring(nowVersion));
        } else if (IsElement(child.get(), L"comment")) {
            const int ver = CommentVersion(child.get());
            if (ver > nowVersion || ver < 1) backup_xml::RemoveChild(root.get(), child.get());
        }
        child = std::move(next);
    }
    return Save(doc.get(), directory, kResaveFailed);
}

bool UpdateXML(const std::wstring& directory, const Versions& before, int newVersion, BackupMode mode,
               const std::wstring& comment, const std::wstring& time) {
    backup_xml::Document doc = CreateOrReport(L".\\Source\\BackupDlg", L"CBackupDlg::UpdateXML", 606);
    if (!doc) return false;
    const std::wstring path = InfoPath(directory);
    backup_xml::Node root = before.endVersion == 0 ? NewIndex(doc.get()) : LoadIndex(doc.get(), path, nullptr);
    if (!root) {
        KvWarningBox(before.endVersion == 0 ? kSaveFailed : kResaveFailed, path.c_str());
        return false;
    }
    const std::wstring number = std::to_wstring(newVersion);
    for (backup_xml::Node child = backup_xml::FirstChild(root.get()); child;) {
        backup_xml::Node next = backup_xml::NextSibling(child.get());
        if (IsElement(child.get(), L"EndVersion")) {
            backup_xml::SetText(child.get(), number);
        } else if (mode == BackupMode::Normal && IsElement(child.get(), L"NowVersion")) {
            backup_xml::SetText(child.get(), number);
        } else if (mode == BackupMode::Normal && IsElement(child.get(), L"comment")) {
            const int ver = CommentVersion(child.get());
            if (ver > before.nowVersion || ver < 1) backup_xml::RemoveChild(root.get(), child.get());
        }
        child = std::move(next);
    }
    const bool built = AppendNote(doc.get(), root.get(), newVersion, comment, time);
    const wchar_t* warning = before.endVersion == 0 ? kSaveFailed : kResaveFailed;
    if (built) return Save(doc.get(), directory, warning);
    KvWarningBox(warning, path.c_str());
    return false;
}

bool UpdateVersion(const std::wstring& directory, int version) {
    backup_xml::Document doc =
        CreateOrReport(L".\\Source\\BackupHistoryDlg", L"CBackupHistoryDlg::UpdateVersion", 1332);
    if (!doc) return false;
    const std::wstring path = InfoPath(directory);
    Versions counters;
    backup_xml::Node root = LoadIndex(doc.get(), path, &counters);
    if (!root || version < 0 || version > counters.endVersion) {
        KvWarningBox(kResaveFailed, path.c_str());
        return false;
    }
    backup_xml::Node now = backup_xml::FindChild(root.get(), L"NowVersion");
    if (!backup_xml::SetText(now.get(), std::to_wstring(version))) return false;
    return Save(doc.get(), directory, kResaveFailed);
}

bool SetVerComment(const std::wstring& directory, int endVersion, std::vector<VersionNote>& notes) {
    backup_xml::Document doc = CreateOrReport(L".\\Source\\BackupHistoryDlg", L"CBackupHistoryDlg::SetVerComment", 612);
    if (!doc) return false;
    const std::wstring path = InfoPath(directory);
    backup_xml::Node root = backup_xml::Load(doc.get(), path);
    if (!root) {
        KvErrorBox(kNoRoot, path.c_str(), L".\\Source\\BackupHistoryDlg", L"CBackupHistoryDlg::SetVerComment", 631);
        return false;
    }
    FillNotes(root.get(), endVersion, notes);
    return true;
}

IndexStatus ReadHistory(const std::wstring& directory, Versions& out, std::vector<VersionNote>& notes) {
    out = Versions();
    backup_xml::Document doc = backup_xml::CreateDocument();
    if (!doc) {
        ReportDomMissing();
        return IndexStatus::NoComponent;
    }
    const std::wstring path = InfoPath(directory);
    backup_xml::Node root;
    if (GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) {
        root = LoadIndex(doc.get(), path, &out);
        if (!root) return IndexStatus::Damaged;
    } else if (!ListVersionFiles(directory).empty()) {
        return IndexStatus::Damaged;  // versions without their index
    }
    const int end = out.endVersion;
    notes.erase(std::remove_if(notes.begin(), notes.end(),
                               [end](const VersionNote& n) { return n.version < 1 || n.version > end; }),
                notes.end());
    if (root) FillNotes(root.get(), end, notes);
    return IndexStatus::Read;
}

std::wstring DamagedPath(const std::wstring& directory) {
    return directory + L"info.xml.damaged";
}

bool RebuildIndex(const std::wstring& directory, const std::vector<int>& versions) {
    backup_xml::Document doc = CreateOrReport(L".\\Source\\BackupHistoryDlg", L"CBackupHistoryDlg::EditComment", 1440);
    if (!doc) return false;
    const std::wstring path = InfoPath(directory);
    // "info.xml.damaged" may pass the 260 characters that the store's own names keep to.
    if (GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES &&
        !MoveFileExW(ReachablePath(path).c_str(), ReachablePath(DamagedPath(directory)).c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        KvWarningBox(kSaveFailed, (path + L"\n" + SystemErrorText(GetLastError())).c_str());
        return false;
    }
    backup_xml::Node root = NewIndex(doc.get());
    const int last = versions.empty() ? 0 : versions.back();
    bool built = root && backup_xml::SetText(backup_xml::FindChild(root.get(), L"EndVersion").get(), std::to_wstring(last)) &&
                 backup_xml::SetText(backup_xml::FindChild(root.get(), L"NowVersion").get(), std::to_wstring(last));
    for (size_t i = 0; built && i < versions.size(); ++i) {
        WIN32_FILE_ATTRIBUTE_DATA data{};
        SYSTEMTIME time{};
        FILETIME local{};
        GetFileAttributesExW(VersionPath(directory, versions[i]).c_str(), GetFileExInfoStandard, &data);
        FileTimeToLocalFileTime(&data.ftLastWriteTime, &local);
        FileTimeToSystemTime(&local, &time);
        built = AppendNote(doc.get(), root.get(), versions[i], L"", BackupTimeText(time));
    }
    if (built) return Save(doc.get(), directory, kSaveFailed);
    KvWarningBox(kSaveFailed, path.c_str());
    return false;
}

bool EditComment(const std::wstring& directory, int version, const std::wstring& text) {
    backup_xml::Document doc = CreateOrReport(L".\\Source\\BackupHistoryDlg", L"CBackupHistoryDlg::EditComment", 1440);
    if (!doc) return false;
    const std::wstring path = InfoPath(directory);
    backup_xml::Node root = LoadIndex(doc.get(), path, nullptr);
    if (!root) {
        KvWarningBox(kResaveFailed, path.c_str());
        return false;
    }
    for (backup_xml::Node child = backup_xml::FirstChild(root.get()); child;
         child = backup_xml::NextSibling(child.get())) {
        if (IsElement(child.get(), L"comment") && CommentVersion(child.get()) == version)
            backup_xml::SetText(child.get(), XmlText(text));
    }
    return Save(doc.get(), directory, kResaveFailed);
}

}  // namespace backup
