#include "control/com/property_page.h"

#include <objbase.h>

#include <string>

#include "com/module.h"
#include "com/registration.h"

namespace com {
namespace {

// The dialog template's size in dialog units (DLGTEMPLATE or DLGTEMPLATEEX).
bool TemplateSize(UINT id, SIZE* units) {
    HRSRC found = FindResourceA(ModuleInstance(), MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(5) /* RT_DIALOG */);
    if (!found) return false;
    const auto* data = static_cast<const WORD*>(LockResource(LoadResource(ModuleInstance(), found)));
    if (!data) return false;
    if (data[0] == 1 && data[1] == 0xFFFF) {  // DLGTEMPLATEEX: cx, cy follow the item count and position
        const BYTE* bytes = reinterpret_cast<const BYTE*>(data);
        units->cx = *reinterpret_cast<const short*>(bytes + 22);
        units->cy = *reinterpret_cast<const short*>(bytes + 24);
    } else {
        const auto* plain = reinterpret_cast<const DLGTEMPLATE*>(data);
        units->cx = plain->cx;
        units->cy = plain->cy;
    }
    return true;
}

}  // namespace

CDialogPropertyPage::CDialogPropertyPage(UINT dialogId, UINT captionId) : dialogId_(dialogId), captionId_(captionId) {}

CDialogPropertyPage::~CDialogPropertyPage() {
    Deactivate();
    if (site_) site_->Release();
}

STDMETHODIMP CDialogPropertyPage::QueryInterface(REFIID iid, void** object) {
    return QueryOne<IPropertyPage>(this, iid, IID_IPropertyPage, object);
}

STDMETHODIMP CDialogPropertyPage::SetPageSite(IPropertyPageSite* site) {
    if (site) site->AddRef();
    if (site_) site_->Release();
    site_ = site;
    return S_OK;
}

INT_PTR CALLBACK CDialogPropertyPage::DialogProc(HWND, UINT message, WPARAM, LPARAM) {
    return message == WM_INITDIALOG ? TRUE : FALSE;
}

STDMETHODIMP CDialogPropertyPage::Activate(HWND parent, LPCRECT position, BOOL) {
    if (dialog_) return S_OK;
    dialog_ = CreateDialogParamA(ModuleInstance(), MAKEINTRESOURCEA(dialogId_), parent, DialogProc, 0);
    if (!dialog_) return E_FAIL;
    if (position) Move(position);
    return S_OK;
}

STDMETHODIMP CDialogPropertyPage::Deactivate() {
    if (dialog_) DestroyWindow(dialog_);
    dialog_ = nullptr;
    return S_OK;
}

STDMETHODIMP CDialogPropertyPage::GetPageInfo(PROPPAGEINFO* info) {
    if (!info) return E_POINTER;
    const std::string caption = LoadResourceString(captionId_);
    const int n = MultiByteToWideChar(CP_ACP, 0, caption.c_str(), -1, nullptr, 0);
    info->pszTitle = static_cast<LPOLESTR>(CoTaskMemAlloc(n * sizeof(OLECHAR)));
    if (!info->pszTitle) return E_OUTOFMEMORY;
    MultiByteToWideChar(CP_ACP, 0, caption.c_str(), -1, info->pszTitle, n);
    SIZE units = {250, 62};
    TemplateSize(dialogId_, &units);
    const LONG base = GetDialogBaseUnits();
    info->size.cx = MulDiv(units.cx, LOWORD(base), 4);
    info->size.cy = MulDiv(units.cy, HIWORD(base), 8);
    info->pszDocString = nullptr;
    info->pszHelpFile = nullptr;
    info->dwHelpContext = 0;
    return S_OK;
}

STDMETHODIMP CDialogPropertyPage::SetObjects(ULONG, IUnknown**) { return S_OK; }

STDMETHODIMP CDialogPropertyPage::Show(UINT command) {
    if (dialog_) ShowWindow(dialog_, command);
    return S_OK;
}

STDMETHODIMP CDialogPropertyPage::Move(LPCRECT position) {
    if (!position) return E_POINTER;
    if (dialog_)
        MoveWindow(dialog_, position->left, position->top, position->right - position->left,
                   position->bottom - position->top, TRUE);
    return S_OK;
}

STDMETHODIMP CDialogPropertyPage::IsPageDirty() { return S_FALSE; }
STDMETHODIMP CDialogPropertyPage::Apply() { return S_OK; }
STDMETHODIMP CDialogPropertyPage::Help(LPCOLESTR) { return E_NOTIMPL; }
STDMETHODIMP CDialogPropertyPage::TranslateAccelerator(MSG*) { return S_FALSE; }

}  // namespace com
