// A property page made of one child dialog resource, exchanging no data.
#pragma once

#include <ocidl.h>
#include <windows.h>

#include "com/com_object.h"

namespace com {

class CDialogPropertyPage : public ComObject<IPropertyPage> {
public:
    CDialogPropertyPage(UINT dialogId, UINT captionId);
    CDialogPropertyPage(const CDialogPropertyPage&) = delete;
    CDialogPropertyPage& operator=(const CDialogPropertyPage&) = delete;

    STDMETHODIMP QueryInterface(REFIID iid, void** object) override;

    STDMETHODIMP SetPageSite(IPropertyPageSite* site) override;
    STDMETHODIMP Activate(HWND parent, LPCRECT position, BOOL modal) override;
    STDMETHODIMP Deactivate() override;
    STDMETHODIMP GetPageInfo(PROPPAGEINFO* info) override;
    STDMETHODIMP SetObjects(ULONG count, IUnknown** objects) override;
    STDMETHODIMP Show(UINT command) override;
    STDMETHODIMP Move(LPCRECT position) override;
    STDMETHODIMP IsPageDirty() override;
    STDMETHODIMP Apply() override;
    STDMETHODIMP Help(LPCOLESTR helpDir) override;
    STDMETHODIMP TranslateAccelerator(MSG* msg) override;

    HWND Dialog() const { return dialog_; }

protected:
    ~CDialogPropertyPage() override;

private:
    static INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

    UINT dialogId_, captionId_;
    IPropertyPageSite* site_ = nullptr;
    HWND dialog_ = nullptr;
};

}  // namespace com
