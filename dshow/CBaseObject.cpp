#include "CBaseObject.h"

volatile LONG CBaseObject::m_cObjects = 0;

CBaseObject::CBaseObject(LPCTSTR pName) : m_pName(pName)
{
    InterlockedIncrement(&m_cObjects);
}

CBaseObject::~CBaseObject()
{
    InterlockedDecrement(&m_cObjects);
}
