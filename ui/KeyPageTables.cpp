// Tables of the two key pages: texts, rows (list -> scancode), choices
// (string -> target) and the controls hidden at start.

#include "ui/DlgExpert1.h"
#include "ui/DlgExpert2.h"

#include "ui/Resource.h"
#include "ui/Wizard.h"

static const WndPair kExpert1Texts[] = {
    { IDC_CANCEL, 98 },
    { IDC_BACK, 100 },
    { IDC_EXPERT1, 152 },
    { 0, 0 },
};

static const WndPair kExpert1Rows[] = {
    { 1401, 0x2A },   // left Shift
    { 1402, 0x36 },   // right Shift
    { 1403, 0x1D },   // left Ctrl
    { 1404, 0xE01D }, // right Ctrl
    { 1405, 0x38 },   // left Alt
    { 1406, 0xE038 }, // right Alt
    { 1407, 0xE05B }, // left Windows
    { 1408, 0xE05C }, // right Windows
    { 1409, 0xE05D }, // Application
    { 1410, 0x56 },   // additional key of 102-key keyboards
    { 1411, 0x0F },   // Tab
    { 1412, 0x3A },   // Caps Lock
    { 1413, 0x46 },   // Scroll Lock
    { 1414, 0x45 },   // Num Lock
    { 0, 0 },
};

// Layout targets: virtual key in the low byte, 0x100 for extended keys.
static const WndPair kExpert1Choices[] = {
    { 154, 0x00 },  // no change
    { 326, 0xFF },  // none: the key is switched off
    { 176, 0x20 },  // Space
    { 280, 0xA0 },  // left Shift
    { 281, 0x1A1 }, // right Shift
    { 282, 0xA2 },  // left Ctrl
    { 283, 0x1A3 }, // right Ctrl
    { 284, 0xA4 },  // left Alt
    { 285, 0x1A5 }, // right Alt
    { 228, 0x15B }, // left Windows
    { 229, 0x15C }, // right Windows
    { 230, 0x15D }, // Application
    { 317, 0xE2 },  // 102nd key
    { 175, 0x1B },  // Esc
    { 311, 0xC0 },  // grave accent key
    { 167, 0x09 },  // Tab
    { 174, 0x14 },  // Caps Lock
    { 279, 0x91 },  // Scroll Lock
    { 278, 0x90 },  // Num Lock
    { 189, 0x12D }, // Insert
    { 190, 0x12E }, // Delete
    { 180, 0x124 }, // Home
    { 179, 0x123 }, // End
    { 177, 0x121 }, // Page Up
    { 178, 0x122 }, // Page Down
    { 188, 0x2C },  // Print Screen
    { 173, 0x13 },  // Pause
    { 0, 0 },
};

static const u32 kExpert1Hidden[] = {
    1315, 1316, 1317, 1318, 1319, 1320,
    1415, 1416, 1417, 1418, 1419, 1420,
    IDC_EXPERT2,
    0,
};

static const WndPair kExpert2Texts[] = {
    { IDC_CANCEL, 98 },
    { IDC_BACK, 100 },
    { IDC_EXPERT1, 152 },
    { IDC_EXPERT2, 153 },
    { 0, 0 },
};

static const WndPair kExpert2Rows[] = {
    { 1601, 0x3A },   // Caps Lock
    { 1602, 0x1D },   // left Ctrl
    { 1603, 0xE068 }, // browser stop
    { 1604, 0xE067 }, // browser refresh
    { 1605, 0xE065 }, // browser search
    { 1606, 0xE066 }, // browser favourites
    { 1607, 0xE032 }, // browser home
    { 1608, 0xE06C }, // mail
    { 1609, 0xE06B }, // launch application 1
    { 1610, 0xE021 }, // launch application 2
    { 1611, 0xE030 }, // volume up
    { 1612, 0xE02E }, // volume down
    { 1613, 0xE020 }, // mute
    { 1614, 0xE022 }, // play/pause
    { 1615, 0xE024 }, // stop
    { 1616, 0xE010 }, // previous track
    { 1617, 0xE019 }, // next track
    { 1618, 0xE06D }, // media select
    { 1619, 0xE05F }, // sleep
    { 1620, 0xE05E }, // power
    { 0, 0 },
};

// Scancode-map targets: the scancode the platform reports instead.
static const WndPair kExpert2Choices[] = {
    { 154, 0 },      // no change
    { 326, 0xFF },   // switched off
    { 287, 0xE06A }, // browser back
    { 288, 0xE069 }, // browser forward
    { 290, 0xE068 }, // browser stop
    { 289, 0xE067 }, // browser refresh
    { 291, 0xE065 }, // browser search
    { 292, 0xE066 }, // browser favourites
    { 293, 0xE032 }, // browser home
    { 301, 0xE06C }, // mail
    { 303, 0xE06B }, // launch application 1
    { 304, 0xE021 }, // launch application 2
    { 296, 0xE030 }, // volume up
    { 295, 0xE02E }, // volume down
    { 294, 0xE020 }, // mute
    { 300, 0xE022 }, // play/pause
    { 299, 0xE024 }, // stop
    { 298, 0xE010 }, // previous track
    { 297, 0xE019 }, // next track
    { 302, 0xE06D }, // media select
    { 232, 0xE05F }, // sleep
    { 231, 0xE05E }, // power
    { 174, 0x3A },   // Caps Lock
    { 282, 0x1D },   // left Ctrl
    { 0, 0 },
};

static const u32 kExpert2Hidden[] = {
    1501, 1502, 1503, 1504, 1505, 1506, 1507, 1508, 1509, 1510,
    1511, 1512, 1513, 1514, 1515, 1516, 1517, 1518, 1519, 1520,
    1601, 1602, 1603, 1604, 1605, 1606, 1607, 1608, 1609, 1610,
    1611, 1612, 1613, 1614, 1615, 1616, 1617, 1618, 1619, 1620,
    0,
};

static const KeyPageLayout kExpert1Layout = {
    kStepKeys, kExpert1Texts, kExpert1Rows, kExpert1Choices, kExpert1Hidden, 0, 1,
};

static const KeyPageLayout kExpert2Layout = {
    kStepKeys, kExpert2Texts, kExpert2Rows, kExpert2Choices, kExpert2Hidden, 1, 0,
};

const KeyPageLayout& CDlgExpert1::Layout()
{
    return kExpert1Layout;
}

const KeyPageLayout& CDlgExpert2::Layout()
{
    return kExpert2Layout;
}
