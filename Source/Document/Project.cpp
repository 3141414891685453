// The project record, its path parts, the default backup directory and the registered view.
#include "Document/Project.h"

#include <ctime>
#include <random>

#include "Config/GlobalText.h"
#include "Config/GtEntries.h"
#include "Config/ModulePath.h"
#include "Document/ProjectView.h"

namespace {

ProjectView* g_view = nullptr;

std::wstring Hex(uint32_t value) {
    wchar_t text[16];
    swprintf(text, 16, L"%x", value);
    return text;
}

}  // namespace

CProject::CProject() : titleFormat(GlobalText::Get(kGtDefaultTitleFormat)) {}

CProject& Project() {
    static CProject project;
    return project;
}

void ResetProject() {
    Project() = CProject();
}

void SplitProjectPath(const std::wstring& path, std::wstring& directory, std::wstring& stem, std::wstring& extension) {
    size_t separator = path.find_last_of(L"\\/");
    std::wstring fileName;
    if (separator == std::wstring::npos) {
        directory = L"\\";
        fileName = path;
    } else {
        directory = path.substr(0, separator) + L"\\";
        fileName = path.substr(separator + 1);
    }
    size_t dot = fileName.find_last_of(L'.');
    if (dot == std::wstring::npos) {
        stem = fileName;
        extension.clear();
    } else {
        stem = fileName.substr(0, dot);
        extension = fileName.substr(dot);
    }
}

const std::wstring& BackupRunTag() {
    static const std::wstring tag = [] {
        std::mt19937 random(static_cast<std::mt19937::result_type>(std::time(nullptr)));
        uint32_t sum = 0;
        for (wchar_t c : ExecutablePath()) sum += static_cast<uint16_t>(c);
        return Hex(static_cast<uint32_t>(random() % 255)) + Hex(sum);
    }();
    return tag;
}

std::wstring DefaultBackupDir(const std::wstring& stem) {
    return ExecutableDirectory() + L"backup\\" + stem + BackupRunTag() + L"\\";
}

ProjectView* GetProjectView() {
    return g_view;
}

void SetProjectView(ProjectView* view) {
    g_view = view;
}
