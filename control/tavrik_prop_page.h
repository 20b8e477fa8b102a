// CTavrikPropPage: the control's one property page (dialog 200, caption
// string 200). The control has no properties to edit, so it exchanges no data.
#pragma once

#include "control/com/property_page.h"

class CTavrikPropPage : public com::CDialogPropertyPage {
public:
    CTavrikPropPage();
};

HRESULT CreateTavrikPropPage(REFIID iid, void** object);
