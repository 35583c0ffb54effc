#pragma once
// Filter setup data for registration. The pin and media-type records are the filter
// mapper's own REGFILTERPINS and REGPINTYPES, so one table serves both registrations.
#include <windows.h>
#include <strmif.h>

#ifndef AMOVIESETUP_FILTER_DEFINED
#define AMOVIESETUP_FILTER_DEFINED
typedef REGPINTYPES AMOVIESETUP_MEDIATYPE, *PAMOVIESETUP_MEDIATYPE, *LPAMOVIESETUP_MEDIATYPE;
typedef REGFILTERPINS AMOVIESETUP_PIN, *PAMOVIESETUP_PIN, *LPAMOVIESETUP_PIN;

typedef struct _AMOVIESETUP_FILTER {
    const CLSID* clsID;
    const WCHAR* strName;
    DWORD dwMerit;
    UINT nPins;
    const AMOVIESETUP_PIN* lpPin;
} AMOVIESETUP_FILTER, *PAMOVIESETUP_FILTER, *LPAMOVIESETUP_FILTER;
#endif
