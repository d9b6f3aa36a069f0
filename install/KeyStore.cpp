// The key remapping store: the live key table, its normalisation against the
// static defaults, the stored layout targets of the installation record and
// the platform's scancode remapping value.

#include "core/Install.h"

#include <stdlib.h>

namespace
{

const u32 kStringMapKey = 5;    // key below HKEY_LOCAL_MACHINE holding the remapping value
const u32 kStringMapValue = 6;  // the remapping value's name
const u32 kAccessRead = 0x20019;
const u32 kAccessWrite = 0x20006;

// The platform's map: version, flags, entry count (terminator included),
// entries of 4 bytes, then a zero terminator entry.
const u32 kMapHeaderSize = 12;
const u32 kMapCountOffset = 8;
const u32 kMapEntrySize = 4;
const u32 kMapMinimumSize = kMapHeaderSize + kMapEntrySize;

// Stored layout targets: scancode then target, 16 bits each.
const u32 kOverrideSize = 4;

const u16 kTargetSwitchedOff = 0xFF;

u16 ReadLe16(const u8* p)
{
    return static_cast<u16>(p[0] | (p[1] << 8));
}

u32 ReadLe32(const u8* p)
{
    return static_cast<u32>(p[0]) | (static_cast<u32>(p[1]) << 8) | (static_cast<u32>(p[2]) << 16) |
           (static_cast<u32>(p[3]) << 24);
}

void WriteLe16(u8* p, u16 value)
{
    p[0] = static_cast<u8>(value);
    p[1] = static_cast<u8>(value >> 8);
}

void WriteLe32(u8* p, u32 value)
{
    WriteLe16(p, static_cast<u16>(value));
    WriteLe16(p + 2, static_cast<u16>(value >> 16));
}

// malloc(0) may give null; an empty stored form is still a buffer.
u8* AllocateBuffer(u32 size)
{
    return static_cast<u8*>(malloc(size ? size : 1));
}

} // namespace

const KeyEntry* CInstall::FindDefaultKey(u16 scancode) const
{
    for (i32 i = 0; i < kKeyTableCount && g_defaultKeys[i].scancode != 0; i++) {
        if (g_defaultKeys[i].scancode == scancode)
            return &g_defaultKeys[i];
    }
    return 0;
}

KeyEntry* CInstall::FindKey(u16 scancode)
{
    if (!m_keys)
        return 0;
    for (i32 i = 0; i < m_keyCount && m_keys[i].scancode != 0; i++) {
        if (m_keys[i].scancode == scancode)
            return &m_keys[i];
    }
    return 0;
}

int CInstall::NormaliseKeys()
{
    if (!m_keys || m_keyCount <= 0)
        return 0;
    // Live record i and static record i describe the same key; a choice
    // that repeats what the key does anyway is no choice.
    const i32 count = m_keyCount < kKeyTableCount ? m_keyCount : kKeyTableCount;
    for (i32 i = 0; i < count; i++) {
        if (m_keys[i].mapTarget == g_defaultKeys[i].scancode)
            m_keys[i].mapTarget = 0;
        if (m_keys[i].target == g_defaultKeys[i].target)
            m_keys[i].target = 0;
    }
    return 1;
}

int CInstall::ApplyStoredOverrides(u8* buffer, u32 size)
{
    // The buffer is ours whatever happens, an empty one included.
    if (!buffer)
        return 0;
    if (size == 0 || !m_keys || m_keyCount <= 0) {
        free(buffer);
        return 0;
    }

    const u32 records = size / kOverrideSize;
    for (u32 r = 0; r < records; r++) {
        const u8* p = buffer + r * kOverrideSize;
        const u16 scancode = ReadLe16(p);
        const u16 target = ReadLe16(p + 2);
        // Scancode 0 marks the end records, which stand for no key.
        if (scancode == 0 || target == 0)
            continue;
        for (i32 i = 0; i < m_keyCount; i++) {
            if (m_keys[i].scancode == scancode) {
                m_keys[i].target = target;
                break;
            }
        }
    }

    (void)NormaliseKeys();
    free(buffer);
    return 1;
}

u8* CInstall::BuildStoredOverrides(u32& size)
{
    size = 0;
    if (!m_keys || m_keyCount <= 0)
        return 0;
    (void)NormaliseKeys();

    u32 count = 0;
    for (i32 i = 0; i < m_keyCount; i++) {
        if (m_keys[i].target != 0)
            count++;
    }
    u8* buffer = AllocateBuffer(count * kOverrideSize);
    if (!buffer)
        return 0;
    u8* p = buffer;
    for (i32 i = 0; i < m_keyCount; i++) {
        if (m_keys[i].target == 0)
            continue;
        WriteLe16(p, m_keys[i].scancode);
        WriteLe16(p + 2, m_keys[i].target);
        p += kOverrideSize;
    }
    size = count * kOverrideSize;
    return buffer;
}

void CInstall::ReadScancodeMap()
{
    if (!m_keys || m_keyCount <= 0)
        return;
    HKEY key = OpenKey(HKEY_LOCAL_MACHINE, kStringMapKey, kAccessRead);
    if (!key)
        return;

    u32 size = 0;
    u8* map = GetBinaryValue(key, kStringMapValue, size);
    if (map) {
        m_scancodeMapSeen = 1;
        // The count includes the terminator; a value whose entries would
        // run past its end is damaged and left alone.
        const u32 count = size >= kMapMinimumSize ? ReadLe32(map + kMapCountOffset) : 0;
        const u64 needed = static_cast<u64>(count) * kMapEntrySize + kMapHeaderSize;
        if (count > 1 && size >= needed) {
            for (u32 e = 0; e < count - 1; e++) {
                const u8* p = map + kMapHeaderSize + e * kMapEntrySize;
                const u16 reported = ReadLe16(p);
                const u16 physical = ReadLe16(p + 2);
                KeyEntry* entry = FindKey(physical);
                if (entry)
                    entry->mapTarget = reported ? reported : kTargetSwitchedOff;
            }
            (void)NormaliseKeys();
        }
        free(map);
    }
    RegCloseKey(key);
}

int CInstall::WriteScancodeMap()
{
    if (!m_keys || m_keyCount <= 0)
        return 0;

    u32 entries = 0;
    for (i32 i = 0; i < m_keyCount; i++) {
        if (m_keys[i].mapTarget != 0)
            entries++;
    }
    // An existing value is replaced even by an empty map, so that choices
    // taken back in this run are taken back on the machine too.
    if (entries == 0 && !m_scancodeMapSeen)
        return 1;

    const u32 size = kMapMinimumSize + entries * kMapEntrySize;
    u8* map = AllocateBuffer(size);
    if (!map)
        return 0;
    WriteLe32(map, 0);
    WriteLe32(map + 4, 0);
    WriteLe32(map + kMapCountOffset, entries + 1);
    u8* p = map + kMapHeaderSize;
    for (i32 i = 0; i < m_keyCount; i++) {
        const u16 target = m_keys[i].mapTarget;
        if (target == 0)
            continue;
        WriteLe16(p, target == kTargetSwitchedOff ? 0 : target);
        WriteLe16(p + 2, m_keys[i].scancode);
        p += kMapEntrySize;
    }
    WriteLe32(p, 0);

    int written = 0;
    HKEY key = OpenKey(HKEY_LOCAL_MACHINE, kStringMapKey, kAccessWrite);
    if (key) {
        written = SetBinaryValue(key, kStringMapValue, map, size);
        RegCloseKey(key);
    }
    free(map);
    return written;
}
