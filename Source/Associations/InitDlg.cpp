// The first-run dialog (see InitDlg.h). Check boxes 201 to 203 stand for the extensions "tfolder",
// "fol" and "tf"; box 200 adds the New menu template to the first checked one of them.
#include "Associations/InitDlg.h"

#include <windows.h>
#include <shlobj.h>

#include <string>
#include <vector>

#include "Associations/Associations.h"
#include "Kv/KvControls.h"
#include "Kv/KvDialog.h"
#include "Kv/KvHandles.h"
#include "Kv/KvModalState.h"
#include "Kv/KvWindow.h"
#include "resource.h"

namespace {

constexpr int kShellNewBox = 200;
constexpr int kFirstExtensionBox = 201;
constexpr int kWidth = 256;
// Taller than the controls of the choices need: the sentence about the dialog's purpose sits
// between them and the buttons.
constexpr int kHeight = 300;
constexpr int kButtonsTop = 270;

const wchar_t kPurpose[] = L"プロジェクトファイルをダブルクリックで\nこのプログラムが開くように設定します。";

const wchar_t* const kExtensionLabels[3] = {L"*.tfolder を関連付ける", L"*.fol を関連付ける", L"*.tf を関連付ける"};

struct InitState {
    HWND dlg = nullptr;
    kv::UniqueFont font;
    std::vector<std::wstring> failed;  // keys that could not be written, reported after the dialog
};

bool Checked(HWND dlg, int id) {
    return IsDlgButtonChecked(dlg, id) == BST_CHECKED;
}

bool AnyExtensionChecked(HWND dlg) {
    for (int i = 0; i < 3; ++i)
        if (Checked(dlg, kFirstExtensionBox + i)) return true;
    return false;
}

void OnCreate(InitState& s, HWND dlg) {
    s.dlg = dlg;
    SetClassLongPtrW(dlg, GCLP_HICON,
                     reinterpret_cast<LONG_PTR>(LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_APP))));
    s.font.reset(KvCreateDialogFont(dlg));
    const int width = KvClientSize96(dlg).cx;
    KvBuildControls(dlg, s.font.get(), {
        {-1, KvCtl::Group, L"関連付け", 15, 15, width - 30, 120},
        {kFirstExtensionBox, KvCtl::Check, kExtensionLabels[0], 35, 35, 0, 0},
        {kFirstExtensionBox + 1, KvCtl::Check, kExtensionLabels[1], 35, 65, 0, 0},
        {kFirstExtensionBox + 2, KvCtl::Check, kExtensionLabels[2], 35, 95, 0, 0},
        {-1, KvCtl::Group, L"「新規作成」メニューへの追加", 15, 150, width - 30, 50},
        {kShellNewBox, KvCtl::Check, L"テッサラフォルダ", 30, 170, 0, 0},
        {-1, KvCtl::Label, kPurpose, 15, 210, 0, 0},
        {IDOK, KvCtl::Button, KvOkLabel, 36, kButtonsTop, 100, 20, KvRowDefault | KvRowFromWindow},
        {IDCANCEL, KvCtl::Button, KvCancelLabel, 146, kButtonsTop, 100, 20, KvRowFromWindow},
    });
    bool associated = false;
    bool hasTemplate = false;
    for (int i = 0; i < 3; ++i) {
        if (!IsAssociated(kProjectExtensions[i])) continue;
        CheckDlgButton(dlg, kFirstExtensionBox + i, BST_CHECKED);
        associated = true;
        if (HasShellNew(kProjectExtensions[i])) hasTemplate = true;
    }
    EnableWindow(GetDlgItem(dlg, kShellNewBox), associated);
    if (associated && hasTemplate) CheckDlgButton(dlg, kShellNewBox, BST_CHECKED);
    RECT outer{};
    GetWindowRect(dlg, &outer);
    const POINT centre = KvWindowCenter(nullptr);
    SetWindowPos(dlg, nullptr, centre.x - (outer.right - outer.left) / 2, centre.y - (outer.bottom - outer.top) / 2, 0,
                 0, SWP_NOSIZE | SWP_NOZORDER);
}

void Apply(InitState& s, HWND dlg) {
    const wchar_t* templateExtension = nullptr;
    for (int i = 0; i < 3; ++i) {
        if (Checked(dlg, kFirstExtensionBox + i)) {
            RegisterAssociation(kProjectExtensions[i], s.failed);
            if (!templateExtension) templateExtension = kProjectExtensions[i];
        } else {
            DeleteAssociation(kProjectExtensions[i], s.failed);
        }
    }
    if (templateExtension && Checked(dlg, kShellNewBox)) AddShellNew(templateExtension, s.failed);
    SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
}

LRESULT Handle(InitState& s, HWND dlg, UINT msg, WPARAM wp, LPARAM lp) {
    if (KvCancelDialog(dlg, msg, wp)) return 0;
    switch (msg) {
    case WM_CREATE:
        OnCreate(s, dlg);
        return 0;
    case WM_COMMAND: {
        const int id = LOWORD(wp);
        if (id >= kFirstExtensionBox && id < kFirstExtensionBox + 3) {
            const bool any = AnyExtensionChecked(dlg);
            if (!any) CheckDlgButton(dlg, kShellNewBox, BST_UNCHECKED);
            EnableWindow(GetDlgItem(dlg, kShellNewBox), any);
            return 0;
        }
        if (id == IDOK) {
            Apply(s, dlg);
            KvEndModal(dlg, 1);
            return 0;
        }
        break;
    }
    case WM_DESTROY:
        s.dlg = nullptr;
        return 0;
    case WM_PAINT: {
        // BeginPaint validates this window only; ValidateRect would validate the controls too (the
        // dialog does not clip its children), and they would never paint.
        PAINTSTRUCT ps;
        BeginPaint(dlg, &ps);
        EndPaint(dlg, &ps);
        return 0;
    }
    case WM_SIZE:
    case WM_KEYDOWN:
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
        return 0;
    default:
        break;
    }
    return DefDlgProcW(dlg, msg, wp, lp);
}

std::wstring Joined(const std::vector<std::wstring>& lines) {
    std::wstring text;
    for (const std::wstring& line : lines) text += L"\n" + line;
    return text;
}

}  // namespace

bool CInitDlg::DoModal() {
    InitState s;
    const KvModalScope<InitState> scope(s, L"CInitDlg::WndProc");
    const int result = KvDoModalScaled(L"CInitDlg", 0, WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU,
                                       L"TessaraFolder v0.99c", kWidth, kHeight, nullptr, KvModalProc<InitState, Handle>);
    if (s.dlg && IsWindow(s.dlg)) DestroyWindow(s.dlg);
    if (!s.failed.empty()) {
        const std::wstring detail = Joined(s.failed);
        KvWarningBox(L"次のレジストリキーに書き込めませんでした。関連付けは完全ではありません。", detail.c_str());
    }
    return result != 0;
}
