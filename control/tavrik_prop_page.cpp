#include "control/tavrik_prop_page.h"

#include "com/class_factory.h"
#include "control/tavrik_ids.h"

CTavrikPropPage::CTavrikPropPage() : CDialogPropertyPage(IDD_PROPPAGE_TAVRIK, IDS_TAVRIK_PPG_CAPTION) {}

HRESULT CreateTavrikPropPage(REFIID iid, void** object) { return com::CreateObject<CTavrikPropPage>(iid, object); }
