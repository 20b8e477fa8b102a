// Identities of the control's classes and type library.
#pragma once

#include <windows.h>

#include "control/resource.h"
#include "tavrik_idl.h"  // LIBID_TavrikLib, DIID__DTavrik, DIID__DTavrikEvents, CLSID_Tavrik (from tavrik.idl)

// {E2F94D17-3A6B-45C0-9D28-6B1C7E0A4F39}
extern const CLSID CLSID_TavrikPropPage;

// Activate when visible, set client site first, inside-out, can't link inside, recompose on resize.
constexpr DWORD kTavrikMiscStatus = 0x20191;

constexpr const char* kTavrikCtrlProgId = "TAVRIK.TavrikCtrl.1";
constexpr const char* kTavrikPropPageProgId = "TAVRIK.TavrikPropPage.1";
