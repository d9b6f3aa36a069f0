// The installer object's string tables: opening them from the payload, the
// lookup chain by string id, and their release.

#include "core/Install.h"

#include "payload/Catalogue.h"

#include <stdlib.h>

const u32* CInstallBase::FindString(u32 id)
{
    // The language table overrides the texts shared by both languages.
    const u32* record = m_langStrings[m_uiLanguage == 1 ? 1 : 0].Find(id);
    if (!record)
        record = m_commonStrings.Find(id);
    return record;
}

void CInstallBase::ReleaseTables()
{
    m_commonStrings.Release();
    m_langStrings[0].Release();
    m_langStrings[1].Release();
    m_guard.Release();
}

const u32* CInstall::FindString(u32 id)
{
    const u32* record = CInstallBase::FindString(id);
    if (!record)
        record = m_setupStrings.Find(id);
    return record;
}

int CInstall::GetString(u32 id, GString& out)
{
    const u32* record = FindString(id);
    if (!record || !out.AssignPacked(record) || !out.MakeWide(-1))
    {
        out.ClearWide();
        return 0;
    }
    return 1;
}

void CInstall::ReleaseTables()
{
    CInstallBase::ReleaseTables();
    m_setupStrings.Release();
}

int CInstall::AttachStringTables()
{
    if (!m_guard.Load(g_keyBlock, (int)g_keyBlockSize))
        return 0;

    CStringTable* const views[kStringTableCount] = {
        &m_commonStrings,   // kStringTableCommon
        &m_setupStrings,    // kStringTableSetup
        &m_langStrings[0],  // kStringTableLang0
        &m_langStrings[1],  // kStringTableLang1
    };
    for (int role = 0; role < kStringTableCount; ++role)
    {
        const PayloadItem& item = g_stringTableItems[role];
        u32 size = item.size;
        u32 count = 0;
        void* buffer = m_guard.DecodeItem(item.bytes, size, &count);
        if (!buffer)
            return 0;
        // A table that decodes but does not hold together is as unusable
        // as one that does not decode: the view never reads outside it.
        if (!CStringTable::IsWellFormed(buffer, size, count) || !views[role]->Attach(buffer, count))
        {
            free(buffer);
            return 0;
        }
    }
    return 1;
}
