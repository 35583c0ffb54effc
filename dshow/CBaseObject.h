#pragma once
// Counts the framework's live objects of this module, so DllCanUnloadNow can answer.
#include <windows.h>

class CBaseObject {
public:
    explicit CBaseObject(LPCTSTR pName);
    virtual ~CBaseObject();
    CBaseObject(const CBaseObject&) = delete;
    CBaseObject& operator=(const CBaseObject&) = delete;

    static LONG ObjectsActive() { return m_cObjects; }

protected:
    LPCTSTR m_pName;  // debugging name, not owned; may be null

private:
    static volatile LONG m_cObjects;
};
