#include "PendingPages.h"

#include "CCameraPropertyPage.h"
#include "PageLanguage.h"
#include "PageResources.h"

namespace vyx {

CUnknown* WINAPI CreateColorPage(LPUNKNOWN outer, HRESULT* result) {
    return CreateLocalizedPage<CCameraPropertyPage>(outer, result,
                                                    {IDD_COLOR_EN, IDD_COLOR_ZH, IDS_COLOR_EN, IDS_COLOR_ZH});
}

CUnknown* WINAPI CreateST4TestPage(LPUNKNOWN outer, HRESULT* result) {
    return CreateLocalizedPage<CCameraPropertyPage>(
        outer, result, {IDD_ST4_TEST_EN, IDD_ST4_TEST_ZH, IDS_ST4_TEST_EN, IDS_ST4_TEST_ZH});
}

CUnknown* WINAPI CreateTemperaturePage(LPUNKNOWN outer, HRESULT* result) {
    return CreateLocalizedPage<CCameraPropertyPage>(
        outer, result, {IDD_TEMPERATURE_EN, IDD_TEMPERATURE_ZH, IDS_TEMPERATURE_EN, IDS_TEMPERATURE_ZH});
}

CUnknown* WINAPI CreateAboutPage(LPUNKNOWN outer, HRESULT* result) {
    return CreateLocalizedPage<CCameraPropertyPage>(outer, result,
                                                    {IDD_ABOUT_EN, IDD_ABOUT_ZH, IDS_ABOUT_EN, IDS_ABOUT_ZH});
}

CUnknown* WINAPI CreateOthersPage(LPUNKNOWN outer, HRESULT* result) {
    return CreateLocalizedPage<CCameraPropertyPage>(outer, result,
                                                    {IDD_OTHERS_EN, IDD_OTHERS_ZH, IDS_OTHERS_EN, IDS_OTHERS_ZH});
}

}  // namespace vyx
